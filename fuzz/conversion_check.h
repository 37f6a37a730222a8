#pragma once

// One fuzz case: the first bytes choose the switches, the hour offset and the
// date window, the rest is the history file. The case is converted into a
// scratch folder and every day file is checked against what a reader of the
// day files relies on. Shared by the fuzz target and the regression test.

#include <QByteArrayView>
#include <QDate>
#include <QString>

namespace kelvane {

// Bytes in front of the history file.
inline constexpr qsizetype kCaseHeaderSize = 5;

// The fixed "today" of every case, so that a case converts the same way on any day.
inline QDate CaseToday()
{
    return QDate(2027, 1, 1);
}

// Converts `data` with the history file and the day files placed under
// `scratchFolder` (emptied first and left with the results). Returns an empty
// text when every check holds, otherwise what was wrong.
QString CheckConversion(QByteArrayView data, const QString &scratchFolder);

} // namespace kelvane
