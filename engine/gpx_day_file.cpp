#include "day_file_writers.h"

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
// number formatting and no escaping.
constexpr std::string_view kBeforeLat = "<trkpt lat=\"";
constexpr std::string_view kBeforeLon = "\" lon=\"";
constexpr std::string_view kBeforeAlt = "\">\r\n<ele>";
constexpr std::string_view kBeforeDate = "</ele>\r\n<time>";
constexpr std::string_view kBeforeTime = "T";
constexpr std::string_view kAfterTime = "Z</time>\r\n</trkpt>\r\n";
constexpr std::size_t kPointFrame = kBeforeLat.size() + kBeforeLon.size() + kBeforeAlt.size() +
                                    kBeforeDate.size() + kBeforeTime.size() + kAfterTime.size();

char *Put(char *at, std::string_view text)
{
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

} // namespace

std::string_view WriteGpxDayFile(std::string &buffer, const TrackData &track)
{
    // The size is known in advance, so the points are copied with no checks,
    // into a buffer that only ever grows.
    const std::size_t points = std::size_t(track.PointCount());
    const std::size_t values = track.csvRows().size() - points * TrackData::kRowSeparators;
    const std::size_t size = kHead.size() + values + points * kPointFrame + kTail.size();
    if (buffer.size() < size)
        buffer.resize(size);
    char *at = Put(buffer.data(), kHead);
    for (int i = 0; i < track.PointCount(); ++i) {
        const TrackPoint p = track.row(i);
        at = Put(at, kBeforeLat);
        at = Put(at, p.PtLat);
        at = Put(at, kBeforeLon);
        at = Put(at, p.PtLon);
        at = Put(at, kBeforeAlt);
        at = Put(at, p.PtAlt);
        at = Put(at, kBeforeDate);
        at = Put(at, p.PtDate);
        at = Put(at, kBeforeTime);
        at = Put(at, p.PtTime);
        at = Put(at, kAfterTime);
    }
    Put(at, kTail);
    return std::string_view(buffer.data(), size);
}

} // namespace kelvane
