#pragma once

// The track points of a run, as every reader hands them to the writers: texts
// exactly as read.

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <deque>
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
    std::string_view heartRate = {}, cadence = {}, power = {};
    std::string_view temperature = {}; // degrees Celsius
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
    // Metres from the start and metres a second; only a FIT file gives them.
    std::string_view distance = {}, speed = {};
    // A point recorded without a position (a FIT record indoors, say) goes
    // only into the day files that take such points (TCX).
    bool hasPosition = true;
    // What the reader promises of the texts (true of points kept as numbers):
    // each value is a plain decimal number that fits its schema, the time
    // one in UTC given in unixSeconds too, each text lies at the start of a
    // block of 32 bytes, and an empty text stands for no value. Writers copy
    // such texts without a look (see TrackPoints::textsArePlain()).
    bool plainTexts = false;
    qint64 unixSeconds = 0; // of a point with plain texts and a time: that time
};

// A point as a binary input records it: numbers, in units of no format's
// own, chosen so that their texts are those the input's own tools show;
// made texts only when read. A reader converts its file's units.
struct RecordedPoint {
    enum Has : std::uint16_t {
        kTime = 1,
        kPosition = 2,
        kAltitude = 4,
        kHeartRate = 8,
        kCadence = 16,
        kPower = 32,
        kDistance = 64,
        kSpeed = 128,
        kTemperature = 256,
    };
    std::uint32_t time = 0; // seconds since the Unix epoch, UTC (up to 2106)
    // Degrees in ten-millionths, rounded down; the eighth decimal (0 to 9) of
    // each is in eighthDecimals. latitude() and longitude() put them together.
    std::int32_t latitude7 = 0, longitude7 = 0;
    std::int32_t altitude = 0;               // decimetres
    std::uint32_t distance = 0;              // centimetres from the start
    std::uint32_t speed = 0;                 // millimetres a second
    std::uint16_t power = 0;                 // watts
    std::uint8_t heartRate = 0, cadence = 0; // beats, revolutions (or steps) a minute
    std::int8_t temperature = 0;             // degrees Celsius
    std::uint8_t eighthDecimals = 0;         // latitude's in the low four bits
    std::uint16_t has = 0;                   // which of the values it has

    // Degrees in hundred-millionths, from -180 to 180 degrees.
    std::int64_t latitude() const { return std::int64_t(latitude7) * 10 + (eighthDecimals & 15); }
    std::int64_t longitude() const { return std::int64_t(longitude7) * 10 + (eighthDecimals >> 4); }
    void setPosition(std::int64_t latitude, std::int64_t longitude)
    {
        const auto down = [](std::int64_t value) {
            return value >= 0 ? value / 10 : -((9 - value) / 10);
        };
        latitude7 = std::int32_t(down(latitude));
        longitude7 = std::int32_t(down(longitude));
        eighthDecimals = std::uint8_t((latitude - std::int64_t(latitude7) * 10) |
                                      (longitude - std::int64_t(longitude7) * 10) << 4);
        has |= kPosition;
    }
};
// Memory holds the largest run's records at this size.
static_assert(sizeof(RecordedPoint) == 32);

// The points of the open run, copied out of the reader at each point's end.
// Each point is kept as the line the CSV day file shows for it,
// "lat,lon,alt,date,time" and CR LF, so that file is written straight from
// here; all rows share one block that is reused from run to run. Points of a
// binary input are kept as the numbers it records (a fifth of their texts)
// and made texts as they are read; those have no rows.
class TrackPoints {
  public:
    void append(const TrackPoint &point);
    void append(const RecordedPoint &point);
    // Counts a point that a reader leaves out for want of a position.
    void leaveOut() { leftOut += recording; }
    // Marks the point appended last as one whose position texts, or altitude
    // text, are an earlier run's (a history's points carry their texts from
    // run to run, and its day files show them): only leading points can be.
    void borrowPlace(bool position, bool altitude)
    {
        borrowedPositions += recording && position;
        borrowedAltitudes += recording && altitude;
    }
    // While off, append() keeps nothing: the run will not be written.
    void setRecording(bool on) { recording = on; }
    void clear();
    // Becomes a copy of other, in the buffers it already has.
    void copyFrom(const TrackPoints &other);
    int size() const { return int(recorded.empty() ? rowEnds.size() : recorded.size()); }
    // A recorded point, 0-based; and what a reader learns of one later (the
    // date of a device time, a heart rate stored apart).
    const RecordedPoint &recordedAt(int index) const { return recorded[std::size_t(index)]; }
    // All of them, in order: walking them is cheaper than indexing each.
    const std::deque<RecordedPoint> &recordedPoints() const { return recorded; }
    void setTime(int index, std::uint32_t unixSeconds);
    void setHeartRate(int index, std::uint8_t heartRate);
    // Which texts a reader of points looks at: of a recorded point, only
    // those are made.
    enum Texts : unsigned {
        kPlaceTexts = 1,  // latitude, longitude, altitude, date and time
        kSensorTexts = 2, // heart rate, cadence, power and temperature
        kMotionTexts = 4, // distance and speed
        kEveryText = 7,
        // Leaves out a position or an altitude borrowed from an earlier run
        // (see borrowPlace()): for all but the day files that show the texts
        // as a history carries them.
        kOwnPlace = 8,
    };
    // 0-based. The texts of a recorded point last until the next call.
    TrackPoint at(int index, unsigned texts = kEveryText) const;
    // Whether the points are kept as rows (csvRows()), not as numbers.
    bool keepsRows() const { return recorded.empty(); }
    // Whether every point's texts are plain (TrackPoint::plainTexts).
    bool textsArePlain() const { return !recorded.empty(); }
    // Every row, each ending in CR LF.
    std::string_view csvRows() const { return std::string_view(cells.data(), used); }
    // About the bytes the points take.
    std::size_t byteSize() const { return used + recorded.size() * sizeof(RecordedPoint); }
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
    // How many points have no position (recorded points alone may lack one).
    int withoutPosition() const { return positionsMissing; }
    // How many points have a time that shownTime() rewrites even when it
    // moves the hour by nothing (see hasPlainHour()).
    int withOddHour() const { return oddHours; }
    // How many points were left out (see leaveOut()).
    int leftOutCount() const { return leftOut; }
    // How many points have a power value (a day file that holds it declares
    // its namespace only then).
    int withPower() const { return powered; }

  private:
    void appendExtras(const TrackPoint &point);
    void appendZone(std::string_view zone);
    TrackPoint textsOf(const RecordedPoint &point, unsigned texts) const;

    std::string cells;                               // the rows, one after the other
    std::size_t used = 0;                            // bytes of cells in use
    std::vector<std::array<std::size_t, 5>> rowEnds; // end offset of each field
    // Extra values, only once a point had one: end offsets into extras, per point.
    std::string extras;
    std::vector<std::array<std::size_t, 4>> extraEnds;
    // Per point, only once a point lacked one: bit 0 no altitude, bit 1 no time.
    std::vector<unsigned char> missing;
    // Zones other than "Z", only once a point had one: end offsets into zones, per point.
    std::string zones;
    std::vector<std::size_t> zoneEnds;
    // Recorded points, and the texts of the one read last.
    std::deque<RecordedPoint> recorded;
    mutable std::array<std::array<char, 32>, 11> recordedTexts;
    mutable std::uint32_t dateTextDay = ~0u; // the day whose date texts[3] holds
    int altitudesMissing = 0;
    int timesMissing = 0;
    int positionsMissing = 0;
    int oddHours = 0;
    int leftOut = 0;
    int borrowedPositions = 0, borrowedAltitudes = 0; // of the first points
    int powered = 0;
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
