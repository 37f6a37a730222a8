// The four date labels, the picker that edits them, and the captions of the
// two run buttons that follow them.

#include "caption_label.h"
#include "date_picker.h"
#include "main_window.h"

#include <QLocale>
#include <QPushButton>

void frmKelvane::ReadDayLabel(int index, QDate &Day) const
{
    const QString caption = labDayPic[index]->Caption();
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return;
    // The weekday word is skipped; the rest is read with the locale that wrote it.
    const QDate day =
        QLocale().toDate(caption.mid(blank + 1).trimmed(), QStringLiteral("dd MMMM yyyy"));
    if (day.isValid())
        Day = day;
}

void frmKelvane::labDayPic_Click(int Index)
{
    dayPicIndex = Index;
    QDate day;
    ReadDayLabel(Index, day);
    DTPicker1->setValue(day);
    DTPicker1->show();
    DTPicker1->raise();
    DTPicker1->setFocus();
}

void frmKelvane::DTPicker1_Change()
{
    const QDate value = DTPicker1->Value();
    labDayPic[dayPicIndex]->setCaption(longForm(value));
    DTPicker1->hide();
}

void frmKelvane::labDayPic_Change(int Index)
{
    QDate workingDay;

    ReadDayLabel(0, workingDay);
    const QDate today = presentMoment().date();
    if (workingDay == today)
        cmdToday->setText(QStringLiteral("Today"));
    else
        cmdToday->setText(QLocale().toString(workingDay, QStringLiteral("dddd")));

    ReadDayLabel(1, workingDay);
    if (Index == 1) {
        const qint64 n = workingDay.daysTo(presentMoment().date());
        cmdPast7->setText(QStringLiteral("Last %1 Days").arg(n + 1));
    }

    ReadDayLabel(Index, workingDay);
    // A day after today is pulled back to today; the nested Change that this
    // raises reads today and stops there.
    if (workingDay.startOfDay() > presentMoment())
        labDayPic[Index]->setCaption(longForm(presentMoment().date()));
}
