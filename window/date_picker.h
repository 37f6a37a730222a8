#pragma once

#include <QDateEdit>

// A date field with a pop-up calendar. Change is raised only when the user
// changes the date, never when code sets it through setValue.
class DatePicker : public QDateEdit {
    Q_OBJECT

  public:
    explicit DatePicker(QWidget *parent);

    QDate Value() const { return date(); }
    // An empty date leaves the shown date as it is.
    void setValue(QDate value);

  Q_SIGNALS:
    void Change();

  private:
    bool settingByCode = false;
};
