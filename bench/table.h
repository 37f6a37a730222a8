#pragma once

// The benchmark's tables, one printer for all of its parts: a line of column
// names, then a row a measure. A row with a target says whether it was met;
// a missed one clears allMet, which makes the program exit with 1.

#include "child_process.h"
#include "history_facts.h"

#include <QString>

inline constexpr double kMiB = 1024.0 * 1024.0;
inline constexpr double kMemoryTarget = 32; // MiB of peak memory above the largest run

struct Row {
    QString measure;
    qint64 files = -1;
    double seconds = 0;
    double inputBytes = 0;
    double ratio = 0;  // 0: none
    double target = 0; // 0: no target
};

// "met" or "MISSED", which also clears allMet.
const char *Verdict(bool met, bool &allMet);

// The columns of timings: the measure, files, seconds, MiB/s, and the ratio
// and its target unless without them.
void PrintTimingHeader(const char *measure, bool withRatio = true);
void PrintRow(const Row &row, bool &allMet);

// The columns of peak memory: the measure, seconds, MiB/s, the largest run,
// the peak and how far above the run it lies, the target.
void PrintPeakHeader(const char *measure, const char *largest = "largest run",
                     const char *above = "above run");
// kelvane-split's peak memory on a file, against its largest run.
void PrintPeakRow(const QString &path, const HistoryFacts &facts, const ChildResult &child,
                  bool &allMet);

// How many times faster than another program, at least `least` times when
// that is not 0.
void PrintSpeedUp(const char *label, double ratio, double least, bool &allMet);
// How much more peak memory a larger input took, at most `most` MiB.
void PrintGrowth(const char *label, double mebibytes, double most, bool &allMet);
