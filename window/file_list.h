#pragma once

#include <QListWidget>

// The names of the files in one folder that match a pattern ("*.xml;*.tcx":
// any of them), read once when the list is made. Click is raised when the
// user chooses a name.
class FileList : public QListWidget {
    Q_OBJECT

  public:
    FileList(const QString &folder, const QString &pattern, QWidget *parent);

    QString Path() const { return folder; }
    // The chosen name without folder; empty when none is chosen.
    QString FileName() const;

  Q_SIGNALS:
    void Click();

  private:
    QString folder;
};
