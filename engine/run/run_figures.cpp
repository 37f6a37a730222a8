#include "run/run_figures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

constexpr double kRadians = std::numbers::pi / 180;

// sin and asin of the small angles between consecutive points by the first
// terms of their series: exact to a double's precision below 1e-3 (the first
// term left out is below 1e-18 of the value there), and cheaper than the
// calls, which took a seventh of the time of a point.
double sine(double x)
{
    if (std::abs(x) >= 1e-3)
        return std::sin(x);
    const double x2 = x * x;
    return x * (1 - x2 * (1.0 / 6) * (1 - x2 * (1.0 / 20))); // no division: they are slow
}

double arcSine(double y)
{
    if (y >= 1e-3)
        return std::asin(std::min(y, 1.0));
    const double y2 = y * y;
    return y * (1 + y2 * (1.0 / 6 + y2 * (3.0 / 40)));
}

std::optional<double> averageSpeed(const RunFigures &figures)
{
    if (figures.distance && figures.moving && *figures.moving > 0)
        return *figures.distance / *figures.moving;
    return std::nullopt;
}

void addTo(std::optional<double> &total, const std::optional<double> &value)
{
    if (value)
        total = total.value_or(0) + *value;
}

void raise(std::optional<double> &highest, const std::optional<double> &value)
{
    if (value && (!highest || *value > *highest))
        highest = value;
}

// A mean of parts weighted by their time.
struct WeightedMean {
    double sum = 0, weight = 0;
    double plainSum = 0;
    int count = 0;
    void add(const std::optional<double> &value, double partWeight)
    {
        if (!value)
            return;
        sum += *value * partWeight;
        weight += partWeight;
        plainSum += *value;
        ++count;
    }
    std::optional<double> value() const
    {
        if (weight > 0)
            return sum / weight;
        return count ? std::optional(plainSum / count) : std::nullopt;
    }
};

void use(std::optional<double> &figure, const std::optional<double> &total)
{
    if (total)
        figure = total;
}

} // namespace

void RunFiguresAccumulator::add(const FigurePoint &point)
{
    ++points;
    const bool positioned = point.latitude && point.longitude;
    if (positioned) {
        if (!trackGiven)
            go(*point.latitude, *point.longitude);
        ++positionedPoints;
    }

    if (point.time) {
        const double time = *point.time;
        if (!lastTime)
            firstTime = time;
        else if (!trackGiven)
            move(time - *lastTime, positioned, point.speed);
        lastTime = time;
        lastTimedPositioned = positioned;
        lastTimedDistance = distance;
    }

    if (const auto &elevation = point.elevation) {
        if (!climbGiven)
            climb(*elevation);
        if (!lowest || *elevation < *lowest)
            lowest = elevation;
        raise(highest, elevation);
    }

    heartRate.add(point.heartRate);
    cadence.add(point.cadence);
    power.add(point.power);
    temperature.add(point.temperature);
    raise(heartRateMaximum, point.heartRate);
    raise(powerMaximum, point.power);
    raise(speedMaximum, point.speed);
}

void RunFiguresAccumulator::go(double latitudeDegrees, double longitudeDegrees)
{
    const double latitude = latitudeDegrees * kRadians;
    const double longitude = longitudeDegrees * kRadians;
    const double cosLatitude = std::cos(latitude);
    if (positionedPoints > 0) {
        const double sinHalfLatitude = sine((latitude - lastLatitude) / 2);
        const double sinHalfLongitude = sine((longitude - lastLongitude) / 2);
        const double h = sinHalfLatitude * sinHalfLatitude +
                         lastCosLatitude * cosLatitude * sinHalfLongitude * sinHalfLongitude;
        distance += 2 * kEarthRadius * arcSine(std::sqrt(h));
    }
    lastLatitude = latitude;
    lastLongitude = longitude;
    lastCosLatitude = cosLatitude;
}

void RunFiguresAccumulator::move(double duration, bool positioned,
                                 const std::optional<double> &deviceSpeed)
{
    if (duration <= 0)
        return;
    std::optional<double> speed = deviceSpeed;
    if (positioned && lastTimedPositioned)
        speed = (distance - lastTimedDistance) / duration;
    if (speed) {
        movingKnown = true;
        if (*speed >= kMovingSpeed)
            moving += duration;
    }
}

void RunFiguresAccumulator::climb(double elevation)
{
    if (!reference) {
        reference = elevation;
    } else if (elevation > *reference + kElevationHysteresis) {
        ascent += elevation - *reference;
        reference = elevation;
    } else if (elevation < *reference - kElevationHysteresis) {
        descent += *reference - elevation;
        reference = elevation;
    }
}

void RunFiguresAccumulator::leaveTo(const DeviceTotals &totals)
{
    trackGiven = totals.distance && totals.moving;
    climbGiven = totals.ascent && totals.descent;
}

RunFigures RunFiguresAccumulator::figures() const
{
    RunFigures figures;
    figures.start = firstTime;
    if (firstTime)
        figures.elapsed = std::max(0.0, *lastTime - *firstTime);
    if (movingKnown)
        figures.moving = moving;
    if (positionedPoints > 0 && !trackGiven)
        figures.distance = distance;
    if (reference) {
        figures.ascent = ascent;
        figures.descent = descent;
    }
    figures.lowest = lowest;
    figures.highest = highest;
    figures.averageSpeed = averageSpeed(figures);
    figures.maximumSpeed = speedMaximum;
    figures.heartRateAverage = heartRate.value();
    figures.heartRateMaximum = heartRateMaximum;
    figures.cadenceAverage = cadence.value();
    figures.powerAverage = power.value();
    figures.powerMaximum = powerMaximum;
    figures.temperatureAverage = temperature.value();
    figures.points = points;
    figures.positionedPoints = positionedPoints;
    return figures;
}

DeviceTotals sessionTotals(std::span<const DeviceTotals> sessions)
{
    DeviceTotals totals;
    WeightedMean heartRate, power, temperature;
    for (const DeviceTotals &session : sessions) {
        addTo(totals.elapsed, session.elapsed);
        addTo(totals.moving, session.moving);
        addTo(totals.distance, session.distance);
        addTo(totals.ascent, session.ascent);
        addTo(totals.descent, session.descent);
        addTo(totals.calories, session.calories);
        raise(totals.heartRateMaximum, session.heartRateMaximum);
        raise(totals.maximumSpeed, session.maximumSpeed);
        raise(totals.powerMaximum, session.powerMaximum);
        const double weight = session.moving.value_or(session.elapsed.value_or(0));
        heartRate.add(session.heartRateAverage, weight);
        power.add(session.powerAverage, weight);
        temperature.add(session.temperatureAverage, weight);
    }
    totals.heartRateAverage = heartRate.value();
    totals.powerAverage = power.value();
    totals.temperatureAverage = temperature.value();
    return totals;
}

DeviceTotals lapTotals(std::span<const TcxLapTotals> laps)
{
    DeviceTotals totals;
    WeightedMean heartRate;
    for (const TcxLapTotals &lap : laps) {
        addTo(totals.moving, lap.seconds);
        addTo(totals.distance, lap.meters);
        addTo(totals.calories, lap.calories);
        raise(totals.maximumSpeed, lap.maximumSpeed);
        raise(totals.heartRateMaximum, lap.maximumHeartRate);
        heartRate.add(lap.averageHeartRate, lap.seconds.value_or(0));
    }
    totals.heartRateAverage = heartRate.value();
    return totals;
}

void useDeviceTotals(RunFigures &figures, const DeviceTotals &totals)
{
    use(figures.elapsed, totals.elapsed);
    use(figures.moving, totals.moving);
    use(figures.distance, totals.distance);
    use(figures.ascent, totals.ascent);
    use(figures.descent, totals.descent);
    use(figures.heartRateAverage, totals.heartRateAverage);
    use(figures.heartRateMaximum, totals.heartRateMaximum);
    use(figures.maximumSpeed, totals.maximumSpeed);
    use(figures.calories, totals.calories);
    use(figures.powerAverage, totals.powerAverage);
    use(figures.powerMaximum, totals.powerMaximum);
    use(figures.temperatureAverage, totals.temperatureAverage);
    figures.averageSpeed = averageSpeed(figures);
}

} // namespace kelvane
