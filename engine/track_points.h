#pragma once

// Track points of a run: the field lines inside <Trackpoint> elements, kept as
// text exactly as read, except for the hour of the time.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
struct TrackPointState {
    bool InTrackpoint = false;
    FieldText PtLat, PtLon, PtAlt, PtDate;
    std::string PtTime; // with its hour shifted, so always a copy

    // Copies the texts that still point into the lines they were read from.
    void keep()
    {
        for (FieldText *field : {&PtLat, &PtLon, &PtAlt, &PtDate})
            field->keep();
    }
};

struct TrackPoint {
    std::string_view PtLat, PtLon, PtAlt, PtDate, PtTime;
};

// The points of the open run, copied out of TrackPointState at each
// </Trackpoint>. Each point is kept as the line the CSV day file shows for it,
// "lat,lon,alt,date,time" and CR LF, so that file is written straight from
// here; all rows share one block that is reused from run to run.
class TrackData {
  public:
    void append(const TrackPointState &point);
    // While off, append() keeps nothing: the run will not be written.
    void setRecording(bool on) { recording = on; }
    void clear();
    int PointCount() const { return int(rowEnds.size()); }
    TrackPoint row(int index) const; // 0-based
    // Every row, each ending in CR LF.
    std::string_view csvRows() const { return std::string_view(cells.data(), used); }
    // Bytes of a row besides its five values: four commas and CR LF.
    static constexpr std::size_t kRowSeparators = 6;

  private:
    std::string cells;                               // the rows, one after the other
    std::size_t used = 0;                            // bytes of cells in use
    std::vector<std::array<std::size_t, 5>> rowEnds; // end offset of each field
    bool recording = true;
};

// The text between `tag` at the start of line and the first "</" of the line;
// nothing when the line has no "</" after the tag.
std::optional<std::string_view> ElementText(std::string_view line, std::string_view tag);

// Writes time with its two-digit hour moved by offset into out. Hours that
// leave 0..23 are brought back once by 24; the date is not touched.
void ShiftHour(std::string_view time, int offset, std::string &out);

// Follows one trimmed line of an open run: opens and closes track points,
// takes Latitude, Longitude, Altitude and Time field lines, and appends a row
// to track at every </Trackpoint>.
void HandleTrackPointLine(std::string_view line, TrackPointState &state, TrackData &track,
                          int ZOffset);

} // namespace kelvane
