#pragma once

// A run as every reader hands it to the day-file writers, whatever the format
// of the file it came from, and the two seams between them: a reader that
// yields the runs of a file, and the conversion that takes them.

#include "run/numbering_rule.h"
#include "run/run_figures.h"
#include "run/run_format.h"
#include "run/track_points.h"
#include "time/start_day.h"

#include <QDate>
#include <QLatin1StringView>
#include <QString>

#include <atomic>
#include <optional>
#include <span>
#include <string_view>

namespace kelvane {

// A lap's figures, as written in the input (empty where it has none; all
// start empty, so that initializers may name the few an input has).
struct Lap {
    std::string_view startTime = {}; // an instant: date, "T", time and zone
    std::string_view seconds = {};   // duration in seconds, as a decimal number
    std::string_view meters = {};    // distance
    std::string_view calories = {};
    std::string_view averageHeartRate = {}, maximumHeartRate = {}; // beats per minute
    std::string_view intensity = {}; // in Training Center's words: "Active" or "Resting"
    // What ended the lap, in Training Center's words: "Manual", "Distance",
    // "Location", "Time" or "HeartRate".
    std::string_view trigger = {};
};

// A part of a run done in one sport, such as the swim, the ride and the run
// of a triathlon, each with its own laps. A run of one sport has none.
struct RunPart {
    std::string_view sport;     // the input's name of it
    std::string_view startTime; // as written
    std::size_t lapsEnd = 0;    // its laps: the run's laps from the part before's lapsEnd to this
};

// What an input says of a run as a whole, besides its points and laps, in
// the same terms whatever its format.
struct RunSummary {
    // The totals the device wrote: a FIT file's sessions, a TCX activity's
    // laps (sessionTotals, lapTotals); absent for a history run.
    std::optional<DeviceTotals> totals;
    // The sport, where the input's word for it alone does not tell it (a FIT
    // file's sport and sub_sport): sportOfWord of the run's sport otherwise.
    std::optional<Sport> sport;
    QString device; // the device that recorded it, by name
};

// Where something lies in an input: a line (and column, where known) of
// text, or a byte offset of binary input.
struct InputLocation {
    // A line of text; implicit, as most inputs are text.
    InputLocation(qint64 line = 0, qint64 column = 0) : line(line), column(column) {}
    static InputLocation atByte(qint64 offset)
    {
        InputLocation location;
        location.byteOffset = offset;
        return location;
    }
    qint64 line = 0;        // counted from 1; 0 in binary input
    qint64 column = 0;      // counted from 1; 0 where not known
    qint64 byteOffset = -1; // in binary input; -1 in text
};

// Everything a day-file writer may use of a run. Views point into the
// reader's buffers and stay valid until the reader goes on.
struct Run {
    QDate startDay;
    QString baseName;                      // YYYYMMDD_NN_Weekday, given by the conversion
    std::string_view startTime;            // as written: the text the start day was taken from
    RunFormat format = RunFormat::History; // the format it was read in
    // The run as a day file of its own format, in pieces.
    std::span<const std::string_view> document;
    // The document's first parts were handed over while the run was read
    // (RunSink::runDocumentPart): document holds the rest.
    bool documentContinued = false;
    const TrackPoints *points = nullptr;
    // Kept only when a writer needs them (RunContent::details).
    std::span<const Lap> laps;
    std::span<const RunPart> parts; // empty when the run is done in one sport
    std::string_view sport;         // the input's name of the activity, empty for history runs
    std::string_view notes;         // the note's text as written (XML character data), in UTF-8
    RunSummary summary;
    // Seconds east of UTC of the local time the run's own file gives, when
    // its day is filed under that (ConversionOptions::recordedLocalTime).
    std::optional<int> localOffset;
};

// What the writers chosen for a conversion need a reader to keep of a run in
// the window; what nobody needs is not kept, which is most of the reading.
struct RunContent {
    // The run in its own format, for runs read in these formats: the own
    // format's day file needs it of every run, the TCX day file of runs read
    // from TCX files alone (a history run's is made of its points and laps).
    RunFormats documents = {};
    bool points = false;  // its track points
    bool details = false; // its laps, parts, sport and notes

    bool keepsDocumentOf(RunFormat format) const { return documents.testFlag(format); }
};

// What the conversion makes of a run's start time.
struct RunStart {
    QDate day;             // null: the text names no real day, and the run is skipped
    bool inWindow = false; // the day lies in the date window: the run is kept
};

// How a reader reads: what to keep of the runs in the window, and the one
// change it makes to what it keeps.
struct ReadingOptions {
    RunContent content;
    bool escapeHighCharacters = false;      // in one-line notes of the run's document
    const std::atomic_bool *stop = nullptr; // once true, reading ends soon
    // What a reader may hold of one run: its points, and the bytes of its
    // document while they lie in the reader's buffer. A run that holds more
    // is skipped for it (OpenRun::tooLargeReason), so that memory is bounded
    // whatever one run holds (a decompression bomb inside a track, say).
    std::size_t largestRun = kLargestRun;
    static constexpr std::size_t kLargestRun = std::size_t(1) << 30;
};

// The conversion's side of reading: told of every run as the reader meets it.
class RunSink {
  public:
    virtual ~RunSink() = default;
    // A run of that format begins.
    virtual void runOpened(RunFormat format) = 0;
    // The open run's start time is known, as written (for a history run, the
    // text after "<StartTime>"). Only a run in the window has its content kept.
    virtual RunStart runStarts(std::string_view startTime) = 0;
    // The open run's file tells the local time it was recorded in apart from
    // its start time (a FIT file's activity local_timestamp): seconds east of
    // UTC. Told before runStarts.
    virtual void runLocalOffset(int offsetSeconds) { Q_UNUSED(offsetSeconds); }
    // The open run ends; kept is the run when it lies in the window and is to
    // be written, null otherwise. False stops the reading (a day file could
    // not be saved).
    virtual bool runEnded(Run *kept) = 0;
    // The open run writes nothing, for this reason; reported once a run,
    // where it begins.
    virtual void runSkipped(const InputLocation &where, const QString &reason) = 0;
    // The open run is no run after all but a file of another kind (a FIT
    // monitoring file), told by `kind` ("monitoring"): it is counted by its
    // kind, apart from the runs.
    virtual void runSetAside(const InputLocation &where, const QString &kind, const QString &reason)
    {
        Q_UNUSED(kind);
        runSkipped(where, reason);
    }
    // The kept run's document so far, before the run ends, in its format: a
    // sink that takes it (true) writes it out now, and the reader lets go of
    // it and hands over only what follows. False: the reader keeps it all.
    virtual bool runDocumentPart(RunFormat, std::span<const std::string_view>) { return false; }
    // The day an instant as written lies on, as the conversion files runs
    // (the date as written, or the local date in its time zone); null when
    // it names no real day. A reader that cuts a run where its points' day
    // changes asks it of every point.
    virtual QDate dayOf(std::string_view instant) { return startDayOf(instant); }
};

// What a file holds besides runs, which is not converted.
struct NonRuns {
    int waypoints = 0;
    int routes = 0;
};

// Reads one file from front to back and tells the sink of its runs.
class RunReader {
  public:
    virtual ~RunReader() = default;
    // How the runs of a start day are numbered (see RunNumbering).
    virtual NumberingRule numberingRule() const { return NumberingRule::DayOfMonth; }
    // Reads to the end of the file, or until the sink asks to stop. The
    // error, if any, names the file and the reason.
    virtual void read(RunSink &sink) = 0;
    virtual QString errorString() const = 0;
    // After a file in which no run was found: what the reader looks for, and
    // the likely cause it saw.
    virtual QString noRunHint() const { return {}; }
    // What the user should know of a file that was read, such as bytes it
    // read in another encoding than the file's; empty when nothing.
    virtual QString notice() const { return {}; }
    // A notice that holds for every input read the same way, such as one
    // read from a pipe: said once a conversion, of the first input it
    // concerns; empty when nothing.
    virtual QString sharedNotice() const { return {}; }
    // What it held besides runs, once read.
    virtual NonRuns nonRuns() const { return {}; }
};

} // namespace kelvane
