#include "read/fit_heart_rates.h"

#include "fit/fit_values.h"
#include "run/track_points.h"

#include <QtEndian>

#include <array>
#include <cmath>
#include <cstdlib>

namespace kelvane {

namespace {

constexpr double kEventScale = 1024;                      // event_timestamp: 1/1024 s
constexpr double kFractionScale = 32768;                  // fractional_timestamp: 1/32768 s
constexpr double kEventRollover = 0x400000 / kEventScale; // of the 32-bit event time, in s
constexpr std::size_t kMostEvents = 10; // the parts event_timestamp_12 has room for

} // namespace

// An anchor (a timestamp and one event time) ties event times to the
// clock; the messages after it give event times and beats, either whole or
// as 12-bit parts each added to the event time before. A message that does
// not fit that shape is passed over.
void FitHeartRates::add(const FitHr &hr)
{
    std::array<double, kMostEvents> events{};
    std::size_t count = 0;
    const auto *whole = reinterpret_cast<const unsigned char *>(hr.eventTimestamp.data());
    const auto *parts = reinterpret_cast<const unsigned char *>(hr.eventTimestamp12.data());
    if (!hr.eventTimestamp.empty()) {
        for (std::size_t i = 0; i + 4 <= hr.eventTimestamp.size() && count < kMostEvents; i += 4) {
            const std::uint32_t raw = hr.bigEndian ? qFromBigEndian<quint32>(whole + i)
                                                   : qFromLittleEndian<quint32>(whole + i);
            if (raw == 0xFFFFFFFF)
                continue;
            accumulated = lastPart = raw;
            accumulating = true;
            events[count++] = double(raw) / kEventScale;
        }
    } else if (hr.eventTimestamp12.find_first_not_of('\xFF') != std::string_view::npos) {
        const std::size_t bits = 8 * hr.eventTimestamp12.size();
        for (std::size_t bit = 0; bit + 12 <= bits && count < kMostEvents; bit += 12) {
            const std::size_t byte = bit / 8;
            const unsigned pair = parts[byte] | unsigned(parts[byte + 1]) << 8;
            const std::uint64_t part = (bit % 8 ? pair >> 4 : pair) & 0xFFF;
            if (!accumulating) {
                accumulated = lastPart = part;
                accumulating = true;
            }
            accumulated += (part - lastPart) & 0xFFF;
            lastPart = part;
            events[count++] = double(accumulated) / kEventScale;
        }
    }
    if (hr.timestamp) {
        if (count != 1)
            return;
        anchorTime = double(*hr.timestamp);
        if (hr.fractionalTimestamp)
            anchorTime += *hr.fractionalTimestamp / kFractionScale;
        anchorEvent = events[0];
        anchored = true;
    }
    if (!anchored || count == 0 || hr.filteredBpm.size() != count)
        return;
    for (std::size_t i = 0; i < count; ++i) {
        double event = events[i];
        if (event < anchorEvent)
            event += kEventRollover;
        addSample(anchorTime + (event - anchorEvent), std::uint8_t(hr.filteredBpm[i]));
    }
}

// The last beat is carried on across a gap, in steps of 250 ms for up to 5 s.
void FitHeartRates::addSample(double time, std::uint8_t bpm)
{
    constexpr int kStepMilliseconds = 250, kMostSteps = 5000 / kStepMilliseconds;
    if (!samples.empty()) {
        const Sample before = samples.back();
        double gap = std::abs(time - before.time) * 1000;
        for (int step = 1; gap > kStepMilliseconds && step <= kMostSteps; ++step) {
            samples.push_back({before.time + kStepMilliseconds / 1000.0 * step, before.bpm});
            gap -= kStepMilliseconds;
        }
    }
    samples.push_back({time, bpm});
}

// The range of a point's samples starts where the last range that met a
// later sample ended; a point at the time of the range's start looks one
// second back (and one sample), as the FIT SDK does.
void FitHeartRates::mergeInto(TrackPoints &points) const
{
    std::size_t next = 0;
    bool started = false;
    double rangeStart = 0;
    for (int i = 0; i < points.size(); ++i) {
        const RecordedPoint &point = points.recordedAt(i);
        if (!(point.has & RecordedPoint::kTime))
            continue;
        const double rangeEnd = double(point.time - kFitEpoch); // in FIT seconds, as the samples
        if (!started) {
            rangeStart = rangeEnd;
            started = true;
        }
        if (rangeStart == rangeEnd) {
            --rangeStart;
            next = next >= 1 ? next - 1 : 0;
        }
        double sum = 0;
        int count = 0;
        for (; next < samples.size(); ++next) {
            const Sample &sample = samples[next];
            if (sample.time > rangeEnd) {
                if (count > 0)
                    points.setHeartRate(i, std::uint8_t(std::floor(sum / count + 0.5)));
                rangeStart = rangeEnd;
                break;
            }
            if (sample.time > rangeStart) {
                sum += sample.bpm;
                ++count;
            }
        }
    }
}

} // namespace kelvane
