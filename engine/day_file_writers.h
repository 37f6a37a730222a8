#pragma once

// The three day files of a run, built as bytes in memory.
// Every line, the last one included, ends with CR LF.

#include "run_lines.h"
#include "track_points.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The run's own lines framed by the input's declaration line, an empty line,
// its History start line, and a closing "</History>". The file is the pieces
// filled in, in order; the run's lines are not copied (see RunLines), the
// first piece is held in head.
void WriteXmlDayFile(std::vector<std::string_view> &pieces, std::string &head,
                     std::string_view XmlDeclLine, std::string_view HistoryLine,
                     const RunLines &lines, const MarkedBytes &marked);

// A header line and one comma-separated line per track point: the file is
// the two pieces returned, the rows as the track keeps them.
std::array<std::string_view, 2> WriteCsvDayFile(const TrackData &track);

// A GPX 1.0 document with one track of one segment holding every track point.
// The file is the view returned, into buffer.
std::string_view WriteGpxDayFile(std::string &buffer, const TrackData &track);

} // namespace kelvane
