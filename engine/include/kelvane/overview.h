#pragma once

#include <QString>

namespace kelvane {

// Why a map tile address cannot be used for the overview page's base map
// (an http or https URL template holding {z}, {x} and {y}); empty when it can.
QString mapTilesProblem(const QString &url);

} // namespace kelvane
