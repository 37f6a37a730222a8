#pragma once

#include "history_generator.h"

// Writes made-up Training Center files for the benchmark: one realistic
// activity (a ride of forty minutes, a point a second or as the shape asks,
// with heart rate, cadence, speed and power, as a device's web export writes
// it) repeated with its dates moved on, now and then twice on one day. The same bytes for
// the same size on every machine; the file is valid against the TCX schema.
GeneratedHistory GenerateTcx(const QString &path, const HistoryShape &shape);
