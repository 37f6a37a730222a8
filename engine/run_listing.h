#pragma once

#include "kept_runs.h"
#include "run/run.h"
#include "time/zone_offsets.h"

#include <kelvane/conversion.h>
#include <kelvane/run_list.h>

#include <QTimeZone>

#include <optional>

namespace kelvane {

// The kept runs listed (--list), one line each: no file is touched, so
// the output folder needs no turn.
class RunListing final : public KeptRuns {
  public:
    // zone, when valid, for the runs' start times.
    RunListing(RunListSink &list, const QTimeZone &zone, ConversionSummary &summary);
    RunContent needs() const override { return {.points = true, .details = true}; }
    bool take(Run &run, const QString &input, bool &numberUsed) override;

  private:
    RunListSink &list;
    std::optional<ZoneOffsets> zone;
    ConversionSummary &summary;
};

// What the list of runs shows of a run; zone, when given, for its start time.
ListedRun listedRun(const Run &run, ZoneOffsets *zone);

// XML character data as text: its references read, CDATA sections opened,
// comments left out, its bytes as UTF-8.
QString characterData(std::string_view text);

// The sport a run is filed under: the one its reader told, else that of the
// input's word for it; none for a run whose input names no sport. Of a run
// read with its details (RunContent::details).
std::optional<Sport> sportOfRun(const Run &run);

} // namespace kelvane
