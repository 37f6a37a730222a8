#pragma once

#include "track_points.h"

#include <QDate>
#include <QString>

#include <string>

namespace kelvane {

// Where the reader stands while it reads one history file.
struct RunState {
    bool InRun = false;           // from a <Run> line through its </Run> line
    bool AwaitStart = false;      // the open run's first <StartTime> line is still to come
    bool StartSeen = false;       // a <StartTime> line of the open run was taken
    bool RunInWindow = false;     // the open run's start day lies in the date window
    bool ProgressStarted = false; // BeginDays has been reported
    bool Skipped = false;         // the open run was reported as skipped and writes nothing
    bool LinesDropped = false;    // lines of the open run were not kept (it lay outside the window)
    int DaySeq = 0;               // earlier runs on the open run's day of month
    int RunDay = 0;               // day of month of the last start time taken
    int PrevDay = 0;              // day of month of the run closed last (0: none yet)
    QDate RunDate;                // start day of the last start time taken
    int NN = 0;                   // the open run's number within its day
    QString DayFileName;          // YYYYMMDD_NN_Weekday of the open run
    std::string XmlDeclLine;      // the last line that began "<?xml version=", as read
    std::string HistoryLine;      // the last line that began "<History", as read
    qint64 RunStartLine = 0;      // line number of the open run's <Run> line
    TrackPointState Track;        // InTrackpoint and the current point's texts
};

} // namespace kelvane
