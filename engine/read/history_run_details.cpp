#include "read/history_run_details.h"

#include "text/text.h"

#include <charconv>

namespace kelvane {

namespace {

// The text of a one-line element "<Tag>text</Tag>" after its tag.
std::string_view elementText(std::string_view line, std::size_t tagSize)
{
    const std::string_view rest = line.substr(tagSize);
    return rest.substr(0, rest.find("</"));
}

} // namespace

void HistoryRunDetails::clear()
{
    lapCount = 0;
    inLap = false;
    atTrack = false;
    note = Note::Awaited;
    noteBytes.clear();
}

// A note may run over several lines: its text then holds their line breaks
// and the blanks they begin with. A note's text holds no "<", so a tag line
// other than its end ends a note that was never closed, and is followed.
void HistoryRunDetails::follow(std::string_view raw, std::string_view line)
{
    if (note == Note::Open) {
        if (line.empty() || line[0] != '<' || beginsWith(line, "</Notes>")) {
            noteBytes += '\n';
            takeNoteText(raw);
            return;
        }
        note = Note::Taken;
    }
    if (line.size() < 2 || line[0] != '<')
        return;
    switch (line[1]) {
    case 'L':
        if (beginsWith(line, "<Lap>")) {
            if (lapCount == lapTexts.size())
                lapTexts.emplace_back();
            LapTexts &lap = lapTexts[lapCount++];
            lap.startTime.clear();
            lap.seconds.clear();
            lap.meters.clear();
            lap.calories.clear();
            inLap = true;
        } else if (inLap && beginsWith(line, "<Length>")) {
            lapTexts[lapCount - 1].meters = elementText(line, 8);
        }
        break;
    case 'S':
        if (inLap && beginsWith(line, "<StartTime>"))
            lapTexts[lapCount - 1].startTime = elementText(line, 11);
        break;
    case 'D':
        if (inLap && beginsWith(line, "<Duration>"))
            lapTexts[lapCount - 1].seconds = durationSeconds(elementText(line, 10));
        break;
    case 'C':
        if (inLap && beginsWith(line, "<Calories>"))
            lapTexts[lapCount - 1].calories = elementText(line, 10);
        break;
    case 'T':
        if (!inLap && beginsWith(line, "<Track>"))
            atTrack = true;
        break;
    case '/':
        if (beginsWith(line, "</Lap>"))
            inLap = false;
        break;
    case 'N':
        if (note == Note::Awaited && !inLap && beginsWith(line, "<Notes>")) {
            note = Note::Open;
            const std::size_t tag = raw.find("<Notes>") + 7;
            takeNoteText(raw.substr(tag));
        }
        break;
    default:
        break;
    }
}

void HistoryRunDetails::takeNoteText(std::string_view text)
{
    const auto close = text.find("</Notes>");
    noteBytes += text.substr(0, close);
    if (close != std::string_view::npos)
        note = Note::Taken;
}

std::span<const Lap> HistoryRunDetails::laps()
{
    lapViews.clear();
    for (std::size_t i = 0; i < lapCount; ++i) {
        const LapTexts &lap = lapTexts[i];
        lapViews.push_back({.startTime = lap.startTime,
                            .seconds = lap.seconds,
                            .meters = lap.meters,
                            .calories = lap.calories});
    }
    return lapViews;
}

std::string_view HistoryRunDetails::notes(ByteEncoding encoding)
{
    noteText.clear();
    appendUtf8(noteText, noteBytes, encoding);
    return noteText;
}

std::string durationSeconds(std::string_view duration)
{
    if (!beginsWith(duration, "P"))
        return {};
    std::size_t at = 1;
    bool inTime = false;
    bool any = false;
    qint64 whole = 0;
    std::string_view fraction;
    while (at < duration.size()) {
        if (duration[at] == 'T') {
            if (inTime)
                return {};
            inTime = true;
            ++at;
            continue;
        }
        const std::size_t first = at;
        while (at < duration.size() && isDigit(duration[at]))
            ++at;
        if (at == first || at - first > 12)
            return {};
        qint64 number = 0;
        std::from_chars(duration.data() + first, duration.data() + at, number);
        std::string_view digits;
        if (at < duration.size() && duration[at] == '.') {
            const std::size_t point = ++at;
            while (at < duration.size() && isDigit(duration[at]))
                ++at;
            digits = duration.substr(point, at - point);
            if (digits.empty())
                return {};
        }
        if (at == duration.size())
            return {};
        const char unit = duration[at++];
        // Only seconds may have a fraction.
        if (!digits.empty() && !(inTime && unit == 'S'))
            return {};
        if (!inTime && unit == 'D') {
            whole += number * 86400;
        } else if (inTime && unit == 'H') {
            whole += number * 3600;
        } else if (inTime && unit == 'M') {
            whole += number * 60;
        } else if (inTime && unit == 'S') {
            whole += number;
            fraction = digits;
        } else {
            return {};
        }
        any = true;
    }
    if (!any)
        return {};
    std::string seconds = std::to_string(whole);
    if (!fraction.empty()) {
        seconds += '.';
        seconds += fraction;
    }
    return seconds;
}

} // namespace kelvane
