#pragma once

#include <QDateEdit>

// A date field with a pop-up calendar. Change is raised when the user
// changes the date in the field or chooses a day in the calendar (a click, or
// Return on the day the arrow keys moved to), never when code sets it through
// setValue. F4 or Alt+Down opens the calendar; Escape in the field raises
// Dismissed.
class DatePicker : public QDateEdit {
    Q_OBJECT

  public:
    explicit DatePicker(QWidget *parent);

    QDate Value() const { return date(); }
    // An empty date leaves the shown date as it is.
    void setValue(QDate value);
    void openCalendar();

  Q_SIGNALS:
    void Change();
    void Dismissed();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *calendarWindow() const;

    bool ignoringChanges = false;
    bool calendarOpen = false; // shown, and no day chosen in it since
};
