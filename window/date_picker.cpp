#include "date_picker.h"

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("dddd dd MMMM yyyy"));
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!settingByCode)
            Q_EMIT Change();
    });
}

void DatePicker::setValue(QDate value)
{
    if (!value.isValid())
        return;
    settingByCode = true;
    setDate(value);
    settingByCode = false;
}
