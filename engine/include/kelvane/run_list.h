#pragma once

// The runs a conversion would write, listed instead of written.

#include <kelvane/conversion.h>

#include <QString>
#include <QStringList>

namespace kelvane {

struct ListedRun {
    QString baseName;    // YYYYMMDD_NN_Weekday, as the run's day files would be named
    QString startTime;   // as written; in the zone's local time, with its offset, when one is given
    QString utcStart;    // the start instant in UTC ("2021-06-30T23:30:00Z"); empty when unreadable
    QString sport;       // as the input names it; empty where it names none
    double seconds = -1; // the laps' durations added up; -1: no lap has one
    double meters = -1;  // the laps' lengths added up, else the way along the track; -1: neither
    int points = 0;      // every track point
    int positioned = 0;  // the track points that have a position
    QString note;        // the note's text: references read, CDATA opened, comments left out
    QString input;       // the name of the input it was read from
    // The run's figures, as listedFigureNames() names them: numbers with a
    // dot, empty where unknown.
    QStringList figures;
};

// The names of the figure columns, as runs.csv names them (elapsed_s,
// moving_s, distance_m ...), then sport_name (running, cycling ...: the
// sport column holds the input's own word) and device.
QStringList listedFigureNames();

class RunListSink {
  public:
    virtual ~RunListSink() = default;
    // A run in the window, in the order of the file.
    virtual void runListed(const ListedRun &run) = 0;
};

// Reads the inputs as makeDayFiles() does and tells the sink of every
// run whose day files it would save, writing nothing. The output folder is
// not used, and the day files chosen do not matter.
ConversionSummary listRuns(const ConversionRequest &request, RunListSink &list,
                           ProgressSink &progress);

} // namespace kelvane
