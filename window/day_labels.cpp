// The four date labels, the picker that edits them, and the captions of the
// two run buttons that follow them.

#include "caption_label.h"
#include "command_button.h"
#include "date_picker.h"
#include "main_window.h"

#include <QApplication>
#include <QLocale>

void frmKelvane::ReadDayLabel(int index, QDate &Day) const
{
    // The label keeps the day its caption was written from; the design caption
    // has none.
    const QDate day = labDayPic[index]->day();
    if (day.isValid())
        Day = day;
}

void frmKelvane::setDayLabel(int index, QDate day)
{
    labDayPic[index]->setCaption(longForm(day), day);
}

void frmKelvane::labDayPic_Click(int Index)
{
    dayPicIndex = Index;
    QDate day;
    ReadDayLabel(Index, day);
    DTPicker1->setValue(day);
    DTPicker1->setAccessibleDescription(labDayPic[Index]->toolTip());
    // Opened again while open, the picker keeps the focus to give back.
    if (!DTPicker1->isVisible())
        pickerOpener = QApplication::focusWidget();
    DTPicker1->show();
    DTPicker1->raise();
    DTPicker1->setFocus();
}

void frmKelvane::openPickerFromKeyboard(int Index)
{
    labDayPic_Click(Index);
    DTPicker1->openCalendar();
}

void frmKelvane::DTPicker1_Change()
{
    const QDate value = DTPicker1->Value();
    setDayLabel(DayPicIndex(), value);
    closePicker();
}

void frmKelvane::closePicker()
{
    DTPicker1->hide();
    if (pickerOpener && pickerOpener->isVisible() && pickerOpener->isEnabled())
        pickerOpener->setFocus();
}

void frmKelvane::labDayPic_Change(int Index)
{
    QDate workingDay;

    ReadDayLabel(0, workingDay);
    const QDate today = presentMoment().date();
    if (workingDay == today)
        cmdToday->setCaption(QStringLiteral("Today"));
    else
        cmdToday->setCaption(QLocale().toString(workingDay, QStringLiteral("dddd")));

    ReadDayLabel(1, workingDay);
    if (Index == 1) {
        const qint64 n = workingDay.daysTo(presentMoment().date());
        cmdPast7->setCaption(QStringLiteral("Last %1 Days").arg(n + 1));
    }

    ReadDayLabel(Index, workingDay);
    // A day after today is pulled back to today; the nested Change that this
    // raises reads today and stops there.
    if (workingDay.startOfDay() > presentMoment())
        setDayLabel(Index, presentMoment().date());
}
