#include "day_file_writers.h"

namespace kelvane {

void WriteCsvDayFile(std::string &out, const TrackData &track)
{
    out += "Latitude,Longitude,Altitude, Date,Time";
    out += kLineEnd;
    for (int i = 0; i < track.PointCount(); ++i) {
        const TrackPoint p = track.row(i);
        for (const std::string_view field : {p.PtLat, p.PtLon, p.PtAlt, p.PtDate}) {
            out += field;
            out += ',';
        }
        out += p.PtTime;
        out += kLineEnd;
    }
}

} // namespace kelvane
