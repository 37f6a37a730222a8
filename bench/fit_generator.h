#pragma once

#include "history_generator.h"

// Writes a made-up FIT activity for the benchmark, as a multisport watch
// records one: a run, a ride and a run again, each session of laps of ten
// minutes, a record a second with position, enhanced altitude, heart rate,
// cadence, distance, enhanced speed and power, then the activity message.
// The records fill the target size, so the activity lasts as long as that
// takes; the same bytes for the same size on every machine, with a right
// data size and CRC. It counts as one run.
GeneratedHistory GenerateFit(const QString &path, const HistoryShape &shape);

// Bytes of a record's data message, its header included: nearly all of the file.
inline constexpr int kFitRecordBytes = 29;
