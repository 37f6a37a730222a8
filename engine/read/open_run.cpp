#include "read/open_run.h"

namespace kelvane {

void OpenRun::open(RunSink &runSink)
{
    sink = &runSink;
    sink->runOpened(format);
    state = Outcome::Undecided;
    partsTaken = partsRefused = false;
}

// A history run may take a start time again (after a <Run> line inside it);
// one skipped stays skipped.
bool OpenRun::start(std::string_view text, std::optional<int> localOffset)
{
    if (localOffset)
        sink->runLocalOffset(*localOffset);
    return start(text);
}

bool OpenRun::start(std::string_view text)
{
    const RunStart start = sink->runStarts(text);
    if (!start.day.isValid())
        return false;
    startDay = start.day;
    startTime.assign(text);
    if (state != Outcome::Skipped)
        state = start.inWindow ? Outcome::Kept : Outcome::Dropped;
    return true;
}

void OpenRun::skip(const InputLocation &where, const QString &reason)
{
    if (state == Outcome::Skipped)
        return;
    state = Outcome::Skipped;
    sink->runSkipped(where, reason);
}

void OpenRun::setAside(const InputLocation &where, const QString &kind, const QString &reason)
{
    if (state == Outcome::Skipped)
        return;
    state = Outcome::Skipped;
    sink->runSetAside(where, kind, reason);
}

bool OpenRun::documentPart(std::span<const std::string_view> pieces)
{
    if (!takesParts())
        return false;
    if (!sink->runDocumentPart(format, pieces)) {
        partsRefused = true; // for the rest of the run
        return false;
    }
    partsTaken = true;
    return true;
}

QString OpenRun::tooLargeReason(std::size_t bound)
{
    return QStringLiteral("it holds more than %1 MiB of points and text, more than a run may "
                          "take in memory")
        .arg(bound >> 20);
}

bool OpenRun::close(Run &run)
{
    if (state != Outcome::Kept)
        return sink->runEnded(nullptr);
    run.startDay = startDay;
    run.startTime = startTime;
    run.format = format;
    run.documentContinued = partsTaken;
    return sink->runEnded(&run);
}

} // namespace kelvane
