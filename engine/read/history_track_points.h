#pragma once

// Track points of a history file: the field lines inside <Trackpoint>
// elements, one element a line, taken as text exactly as read.

#include "run/track_points.h"

#include <string>
#include <string_view>

namespace kelvane {

// A field's text as read: a view into the line it came from, copied only
// when that line is about to leave the reader's buffer (keep()).
class FieldText {
  public:
    void take(std::string_view text)
    {
        view = text;
        owned = false;
    }
    void keep()
    {
        if (!owned)
            copy.assign(view);
        owned = true;
    }
    std::string_view text() const { return owned ? std::string_view(copy) : view; }

  private:
    std::string_view view;
    std::string copy;
    bool owned = true;
};

// The texts of the track point being read. They are never cleared: a point
// that lacks a field carries the text of the last point that had one, also
// across runs. The lines they came from must stay readable until keep().
struct HistoryPointState {
    bool inTrackpoint = false;
    // Whether the run being read gave a latitude, a longitude and an altitude
    // line yet: until it has, a point's texts of them are an earlier run's.
    bool latitudeInRun = false, longitudeInRun = false, altitudeInRun = false;
    // The time's last character, its zone's "Z" when it has one, is held apart.
    FieldText latitude, longitude, altitude, date, time, zone;

    // Copies the texts that still point into the lines they were read from.
    void keep()
    {
        for (FieldText *field : {&latitude, &longitude, &altitude, &date, &time, &zone})
            field->keep();
    }
    TrackPoint current() const
    {
        TrackPoint point{.latitude = latitude.text(),
                         .longitude = longitude.text(),
                         .altitude = altitude.text(),
                         .date = date.text(),
                         .time = time.text()};
        point.zone = zone.text();
        return point;
    }
};

// Follows one trimmed line of an open run: opens and closes track points,
// takes Latitude, Longitude, Altitude and Time field lines, and appends a
// point to points at every </Trackpoint>.
void followTrackPointLine(std::string_view line, HistoryPointState &state, TrackPoints &points);

} // namespace kelvane
