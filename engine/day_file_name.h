#pragma once

#include <QDate>
#include <QString>

namespace kelvane {

// The base name YYYYMMDD_NN_Weekday shared by a run's three day files: NN is
// the run's number within its day, two digits at least, and the weekday is
// written in the user's language.
QString DayFileName(QDate runDate, int NN);

} // namespace kelvane
