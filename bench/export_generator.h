#pragma once

#include "history_generator.h"

#include <QString>
#include <QStringList>

#include <span>

// A kind of activity file in a made-up export.
struct ExportKind {
    const char *extension;      // of the activity's file: "tcx"
    const char *gpsbabelFormat; // the format's name for gpsbabel -i: "gtrnctr"
    GeneratedHistory (*generate)(const QString &path, const HistoryShape &shape);
    HistoryShape shape; // of every activity of the kind; the seed counts on from there
};

// Writes `count` activity files into `folder`, as a user has them once an
// export is unpacked: 1.tcx, 2.fit, ..., the kinds taken in turn. The same
// bytes on every machine; files already there are kept.
struct GeneratedActivities {
    QStringList files; // in order
    qint64 bytes = 0;
    qint64 largestBytes = 0;
    QString error; // empty on success
};
GeneratedActivities GenerateActivities(const QString &folder, std::span<const ExportKind> kinds,
                                       int count);

// Writes a fitness site's bulk export of the files: a zip archive (by
// libarchive) of `activities/N.EXTENSION.gz`, N counting the files from 1,
// each file gzipped, as Strava packs them. Returns an error, empty on success.
QString WriteExport(const QString &zipPath, const QStringList &files);
