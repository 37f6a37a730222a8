#pragma once

// Heart rate that a chest strap stored itself (in swims, or runs without the
// watch's sensor) and handed over as hr messages at the activity's end. Its
// beats are given their instants as they come, and merged into the run's
// records at the end as the FIT SDK merges them, so that a day file shows
// what the format maker's own tools show.

#include "fit/fit_messages.h"

#include <cstdint>
#include <vector>

namespace kelvane {

class TrackPoints;

class FitHeartRates {
  public:
    void add(const FitHr &hr);
    // Each point with a time gets the rounded mean of the samples after
    // the point before and up to its own time; a point with none keeps its
    // heart rate.
    void mergeInto(TrackPoints &points) const;
    bool empty() const { return samples.empty(); }
    std::size_t byteSize() const { return samples.capacity() * sizeof(Sample); }
    void clear() { *this = FitHeartRates(); }

  private:
    struct Sample {
        double time; // FIT seconds, with their fraction
        std::uint8_t bpm;
    };
    void addSample(double time, std::uint8_t bpm);

    std::vector<Sample> samples;
    bool anchored = false;
    double anchorTime = 0, anchorEvent = 0; // seconds
    // The event time in 1/1024 s that 12-bit parts are added to, and the last part.
    bool accumulating = false;
    std::uint64_t accumulated = 0, lastPart = 0;
};

} // namespace kelvane
