#pragma once

// The figures of a run as read (run_figures.h for the rules): the one place
// where a run's points, totals, sport and device become its RunFigures, for
// --list, the pictures and the library alike.

#include "run/run.h"
#include "run/run_figures.h"
#include "time/zone_offsets.h"

#include <string>

namespace kelvane {

// The figures of a run's points, fed one at a time by a caller that walks
// them anyway (the picture writer), and then of the run.
class RunPointFigures {
  public:
    RunPointFigures() = default;
    // For the points of this run: what its device's totals give is left to
    // them (RunFiguresAccumulator::leaveTo).
    explicit RunPointFigures(const Run &run);
    // The numbers of a point (a text that is no number is none), added.
    const FigurePoint &add(const TrackPoints &points, int index);
    const FigurePoint &add(const RecordedPoint &recorded);
    // The figures of the run: its points' figures so far, its start, the
    // totals its device wrote winning, its sport and device; the local start
    // in zone, or in UTC without one.
    RunFigures figures(const Run &run, ZoneOffsets *zone) const;

  private:
    RunFiguresAccumulator accumulator;
    FigurePoint point;
    std::string scratch;
    qint64 positioned = 0; // points with both a latitude and a longitude
};

// The figures of a run, its points walked once.
RunFigures runFigures(const Run &run, ZoneOffsets *zone);

// The offset from UTC, in seconds, of a run starting at `start` (seconds
// since the epoch): in zone, where the local time the run's own file gives
// wins (--timezone recorded), or that local time alone without a zone.
int utcOffsetOf(const Run &run, double start, ZoneOffsets *zone);

// A run's start and elapsed time alone, as runFigures() gives them, from its
// first and last timed points (or its device's total): enough to tell where
// a library puts it, while the rest waits for the saving thread.
RunFigures runStartAndElapsed(const Run &run);

} // namespace kelvane
