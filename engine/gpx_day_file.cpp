#include "day_file_writers.h"

namespace kelvane {

namespace {

// Values go out exactly as stored: no number formatting and no escaping.
void AppendPoint(std::string &out, const TrackPoint &p)
{
    out += "<trkpt lat=\"";
    out += p.PtLat;
    out += "\" lon=\"";
    out += p.PtLon;
    out += "\">\r\n<ele>";
    out += p.PtAlt;
    out += "</ele>\r\n<time>";
    out += p.PtDate;
    out += 'T';
    out += p.PtTime;
    out += "Z</time>\r\n</trkpt>\r\n";
}

} // namespace

void WriteGpxDayFile(std::string &out, const TrackData &track)
{
    out += "<?xml version=\"1.0\"?>\r\n"
           "<gpx version=\"1.0\" creator=\"Tessaly Kelvane - http://kelvane.example.org/\">\r\n"
           "<trk>\r\n"
           "<trkseg>\r\n";
    for (int i = 0; i < track.PointCount(); ++i)
        AppendPoint(out, track.row(i));
    out += "</trkseg>\r\n"
           "</trk>\r\n"
           "</gpx>\r\n";
}

} // namespace kelvane
