#include "track_points.h"

#include "text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kelvane {

void TrackData::append(const TrackPointState &point)
{
    if (!recording)
        return;
    const std::string_view fields[] = {point.PtLat.text(), point.PtLon.text(), point.PtAlt.text(),
                                       point.PtDate.text(), point.PtTime};
    std::size_t length = kRowSeparators;
    for (const std::string_view field : fields)
        length += field.size();
    // This runs for every track point: one check, then plain copies. The
    // block grows by doubling and is reused from run to run.
    char *at = cells.data() + used;
    if (used + length > cells.size()) {
        cells.resize(std::max(used + length, 2 * cells.size()));
        at = cells.data() + used;
    }
    std::array<std::size_t, 5> ends;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        std::memcpy(at, fields[i].data(), fields[i].size());
        at += fields[i].size();
        ends[i] = std::size_t(at - cells.data());
        *at++ = i + 1 < ends.size() ? ',' : '\r';
    }
    *at++ = '\n';
    used = std::size_t(at - cells.data());
    rowEnds.push_back(ends);
}

void TrackData::clear()
{
    used = 0;
    rowEnds.clear();
}

TrackPoint TrackData::row(int index) const
{
    const auto &ends = rowEnds[std::size_t(index)];
    // A row begins after the previous row's line end; fields after a comma.
    std::size_t begin = index == 0 ? 0 : rowEnds[std::size_t(index) - 1][4] + kLineEnd.size();
    std::string_view texts[5];
    for (std::size_t i = 0; i < 5; ++i) {
        texts[i] = std::string_view(cells).substr(begin, ends[i] - begin);
        begin = ends[i] + 1;
    }
    return {texts[0], texts[1], texts[2], texts[3], texts[4]};
}

namespace {

// Position of the first "</" at or after `from`.
std::size_t FindClose(std::string_view line, std::size_t from)
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

} // namespace

std::optional<std::string_view> ElementText(std::string_view line, std::string_view tag)
{
    // A field tag has no "<" after its first character, so when the line
    // begins with the tag the first "</" can only come after it.
    const auto close = FindClose(line, BeginsWith(line, tag) ? tag.size() : 0);
    if (close == std::string_view::npos || close < tag.size())
        return std::nullopt;
    return line.substr(tag.size(), close - tag.size());
}

void ShiftHour(std::string_view time, int offset, std::string &out)
{
    // The hour is the number the first two characters begin with, 0 if none.
    const auto head = time.substr(0, 2);
    int hour = 0;
    if (head.size() == 2 && IsDigit(head[0]) && IsDigit(head[1])) {
        hour = (head[0] - '0') * 10 + (head[1] - '0');
    } else {
        const char *first = head.data();
        if (!head.empty() && head.front() == '+')
            ++first;
        std::from_chars(first, head.data() + head.size(), hour);
    }

    hour += offset;
    if (hour < 0)
        hour += 24;
    else if (hour >= 24)
        hour -= 24;

    if (hour >= 0 && hour < 100 && time.size() >= 2) {
        // The common case, once per track point: two digits over the old two.
        out.assign(time);
        out[0] = char('0' + hour / 10);
        out[1] = char('0' + hour % 10);
        return;
    }
    out.clear();
    if (hour >= 0 && hour < 100) {
        const char digits[2] = {char('0' + hour / 10), char('0' + hour % 10)};
        out.append(digits, 2);
    } else {
        char digits[12];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, hour).ptr);
    }
    if (time.size() > 2)
        out.append(time.substr(2));
}

namespace {

// A "<Time>" line: the date before the first "T" after the tag, the time after
// it up to the first "</", less the one character before that (the zone's Z).
void TakeTime(std::string_view line, TrackPointState &state, int ZOffset)
{
    constexpr std::size_t tag = 6; // "<Time>"
    const auto t = line.find('T', tag);
    const auto close = FindClose(line, tag); // "<Time>" holds no "</" of its own
    if (t == std::string_view::npos || close == std::string_view::npos || close < t + 2)
        return; // malformed: keep the previous date and time
    state.PtDate.take(line.substr(tag, t - tag));
    ShiftHour(line.substr(t + 1, close - 1 - (t + 1)), ZOffset, state.PtTime);
}

// Takes the text of a field line that begins with tag; false for other lines.
template <std::size_t N>
bool TakeField(std::string_view line, const char (&tag)[N], FieldText &field)
{
    constexpr std::size_t tagSize = N - 1;
    if (!BeginsWith(line, tag))
        return false;
    // A field tag holds no "<" after its first character, so the first "</"
    // of the line comes after the tag.
    if (const auto close = FindClose(line, tagSize); close != std::string_view::npos)
        field.take(line.substr(tagSize, close - tagSize));
    return true;
}

} // namespace

void HandleTrackPointLine(std::string_view line, TrackPointState &state, TrackData &track,
                          int ZOffset)
{
    if (line.size() < 2 || line[0] != '<')
        return;
    // The tags differ from their second character on, so at most one of the
    // tests below can match a line; the character picks the one to make.
    switch (line[1]) {
    case 'T':
        if (BeginsWith(line, "<Trackpoint>"))
            state.InTrackpoint = true;
        else if (state.InTrackpoint && BeginsWith(line, "<Time>"))
            TakeTime(line, state, ZOffset);
        break;
    case '/':
        if (BeginsWith(line, "</Trackpoint>")) {
            track.append(state);
            state.InTrackpoint = false;
        }
        break;
    case 'L':
        if (state.InTrackpoint && !TakeField(line, "<Latitude>", state.PtLat))
            TakeField(line, "<Longitude>", state.PtLon);
        break;
    case 'A':
        if (state.InTrackpoint)
            TakeField(line, "<Altitude>", state.PtAlt);
        break;
    default:
        break;
    }
}

} // namespace kelvane
