#include "save/run_copy.h"

#include <algorithm>

namespace kelvane {

void RunCopy::assign(const Run &run)
{
    copied.startDay = run.startDay;
    copied.baseName = run.baseName;
    copied.format = run.format;
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
        for (const std::string_view text : {lap.startTime, lap.seconds, lap.meters, lap.calories})
            keep(text);

    std::size_t next = 0;
    const auto text = [&] {
        const std::size_t begin = next == 0 ? 0 : ends[next - 1];
        return std::string_view(texts).substr(begin, ends[next++] - begin);
    };
    copied.startTime = text();
    copied.sport = text();
    copied.notes = text();
    laps.clear();
    while (next < ends.size())
        laps.push_back({text(), text(), text(), text()});
    copied.laps = laps;
    largest = std::max(largest, size());
}

std::size_t RunCopy::size() const
{
    return points.csvRows().size() + texts.size() + sizeof(Lap) * laps.size();
}

} // namespace kelvane
