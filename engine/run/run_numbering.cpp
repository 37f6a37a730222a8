#include "run/run_numbering.h"

#include <QLocale>

namespace kelvane {

int RunNumbering::numberRun(QDate startDay)
{
    if (rule == NumberingRule::Date)
        return ++lastGiven[startDay.toJulianDay()];
    openDay = startDay.day();
    if (openDay != previousDay)
        daySequence = 0;
    else
        ++daySequence;
    int number = daySequence + 1;
    if (const auto used = highestUsed.find(startDay.toJulianDay());
        used != highestUsed.end() && number <= used->second)
        number = used->second + 1;
    return number;
}

void RunNumbering::numberUsed(QDate startDay, int number)
{
    int &highest = highestUsed[startDay.toJulianDay()];
    highest = std::max(highest, number);
}

QString dayFileBaseName(QDate startDay, int number)
{
    return startDay.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('_') +
           QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')) + QLatin1Char('_') +
           QLocale().dayName(startDay.dayOfWeek(), QLocale::LongFormat);
}

} // namespace kelvane
