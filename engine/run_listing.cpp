#include "run_listing.h"

#include "time/instant.h"
#include "time/zone_offsets.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

bool readNumber(std::string_view text, double &value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

// Adds up one figure of every lap that has it; -1 when none has.
double lapTotal(std::span<const Lap> laps, std::string_view Lap::*figure)
{
    double total = 0;
    bool any = false;
    for (const Lap &lap : laps) {
        double value = 0;
        if (readNumber(lap.*figure, value)) {
            total += value;
            any = true;
        }
    }
    return any ? total : -1;
}

} // namespace

double trackMeters(const TrackPoints &points)
{
    // The great-circle distance on a sphere of the earth's mean radius.
    constexpr double kEarthMeters = 6371008.8;
    constexpr double kRadians = std::numbers::pi / 180;
    double meters = 0;
    bool havePrevious = false;
    double lat0 = 0, lon0 = 0;
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        double lat = 0, lon = 0;
        if (!readNumber(p.latitude, lat) || !readNumber(p.longitude, lon))
            continue;
        lat *= kRadians;
        lon *= kRadians;
        if (havePrevious) {
            const double dLat = std::sin((lat - lat0) / 2), dLon = std::sin((lon - lon0) / 2);
            const double h = dLat * dLat + std::cos(lat0) * std::cos(lat) * dLon * dLon;
            meters += 2 * kEarthMeters * std::asin(std::sqrt(std::min(1.0, h)));
        }
        lat0 = lat;
        lon0 = lon;
        havePrevious = true;
    }
    return meters;
}

QString characterData(std::string_view text)
{
    QString out;
    std::size_t from = 0;
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at = text.find('&', at + 1)) {
        const std::size_t semicolon = text.find(';', at);
        if (semicolon == std::string_view::npos || semicolon - at > 10)
            continue;
        const std::string_view name = text.substr(at + 1, semicolon - at - 1);
        char32_t character = 0;
        if (name == "amp") {
            character = '&';
        } else if (name == "lt") {
            character = '<';
        } else if (name == "gt") {
            character = '>';
        } else if (name == "quot") {
            character = '"';
        } else if (name == "apos") {
            character = '\'';
        } else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            unsigned value = 0;
            const auto digits = name.substr(hex ? 2 : 1);
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            if (error != std::errc() || end != digits.data() + digits.size() || value == 0 ||
                value > 0x10FFFF)
                continue;
            character = value;
        } else {
            continue;
        }
        out += QString::fromUtf8(text.data() + from, qsizetype(at - from));
        out += QString::fromUcs4(&character, 1);
        from = semicolon + 1;
        at = semicolon;
    }
    out += QString::fromUtf8(text.data() + from, qsizetype(text.size() - from));
    return out;
}

ListedRun listedRun(const Run &run, ZoneOffsets *zone)
{
    ListedRun listed;
    listed.baseName = run.baseName;
    const auto start = zone ? readInstant(run.startTime) : std::nullopt;
    if (start) {
        std::string local;
        appendLocal(local, *start, zone->offsetAt(start->seconds));
        listed.startTime = QString::fromLatin1(local.data(), qsizetype(local.size()));
    } else {
        listed.startTime = QString::fromUtf8(run.startTime.data(), qsizetype(run.startTime.size()));
    }
    listed.seconds = lapTotal(run.laps, &Lap::seconds);
    listed.meters = lapTotal(run.laps, &Lap::meters);
    if (listed.meters < 0 && run.points && run.points->size() > 0)
        listed.meters = trackMeters(*run.points);
    listed.points = run.points ? run.points->size() : 0;
    listed.note = characterData(run.notes);
    return listed;
}

} // namespace kelvane
