#include "day_file_name.h"

#include <QLocale>

namespace kelvane {

QString DayFileName(QDate runDate, int NN)
{
    return runDate.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('_') +
           QStringLiteral("%1").arg(NN, 2, 10, QLatin1Char('0')) + QLatin1Char('_') +
           QLocale().dayName(runDate.dayOfWeek(), QLocale::LongFormat);
}

} // namespace kelvane
