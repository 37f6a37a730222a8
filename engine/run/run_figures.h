#pragma once

// A run's figures: how far, how long, how high, how hard, in SI units, each
// empty where the input gives no way to know it. They are computed from the
// run's points by the rules below, so that anyone can check them, unless the
// device wrote its own totals into the file: those win, as written.

#include "run/sports.h"

#include <QString>

#include <optional>
#include <span>

namespace kelvane {

struct RunFigures {
    std::optional<double> start; // UTC, seconds since 1970-01-01T00:00:00Z (fraction kept)
    // Seconds east of UTC of the zone the run's day is filed under: the
    // local start is start + utcOffset.
    std::optional<int> utcOffset;
    std::optional<Sport> sport;
    QString sportWord;             // the input's own word for it, as written
    std::optional<double> elapsed; // s: first to last timed point, or the device's total
    std::optional<double> moving;  // s
    std::optional<double> distance, ascent, descent;          // m
    std::optional<double> lowest, highest;                    // m: elevations
    std::optional<double> averageSpeed;                       // m/s: distance over moving time
    std::optional<double> maximumSpeed;                       // m/s, as the device recorded it
    std::optional<double> heartRateAverage, heartRateMaximum; // beats per minute
    std::optional<double> cadenceAverage;                     // per minute
    std::optional<double> powerAverage, powerMaximum;         // W
    std::optional<double> calories;                           // kcal
    std::optional<double> temperatureAverage;                 // degrees Celsius
    QString device;
    qint64 points = 0;
    qint64 positionedPoints = 0; // with latitude and longitude

    bool operator==(const RunFigures &) const = default;
};

// One point of a run, in plain numbers; each may be absent.
struct FigurePoint {
    std::optional<double> time;                // seconds since the Unix epoch, UTC
    std::optional<double> latitude, longitude; // degrees; a position needs both
    std::optional<double> elevation;           // m
    std::optional<double> heartRate, cadence, power, temperature;
    std::optional<double> speed;    // m/s, the device's own speed field
    std::optional<double> distance; // m from the start, as the device counted it (not used here)
};

struct DeviceTotals;

// Computes a run's figures from its points, fed one at a time in the run's
// order; keeps a few numbers and allocates nothing. The rules:
// - distance: the great-circle distance between consecutive positioned
//   points (haversine, mean Earth radius 6,371,008.8 m); empty without a
//   positioned point.
// - elapsed time: from the first to the last timed point (never below 0).
// - moving time: the intervals between consecutive timed points whose speed
//   is at least 0.5 m/s. An interval's speed is the distance covered between
//   its two points (every leg between positioned points from the first to
//   the second) over its duration, when both points have a position; when
//   one has none, the device's speed at the later point; without that, the
//   interval is not moving. Intervals of no duration or going back in time
//   count for nothing. Empty when no interval's speed was known.
// - ascent and descent: a reference starts at the first elevation; a point
//   more than 5 m above the reference adds its rise to the ascent and becomes
//   the reference, one more than 5 m below adds its fall to the descent and
//   becomes the reference. Lowest and highest: of all elevations.
// - averages of heart rate, cadence, power and temperature: the mean of the
//   points that have one; maxima of heart rate, power and (the device's)
//   speed: the highest.
class RunFiguresAccumulator {
  public:
    static constexpr double kEarthRadius = 6371008.8; // m
    static constexpr double kMovingSpeed = 0.5;       // m/s
    static constexpr double kElevationHysteresis = 5; // m

    // Leaves what a device's totals give to them, before the first point:
    // the distance and moving time when both are given (the great circles
    // are most of a point's cost), the ascent and descent when both are.
    // Those figures are then empty.
    void leaveTo(const DeviceTotals &totals);
    void add(const FigurePoint &point);
    // The figures of the points so far, start from the first timed point;
    // sport, device, offset and calories are left for the caller.
    RunFigures figures() const;

  private:
    struct Mean {
        double sum = 0;
        qint64 count = 0;
        void add(const std::optional<double> &value)
        {
            if (value) {
                sum += *value;
                ++count;
            }
        }
        std::optional<double> value() const
        {
            return count ? std::optional(sum / double(count)) : std::nullopt;
        }
    };

    // The great circle to the next positioned point, the interval to the
    // next timed one (moving or not), and the climb to the next elevation.
    void go(double latitude, double longitude);
    void move(double duration, bool positioned, const std::optional<double> &deviceSpeed);
    void climb(double elevation);

    qint64 points = 0, positionedPoints = 0;
    // The last positioned point, in radians, and the cosine of its latitude.
    double lastLatitude = 0, lastLongitude = 0, lastCosLatitude = 0;
    double distance = 0; // along the track so far
    // The last timed point: its time, whether it had a position, the distance there.
    std::optional<double> firstTime, lastTime;
    bool lastTimedPositioned = false;
    double lastTimedDistance = 0;
    double moving = 0;
    bool movingKnown = false;
    bool trackGiven = false, climbGiven = false; // leaveTo()
    std::optional<double> reference;             // of ascent and descent
    double ascent = 0, descent = 0;
    std::optional<double> lowest, highest;
    Mean heartRate, cadence, power, temperature;
    std::optional<double> heartRateMaximum, powerMaximum, speedMaximum;
};

// Totals a device wrote of a run or of a part of it, in SI units; absent
// where the file leaves them out.
struct DeviceTotals {
    std::optional<double> elapsed, moving;                    // s
    std::optional<double> distance, ascent, descent;          // m
    std::optional<double> heartRateAverage, heartRateMaximum; // beats per minute
    std::optional<double> maximumSpeed;                       // m/s
    std::optional<double> calories;                           // kcal
    std::optional<double> powerAverage, powerMaximum;         // W
    std::optional<double> temperatureAverage;                 // degrees Celsius

    bool operator==(const DeviceTotals &) const = default;
};

// The totals of a FIT activity from those of its sessions (total_elapsed_time,
// total_timer_time as moving time, total_distance, total_ascent,
// total_descent, avg_heart_rate, max_heart_rate, max_speed or its enhanced
// field, total_calories, avg_power, max_power, avg_temperature): totals
// summed, averages weighted by the sessions' moving (timer) times, maxima the
// highest. A figure is known when one session has it; an average of sessions
// without a timer time is weighted by their elapsed time, and with neither it
// is their plain mean.
DeviceTotals sessionTotals(std::span<const DeviceTotals> sessions);

// One lap of a TCX activity, in numbers.
struct TcxLapTotals {
    std::optional<double> seconds;  // TotalTimeSeconds
    std::optional<double> meters;   // DistanceMeters
    std::optional<double> calories; // Calories
    std::optional<double> maximumSpeed;
    std::optional<double> averageHeartRate,
        maximumHeartRate; // AverageHeartRateBpm, MaximumHeartRateBpm
};

// A TCX activity's totals from its laps: TotalTimeSeconds summed as the
// moving time, distances and calories summed, the highest maxima, the
// average heart rate weighted by the laps' times.
DeviceTotals lapTotals(std::span<const TcxLapTotals> laps);

// Puts every total the device wrote in place of the computed figure, and
// the average speed anew from the distance and moving time.
void useDeviceTotals(RunFigures &figures, const DeviceTotals &totals);

} // namespace kelvane
