#pragma once

// The input formats as lists for users, taken from the engine's table of
// formats (its own, in engine/read/input_formats.cpp).

#include <QString>
#include <QStringList>

namespace kelvane {

// The names of the files a conversion reads ("*.tcx"): those of every input
// format, then those of the compressed files and archives it unpacks. Inputs
// are told by their content; the names are for lists of files to pick from.
QStringList inputFilePatterns();

// "logbook history files, Training Center (TCX) files, FIT files and GPX files"
QString inputFormatNames();

// What a run is in the formats where it has a name of its own:
// "TCX: activity; FIT: activity file; GPX: a track's day".
QString runNames();

} // namespace kelvane
