// The GPX 1.0 day file: one track of one segment holding every track point.

#include "write/day_file_writer.h"
#include "xml/xml_text.h"

#include <cstring>

namespace kelvane {

namespace {

constexpr std::string_view kHead =
    "<?xml version=\"1.0\"?>\r\n"
    "<gpx version=\"1.0\" creator=\"Tessaly Kelvane - http://kelvane.example.org/\">\r\n"
    "<trk>\r\n"
    "<trkseg>\r\n";
constexpr std::string_view kTail = "</trkseg>\r\n"
                                   "</trk>\r\n"
                                   "</gpx>\r\n";

// The text of a point around its values, which go out exactly as stored: no
// number formatting, and no escaping unless a value would add markup. A point
// that has no altitude, or no time, has no element for it. Only the hour of a
// time moves, by the hour offset.
constexpr std::string_view kBeforeLat = "<trkpt lat=\"";
constexpr std::string_view kBeforeLon = "\" lon=\"";
constexpr std::string_view kAfterLon = "\">\r\n";
constexpr std::string_view kBeforeAlt = "<ele>";
constexpr std::string_view kAfterAlt = "</ele>\r\n";
constexpr std::string_view kBeforeDate = "<time>";
constexpr std::string_view kBeforeTime = "T";
constexpr std::string_view kAfterTime = "Z</time>\r\n";
constexpr std::string_view kAfterPoint = "</trkpt>\r\n";
constexpr std::size_t kAltitudeFrame = kBeforeAlt.size() + kAfterAlt.size();
constexpr std::size_t kTimeFrame = kBeforeDate.size() + kBeforeTime.size() + kAfterTime.size();
constexpr std::size_t kPointFrame = kBeforeLat.size() + kBeforeLon.size() + kAfterLon.size() +
                                    kAltitudeFrame + kTimeFrame + kAfterPoint.size();

char *put(char *at, std::string_view text)
{
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

class GpxDayFile final : public DayFileWriter {
  public:
    explicit GpxDayFile(const WritingOptions &options) : hourOffset(options.hourOffset) {}
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".gpx"); }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    std::string_view appendedFile(const TrackPoints &track, bool escape);

    int hourOffset;
    std::string buffer; // only grows
    std::string scratch;
    std::string_view file;
};

} // namespace

// The size is known in advance, so the points are copied with no checks, into
// a buffer that only ever grows.
std::span<const std::string_view> GpxDayFile::write(const Run &run)
{
    const TrackPoints &track = *run.points;
    if (!track.keepsRows() || track.holdsSpecialCharacters() || track.withOddHour() > 0) {
        file = appendedFile(track, track.holdsSpecialCharacters());
        return {&file, 1};
    }
    const std::size_t size = kHead.size() + track.valueBytes() +
                             std::size_t(track.size()) * kPointFrame -
                             std::size_t(track.withoutAltitude()) * kAltitudeFrame -
                             std::size_t(track.withoutTime()) * kTimeFrame + kTail.size();
    if (buffer.size() < size)
        buffer.resize(size);
    char *at = put(buffer.data(), kHead);
    for (int i = 0; i < track.size(); ++i) {
        const TrackPoint p = track.at(i);
        at = put(at, kBeforeLat);
        at = put(at, p.latitude);
        at = put(at, kBeforeLon);
        at = put(at, p.longitude);
        at = put(at, kAfterLon);
        if (p.hasAltitude) {
            at = put(at, kBeforeAlt);
            at = put(at, p.altitude);
            at = put(at, kAfterAlt);
        }
        if (p.hasTime) {
            at = put(at, kBeforeDate);
            at = put(at, p.date);
            at = put(at, kBeforeTime);
            char *const time = at;
            at = put(at, p.time);
            if (hourOffset != 0 && !p.time.empty()) {
                const auto [tens, ones] = movedPlainHour(p.time, hourOffset);
                time[0] = tens;
                time[1] = ones;
            }
            at = put(at, kAfterTime);
        }
        at = put(at, kAfterPoint);
    }
    put(at, kTail);
    file = std::string_view(buffer.data(), size);
    return {&file, 1};
}

// The same file, piece by piece, for values that hold characters of markup
// (escaped), times whose length the hour offset may change, or points kept
// as numbers (those without a position left out).
std::string_view GpxDayFile::appendedFile(const TrackPoints &track, bool escape)
{
    const auto value = [&](std::string_view text) {
        if (escape)
            appendXmlEscaped(buffer, text);
        else
            buffer += text;
    };
    buffer.assign(kHead);
    for (int i = 0; i < track.size(); ++i) {
        const TrackPoint p = track.at(i, TrackPoints::kPlaceTexts);
        if (!p.hasPosition)
            continue;
        buffer += kBeforeLat;
        value(p.latitude);
        buffer += kBeforeLon;
        value(p.longitude);
        buffer += kAfterLon;
        if (p.hasAltitude) {
            buffer += kBeforeAlt;
            value(p.altitude);
            buffer += kAfterAlt;
        }
        if (p.hasTime) {
            buffer += kBeforeDate;
            value(p.date);
            buffer += kBeforeTime;
            value(shownTime(p, hourOffset, scratch));
            buffer += kAfterTime;
        }
        buffer += kAfterPoint;
        if (handOverPart(buffer))
            buffer.clear();
    }
    buffer += kTail;
    return buffer;
}

std::unique_ptr<DayFileWriter> makeGpxDayFile(const WritingOptions &options)
{
    return std::make_unique<GpxDayFile>(options);
}

} // namespace kelvane
