// MakeFiles: the main loop that cuts a history file into runs and saves the
// day files of the runs inside the date window.
//
// The reader does not parse XML. It compares the start of each trimmed line
// with a few literal tags and cuts values by position, so every byte it does
// not recognise travels to the output unchanged.

#include "make_files.h"

#include "day_file_name.h"
#include "day_file_saver.h"
#include "day_file_writers.h"
#include "line_reader.h"
#include "notes_escaping.h"
#include "run_lines.h"
#include "run_state.h"
#include "text.h"

#include <QFileInfo>

#include <algorithm>
#include <unordered_map>

namespace kelvane {

namespace {

constexpr int kMaxSkipDetails = 100;

// The number written by the digits text[first, first + count), or -1.
int Number(std::string_view text, std::size_t first, std::size_t count)
{
    int value = 0;
    for (const char c : text.substr(first, count)) {
        if (!IsDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// YYYY-MM-DD naming a real day, or a null date.
QDate ParseRunDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return {};
    const int year = Number(text, 0, 4), month = Number(text, 5, 2), day = Number(text, 8, 2);
    if (year <= 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day); // null unless a real day
}

class Converter {
  public:
    Converter(const DateWindow &window, const OutputOptions &options, ProgressSink &progress,
              const QString &outputFolder, QDate today)
        : window(window), options(options), progress(progress),
          saver(outputFolder, [this](const QStringList &files) { runSaved(files); }), today(today)
    {
    }

    ConversionSummary run(const QString &inputFile);

  private:
    bool handleLine(std::string_view raw);
    void keepLine(std::string_view raw, std::string_view line);
    void keepChangedLine(std::string_view raw, std::string_view line);
    void forgetLines();
    void takeStartTime(std::string_view line);
    void reportProgress(QDate runDay);
    QString nameRun(QDate runDate);
    bool endRun();
    bool saveDayFiles();
    void runSaved(const QStringList &files);
    ConversionSummary finish();
    void skip(qint64 line, const QString &reason);

    const DateWindow &window;
    const OutputOptions &options;
    ProgressSink &progress;
    DayFileSaver saver;
    const QDate today;
    // Lines are kept only for XML day files, track points only for CSV and GPX ones.
    const bool keepLines = options.ckXMLFlag;
    const bool keepPoints = options.ckTXTFlag || options.chkGPXFlag;

    LineReader reader;
    RunState state;
    RunLines lines;
    TrackData track;
    std::string notesScratch;
    std::string xmlHead; // the XML day file's lines before the run's
    std::vector<std::string_view> xmlPieces;
    std::string gpxBytes; // the GPX day file, in a buffer that only grows
    int progressMin = 0;
    int progressMax = 0;
    // Highest NN saved for each start day in this conversion, so that a later
    // run on the same day never replaces a day file written earlier.
    std::unordered_map<qint64, int> highestNN;
    qint64 lineNumber = 0;
    ConversionSummary summary;
};

ConversionSummary Converter::run(const QString &inputFile)
{
    // The current point's texts are views into the lines they came from.
    reader.setBeforeRefill([this] { state.Track.keep(); });
    if (!reader.open(inputFile)) {
        summary.error = reader.errorString();
        return summary;
    }
    std::string_view raw;
    while (reader.next(raw)) {
        lineNumber = reader.lineNumber();
        if (!handleLine(raw))
            return finish();
    }
    if (state.InRun)
        skip(state.RunStartLine, QStringLiteral("the file ends before the run's </Run> line"));
    return finish();
}

// Waits for the runs still being saved. A failure to save comes before any
// later one to read, as it concerns an earlier part of the file.
ConversionSummary Converter::finish()
{
    if (!saver.finish())
        summary.error = saver.error();
    else if (!reader.errorString().isEmpty())
        summary.error = reader.errorString();
    return summary;
}

// One line through the steps of the main loop; false when the conversion must stop.
bool Converter::handleLine(std::string_view raw)
{
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() != '<') {
        // Not a tag line: a run keeps it, nothing else looks at it.
        if (state.InRun)
            keepLine(raw, line);
        return true;
    }
    // The tags below differ in their second character, so that character
    // rules out all but one of the tests; the steps keep their order.
    const char second = line.size() > 1 ? line[1] : '\0';
    if (second == '?' && BeginsWith(line, "<?xml version="))
        state.XmlDeclLine.assign(raw);
    if (second == 'H' && BeginsWith(line, "<History"))
        state.HistoryLine.assign(raw);
    if (second == 'R' && BeginsWith(line, "<Run>")) {
        if (!state.InRun) {
            ++summary.runsRead;
            state.RunStartLine = lineNumber;
            state.StartSeen = false;
            state.Skipped = false;
        }
        state.InRun = true;
        state.AwaitStart = true;
        track.setRecording(keepPoints);
    }
    if (state.InRun) {
        keepLine(raw, line);
        // Without CSV or GPX day files nothing ever reads the points.
        if (keepPoints)
            HandleTrackPointLine(line, state.Track, track, options.ZOffset);
        if (second == 'S' && state.AwaitStart && BeginsWith(line, "<StartTime>"))
            takeStartTime(line);
    }
    // A </Run> line outside a run closes nothing.
    if (second == '/' && state.InRun && BeginsWith(line, "</Run>"))
        return endRun();
    return true;
}

// The run's first <StartTime> line: "<StartTime>YYYY-MM-DDT...". It names the
// run's day files and moves the progress bar.
void Converter::takeStartTime(std::string_view line)
{
    constexpr std::size_t kValue = 11; // after "<StartTime>"
    state.AwaitStart = false;
    state.StartSeen = true;
    const QDate runDate = ParseRunDate(line.substr(kValue, 10));
    if (!runDate.isValid()) {
        // Nothing of such a line may reach a file name.
        skip(state.RunStartLine,
             QStringLiteral("its start time \"%1\" does not begin with a real date (YYYY-MM-DD)")
                 .arg(QString::fromLatin1(
                     line.substr(kValue).data(),
                     qsizetype(std::min<std::size_t>(line.size() - kValue, 40)))));
        return;
    }
    state.RunDate = runDate;
    state.RunDay = runDate.day();
    if (state.RunDay != state.PrevDay)
        state.DaySeq = 0;
    else
        ++state.DaySeq;
    state.DayFileName = nameRun(runDate);
    state.RunInWindow = window.contains(runDate);
    // Nothing of a run outside the window is written, so from here on its lines
    // and points are not kept; the current point's texts still follow them.
    track.setRecording(keepPoints && state.RunInWindow);
    reportProgress(runDate);
}

// Stores a line of the open run for its XML day file. The run's lines stay
// in the reader's buffer from the first kept one on; only a line that goes
// out other than as read is noted.
inline void Converter::keepLine(std::string_view raw, std::string_view line)
{
    if (!state.AwaitStart && !state.RunInWindow) {
        // From the first line dropped on, the run can no longer be written
        // (see endRun), so the lines kept so far are let go.
        if (!state.LinesDropped)
            forgetLines();
        state.LinesDropped = true;
        return;
    }
    if (!keepLines)
        return;
    if (!reader.hasMark())
        reader.markLine();
    if (!reader.lineEndsInCrLf() || (line.size() > 1 && line[1] == 'N'))
        keepChangedLine(raw, line);
}

// A line ending in LF alone (or in nothing, at the end of the file) gets its
// CR LF; a Notes line is converted, which only the XML day file shows.
void Converter::keepChangedLine(std::string_view raw, std::string_view line)
{
    const std::string_view text = ConvertNotesLine(raw, line, options.chkHighAscii, notesScratch);
    if (text.data() != raw.data() || !reader.lineEndsInCrLf())
        lines.replace(reader.offsetFromMark(raw), reader.lineWithEnd().size(), text);
}

void Converter::forgetLines()
{
    lines.clear();
    reader.clearMark();
}

QString Converter::nameRun(QDate runDate)
{
    state.NN = state.DaySeq + 1;
    const auto used = highestNN.find(runDate.toJulianDay());
    if (used != highestNN.end() && state.NN <= used->second)
        state.NN = used->second + 1;
    return DayFileName(runDate, state.NN);
}

void Converter::reportProgress(QDate runDay)
{
    if (!state.ProgressStarted) {
        // The bar needs a range of at least one day, ending today.
        progressMax = DaySerial(today);
        progressMin = std::min(DaySerial(runDay), progressMax - 1);
        progress.BeginDays(progressMin, progressMax);
        state.ProgressStarted = true;
    }
    progress.SetDay(std::clamp(DaySerial(runDay), progressMin, progressMax));
}

bool Converter::endRun()
{
    bool ok = true;
    if (!state.StartSeen)
        skip(state.RunStartLine, QStringLiteral("it has no <StartTime> line"));
    else if (state.RunInWindow && state.LinesDropped)
        // A <Run> line inside a run outside the window, then a start time inside it.
        skip(state.RunStartLine, QStringLiteral("a <Run> line inside it starts another run"));
    else if (!state.Skipped && state.RunInWindow)
        ok = saveDayFiles();
    forgetLines();
    track.clear();
    track.setRecording(keepPoints);
    state.LinesDropped = false;
    state.InRun = false;
    state.RunInWindow = false;
    state.PrevDay = state.RunDay;
    return ok;
}

// The run's files are views into the reader's and this converter's buffers;
// saveRun() copies them or saves them before it returns.
bool Converter::saveDayFiles()
{
    DayFileSaver::DayFile files[3];
    std::size_t count = 0;
    const auto csv = WriteCsvDayFile(track);
    std::string_view gpx;
    if (options.ckXMLFlag) {
        progress.ShowFileName(state.DayFileName + QLatin1String(".xml"));
        WriteXmlDayFile(xmlPieces, xmlHead, state.XmlDeclLine, state.HistoryLine, lines,
                        reader.markedBytes());
        files[count++] = {state.DayFileName + QLatin1String(".xml"), xmlPieces};
    }
    if (options.ckTXTFlag)
        files[count++] = {state.DayFileName + QLatin1String(".txt"), csv};
    if (options.chkGPXFlag) {
        gpx = WriteGpxDayFile(gpxBytes, track);
        files[count++] = {state.DayFileName + QLatin1String(".gpx"), {&gpx, 1}};
    }
    if (count > 0) {
        int &highest = highestNN[state.RunDate.toJulianDay()];
        highest = std::max(highest, state.NN);
    }
    return saver.saveRun({files, count});
}

// Called for each run whose day files are saved, in the order of the file.
void Converter::runSaved(const QStringList &files)
{
    ++summary.runsConverted;
    summary.filesWritten += int(files.size());
    for (const QString &name : files)
        progress.FileWritten(name);
}

// A run is skipped once, for the first reason found, even when a later line
// (a second start time, the end of the file) gives another.
void Converter::skip(qint64 line, const QString &reason)
{
    if (state.Skipped)
        return;
    state.Skipped = true;
    ++summary.runsSkipped;
    if (summary.skipped.size() < kMaxSkipDetails)
        summary.skipped.append({line, reason});
}

QString CheckRequest(const QString &inputFile, const DateWindow &window,
                     const QString &outputFolder)
{
    if (!window.StartFilesDate.isValid())
        return QStringLiteral("The first day of the date window is missing or not a real date");
    if (!window.EndFilesDate.isValid())
        return QStringLiteral("The last day of the date window is missing or not a real date");
    if (inputFile.isEmpty())
        return QStringLiteral("No history file was given");
    if (const QFileInfo folder(outputFolder); !folder.isDir())
        return QStringLiteral("Cannot write day files into \"%1\": %2")
            .arg(outputFolder, folder.exists() ? QStringLiteral("not a folder")
                                               : QStringLiteral("no such folder"));
    return {};
}

} // namespace

ConversionSummary MakeFiles(const QString &inputFile, const DateWindow &window,
                            const OutputOptions &options, ProgressSink &progress,
                            const QString &outputFolder, QDate today)
{
    if (const QString problem = CheckRequest(inputFile, window, outputFolder); !problem.isEmpty()) {
        ConversionSummary summary;
        summary.error = problem;
        return summary;
    }
    return Converter(window, options, progress, outputFolder, today).run(inputFile);
}

} // namespace kelvane
