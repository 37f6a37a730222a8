#pragma once

// The overview page of a library folder: index.html, made from its runs.csv
// and .kelvane/tracks.tsv, with its data as JSON in the page (the shape
// overview.js describes at its top) and its script, its style and Leaflet
// in .kelvane/ beside it.

#include "library/library_tracks.h"
#include "library/run_catalogue.h"

#include <kelvane/overview.h>

#include <QString>

#include <string>
#include <string_view>

namespace kelvane {

// Where Debian's libjs-leaflet puts Leaflet.
inline constexpr char kLeafletFolder[] = "/usr/share/javascript/leaflet";

// Writes folder/index.html of the library in the folder, and what it loads
// into folder/.kelvane/ (each file only when it changed). mapTiles is a
// tile address (mapTilesProblem() empty) or empty for no base map. Without
// Leaflet in leafletFolder the page shows the library without its map, and
// says so. An index.html that this program did not write is left alone.
// False with the error naming the file and the reason.
bool writeOverview(const QString &folder, const QString &mapTiles, QString &error,
                   const QString &leafletFolder = QLatin1StringView(kLeafletFolder));

// The page's data: the JSON embedded in it, every "<" written as \u003c.
// made is the local time the page is made, "2026-12-09T08:00:00".
std::string overviewData(const RunCatalogue &catalogue, const LibraryTracks &tracks,
                         const QString &mapTiles, std::string_view made);

// Appends text (UTF-8) as a JSON string that may stand in an HTML script
// element: quotes, backslashes, control characters and "<" escaped.
void appendJsonString(std::string &out, std::string_view text);

} // namespace kelvane
