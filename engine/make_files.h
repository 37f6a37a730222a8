#pragma once

#include "conversion.h"
#include "progress_sink.h"

#include <QDate>
#include <QString>

namespace kelvane {

// Reads the history file once, cuts it into runs, and saves the day files of
// every run whose start day lies in the window into outputFolder. `today` sets
// the end of the progress range. Returns what it did; it never ends the process.
ConversionSummary MakeFiles(const QString &inputFile, const DateWindow &window,
                            const OutputOptions &options, ProgressSink &progress,
                            const QString &outputFolder, QDate today = QDate::currentDate());

} // namespace kelvane
