#pragma once

#include "run/run_figures.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kelvane {

// One run of a library: a row of its runs.csv.
struct CatalogueRow {
    QString baseName;     // YYYYMMDD_NN_Weekday of its day files
    QStringList dayFiles; // their extensions, with the dot: ".xml", ".gpx" ...
    RunFigures figures;
    QString input;          // where it was read: "export.zip: activities/123.fit.gz"
    QByteArray fingerprint; // of the run's own bytes, in hexadecimal (runFingerprint)

    bool operator==(const CatalogueRow &) const = default;
};

} // namespace kelvane
