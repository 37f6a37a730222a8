#pragma once

#include <QListWidget>
#include <QPointer>

// The names of the files in one folder that match a pattern ("*.xml;*.tcx":
// any of them), read once when the list is made. Click is raised when the
// user chooses a name, Dismissed when Escape closes the list without one.
// While shown, the list takes the controls it wholly covers out of use: they
// can be neither seen nor clicked, and the keyboard passes them over too.
class FileList : public QListWidget {
    Q_OBJECT

  public:
    FileList(const QString &folder, const QString &pattern, QWidget *parent);

    QString Path() const { return folder; }
    // The chosen name without folder; empty when none is chosen.
    QString FileName() const;

  Q_SIGNALS:
    void Click();
    void Dismissed();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    QString folder;
    QList<QPointer<QWidget>> covered;
};
