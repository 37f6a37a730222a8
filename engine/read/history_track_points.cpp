#include "read/history_track_points.h"

#include "text/text.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

namespace {

// Position of the first "</" at or after `from`.
std::size_t findClose(std::string_view line, std::size_t from)
{
    const char *const end = line.data() + line.size();
    const char *p = line.data() + std::min(from, line.size());
    while ((p = static_cast<const char *>(std::memchr(p, '<', std::size_t(end - p)))) != nullptr) {
        if (++p == end)
            break;
        if (*p == '/')
            return std::size_t(p - 1 - line.data());
    }
    return std::string_view::npos;
}

// A "<Time>" line: the date before the first "T" after the tag, the time after
// it up to the first "</", less the one character before that (the zone's Z),
// which is held apart.
void takeTime(std::string_view line, HistoryPointState &state)
{
    constexpr std::size_t tag = 6; // "<Time>"
    const auto t = line.find('T', tag);
    const auto close = findClose(line, tag); // "<Time>" holds no "</" of its own
    if (t == std::string_view::npos || close == std::string_view::npos || close < t + 2)
        return; // malformed: keep the previous date and time
    state.date.take(line.substr(tag, t - tag));
    state.time.take(line.substr(t + 1, close - 1 - (t + 1)));
    state.zone.take(line.substr(close - 1, 1));
}

// Takes the text of a field line that begins with tag; false for other lines.
template <std::size_t N>
bool takeField(std::string_view line, const char (&tag)[N], FieldText &field)
{
    constexpr std::size_t tagSize = N - 1;
    if (!beginsWith(line, tag))
        return false;
    // A field tag holds no "<" after its first character, so the first "</"
    // of the line comes after the tag.
    if (const auto close = findClose(line, tagSize); close != std::string_view::npos)
        field.take(line.substr(tagSize, close - tagSize));
    return true;
}

} // namespace

void followTrackPointLine(std::string_view line, HistoryPointState &state, TrackPoints &points)
{
    if (line.size() < 2 || line[0] != '<')
        return;
    // The tags differ from their second character on, so at most one of the
    // tests below can match a line; the character picks the one to make.
    switch (line[1]) {
    case 'T':
        if (beginsWith(line, "<Trackpoint>"))
            state.inTrackpoint = true;
        else if (state.inTrackpoint && beginsWith(line, "<Time>"))
            takeTime(line, state);
        break;
    case '/':
        if (beginsWith(line, "</Trackpoint>")) {
            const TrackPoint point = state.current();
            points.append(point);
            points.borrowPlace(!(state.latitudeInRun && state.longitudeInRun) &&
                                   !(point.latitude.empty() && point.longitude.empty()),
                               !state.altitudeInRun && !point.altitude.empty());
            state.inTrackpoint = false;
        }
        break;
    case 'L':
        if (!state.inTrackpoint)
            break;
        if (takeField(line, "<Latitude>", state.latitude))
            state.latitudeInRun = true;
        else if (takeField(line, "<Longitude>", state.longitude))
            state.longitudeInRun = true;
        break;
    case 'A':
        if (state.inTrackpoint && takeField(line, "<Altitude>", state.altitude))
            state.altitudeInRun = true;
        break;
    default:
        break;
    }
}

} // namespace kelvane
