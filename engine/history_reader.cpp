#include "history_reader.h"

#include "notes_escaping.h"
#include "text.h"

#include <algorithm>

namespace kelvane {

HistoryReader::HistoryReader(QString path, const ReadingOptions &options)
    : path(std::move(path)), options(options)
{
}

void HistoryReader::read(RunSink &runSink)
{
    sink = &runSink;
    // The current point's texts are views into the lines they came from.
    reader.setBeforeRefill([this] { point.keep(); });
    if (!reader.open(path)) {
        error = reader.errorString();
        return;
    }
    std::string_view raw;
    while (reader.next(raw)) {
        lineNumber = reader.lineNumber();
        if (!handleLine(raw))
            return;
    }
    error = reader.errorString();
    if (phase != Phase::OutsideRun)
        skip(QStringLiteral("the file ends before the run's </Run> line"));
}

// One line through the steps of the main loop; false when the reading must stop.
bool HistoryReader::handleLine(std::string_view raw)
{
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() != '<') {
        // Not a tag line: a run keeps it, nothing else looks at it but a note
        // that runs over several lines.
        if (phase != Phase::OutsideRun) {
            keepLine(raw, line);
            followDetails(raw, line);
        }
        return true;
    }
    // The tags below differ in their second character, so that character
    // rules out all but one of the tests; the steps keep their order.
    const char second = line.size() > 1 ? line[1] : '\0';
    if (second == '?' && beginsWith(line, "<?xml version="))
        declarationLine.assign(raw);
    if (second == 'H' && beginsWith(line, "<History"))
        historyLine.assign(raw);
    if (second == 'R' && beginsWith(line, "<Run>"))
        openRun();
    if (phase != Phase::OutsideRun) {
        keepLine(raw, line);
        // Without CSV or GPX day files nothing ever reads the points.
        if (options.content.points)
            followTrackPointLine(line, point, points, options.hourOffset);
        followDetails(raw, line);
        if (second == 'S' && phase == Phase::AwaitingStart && beginsWith(line, "<StartTime>"))
            takeStartTime(line);
    }
    // A </Run> line outside a run closes nothing.
    if (second == '/' && phase != Phase::OutsideRun && beginsWith(line, "</Run>"))
        return endRun();
    return true;
}

// A <Run> line opens a run; inside a run it only asks for a start time anew.
void HistoryReader::openRun()
{
    if (phase == Phase::OutsideRun) {
        sink->runOpened();
        runFirstLine = lineNumber;
        outcome = Outcome::Undecided;
        details.clear();
    }
    phase = Phase::AwaitingStart;
    points.setRecording(options.content.points);
}

// The run's first <StartTime> line: "<StartTime>YYYY-MM-DDT...". It names the
// run's day files and moves the progress bar.
void HistoryReader::takeStartTime(std::string_view line)
{
    constexpr std::size_t kValue = 11; // after "<StartTime>"
    phase = Phase::InRun;
    const std::string_view value = line.substr(kValue);
    const RunStart start = sink->runStarts(value);
    if (!start.day.isValid()) {
        // Nothing of such a line may reach a file name.
        skip(QStringLiteral("its start time \"%1\" does not begin with a real date (YYYY-MM-DD)")
                 .arg(QString::fromLatin1(
                     line.substr(kValue).data(),
                     qsizetype(std::min<std::size_t>(line.size() - kValue, 40)))));
        return;
    }
    startDay = start.day;
    startTime.assign(value.substr(0, value.find("</")));
    if (outcome != Outcome::Skipped)
        outcome = start.inWindow ? Outcome::Kept : Outcome::Dropped;
    // Nothing of a run outside the window is written, so from here on its lines
    // and points are not kept; the current point's texts still follow them.
    points.setRecording(options.content.points && outcome == Outcome::Kept);
}

// Stores a line of the open run for its document. The run's lines stay in
// the reader's buffer from the first kept one on; only a line that goes out
// other than as read is noted.
inline void HistoryReader::keepLine(std::string_view raw, std::string_view line)
{
    if (phase == Phase::InRun && outcome != Outcome::Kept) {
        dropLines();
        return;
    }
    if (!options.content.document)
        return;
    if (!reader.hasMark())
        reader.markLine();
    if (!reader.lineEndsInCrLf() || (line.size() > 1 && line[1] == 'N'))
        keepChangedLine(raw, line);
}

// A line ending in LF alone (or in nothing, at the end of the file) gets its
// CR LF; a Notes line is converted, which only the document shows.
void HistoryReader::keepChangedLine(std::string_view raw, std::string_view line)
{
    const std::string_view text =
        convertNotesLine(raw, line, options.escapeHighCharacters, notesScratch);
    if (text.data() != raw.data() || !reader.lineEndsInCrLf())
        lines.replace(reader.offsetFromMark(raw), reader.lineWithEnd().size(), text);
}

// Laps and notes are followed only for the writers that show them, only
// while the run may still be written, and not through its track.
inline void HistoryReader::followDetails(std::string_view raw, std::string_view line)
{
    if (options.content.details && !details.done() &&
        (outcome == Outcome::Undecided || outcome == Outcome::Kept))
        details.follow(raw, line);
}

// From the first line dropped on, the run can no longer be written (see
// endRun), so the lines kept so far are let go.
void HistoryReader::dropLines()
{
    if (!linesDropped)
        forgetLines();
    linesDropped = true;
}

void HistoryReader::forgetLines()
{
    lines.clear();
    reader.clearMark();
}

bool HistoryReader::endRun()
{
    Run *kept = nullptr;
    Run run;
    if (outcome == Outcome::Undecided) {
        skip(QStringLiteral("it has no <StartTime> line"));
    } else if (outcome == Outcome::Kept && linesDropped) {
        // A <Run> line inside a run outside the window, then a start time inside it.
        skip(QStringLiteral("a <Run> line inside it starts another run"));
    } else if (outcome == Outcome::Kept) {
        if (options.content.document)
            buildDocument();
        run.startDay = startDay;
        run.startTime = startTime;
        run.document = document;
        run.documentExtension = QLatin1StringView(".xml");
        run.points = &points;
        if (options.content.details) {
            run.laps = details.laps();
            run.notes = details.notes(declaredEncoding(declarationLine));
        }
        kept = &run;
    }
    const bool goOn = sink->runEnded(kept);
    forgetLines();
    points.clear();
    points.setRecording(options.content.points);
    linesDropped = false;
    phase = Phase::OutsideRun;
    return goOn;
}

// The run's own lines framed by the input's declaration line, an empty line,
// its History start line, and a closing "</History>". The run's lines are not
// copied (see RunLines).
void HistoryReader::buildDocument()
{
    documentHead.clear();
    documentHead += declarationLine;
    documentHead += kLineEnd;
    documentHead += kLineEnd;
    documentHead += historyLine;
    documentHead += kLineEnd;
    document.clear();
    document.push_back(documentHead);
    lines.appendTo(document, reader.markedBytes());
    document.push_back("</History>\r\n");
}

// A run is skipped once, for the first reason found, even when a later line
// (a second start time, the end of the file) gives another.
void HistoryReader::skip(const QString &reason)
{
    if (outcome == Outcome::Skipped)
        return;
    outcome = Outcome::Skipped;
    sink->runSkipped(runFirstLine, reason);
}

} // namespace kelvane
