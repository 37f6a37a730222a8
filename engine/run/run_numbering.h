#pragma once

#include "run/numbering_rule.h"

#include <QDate>
#include <QString>

#include <unordered_map>

namespace kelvane {

// Numbers the runs of a start day: the NN of their day files' base name
// YYYYMMDD_NN_Weekday.
//
// With the DayOfMonth rule a run is numbered against the run closed before it: 01 when that run
// started on another day of the month, one more than it otherwise. Only the
// day of the month is compared, not the whole date, because the day files
// written by earlier versions of the program are numbered that way, and a
// conversion repeated on the same history must name its files as they did
// (so a run on 5 April right after one on 5 March is 02).
//
// A day that comes back later in the file, or in a later input of the
// conversion, counts on past the highest number saved for that day in this
// conversion, so no day file of the conversion replaces another.
class RunNumbering {
  public:
    explicit RunNumbering(NumberingRule rule = NumberingRule::DayOfMonth) : rule(rule) {}
    // The next input's runs are numbered by its rule as if it were read
    // alone, counting on past the numbers used before.
    void startInput(NumberingRule inputRule);
    // The open run's number, at its start.
    int numberRun(QDate startDay);
    // The open run has ended, whether it was written or not.
    void runEnded() { previousDay = openDay; }
    // A run's day files were given this number.
    void numberUsed(QDate startDay, int number);

  private:
    NumberingRule rule;
    int openDay = 0;     // day of the month of the last run numbered
    int previousDay = 0; // day of the month of the run closed last (0: none yet)
    int daySequence = 0; // earlier runs on the open run's day of the month
    std::unordered_map<qint64, int> highestUsed; // by Julian day
    std::unordered_map<qint64, int> lastGiven;   // by Julian day, with the Date rule
};

// YYYYMMDD_NN_Weekday: NN two digits at least, the weekday in the user's language.
QString dayFileBaseName(QDate startDay, int number);

} // namespace kelvane
