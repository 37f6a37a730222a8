#pragma once

// The reader of GPX files, 1.0 and 1.1: a gpx root holding waypoints, routes
// and tracks. Every track is a run, cut where the day of its points changes
// (as the conversion files days, see RunSink::dayOf), so that a logger's
// track of a week becomes a run a day. Waypoints and routes are no runs; they
// are counted.
//
// The file streams by as XML tokens (see XmlTokenizer), checked to be
// well-formed; the reader follows only the few elements it takes values from
// and passes over the rest. A run's bytes stay in the input's buffer from its
// first segment (or the point it was cut at) on while it may still be
// written, so its GPX day file is the input's own bytes and memory follows the
// largest day of a track, not the file.

#include "read/xml_run_reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// What an element is to the GPX reader, known from its name and its parent's kind.
enum class GpxKind : std::uint8_t {
    Other, // passed over, and so is everything inside it
    Document,
    Root,
    Metadata,
    FileTime, // the file's own time: metadata/time (1.1), gpx/time (1.0)
    Waypoint,
    Route,
    Track,
    TrackName,
    TrackType,
    Segment,
    Point,
    Time,
    Elevation,
    PointExtensions,
    TrackPointExtension,
    Temperature,
    HeartRate,
    Cadence,
    Power,
};

class GpxReader final : public XmlRunReader<GpxReader, GpxKind> {
  public:
    // Reads on from the bytes the buffer holds. utf16: the text is UTF-16,
    // which is not read (see read()).
    GpxReader(InputBuffer input, const ReadingOptions &options, bool utf16 = false);

    // Runs are numbered by their whole start date.
    NumberingRule numberingRule() const override { return NumberingRule::Date; }
    QString noRunHint() const override;
    NonRuns nonRuns() const override { return others; }

  private:
    friend XmlRunReader<GpxReader, GpxKind>;
    using Kind = GpxKind;

    Kind childKind(Kind parent, std::string_view name) const;
    bool startElement();
    bool endElement(Kind kind, qint64 contentEnd);
    void startRoot();
    void openTrack();
    void startSegment();
    void startPoint();
    qint64 pointBegin() const;
    bool endPoint();
    bool closeTrack();
    void takeTrackHead(qint64 end);
    void beforeReading() {}
    void beginRun(qint64 begin, qint64 tagOffset, bool reopensSegment);
    void startRun(std::string_view startTime, QDate day);
    void skipRun(const QString &reason);
    void takePoint(std::string_view time);
    bool closeRun(qint64 bodyEnd, bool closesSegment);
    void takeLap();
    void buildDocument(qint64 bodyEnd, bool closesSegment);
    // Whether the open run may be written: its bytes are kept.
    void runTooLarge();
    void handOverBody();
    bool keepsRun() const
    {
        return current.outcome() == OpenRun::Outcome::Undecided || current.isKept();
    }

    NonRuns others;

    std::string fileHead; // the declaration and the root's start tag, each on its line
    std::string fileTime;
    bool fileTimeSeen = false;

    // The open track: what each of its runs' day files repeats of it.
    qint64 trackTagOffset = 0;
    qint64 trackBegin = 0; // of its bytes: the blanks before its tag on its line
    std::string trackIndentation, trackElement;
    std::string trackHead; // from its start tag to its first segment
    bool trackHeadTaken = false;
    std::string trackStore, trackNotes, trackSport; // its name and type
    QString creator; // the gpx element's: the program or device that wrote the file
    // Its segment being read.
    qint64 segmentBegin = 0;
    std::string segmentIndentation, segmentTag, segmentElement;
    int pointsInSegment = 0;
    qint64 lastPointEnd = 0;    // of the segment's last point so far
    qint64 lastSegmentEnd = -1; // of the track's last segment so far

    // The open run: a day of the track.
    QDate runDay;
    qint64 bodyBegin = -1;   // of its bytes in the input; -1: none yet
    qint64 runTagOffset = 0; // of the tag it begins with, whose line a skip names
    std::string reopening;   // the segment's start tag, when it begins inside one
    std::string firstTime;   // of its points, for its lap
    std::string lastTime;
    bool recordingPoints = false;

    // The point being read.
    qint64 pointTagOffset = 0;
    PointTexts point;
    std::string pointStore; // expanded texts of the point

    std::string lapSeconds, lapMeters;
    std::string closing, tail;
    std::string bodyInUtf8; // the run's bytes, when some are not UTF-8
};

} // namespace kelvane
