#pragma once

#include <QDate>
#include <QString>

// What the benchmark needs to know about a history file before it times
// anything: its size, how many runs, the largest run, and a day with runs on it.
struct HistoryFacts {
    qint64 bytes = 0;
    qint64 lines = 0;
    int runs = 0;
    qint64 largestRunBytes = 0; // from the <Run> line through the </Run> line, line ends included
    QDate middleDay;            // start day of the run in the middle of the file
    QString error;              // empty when the file was read
};

HistoryFacts ScanHistory(const QString &path);
// The same for a Training Center file as the benchmark writes them (one tag a
// line): its activities are the runs, counted from <Activity through </Activity>.
HistoryFacts ScanTcx(const QString &path);
