#pragma once

#include <kelvane/conversion.h>

#include <QDateTime>
#include <QString>
#include <QStringList>

// What `kelvane-split` was asked to do.
struct SplitRequest {
    kelvane::ConversionRequest conversion; // the output folder "." unless given
    bool list = false;                     // list the runs instead of writing their day files
    bool quiet = false;
    bool help = false;
    bool version = false;
    QString helpText;
    QString usageError; // not empty: bad usage, nothing may be read or written
};

// Reads the arguments (program name first) for a run at the moment `now`.
SplitRequest parseCommandLine(const QStringList &arguments, const QDateTime &now);
