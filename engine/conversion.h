#pragma once

// The caller's side of a conversion: which days, which files, and what came of it.

#include <QDate>
#include <QList>
#include <QString>

namespace kelvane {

// Both ends included; only calendar days count.
struct DateWindow {
    QDate StartFilesDate;
    QDate EndFilesDate;

    bool contains(QDate day) const { return StartFilesDate <= day && day <= EndFilesDate; }
};

struct OutputOptions {
    bool ckXMLFlag = true;     // write the XML day file
    bool ckTXTFlag = false;    // write the CSV day file (".txt")
    bool chkGPXFlag = false;   // write the GPX day file
    bool chkHighAscii = false; // escape high characters of qualifying Notes lines
    int ZOffset = 0;           // whole hours added to every track point time
};

struct SkippedRun {
    qint64 line = 0; // line number of the run's <Run> line, counted from 1
    QString reason;
};

struct ConversionSummary {
    int runsRead = 0;
    int runsConverted = 0;
    int filesWritten = 0;
    int runsSkipped = 0;
    QList<SkippedRun> skipped; // the first hundred skipped runs and why
    // Empty when the whole input was read and every day file was saved; otherwise
    // names the file and the system's reason, and the conversion stopped there.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Day serial number: consecutive whole numbers, one per calendar day, day 0
// being 30 December 1899 as desktop date types count them.
inline int DaySerial(QDate day)
{
    return int(day.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

} // namespace kelvane
