#include "save/run_copy.h"

#include <algorithm>

namespace kelvane {

namespace {

// A lap's texts, in the order they are kept.
constexpr std::string_view Lap::*kLapTexts[] = {
    &Lap::startTime,        &Lap::seconds,          &Lap::meters,    &Lap::calories,
    &Lap::averageHeartRate, &Lap::maximumHeartRate, &Lap::intensity, &Lap::trigger};

} // namespace

void RunCopy::assign(const Run &run)
{
    copied.startDay = run.startDay;
    copied.baseName = run.baseName;
    copied.format = run.format;
    copied.localOffset = run.localOffset;
    copied.summary = run.summary;
    copied.document = {};
    copied.points = nullptr;
    if (run.points) {
        points.copyFrom(*run.points);
        copied.points = &points;
    }
    // The texts are gathered first and viewed once they no longer move.
    texts.clear();
    ends.clear();
    const auto keep = [this](std::string_view text) {
        texts += text;
        ends.push_back(texts.size());
    };
    keep(run.startTime);
    keep(run.sport);
    keep(run.notes);
    for (const Lap &lap : run.laps)
        for (const auto text : kLapTexts)
            keep(lap.*text);
    for (const RunPart &part : run.parts) {
        keep(part.sport);
        keep(part.startTime);
    }

    std::size_t next = 0;
    const auto text = [&] {
        const std::size_t begin = next == 0 ? 0 : ends[next - 1];
        return std::string_view(texts).substr(begin, ends[next++] - begin);
    };
    copied.startTime = text();
    copied.sport = text();
    copied.notes = text();
    laps.resize(run.laps.size());
    for (Lap &lap : laps)
        for (const auto member : kLapTexts)
            lap.*member = text();
    copied.laps = laps;
    parts.assign(run.parts.begin(), run.parts.end());
    for (RunPart &part : parts) {
        part.sport = text();
        part.startTime = text();
    }
    copied.parts = parts;
    largest = std::max(largest, size());
}

std::size_t RunCopy::size() const
{
    return points.byteSize() + texts.size() + sizeof(Lap) * laps.size() +
           sizeof(RunPart) * parts.size();
}

} // namespace kelvane
