#include "track_points.h"

#include "text.h"

#include <charconv>

namespace kelvane {

void TrackData::append(const TrackPointState &point)
{
    std::array<std::size_t, 5> ends;
    const std::string *fields[] = {&point.PtLat, &point.PtLon, &point.PtAlt, &point.PtDate,
                                   &point.PtTime};
    for (std::size_t i = 0; i < ends.size(); ++i) {
        cells += *fields[i];
        ends[i] = cells.size();
    }
    rowEnds.push_back(ends);
}

void TrackData::clear()
{
    cells.clear();
    rowEnds.clear();
}

TrackPoint TrackData::row(int index) const
{
    const auto &ends = rowEnds[std::size_t(index)];
    std::size_t begin = index == 0 ? 0 : rowEnds[std::size_t(index) - 1][4];
    std::string_view texts[5];
    for (std::size_t i = 0; i < 5; ++i) {
        texts[i] = std::string_view(cells).substr(begin, ends[i] - begin);
        begin = ends[i];
    }
    return {texts[0], texts[1], texts[2], texts[3], texts[4]};
}

std::optional<std::string_view> ElementText(std::string_view line, std::string_view tag)
{
    const auto close = line.find("</");
    if (close == std::string_view::npos || close < tag.size())
        return std::nullopt;
    return line.substr(tag.size(), close - tag.size());
}

void ShiftHour(std::string_view time, int offset, std::string &out)
{
    // The hour is the number the first two characters begin with, 0 if none.
    const auto head = time.substr(0, 2);
    int hour = 0;
    const char *first = head.data();
    if (!head.empty() && head.front() == '+')
        ++first;
    std::from_chars(first, head.data() + head.size(), hour);

    hour += offset;
    if (hour < 0)
        hour += 24;
    else if (hour >= 24)
        hour -= 24;

    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, hour).ptr;
    out.clear();
    if (end - digits == 1)
        out += '0';
    out.append(digits, end);
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
    const auto close = line.find("</");
    if (t == std::string_view::npos || close == std::string_view::npos || close < t + 2)
        return; // malformed: keep the previous date and time
    state.PtDate.assign(line.substr(tag, t - tag));
    ShiftHour(line.substr(t + 1, close - 1 - (t + 1)), ZOffset, state.PtTime);
}

void TakeField(std::string_view line, std::string_view tag, std::string &field)
{
    if (const auto text = ElementText(line, tag))
        field.assign(*text);
}

} // namespace

void HandleTrackPointLine(std::string_view line, TrackPointState &state, TrackData &track,
                          int ZOffset)
{
    if (line.size() < 2 || line[0] != '<')
        return;
    if (BeginsWith(line, "<Trackpoint>"))
        state.InTrackpoint = true;
    if (BeginsWith(line, "</Trackpoint>")) {
        track.append(state);
        state.InTrackpoint = false;
    }
    if (!state.InTrackpoint)
        return;
    if (BeginsWith(line, "<Latitude>"))
        TakeField(line, "<Latitude>", state.PtLat);
    if (BeginsWith(line, "<Longitude>"))
        TakeField(line, "<Longitude>", state.PtLon);
    if (BeginsWith(line, "<Altitude>"))
        TakeField(line, "<Altitude>", state.PtAlt);
    if (BeginsWith(line, "<Time>"))
        TakeTime(line, state, ZOffset);
}

} // namespace kelvane
