#pragma once

#include "run/run.h"

#include <kelvane/run_list.h>

namespace kelvane {

class ZoneOffsets;

// What the list of runs shows of a run; zone, when given, for its start time.
ListedRun listedRun(const Run &run, ZoneOffsets *zone);

// XML character data as text: its references read, CDATA sections opened,
// comments left out, its bytes as UTF-8.
QString characterData(std::string_view text);

} // namespace kelvane
