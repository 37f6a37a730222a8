// Training Center files: kelvane-split writing all three day files of every
// activity, against gpsbabel converting the same file into one GPX file,
// whole processes taken in turn (the ratio is taken pair by pair); then
// kelvane-split's peak memory on a file and on one four times as large.

#include "child_process.h"
#include "history_facts.h"
#include "scenario.h"
#include "table.h"
#include "tcx_generator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cstdio>

namespace {

constexpr double kTcxSpeedTarget = 10; // gpsbabel's TCX-to-GPX time / kelvane-split's time
constexpr double kTcxFlatTarget = 4;   // MiB of peak memory more on a file four times as large

} // namespace

void BenchTrainingCenter(const QString &data, FreshFolders &folders, int repetitions, bool &allMet)
{
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (gpsbabel.isEmpty())
        Fail(QStringLiteral("gpsbabel is missing (`scripts/setup.sh --bench` installs it)"));
    const QString small = GeneratedFile(data, "tcx", 100, GenerateTcx);
    const QString large = GeneratedFile(data, "tcx", 400, GenerateTcx);
    const HistoryFacts smallFacts = ScanTcx(small);
    const HistoryFacts largeFacts = ScanTcx(large);
    for (const HistoryFacts *facts : {&smallFacts, &largeFacts})
        if (!facts->error.isEmpty())
            Fail(facts->error);
    // Day files of about 1.3 times the input each time, gpsbabel's GPX file of 0.7.
    const qint64 needed = smallFacts.bytes * (2 * qint64(repetitions) + 4) + largeFacts.bytes * 2;
    if (QStorageInfo(data).bytesAvailable() < needed)
        Fail(QStringLiteral("Needs %1 GiB free in \"%2\" for the Training Center steps")
                 .arg(double(needed) / kMiB / 1024, 0, 'f', 1)
                 .arg(data));

    const QStringList allFormats = {QStringLiteral("--xml"), QStringLiteral("--csv"),
                                    QStringLiteral("--gpx")};
    const auto ours = [&](const QString &input, const QStringList &formats) {
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     QStringList{QStringLiteral("-q"), QStringLiteral("--all"),
                                 QStringLiteral("-C"), folders.next(), input} +
                         formats);
        if (child.exitCode != 0)
            Fail(QStringLiteral("kelvane-split failed on \"%1\" (exit %2)")
                     .arg(input)
                     .arg(child.exitCode));
        return child;
    };
    const auto theirs = [&] {
        const ChildResult child = RunChild(
            gpsbabel, {QStringLiteral("-i"), QStringLiteral("gtrnctr"), QStringLiteral("-f"), small,
                       QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"),
                       QDir(folders.next()).filePath(QStringLiteral("all.gpx"))});
        if (child.exitCode != 0)
            Fail(QStringLiteral("gpsbabel failed on \"%1\" (exit %2)")
                     .arg(small)
                     .arg(child.exitCode));
        return child;
    };
    ours(small, allFormats); // warm-up
    // Taken in turn, so that a machine whose speed drifts slows all alike.
    std::vector<double> readTimes, gpxTimes, allTimes, theirTimes, gpxSpeedUps, allSpeedUps;
    for (int r = 0; r < repetitions; ++r) {
        readTimes.push_back(Seconds([&] { ReadFloor(small); }));
        const double gpx = ours(small, {QStringLiteral("--gpx")}).seconds;
        const double all = ours(small, allFormats).seconds;
        const double other = theirs().seconds;
        gpxTimes.push_back(gpx);
        allTimes.push_back(all);
        theirTimes.push_back(other);
        gpxSpeedUps.push_back(other / gpx);
        allSpeedUps.push_back(other / all);
    }

    const double input = double(smallFacts.bytes);
    std::printf("\nTraining Center, %s: %.1f MiB, %d activities, largest activity %.2f MiB\n",
                qPrintable(QFileInfo(small).fileName()), input / kMiB, smallFacts.runs,
                double(smallFacts.largestRunBytes) / kMiB);
    PrintTimingHeader("measure (whole processes)");
    const double readFloor = Median(readTimes);
    PrintRow({QStringLiteral("read floor"), -1, readFloor, input, 0, 0}, allMet);
    PrintRow({QStringLiteral("gpsbabel, TCX to one GPX file"), 1, Median(theirTimes), input, 0, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, GPX day files"), qint64(smallFacts.runs),
              Median(gpxTimes), input, Median(gpxTimes) / readFloor, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, all three formats"), 3 * qint64(smallFacts.runs),
              Median(allTimes), input, Median(allTimes) / readFloor, 0},
             allMet);
    // The target is set on the like-for-like conversion, TCX to GPX; the
    // three kinds of day file write about six times the bytes of gpsbabel's
    // one GPX file, which on a busy disk counts.
    PrintSpeedUp("gpsbabel / kelvane-split, GPX", Median(gpxSpeedUps), kTcxSpeedTarget, allMet);
    PrintSpeedUp("gpsbabel / kelvane-split, all", Median(allSpeedUps), 0, allMet);

    std::printf("\n");
    PrintPeakHeader("peak memory, all three formats");
    double peaks[2] = {};
    int i = 0;
    for (const auto &[path, facts] : {std::pair{small, smallFacts}, std::pair{large, largeFacts}}) {
        const ChildResult child = ours(path, allFormats);
        peaks[i++] = double(child.peakRssBytes) / kMiB;
        PrintPeakRow(path, facts, child, allMet);
    }
    PrintGrowth("peak RSS, 4x the file minus 1x", peaks[1] - peaks[0], kTcxFlatTarget, allMet);
}
