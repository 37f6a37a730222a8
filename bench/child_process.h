#pragma once

#include <QString>
#include <QStringList>

struct ChildResult {
    int exitCode = -1;       // -1 when it could not be started or was killed
    double seconds = 0;      // wall time from start to end
    qint64 peakRssBytes = 0; // the most memory the child ever held in RAM
};

// Runs a program and waits for it; the peak memory is the child's own, not
// the benchmark's. Its standard output goes to `outputFile`, or is thrown away.
ChildResult RunChild(const QString &program, const QStringList &arguments,
                     const QString &outputFile = QString());
