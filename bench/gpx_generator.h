#pragma once

#include "history_generator.h"

// Writes made-up GPX 1.1 files for the benchmark, as a phone or bike app
// exports its rides: a track for each ride, a point a second with elevation
// and time, and heart rate and cadence in the device maker's track point
// extension. Rides follow each other every day or two, now and then one in
// the late evening that goes on past midnight (so that its track is cut). The
// same bytes for the same size on every machine; the file is valid against
// the GPX 1.1 schema.
GeneratedHistory GenerateGpx(const QString &path, const HistoryShape &shape);
