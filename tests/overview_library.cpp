// Writes a library folder from a library in the overview page's JSON shape
// (the made-up libraries of tests/node/overview_fixture.mjs): its runs.csv
// and .kelvane/tracks.tsv, then the page as kelvane-split writes it.
//   overview_library LIBRARY.json FOLDER [LEAFLET_FOLDER]
// Prints the time the page took; exit status 1 with the error.

#include "library/library_tracks.h"
#include "library/run_catalogue.h"
#include "library/run_fingerprint.h"
#include "overview/overview_page.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cstdio>

using namespace kelvane;

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: overview_library LIBRARY.json FOLDER [LEAFLET_FOLDER]\n");
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly))
        return std::fprintf(stderr, "cannot read %s\n", argv[1]), 1;
    const QJsonObject library = QJsonDocument::fromJson(input.readAll()).object();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    RunCatalogue catalogue;
    LibraryTracks tracks;
    for (const QJsonValue &value : library[u"runs"].toArray()) {
        const QJsonObject run = value.toObject();
        CatalogueRow row;
        row.baseName = run[u"name"].toString();
        for (const QJsonValue &extension : run[u"files"].toArray())
            row.dayFiles << QLatin1Char('.') + extension.toString();
        const auto number = [&](QStringView key) {
            const QJsonValue v = run[key];
            return v.isDouble() ? std::optional(v.toDouble()) : std::nullopt;
        };
        RunFigures &figures = row.figures;
        const QDateTime start = QDateTime::fromString(run[u"start"].toString(), Qt::ISODate);
        if (start.isValid()) {
            figures.start =
                double(QDateTime(start.date(), start.time(), QTimeZone::utc()).toSecsSinceEpoch()) -
                3600;
            figures.utcOffset = 3600;
        }
        figures.sport = sportNamed(run[u"sport"].toString().toStdString());
        figures.distance = number(u"distance");
        figures.moving = number(u"moving");
        figures.ascent = number(u"ascent");
        figures.heartRateAverage = number(u"heart");
        row.input = run[u"input"].toString();
        row.fingerprint = runFingerprint(row.baseName.toStdString());
        catalogue.put(row);
        tracks.put(row.baseName,
                   {run[u"track"].toString().toStdString(), run[u"note"].toString().toStdString()});
    }
    QString error;
    QElapsedTimer timer;
    if (!catalogue.save(folder, error) || !tracks.save(folder, error))
        return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
    timer.start();
    const QString tiles = library[u"tiles"].toObject()[u"url"].toString();
    const bool written = argc > 3
                             ? writeOverview(folder, tiles, error, QString::fromLocal8Bit(argv[3]))
                             : writeOverview(folder, tiles, error);
    if (!written)
        return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
    std::printf("the page of %lld runs made in %lld ms\n", qlonglong(catalogue.rows().size()),
                timer.elapsed());
    return 0;
}
