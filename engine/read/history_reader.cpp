#include "read/history_reader.h"

#include "text/notes_escaping.h"
#include "text/text.h"
#include <kelvane/message_text.h>

#include <algorithm>

namespace kelvane {

HistoryReader::HistoryReader(InputBuffer input, const ReadingOptions &options, bool utf16)
    : reader(std::move(input)), path(reader.source().name()), options(options)
{
    if (utf16)
        missedRuns = MissedRuns::Utf16;
}

void HistoryReader::read(RunSink &runSink)
{
    sink = &runSink;
    // The current point's texts are views into the lines they came from.
    reader.setBeforeRefill([this] { point.keep(); });
    std::string_view raw;
    while (reader.next(raw)) {
        lineNumber = reader.lineNumber();
        if (!handleLine(raw) || (options.stop && options.stop->load(std::memory_order_relaxed)))
            return;
    }
    error = reader.errorString();
    if (phase != Phase::OutsideRun && error.isEmpty())
        skip(QStringLiteral("the file ends before the run's </Run> line"));
}

// One line through the steps of the main loop; false when the reading must stop.
bool HistoryReader::handleLine(std::string_view raw)
{
    const std::string_view line = trim(raw);
    // A byte order mark may stand before the declaration; the declaration
    // line keeps it, so that the day files begin with it too.
    if (lineNumber == 1 && line.starts_with(kByteOrderMark) &&
        beginsWith(trim(line.substr(kByteOrderMark.size())), "<?xml version="))
        declarationLine.assign(raw);
    if (!sawRun)
        lookForMissedRuns(raw, line);
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
            followTrackPointLine(line, point, points);
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
    sawRun = true;
    if (phase == Phase::OutsideRun) {
        current.open(*sink);
        runFirstLine = lineNumber;
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
    const std::string_view startTime = value.substr(0, value.find("</"));
    if (!current.start(startTime)) {
        // Nothing of such a line may reach a file name.
        skip(QStringLiteral("its start time \"%1\" does not begin with a real date (YYYY-MM-DD)")
                 .arg(messageText(startTime)));
        return;
    }
    // Nothing of a run outside the window is written, so from here on its lines
    // and points are not kept; the current point's texts still follow them.
    points.setRecording(options.content.points && current.isKept());
}

// Stores a line of the open run for its document. The run's lines stay in
// the reader's buffer from the first kept one on; only a line that goes out
// other than as read is noted.
inline void HistoryReader::keepLine(std::string_view raw, std::string_view line)
{
    if (phase == Phase::InRun && !current.isKept()) {
        dropLines();
        return;
    }
    if (points.byteSize() + (reader.hasMark() ? reader.offsetFromMark(raw) + raw.size() : 0) >
        options.largestRun)
        return runTooLarge();
    if (!keepDocument)
        return;
    if (!reader.hasMark())
        reader.markLine();
    if (!reader.lineEndsInCrLf() || (line.size() > 1 && line[1] == 'N'))
        keepChangedLine(raw, line);
    if (phase == Phase::InRun && current.takesParts() &&
        reader.markedBytes().size() >= OpenRun::kDocumentPart)
        handOverLines();
}

// A large run's lines so far go out as a part of its document, and are let go.
void HistoryReader::handOverLines()
{
    document.clear();
    if (!current.documentBegun()) {
        buildDocumentHead();
        document.push_back(documentHead);
    }
    lines.appendTo(document, reader.markedBytes());
    if (current.documentPart(document))
        forgetLines();
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
        (current.outcome() == OpenRun::Outcome::Undecided || current.isKept()))
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

// A run that holds too much is skipped, and what it held let go.
void HistoryReader::runTooLarge()
{
    skip(OpenRun::tooLargeReason(options.largestRun));
    forgetLines();
    linesDropped = true;
    points.clear();
    points.setRecording(false);
}

void HistoryReader::forgetLines()
{
    lines.clear();
    reader.clearMark();
}

bool HistoryReader::endRun()
{
    if (current.outcome() == OpenRun::Outcome::Undecided)
        skip(QStringLiteral("it has no <StartTime> line"));
    else if (current.isKept() && linesDropped)
        // A <Run> line inside a run outside the window, then a start time inside it.
        skip(QStringLiteral("a <Run> line inside it starts another run"));
    Run run;
    if (current.isKept()) {
        if (keepDocument)
            buildDocument();
        run.document = document;
        run.points = &points;
        if (options.content.details) {
            run.laps = details.laps();
            run.notes = details.notes(declaredEncoding(declarationLine));
        }
    }
    const bool goOn = current.close(run);
    forgetLines();
    point.latitudeInRun = point.longitudeInRun = point.altitudeInRun = false;
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
    document.clear();
    if (!current.documentBegun()) {
        buildDocumentHead();
        document.push_back(documentHead);
    }
    lines.appendTo(document, reader.markedBytes());
    document.push_back("</History>\r\n");
}

void HistoryReader::buildDocumentHead()
{
    documentHead.clear();
    documentHead += declarationLine;
    documentHead += kLineEnd;
    documentHead += kLineEnd;
    documentHead += historyLine;
    documentHead += kLineEnd;
}

// A run is skipped once, for the first reason found, even when a later line
// (a second start time, the end of the file) gives another.
void HistoryReader::skip(const QString &reason)
{
    current.skip(runFirstLine, reason);
}

// Until a run is found, each line is looked at for what would make a person
// think it holds one; the first such sign explains a file without runs.
void HistoryReader::lookForMissedRuns(std::string_view raw, std::string_view line)
{
    const std::size_t run = raw.find("<Run");
    if (run == std::string_view::npos) {
        if (raw.find(":Run>") != std::string_view::npos ||
            raw.find(":Run ") != std::string_view::npos)
            noteMissedRuns(MissedRuns::Prefix);
        return;
    }
    if (raw.find('\r') != std::string_view::npos)
        noteMissedRuns(MissedRuns::CarriageReturns);
    const std::string_view tag = raw.substr(run);
    if (tag.size() > 4 && (tag[4] == ' ' || tag[4] == '\t' || tag[4] == '/'))
        noteMissedRuns(MissedRuns::Attributes);
    if (tag.starts_with("<Run>") && tag.data() != line.data()) {
        const std::string_view before = raw.substr(0, run);
        if (before.find_first_not_of(" \t") == std::string_view::npos)
            noteMissedRuns(MissedRuns::Tabs);
        else
            noteMissedRuns(MissedRuns::SeveralOnALine);
    }
}

void HistoryReader::noteMissedRuns(MissedRuns sign)
{
    if (missedRuns == MissedRuns::None)
        missedRuns = sign;
}

QString HistoryReader::noRunHint() const
{
    // Not a line, not a byte: nothing to explain of history files.
    if (lineNumber == 0 && missedRuns == MissedRuns::None && error.isEmpty())
        return QStringLiteral("\"%1\" is empty").arg(path);
    QString hint =
        QStringLiteral(
            "No run found in \"%1\". A history file holds each element on a line of its own, and a "
            "run begins with a line \"<Run>\" (after blanks).")
            .arg(path);
    switch (missedRuns) {
    case MissedRuns::None:
        return hint;
    case MissedRuns::Utf16:
        return hint + QStringLiteral(" This file is UTF-16 text: save it as UTF-8 or in the "
                                     "system's 8-bit code page.");
    case MissedRuns::CarriageReturns:
        return hint + QStringLiteral(" This file's lines end in CR alone, which ends no line here: "
                                     "convert its line ends to LF or CR LF.");
    case MissedRuns::Tabs:
        return hint + QStringLiteral(" This file's lines are indented with tabs, which do not "
                                     "count as blanks.");
    case MissedRuns::SeveralOnALine:
        return lineNumber == 1
                   ? hint + QStringLiteral(" This file has no line ends: all its elements stand "
                                           "on one line.")
                   : hint + QStringLiteral(" In this file, several elements stand on one line.");
    case MissedRuns::Prefix:
        return hint +
               QStringLiteral(" This file's Run tags carry a namespace prefix (\"<x:Run>\").");
    case MissedRuns::Attributes:
        return hint + QStringLiteral(" This file's Run tags carry attributes (\"<Run id=...>\").");
    }
    return hint;
}

} // namespace kelvane
