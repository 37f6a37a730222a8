// A FIT activity of about 100 MB, one run: kelvane-split writing its GPX 1.1
// and its TCX day file, whole processes, against the files floor of the same
// files, and against gpsbabel converting it into one GPX file, taken in turn;
// its peak memory against the records the run keeps.

#include "child_process.h"
#include "fit_generator.h"
#include "scenario.h"
#include "table.h"

#include "run/track_points.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kFitSpeedTarget = 20; // gpsbabel's FIT-to-GPX time / kelvane-split's GPX 1.1 time

} // namespace

void BenchFit(const QString &data, FreshFolders &folders, int repetitions, bool &allMet)
{
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (gpsbabel.isEmpty())
        Fail(QStringLiteral("gpsbabel is missing (`scripts/setup.sh --bench` installs it)"));
    const QString input = GeneratedFile(data, "fit", 100, GenerateFit);
    const double bytes = double(QFileInfo(input).size());
    // Day files of about 9 and 17 times the input, each made twice a repetition
    // (the floor's and kelvane-split's), and gpsbabel's GPX file of about 9.
    const qint64 needed = qint64(bytes) * (2 * 26 + 9) * (qint64(repetitions) + 1);
    if (QStorageInfo(data).bytesAvailable() < needed)
        Fail(QStringLiteral("Needs %1 GiB free in \"%2\" for the FIT steps")
                 .arg(double(needed) / kMiB / 1024, 0, 'f', 1)
                 .arg(data));

    const QStringList gpx11 = {QStringLiteral("--gpx-version"), QStringLiteral("1.1")};
    const QStringList tcx = {QStringLiteral("--tcx")};
    const auto ours = [&](const QStringList &formats, std::vector<OutputFile> *files = nullptr) {
        const QString out = folders.next();
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     QStringList{QStringLiteral("-q"), QStringLiteral("--all"),
                                 QStringLiteral("-C"), out, input} +
                         formats);
        if (child.exitCode != 0)
            Fail(QStringLiteral("kelvane-split failed on \"%1\" (exit %2)")
                     .arg(input)
                     .arg(child.exitCode));
        if (files)
            *files = FilesIn(out);
        return child;
    };
    const auto floor = [&](const std::vector<OutputFile> &files) {
        QString error;
        const QString out = folders.next();
        const double seconds = Seconds([&] {
            if (!FilesFloor(input, out, files, error))
                Fail(error);
        });
        return seconds;
    };
    const auto theirs = [&] {
        const ChildResult child = RunChild(
            gpsbabel, {QStringLiteral("-i"), QStringLiteral("garmin_fit"), QStringLiteral("-f"),
                       input, QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"),
                       QDir(folders.next()).filePath(QStringLiteral("all.gpx"))});
        if (child.exitCode != 0)
            Fail(QStringLiteral("gpsbabel failed on \"%1\" (exit %2)")
                     .arg(input)
                     .arg(child.exitCode));
        return child.seconds;
    };
    // Warm-up, which learns the files each conversion writes.
    std::vector<OutputFile> gpxFiles, tcxFiles;
    ours(gpx11, &gpxFiles);
    ours(tcx, &tcxFiles);
    std::vector<double> readTimes, gpxFloors, gpxTimes, tcxFloors, tcxTimes, theirTimes, speedUps;
    double peak = 0;
    for (int r = 0; r < repetitions; ++r) {
        readTimes.push_back(Seconds([&] { ReadFloor(input); }));
        gpxFloors.push_back(floor(gpxFiles));
        const ChildResult gpx = ours(gpx11);
        tcxFloors.push_back(floor(tcxFiles));
        const ChildResult tcxChild = ours(tcx);
        theirTimes.push_back(theirs());
        gpxTimes.push_back(gpx.seconds);
        tcxTimes.push_back(tcxChild.seconds);
        speedUps.push_back(theirTimes.back() / gpx.seconds);
        peak = std::max({peak, double(gpx.peakRssBytes), double(tcxChild.peakRssBytes)});
    }

    // The run keeps each record as numbers; laps and sessions are few.
    const double records = bytes / kFitRecordBytes * sizeof(kelvane::RecordedPoint);
    std::printf("\nFIT, %s: %.1f MiB, 1 activity, %.2f MiB of records kept\n",
                qPrintable(QFileInfo(input).fileName()), bytes / kMiB, records / kMiB);
    PrintTimingHeader("measure (whole processes)");
    PrintRow({QStringLiteral("read floor"), -1, Median(readTimes), bytes, 0, 0}, allMet);
    PrintRow({QStringLiteral("gpsbabel, FIT to one GPX file"), 1, Median(theirTimes), bytes, 0, 0},
             allMet);
    const auto conversionRows = [&](const char *label, const std::vector<OutputFile> &files,
                                    const std::vector<double> &floors,
                                    const std::vector<double> &times) {
        const QString name = QString::fromLatin1(label);
        const qint64 count = qint64(files.size());
        PrintRow({QStringLiteral("files floor, ") + name, count, Median(floors), bytes, 0, 0},
                 allMet);
        PrintRow({QStringLiteral("kelvane-split, ") + name, count, Median(times), bytes,
                  Median(times) / Median(floors), kFilesTarget},
                 allMet);
    };
    conversionRows("GPX 1.1", gpxFiles, gpxFloors, gpxTimes);
    conversionRows("TCX", tcxFiles, tcxFloors, tcxTimes);
    PrintSpeedUp("gpsbabel / kelvane-split, GPX 1.1", Median(speedUps), kFitSpeedTarget, allMet);
    const double above = (peak - records) / kMiB;
    std::printf("%-34s%22.2f MiB %7.2f MiB above  <= %.0f MiB  %s\n", "peak RSS, GPX 1.1 or TCX",
                peak / kMiB, above, kMemoryTarget, Verdict(above <= kMemoryTarget, allMet));
}
