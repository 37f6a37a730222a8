// A large history converted in the engine's own process, each set of day
// files against the files floor of the same files, a one-day window against
// the read floor; kelvane-split's peak memory; the window against
// kelvane-split.

#include "child_process.h"
#include "history_facts.h"
#include "scenario.h"
#include "table.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kOneDayTarget = 3.0; // one-day window time / read floor
constexpr double kWindowTarget = 1.2; // window time / kelvane-split time

struct Conversion {
    const char *label;
    kelvane::ConversionOptions options;
    bool oneDay = false;
    double target = 0;             // against its files floor; 0: none
    std::vector<OutputFile> files; // what it wrote, learnt in the warm-up
};

kelvane::ConversionOptions Formats(bool xml, bool csv, bool gpx)
{
    kelvane::ConversionOptions options;
    options.dayFiles.setFlag(kelvane::DayFileKind::OwnFormat, xml);
    options.dayFiles.setFlag(kelvane::DayFileKind::Csv, csv);
    options.dayFiles.setFlag(kelvane::DayFileKind::Gpx, gpx);
    options.escapeHighCharacters = true; // the notes hold accents: let the escaping work too
    return options;
}

kelvane::ConversionOptions Gpx11()
{
    kelvane::ConversionOptions options = Formats(false, false, true);
    options.gpxVersion = kelvane::GpxVersion::V1_1;
    return options;
}

kelvane::ConversionOptions Tcx()
{
    kelvane::ConversionOptions options = Formats(false, false, false);
    options.dayFiles = kelvane::DayFileKind::Tcx;
    return options;
}

QString History(const QString &dataFolder, int megabytes)
{
    const QString path =
        QDir(dataFolder).filePath(QStringLiteral("history-%1mb.xml").arg(megabytes));
    if (QFileInfo::exists(path))
        return path;
    // The input, and the day files of a conversion which are about as large again.
    const qint64 needed = qint64(megabytes) * 3 << 20;
    if (QStorageInfo(dataFolder).bytesAvailable() < needed)
        Fail(QStringLiteral(
                 "Not enough free disk space in \"%1\" for a %2 MB history and its day files")
                 .arg(dataFolder)
                 .arg(megabytes));
    std::printf("Writing %s ...\n", qPrintable(path));
    std::fflush(stdout);
    const GeneratedHistory made = GenerateHistory(path, {qint64(megabytes) << 20, 1});
    if (!made.error.isEmpty())
        Fail(made.error);
    return path;
}

} // namespace

void BenchHistory(const QString &data, FreshFolders &folders, int repetitions, bool &allMet)
{
    const QString small = History(data, 100);
    const QString large = History(data, 400);
    const HistoryFacts smallFacts = ScanHistory(small);
    const HistoryFacts largeFacts = ScanHistory(large);
    for (const HistoryFacts *facts : {&smallFacts, &largeFacts})
        if (!facts->error.isEmpty())
            Fail(facts->error);

    // Nothing is deleted until the end: every step's day files stay on disk.
    const qint64 needed = smallFacts.bytes * (18 * qint64(repetitions) + 17) + largeFacts.bytes * 2;
    if (QStorageInfo(data).bytesAvailable() < needed)
        Fail(QStringLiteral("Needs %1 GiB free in \"%2\" for the day files of all steps")
                 .arg(double(needed) / kMiB / 1024, 0, 'f', 1)
                 .arg(data));

    const QDate today = QDate::currentDate();
    const kelvane::DateWindow allRuns{kelvane::earliestDay(), today};
    const kelvane::DateWindow oneDay{smallFacts.middleDay, smallFacts.middleDay};
    std::vector<Conversion> conversions = {
        {"one-day window, all three formats", Formats(true, true, true), true, kOneDayTarget, {}},
        {"XML only", Formats(true, false, false), false, kFilesTarget, {}},
        {"CSV and GPX", Formats(false, true, true), false, 0, {}},
        {"all three formats", Formats(true, true, true), false, kFilesTarget, {}},
        // GPX 1.0 alone, untargeted: what reading the points costs beside small files.
        {"GPX 1.0", Formats(false, false, true), false, 0, {}},
        {"GPX 1.1", Gpx11(), false, kFilesTarget, {}},
        {"TCX", Tcx(), false, kFilesTarget, {}},
    };
    auto convert = [&](const Conversion &c, const QString &out) {
        kelvane::SilentProgress silent;
        const kelvane::ConversionRequest request{small, out, c.oneDay ? oneDay : allRuns, c.options,
                                                 today};
        const auto summary = kelvane::makeDayFiles(request, silent);
        if (!summary.ok())
            Fail(summary.error);
    };

    // Warm-up: fills the page cache and learns which files each conversion writes.
    for (Conversion &c : conversions) {
        const QString out = folders.next();
        convert(c, out);
        c.files = FilesIn(out);
    }

    std::vector<double> readTimes;
    std::vector<std::vector<double>> floorTimes(conversions.size()),
        convertTimes(conversions.size());
    for (int r = 0; r < repetitions; ++r) {
        readTimes.push_back(Seconds([&] { ReadFloor(small); }));
        for (std::size_t i = 0; i < conversions.size(); ++i) {
            const Conversion &c = conversions[i];
            if (!c.oneDay) {
                const QString out = folders.next();
                QString error;
                floorTimes[i].push_back(Seconds([&] {
                    if (!FilesFloor(small, out, c.files, error))
                        Fail(error);
                }));
            }
            const QString out = folders.next();
            convertTimes[i].push_back(Seconds([&] { convert(c, out); }));
        }
    }

    std::printf("\nKelvane benchmark, %s: %.1f MiB, %lld lines, %d runs, largest run %.2f MiB\n",
                qPrintable(QFileInfo(small).fileName()), double(smallFacts.bytes) / kMiB,
                smallFacts.lines, smallFacts.runs, double(smallFacts.largestRunBytes) / kMiB);
    std::printf("Median of %d repetitions; every repetition writes into an empty folder.\n\n",
                repetitions);
    PrintTimingHeader("measure");
    const double input = double(smallFacts.bytes);
    const double readFloor = Median(readTimes);
    PrintRow({QStringLiteral("read floor"), -1, readFloor, input, 0, 0}, allMet);
    for (std::size_t i = 0; i < conversions.size(); ++i) {
        const Conversion &c = conversions[i];
        const double seconds = Median(convertTimes[i]);
        const QString label = QString::fromLatin1(c.label);
        if (c.oneDay) {
            PrintRow({label, qint64(c.files.size()), seconds, input, seconds / readFloor, c.target},
                     allMet);
            continue;
        }
        const double floor = Median(floorTimes[i]);
        PrintRow(
            {QStringLiteral("files floor, ") + label, qint64(c.files.size()), floor, input, 0, 0},
            allMet);
        PrintRow({QStringLiteral("conversion, ") + label, qint64(c.files.size()), seconds, input,
                  seconds / floor, c.target},
                 allMet);
    }

    // Peak memory of the command-line program converting each file, all runs,
    // all three formats. It may follow the largest run, never the file.
    std::printf("\n");
    PrintPeakHeader("peak memory, all three formats");
    for (const auto &[path, facts] : {std::pair{small, smallFacts}, std::pair{large, largeFacts}}) {
        const QString out = folders.next();
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     {QStringLiteral("-q"), QStringLiteral("--all"), QStringLiteral("--xml"),
                      QStringLiteral("--csv"), QStringLiteral("--gpx"),
                      QStringLiteral("--high-ascii"), QStringLiteral("-C"), out, path});
        if (child.exitCode != 0)
            Fail(QStringLiteral("kelvane-split failed on \"%1\" (exit %2)")
                     .arg(path)
                     .arg(child.exitCode));
        PrintPeakRow(path, facts, child, allMet);
    }

    // The window against kelvane-split, both converting the 100 MB history
    // with all three formats: painting the progress must not cost speed.
    std::vector<double> windowTimes, splitTimes;
    const QString secondsFile = QDir(data).filePath(QStringLiteral("window-seconds.txt"));
    for (int r = 0; r < repetitions; ++r) {
        QString out = folders.next();
        // The window reads walk.xml in its working folder.
        if (!QFile::link(small, QDir(out).filePath(QStringLiteral("walk.xml"))))
            Fail(QStringLiteral("Cannot link the history into \"%1\"").arg(out));
        const ChildResult window =
            RunChild(QStringLiteral(KELVANE_BENCH_WINDOW), {out}, secondsFile);
        QFile seconds(secondsFile);
        if (window.exitCode != 0 || !seconds.open(QIODevice::ReadOnly))
            Fail(QStringLiteral("The window's conversion failed (exit %1)").arg(window.exitCode));
        windowTimes.push_back(seconds.readAll().trimmed().toDouble());
        out = folders.next();
        const ChildResult split =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     {QStringLiteral("-q"), QStringLiteral("--all"), QStringLiteral("--xml"),
                      QStringLiteral("--csv"), QStringLiteral("--gpx"),
                      QStringLiteral("--high-ascii"), QStringLiteral("-C"), out, small});
        if (split.exitCode != 0)
            Fail(QStringLiteral("kelvane-split failed (exit %1)").arg(split.exitCode));
        splitTimes.push_back(split.seconds);
    }
    QFile::remove(secondsFile);
    std::printf("\n");
    PrintTimingHeader("window, all three formats");
    const double splitSeconds = Median(splitTimes);
    const double windowSeconds = Median(windowTimes);
    const qint64 allThreeFiles =
        qint64(std::find_if(conversions.begin(), conversions.end(), [](const Conversion &c) {
                   return !c.oneDay && c.options.dayFiles ==
                                           (kelvane::DayFileKind::OwnFormat |
                                            kelvane::DayFileKind::Csv | kelvane::DayFileKind::Gpx);
               })->files.size());
    PrintRow(
        {QStringLiteral("kelvane-split (whole process)"), allThreeFiles, splitSeconds, input, 0, 0},
        allMet);
    PrintRow({QStringLiteral("window, offscreen (All pressed)"), allThreeFiles, windowSeconds,
              input, windowSeconds / splitSeconds, kWindowTarget},
             allMet);
}
