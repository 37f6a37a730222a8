#pragma once

// The run a reader is in: what becomes of it, told to the conversion as it is
// decided, and the Run handed over at its end. The same for every format.

#include "run/run.h"

#include <QDate>
#include <QString>

#include <span>

#include <string>
#include <string_view>

namespace kelvane {

class OpenRun {
  public:
    enum class Outcome {
        Undecided, // no start time taken yet
        Kept,      // its start day lies in the window: it is written at its end
        Dropped,   // its start day lies outside the window: nothing of it is kept
        Skipped,   // reported as skipped: nothing of it is written
    };

    explicit OpenRun(RunFormat format) : format(format) {}

    // A run begins.
    void open(RunSink &runSink);
    // Takes a start time as written: the conversion numbers the run and tells
    // whether its day lies in the window. False when the text names no real
    // day; the caller then skips the run with its reason.
    bool start(std::string_view startTime);
    // The same for a run whose file tells its local time apart from the start
    // time (RunSink::runLocalOffset).
    bool start(std::string_view startTime, std::optional<int> localOffset);
    // The run writes nothing, for this reason. A run is reported once, for
    // the first reason found.
    void skip(const InputLocation &where, const QString &reason);
    // The same for a file that holds no run at all, but something of another
    // kind ("monitoring"): it is counted apart from the runs.
    void setAside(const InputLocation &where, const QString &kind, const QString &reason);
    Outcome outcome() const { return state; }
    // Why a run that holds more than bound bytes (ReadingOptions::largestRun)
    // is skipped.
    static QString tooLargeReason(std::size_t bound);
    bool isKept() const { return state == Outcome::Kept; }
    // Hands the kept run's document so far to the sink (see
    // RunSink::runDocumentPart); true when it took it.
    bool documentPart(std::span<const std::string_view> pieces);
    // False once the sink refused a part of this run: none is offered again.
    bool takesParts() const { return state == Outcome::Kept && !partsRefused; }
    // Parts of the document were taken: what follows them is all it needs.
    // A reader hands over a part once it holds about kDocumentPart bytes.
    static constexpr std::size_t kDocumentPart = std::size_t(4) << 20;
    bool documentBegun() const { return partsTaken; }
    // The run ends. run holds what the reader kept of it (its document,
    // points and details); its start and format are filled in here, and it is
    // handed over when kept. False when the reading must stop.
    bool close(Run &run);

  private:
    const RunFormat format;
    RunSink *sink = nullptr;
    Outcome state = Outcome::Undecided;
    bool partsTaken = false;
    bool partsRefused = false;
    QDate startDay;        // of the last start time taken
    std::string startTime; // that start time's text
};

} // namespace kelvane
