#pragma once

// The caller's side of a conversion: which inputs, which days, which day
// files, and what came of it.

#include <QDate>
#include <QFlags>
#include <QLatin1StringView>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <atomic>
#include <optional>
#include <span>

namespace kelvane {

class ProgressSink;

// The earliest start day a conversion of "all runs" looks at.
inline QDate earliestDay()
{
    return QDate(1949, 8, 25);
}

// The hour offset runs from -kMaxHourOffset to kMaxHourOffset.
inline constexpr int kMaxHourOffset = 12;

// Both ends included; only calendar days count.
struct DateWindow {
    QDate first;
    QDate last;

    bool contains(QDate day) const { return first <= day && day <= last; }
};

// The day files a run can get. Each has its file name extension; OwnFormat
// is the run in the format it was read in (for a history, the XML day file:
// the history file's lines framed as a history; for a Training Center file,
// a TCX file of the one activity).
enum class DayFileKind {
    OwnFormat = 0x1,
    Csv = 0x2, // comma-separated, named ".txt"
    Gpx = 0x4,
    Tcx = 0x8, // Training Center, one activity with the run's laps
};
Q_DECLARE_FLAGS(DayFileKinds, DayFileKind)
Q_DECLARE_OPERATORS_FOR_FLAGS(DayFileKinds)

// A kind of day file as a user asks for it. The table of kinds lists every
// kind, those above and those known only by their option.
struct DayFileKindName {
    DayFileKind kind;
    QLatin1StringView option; // on the command line, without "--": "csv"
    QLatin1StringView help;   // what --help says of it
};
// Every kind, in the order a run's day files are written.
std::span<const DayFileKindName> dayFileKindNames();
// The kind of that option; none when no kind has it.
std::optional<DayFileKind> dayFileKindOf(QStringView option);

enum class GpxVersion {
    V1_0, // no namespace, values exactly as read
    V1_1, // the namespace, metadata, heart rate and cadence; valid against the schema
};

struct ConversionOptions {
    DayFileKinds dayFiles = DayFileKind::OwnFormat;
    // Write the high characters of one-line notes (and that line's "<" and
    // "&") as numeric character references in the XML day file, and the
    // note's characters above 127 as references in the TCX day file.
    bool escapeHighCharacters = false;
    // Whole hours added to every track point time of the CSV and GPX 1.0 day
    // files; GPX 1.1 and TCX keep UTC. Not together with a time zone.
    int hourOffset = 0;
    GpxVersion gpxVersion = GpxVersion::V1_0;
    // The GPX day file of a run read from a GPX file is that run's own GPX
    // document unless this is set: then it is made in gpxVersion as for
    // every other run.
    bool convertGpxRuns = false;
    // When valid, a run's day is the local date of its start in this zone, and
    // the CSV day file shows local dates and times. Otherwise a run's day is
    // the date its start time is written with.
    QTimeZone timeZone = {};
    // After the day files, write the library's page (index.html) from its
    // runs.csv, with the tracks of the runs saved kept in .kelvane/.
    bool overview = false;
    // The page's base map: a tile address (mapTilesProblem() in overview.h
    // empty), or none.
    QString mapTiles = {};
    // A run whose file gives the local time it was recorded in (a FIT file's
    // activity local_timestamp, a start written with an offset such as
    // "+03:00") is filed under that local time, and its CSV day file shows
    // it; the others under timeZone (the system's when it is not valid).
    bool recordedLocalTime = false;
    // Only runs of these sports are converted, by the names of --sport
    // ("running", "cycling"; see chooseSports); empty: every run. A run whose
    // input names no sport (a history run) is of none of them.
    QStringList sports = {};
    // Keep the output folder as a library: its runs.csv lists every run whose
    // day files are in it; a run it holds from another input is a duplicate,
    // and not written; new runs are numbered after the folder's day files.
    bool library = false;
};

// Reads a --sport list such as "running,cycling" (names case-blind, blanks
// around them allowed) into options.sports. On an unknown or missing name,
// the message of the bad usage, which lists the names; empty when the list
// is good.
QString chooseSports(const QString &list, ConversionOptions &options);
// The names of every sport, as --sport takes them: "running", "cycling" ...
QStringList sportNames();

// An input is a file (read through its compression when it is compressed),
// an archive (each of its files an input), a folder (its files and
// subfolders in the order of their names, hidden ones, links to folders and
// the output folder passed over), or "-" for standard input; all told by
// their content.
struct ConversionRequest {
    QString inputFile; // the one input, when not empty; read before `inputs`
    QString outputFolder;
    DateWindow window;
    ConversionOptions options;
    QDate today = QDate::currentDate(); // the end of the progress range
    // Set (from a signal handler or another thread) to stop the conversion:
    // the reading stops within the run being read, which is left, and the runs
    // read before it are saved whole.
    const std::atomic_bool *stop = nullptr;
    // Inputs read one after another, their runs numbered as one: a day's NN
    // counts on from one input to the next.
    QStringList inputs = {};
    // Whether each file passed over (of another kind in a folder or an
    // archive, or a FIT file that is no activity) is named in inputReports
    // with no limit; otherwise the first hundred reports hold them.
    bool nameEveryFile = false;
};

// Where a skipped run begins: in a text input its line (a history's <Run>
// line), counted from 1, and its column where known; in a binary input (a
// FIT file) its byte offset.
struct SkippedRun {
    qint64 line = 0;
    QString reason;
    qint64 column = 0;      // 0: not known
    qint64 byteOffset = -1; // -1: a text input
    QString input;          // its input's name ("export.zip: activities/55.tcx.gz")
    bool inBinaryInput() const { return byteOffset >= 0; }
};

// What is said of one input of a conversion of several: that it failed, or
// was passed over, or was read with something to know.
struct InputReport {
    QString text; // names the input
    bool failed = false;
    // A file passed over (of another kind, or a FIT file that is no
    // activity), which is counted by kind too.
    bool passedOver = false;
};

struct ConversionSummary {
    int runsRead = 0;
    int runsConverted = 0;
    int filesWritten = 0;
    int runsSkipped = 0;
    int runsLeftOutForSport = 0; // in the window, but of none of the sports asked for
    int duplicates = 0;          // of runs the library holds: named in inputReports, not written
    // What the inputs held besides runs, not converted.
    int waypoints = 0;
    int routes = 0;
    QList<SkippedRun> skipped; // the first hundred skipped runs and why
    // When no run was read: what the reader looks for, and the likely cause it saw.
    QString noRunHint;
    // What the user should know of the input as read (bytes taken in
    // another encoding, say); empty when nothing.
    QString notice;
    bool stopped = false; // on request, before the end of the input
    // Empty when the whole input was read and every day file was saved; otherwise
    // names the file and the system's reason, and the conversion stopped there.
    QString error;

    // The inputs read: the files given, found in folders and archives. Of
    // several, one that cannot be read is reported in inputReports, and the
    // conversion goes on with the next; with one input named alone, its
    // failure is `error`, its hint `noRunHint` and its notice `notice`.
    int inputs = 0;
    int inputsFailed = 0; // damaged, unreadable, or refused when named
    int inputsNotGps = 0; // of another kind, found in a folder or an archive: passed over
    QList<InputReport> inputReports; // the first hundred, in the order read
    // Those inputs by their kind ("PNG images": 3).
    QMap<QString, int> notGpsKinds;
    // FIT files: the activities read (runs), those converted, and the files
    // of other types, by type ("monitoring": 8610), which are not runs.
    int fitActivities = 0;
    int fitActivitiesConverted = 0;
    QMap<QString, int> fitNotActivities;

    bool ok() const { return error.isEmpty(); }
};

// Reads each input once, cuts it into runs, and saves the day files of every
// run whose start day lies in the window into the output folder. Returns what
// it did; it never ends the process.
ConversionSummary makeDayFiles(const ConversionRequest &request, ProgressSink &progress);

// Day serial number: consecutive whole numbers, one per calendar day, day 0
// being 30 December 1899 as desktop date types count them.
inline int daySerial(QDate day)
{
    return int(day.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

} // namespace kelvane
