#pragma once

// How the XML writers take a point's texts: copied without a look where the
// reader promises them plain (TrackPoint::plainTexts), checked against the
// schemas' types otherwise. A writer's one point writer is a template over
// these two, chosen once a run (TrackPoints::textsArePlain()), so that
// neither case pays for the other's checks.

#include "run/track_points.h"
#include "write/point_instants.h"
#include "write/schema_values.h"
#include "xml/xml_buffer.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// A point's time as the file writes it: date, "T" and time of day in UTC
// followed by "Z", or one whole text (brought to UTC, escaped) in whole.
struct PointTime {
    std::string_view date, time, whole;
    bool has() const { return !time.empty() || !whole.empty(); }
    std::size_t size() const { return date.size() + time.size() + whole.size(); }
};

// Plain texts: a value is there or not; whole numbers are at least 0 and at
// most what the schemas take (a heart rate or cadence below 255, a power
// below 65536), so only a heart rate of 0 is none.
struct PlainPointTexts {
    static std::string_view decimal(std::string_view text, std::string &) { return text; }
    static bool isDecimal(std::string_view text) { return !text.empty(); }
    static std::string_view escaped(std::string_view text, std::string &) { return text; }
    static bool isWhole(std::string_view text, unsigned low, unsigned)
    {
        return !text.empty() && (low == 0 || text != "0");
    }
    static PointTime time(const TrackPoint &point, PointInstants &)
    {
        return {point.date, point.time, {}};
    }
    static std::optional<qint64> milliseconds(const TrackPoint &point, PointInstants &)
    {
        return point.hasTime ? std::optional(point.unixSeconds * 1000) : std::nullopt;
    }
    // Room for a point of this much markup and this many texts of these bytes.
    static std::size_t room(std::size_t markup, std::size_t texts, std::size_t)
    {
        return markup + texts * XmlBuffer::kBlockText;
    }
    // Each text lies at the start of a block, copied whole.
    static void copy(XmlBuffer &out, std::string_view text) { out.appendBlockText(text); }
};

// Texts as read: a decimal number in the schema's form (empty when none),
// a whole number in the schema's range, characters of markup escaped.
struct CheckedPointTexts {
    static std::string_view decimal(std::string_view text, std::string &scratch)
    {
        return text.empty() || isDecimalNumber(text) ? text : decimalNumber(text, scratch);
    }
    static bool isDecimal(std::string_view text) { return isDecimalNumber(text); }
    static std::string_view escaped(std::string_view text, std::string &scratch)
    {
        if (isPlainXml(text))
            return text;
        scratch.clear();
        appendXmlEscaped(scratch, text);
        return scratch;
    }
    static bool isWhole(std::string_view text, unsigned low, unsigned high)
    {
        return isWholeNumber(text, low, high);
    }
    static PointTime time(const TrackPoint &point, PointInstants &instants)
    {
        if (!PointInstants::hasTime(point))
            return {};
        if (PointInstants::isUtcAsWritten(point) && isPlainXml(point.date) &&
            isPlainXml(point.time))
            return {point.date, point.time, {}};
        return {{}, {}, instants.text(point)};
    }
    static std::optional<qint64> milliseconds(const TrackPoint &point, PointInstants &instants)
    {
        const auto at = instants.instant(point);
        return at ? std::optional(at->milliseconds()) : std::nullopt;
    }
    static std::size_t room(std::size_t markup, std::size_t, std::size_t bytes)
    {
        return markup + bytes;
    }
    static void copy(XmlBuffer &out, std::string_view text) { out.append(text); }
};

// Writes a point's time: date, "T", time and "Z", or the whole text.
template <class Texts> void appendPointTime(XmlBuffer &out, const PointTime &time)
{
    if (!time.whole.empty()) {
        out.append(time.whole);
        return;
    }
    Texts::copy(out, time.date);
    out.append("T");
    Texts::copy(out, time.time);
    out.append("Z");
}

} // namespace kelvane
