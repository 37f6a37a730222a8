#include "day_file_writers.h"

namespace kelvane {

std::array<std::string_view, 2> WriteCsvDayFile(const TrackData &track)
{
    return {"Latitude,Longitude,Altitude, Date,Time\r\n", track.csvRows()};
}

} // namespace kelvane
