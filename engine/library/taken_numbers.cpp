#include "library/taken_numbers.h"

#include <algorithm>

namespace kelvane {

void TakenNumbers::addFileName(QStringView name)
{
    const auto digits = [&](qsizetype from, qsizetype count, int &value) {
        value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            if (i >= name.size() || name[i].unicode() < '0' || name[i].unicode() > '9')
                return false;
            value = value * 10 + (name[i].unicode() - '0');
        }
        return true;
    };
    int year, month, day;
    if (!digits(0, 4, year) || !digits(4, 2, month) || !digits(6, 2, day) || name.size() < 12 ||
        name[8] != QLatin1Char('_'))
        return;
    qsizetype end = 9;
    while (end < name.size() && name[end].unicode() >= '0' && name[end].unicode() <= '9')
        ++end;
    int number;
    // Nine digits at most: a number larger than that is no run's.
    if (end - 9 < 2 || end - 9 > 9 || end == name.size() || name[end] != QLatin1Char('_') ||
        !digits(9, end - 9, number))
        return;
    const QDate date(year, month, day);
    if (date.isValid())
        take(date, number);
}

void TakenNumbers::take(QDate day, int number)
{
    int &taken = highest[day.toJulianDay()];
    taken = std::max(taken, number);
}

int TakenNumbers::next(QDate day) const
{
    const auto taken = highest.find(day.toJulianDay());
    return taken == highest.end() ? 1 : taken->second + 1;
}

} // namespace kelvane
