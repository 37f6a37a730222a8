#pragma once

// The track points of a run, as every reader hands them to the writers: texts
// exactly as read.

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
    // After the date's "T": the time of day as the CSV and GPX 1.0 day files
    // show it, before they move its hour by the hour offset.
    std::string_view time;
    std::string_view heartRate, cadence, power;
    // A history file always gives both; a point of another format may have
    // no altitude element, or no time that can be read, and its empty texts
    // then stand for nothing rather than for an empty value.
    bool hasAltitude = true;
    bool hasTime = true;
    // What follows `time` in the time as written: "Z" for a time in UTC,
    // which the CSV and GPX 1.0 day files leave out. The history reader
    // leaves out the last character whatever it is, so for a time written
    // without "Z" this is that character; empty for a time never read.
    std::string_view zone = "Z";
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
    // How many points have a time that shownTime() rewrites even when it
    // moves the hour by nothing (see hasPlainHour()).
    int withOddHour() const { return oddHours; }
    // How many points were left out (see leaveOut()).
    int leftOutCount() const { return leftOut; }

  private:
    void appendExtras(const TrackPoint &point);
    void appendZone(std::string_view zone);

    std::string cells;                               // the rows, one after the other
    std::size_t used = 0;                            // bytes of cells in use
    std::vector<std::array<std::size_t, 5>> rowEnds; // end offset of each field
    // Extra values, only once a point had one: end offsets into extras, per point.
    std::string extras;
    std::vector<std::array<std::size_t, 3>> extraEnds;
    // Per point, only once a point lacked one: bit 0 no altitude, bit 1 no time.
    std::vector<unsigned char> missing;
    // Zones other than "Z", only once a point had one: end offsets into zones, per point.
    std::string zones;
    std::vector<std::size_t> zoneEnds;
    int altitudesMissing = 0;
    int timesMissing = 0;
    int oddHours = 0;
    int leftOut = 0;
    bool recording = true;
    mutable int specialCharacters = -1; // unknown (-1), none (0), some (1)
};

// The length in meters of the way through the points that have a position.
double trackMeters(const TrackPoints &points);

// Writes time with its two-digit hour moved by offset into out. Hours that
// leave 0..23 are brought back once by 24; the date is not touched.
void shiftHour(std::string_view time, int offset, std::string &out);

// Whether time begins with a two-digit hour from 00 to 23: moving it changes
// those two digits alone, and moving it by nothing changes nothing.
inline bool hasPlainHour(std::string_view time)
{
    return time.size() >= 2 && time[0] >= '0' && time[0] <= '2' && time[1] >= '0' &&
           time[1] <= '9' && (time[0] < '2' || time[1] <= '3');
}

// The two digits of a plain hour moved by offset (-24 < offset < 24), as
// shiftHour() writes them.
inline std::array<char, 2> movedPlainHour(std::string_view time, int offset)
{
    int hour = (time[0] - '0') * 10 + (time[1] - '0') + offset;
    hour += hour < 0 ? 24 : hour >= 24 ? -24 : 0;
    return {char('0' + hour / 10), char('0' + hour % 10)};
}

// The time of day the CSV and GPX 1.0 day files show for a point: its time
// with the hour moved by offset (shiftHour), in scratch, or the point's own
// text when that would not change it. A time never read is not moved.
std::string_view shownTime(const TrackPoint &point, int offset, std::string &scratch);

} // namespace kelvane
