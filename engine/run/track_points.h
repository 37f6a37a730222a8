#pragma once

// The track points of a run, as every reader hands them to the writers: texts
// exactly as read, except for the hour of the time.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// One point's texts. The extra values are empty where the input has none
// (a history file never has them).
struct TrackPoint {
    std::string_view latitude, longitude, altitude;
    std::string_view date; // YYYY-MM-DD as read
    std::string_view time; // after the date's "T", its hour moved by the hour offset
    std::string_view heartRate, cadence, power;
    // A history file always gives both; a point of another format may have
    // no altitude element, or no time that can be read, and its empty texts
    // then stand for nothing rather than for an empty value.
    bool hasAltitude = true;
    bool hasTime = true;
};

// The points of the open run, copied out of the reader at each point's end.
// Each point is kept as the line the CSV day file shows for it,
// "lat,lon,alt,date,time" and CR LF, so that file is written straight from
// here; all rows share one block that is reused from run to run.
class TrackPoints {
  public:
    void append(const TrackPoint &point);
    // Counts a point that a reader leaves out for want of a position.
    void leaveOut() { leftOut += recording; }
    // While off, append() keeps nothing: the run will not be written.
    void setRecording(bool on) { recording = on; }
    void clear();
    // Becomes a copy of other, in the buffers it already has.
    void copyFrom(const TrackPoints &other);
    int size() const { return int(rowEnds.size()); }
    TrackPoint at(int index) const; // 0-based
    // Every row, each ending in CR LF.
    std::string_view csvRows() const { return std::string_view(cells.data(), used); }
    // Bytes of a row besides its five values: four commas and CR LF.
    static constexpr std::size_t kRowSeparators = 6;
    // The bytes of every point's five values together.
    std::size_t valueBytes() const { return used - rowEnds.size() * kRowSeparators; }
    // Whether any point has an extra value.
    bool hasExtras() const { return !extraEnds.empty(); }
    // Whether a value holds a character that a CSV or GPX file cannot take as
    // it is: '"', '<', '>', '&', ',', CR or LF. Almost no file has one, so the
    // writers copy the values as they are unless this says otherwise.
    bool holdsSpecialCharacters() const;
    // How many points have no altitude, and no time.
    int withoutAltitude() const { return altitudesMissing; }
    int withoutTime() const { return timesMissing; }
    // How many points were left out (see leaveOut()).
    int leftOutCount() const { return leftOut; }

  private:
    void appendExtras(const TrackPoint &point);

    std::string cells;                               // the rows, one after the other
    std::size_t used = 0;                            // bytes of cells in use
    std::vector<std::array<std::size_t, 5>> rowEnds; // end offset of each field
    // Extra values, only once a point had one: end offsets into extras, per point.
    std::string extras;
    std::vector<std::array<std::size_t, 3>> extraEnds;
    // Per point, only once a point lacked one: bit 0 no altitude, bit 1 no time.
    std::vector<unsigned char> missing;
    int altitudesMissing = 0;
    int timesMissing = 0;
    int leftOut = 0;
    bool recording = true;
    mutable int specialCharacters = -1; // unknown (-1), none (0), some (1)
};

// Writes time with its two-digit hour moved by offset into out. Hours that
// leave 0..23 are brought back once by 24; the date is not touched.
void shiftHour(std::string_view time, int offset, std::string &out);

} // namespace kelvane
