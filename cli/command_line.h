#pragma once

#include "conversion.h"

#include <QDate>
#include <QString>
#include <QStringList>

// What `kelvane-split` was asked to do.
struct SplitRequest {
    QString historyFile;
    QString directory = QStringLiteral(".");
    kelvane::DateWindow window;
    kelvane::OutputOptions options;
    bool quiet = false;
    bool help = false;
    bool version = false;
    QString helpText;
    QString usageError; // not empty: bad usage, nothing may be read or written
};

// Reads the arguments (program name first) for a run on `today`.
SplitRequest ParseCommandLine(const QStringList &arguments, QDate today);
