#pragma once

#include "run/run.h"

#include <string>
#include <vector>

namespace kelvane {

// What the writers that do not copy a run's document need of it, copied out
// of the reader's buffers, so that the run can be written on the saving
// thread while the reader goes on. Its buffers are kept from run to run.
class RunCopy {
  public:
    RunCopy() = default;
    // It points into itself.
    RunCopy(const RunCopy &) = delete;
    RunCopy &operator=(const RunCopy &) = delete;

    void assign(const Run &run);
    // The run over the copy; it has no document.
    const Run &run() const { return copied; }
    // About how many bytes the copy holds.
    std::size_t size() const;
    // About how many bytes its buffers keep: those of the largest run it held.
    std::size_t retained() const { return largest; }

  private:
    Run copied; // its views point into the members below
    TrackPoints points;
    // startTime, sport, notes, each lap's texts and each part's, one after another.
    std::string texts;
    std::vector<std::size_t> ends; // end offset of each text
    std::vector<Lap> laps;
    std::vector<RunPart> parts;
    std::size_t largest = 0;
};

} // namespace kelvane
