#pragma once

#include <QString>

#include <cstdint>

// Writes made-up history files for the benchmark: the same bytes for the same
// size and seed on every machine, shaped like a logbook of many years.
struct HistoryShape {
    qint64 targetBytes = 100 << 20; // the file ends after the first run that reaches it
    std::uint64_t seed = 1;
    // Seconds between the track points of a Training Center or GPX activity: 1, or
    // several as a device's smart recording keeps them.
    int recordingSeconds = 1;
    // Days after (or, below zero, before) the generator's own first day that
    // the file's first activity is on: an export's files each hold their own
    // days, as a service's do.
    int daysLater = 0;
};

struct GeneratedHistory {
    int runs = 0;
    qint64 bytes = 0;
    QString error; // empty on success
};

// Writes the history to a temporary file beside `path` and moves it into
// place, so an interrupted run never leaves a short file behind.
GeneratedHistory GenerateHistory(const QString &path, const HistoryShape &shape);
