#pragma once

// The reader of history files: a History of Runs, one element a line.
//
// It does not parse XML. It compares the start of each trimmed line with a
// few literal tags and cuts values by position, so every byte it does not
// recognise travels to the output unchanged.

#include "input/line_reader.h"
#include "read/history_run_details.h"
#include "read/history_track_points.h"
#include "read/open_run.h"
#include "read/run_lines.h"
#include "run/run.h"

#include <string>
#include <vector>

namespace kelvane {

class HistoryReader final : public RunReader {
  public:
    // Reads on from the bytes the buffer holds. utf16: the text is UTF-16,
    // in which no run is found (the hint says so).
    HistoryReader(InputBuffer input, const ReadingOptions &options, bool utf16 = false);

    void read(RunSink &sink) override;
    QString errorString() const override { return error; }
    QString noRunHint() const override;

  private:
    // Where the reader stands in the file.
    enum class Phase {
        OutsideRun,    // between runs
        AwaitingStart, // after a <Run> line, until the next <StartTime> line is taken
        InRun,         // a start time of the open run was taken
    };

    // Signs of runs the reader cannot see, for the hint after a file without runs.
    enum class MissedRuns {
        None,
        Utf16,
        CarriageReturns,
        Tabs,
        SeveralOnALine,
        Prefix,
        Attributes,
    };
    static constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

    bool handleLine(std::string_view raw);
    void lookForMissedRuns(std::string_view raw, std::string_view line);
    void noteMissedRuns(MissedRuns sign);
    void openRun();
    void keepLine(std::string_view raw, std::string_view line);
    void followDetails(std::string_view raw, std::string_view line);
    void keepChangedLine(std::string_view raw, std::string_view line);
    void dropLines();
    void forgetLines();
    void runTooLarge();
    void handOverLines();
    void buildDocumentHead();
    void takeStartTime(std::string_view line);
    bool endRun();
    void buildDocument();
    void skip(const QString &reason);

    LineReader reader;
    const QString path;
    const ReadingOptions options;
    const bool keepDocument = options.content.keepsDocumentOf(RunFormat::History);
    RunSink *sink = nullptr;
    QString error;
    qint64 lineNumber = 0;

    bool sawRun = false;
    MissedRuns missedRuns = MissedRuns::None;
    Phase phase = Phase::OutsideRun;
    OpenRun current{RunFormat::History};
    bool linesDropped = false; // lines of the open run were let go
    qint64 runFirstLine = 0;   // line number of the open run's <Run> line

    std::string declarationLine; // the last line that began "<?xml version=", as read
    std::string historyLine;     // the last line that began "<History", as read
    HistoryPointState point;     // the track point being read
    RunLines lines;              // the open run's lines, for its document
    TrackPoints points;          // the open run's track points
    HistoryRunDetails details;   // the open run's laps and note
    std::string notesScratch;
    std::string documentHead; // the document's lines before the run's
    std::vector<std::string_view> document;
};

} // namespace kelvane
