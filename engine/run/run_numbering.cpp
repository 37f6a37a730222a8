#include "run/run_numbering.h"

#include <QLocale>

#include <algorithm>

namespace kelvane {

void RunNumbering::startInput(NumberingRule inputRule)
{
    rule = inputRule;
    openDay = previousDay = daySequence = 0;
    lastGiven.clear();
}

int RunNumbering::numberRun(QDate startDay)
{
    const auto used = highestUsed.find(startDay.toJulianDay());
    const int highest = used == highestUsed.end() ? 0 : used->second;
    if (rule == NumberingRule::Date) {
        int &last = lastGiven[startDay.toJulianDay()];
        last = std::max(last, highest) + 1;
        return last;
    }
    openDay = startDay.day();
    if (openDay != previousDay)
        daySequence = 0;
    else
        ++daySequence;
    return std::max(daySequence + 1, highest + 1);
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
