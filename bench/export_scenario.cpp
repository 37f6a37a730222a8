// A fitness site's bulk export, a zip of gzipped activities: kelvane-split
// converting it to GPX 1.1 day files in one command, against gpsbabel run
// once per activity by a shell loop over the files unpacked (the unpacking is
// not timed), whole processes taken in turn; then kelvane-split's peak memory
// on the export of half as many entries and on the whole one; the same
// conversion into a library (--library), and with its page and pictures
// (--overview --picture); and a library of 20,000 rows read and rewritten.

#include "child_process.h"
#include "export_generator.h"
#include "fit_generator.h"
#include "gpx_generator.h"
#include "history_facts.h"
#include "library/run_catalogue.h"
#include "scenario.h"
#include "table.h"
#include "tcx_generator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

constexpr double kExportSpeedTarget = 10; // gpsbabel's time, once per file, / kelvane-split's
constexpr double kExportFlatTarget = 4;   // MiB of peak memory more for twice the entries
constexpr int kExportEntries = 2000;
constexpr double kLibraryTarget = 1.15; // --library's time / the same conversion's without
constexpr double kOverviewTarget = 0.4; // s that --overview --picture add to --library
constexpr int kLibraryRows = 20000;
constexpr double kLibraryRewriteTarget = 0.2; // s to read and rewrite kLibraryRows rows

// The activities of the made-up export, the kinds taken in turn: a kind is a
// line. Kinds that this build does not read are left out (see ReadKinds).
const ExportKind kExportKinds[] = {
    // A ride of forty minutes, a point every 15 s as smart recording keeps them.
    {"tcx", "gtrnctr", GenerateTcx, {1 << 10, 1, 15}},
    // A multisport watch's half hour of run, ride and run, a record a second.
    {"fit", "garmin_fit", GenerateFit, {1, 1}},
    // A logbook's history of a few runs.
    {"xml", "glogbook", GenerateHistory, {30 << 10, 1}},
    // A phone app's ride of forty minutes, a point every 15 s.
    {"gpx", "gpx", GenerateGpx, {1 << 10, 1, 15}},
};

// The kinds of kExportKinds whose first activity kelvane-split reads runs from.
std::vector<ExportKind> ReadKinds(const QString &data)
{
    std::vector<ExportKind> kinds;
    const QString listed = QDir(data).filePath(QStringLiteral("probe-list.txt"));
    for (const ExportKind &kind : kExportKinds) {
        const GeneratedActivities probe = GenerateActivities(
            QDir(data).filePath(QStringLiteral("probe-%1").arg(QLatin1StringView(kind.extension))),
            {&kind, 1}, 1);
        if (!probe.error.isEmpty())
            Fail(probe.error);
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     {QStringLiteral("--list"), QStringLiteral("-q"), probe.files.first()}, listed);
        QFile list(listed);
        if (child.exitCode == 0 && list.open(QIODevice::ReadOnly) && list.readAll().count('\n') > 1)
            kinds.push_back(kind);
        else
            std::printf("Export: .%s files are not read by this build; left out.\n",
                        kind.extension);
    }
    QFile::remove(listed);
    return kinds;
}

// Seconds to load a library of kLibraryRows rows and save it again, the
// median of the repetitions.
double LibraryRewrite(const QString &folder, int repetitions)
{
    kelvane::RunCatalogue made;
    for (int i = 0; i < kLibraryRows; ++i) {
        kelvane::CatalogueRow row;
        const QDate day = QDate(2000, 1, 1).addDays(i / 2);
        row.baseName = QStringLiteral("%1_%2_Day")
                           .arg(day.toString(u"yyyyMMdd"))
                           .arg(i % 2 + 1, 2, 10, QLatin1Char('0'));
        row.dayFiles = {QStringLiteral(".gpx"), QStringLiteral(".svg")};
        kelvane::RunFigures &figures = row.figures;
        figures.start = 946713600.0 + i * 43200.0;
        figures.utcOffset = 3600;
        figures.sport = kelvane::Sport::Running;
        figures.sportWord = QStringLiteral("Run");
        figures.elapsed = 3600.5;
        figures.moving = 3400.25;
        figures.distance = 10012.37;
        figures.ascent = figures.descent = 120.5;
        figures.lowest = 12.2;
        figures.highest = 130.4;
        figures.averageSpeed = 2.944;
        figures.heartRateAverage = 143.2;
        figures.device = QStringLiteral("Garmin Forerunner 255");
        figures.points = figures.positionedPoints = 3600;
        row.input = QStringLiteral("export.zip: activities/%1.fit.gz").arg(1000000 + i);
        row.fingerprint = QByteArray(64, 'a') + QByteArray::number(i);
        row.fingerprint = row.fingerprint.right(64);
        made.put(std::move(row));
    }
    QString error;
    if (!QDir().mkpath(folder) || !made.save(folder, error))
        Fail(QStringLiteral("Cannot write the library: %1").arg(error));
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        timer.start();
        kelvane::RunCatalogue library;
        if (!library.load(folder, error) || !library.save(folder, error))
            Fail(QStringLiteral("Cannot read and rewrite the library: %1").arg(error));
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    return Median(times);
}

} // namespace

void BenchExport(const QString &data, FreshFolders &folders, int repetitions, bool &allMet)
{
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (gpsbabel.isEmpty() || bash.isEmpty())
        Fail(QStringLiteral("gpsbabel or bash is missing (`scripts/setup.sh --bench`)"));
    const std::vector<ExportKind> kinds = ReadKinds(data);
    if (kinds.empty())
        Fail(QStringLiteral("kelvane-split reads none of the export's kinds"));
    QString suffixes;
    for (const ExportKind &kind : kinds)
        suffixes += QLatin1String(kind.extension);
    const QString unpacked = QDir(data).filePath(QStringLiteral("export-dated-") + suffixes);
    std::printf("Writing the export's activities into %s ...\n", qPrintable(unpacked));
    std::fflush(stdout);
    const GeneratedActivities activities = GenerateActivities(unpacked, kinds, kExportEntries);
    if (!activities.error.isEmpty())
        Fail(activities.error);
    // The whole export, and for memory its first half alone and twice over:
    // the same runs, twice as many entries.
    const int half = kExportEntries / 2;
    const QStringList halfFiles = activities.files.mid(0, half);
    const auto exportOf = [&](const QString &name, const QStringList &files) {
        const QString zip =
            QDir(data).filePath(QStringLiteral("export-dated-%1-%2.zip").arg(suffixes, name));
        if (!QFileInfo::exists(zip))
            if (const QString error = WriteExport(zip, files); !error.isEmpty())
                Fail(error);
        return zip;
    };
    const QString all = exportOf(QString::number(kExportEntries), activities.files);
    const QString exports[] = {exportOf(QString::number(half), halfFiles),
                               exportOf(QStringLiteral("%1x2").arg(half), halfFiles + halfFiles)};
    const auto ours = [&](const QString &input, const QStringList &options = {},
                          const QString &into = {}) {
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     QStringList{QStringLiteral("-q"), QStringLiteral("--gpx-version"),
                                 QStringLiteral("1.1"), QStringLiteral("-C"),
                                 into.isEmpty() ? folders.next() : into, input} +
                         options);
        if (child.exitCode != 0)
            Fail(QStringLiteral("kelvane-split failed on \"%1\" (exit %2)")
                     .arg(input)
                     .arg(child.exitCode));
        return child;
    };
    // for f in *.tcx; do gpsbabel -i gtrnctr -f "$f" -o gpx -F "$out/$f.gpx"; done; ...
    // A file gpsbabel fails on (its logbook reader crashes on a track whose
    // first point has no position) does not stop the loop, as it would not a user's.
    QString loop = QStringLiteral("exec 2>/dev/null; cd \"$1\" && out=$2 && ");
    for (const ExportKind &kind : kinds)
        loop +=
            QStringLiteral("for f in *.%1; do \"$0\" -i %2 -f \"$f\" -o gpx -F \"$out/$f.gpx\"; "
                           "done; ")
                .arg(QLatin1StringView(kind.extension), QLatin1StringView(kind.gpsbabelFormat));
    int theirFailures = 0;
    const auto theirs = [&] {
        const QString out = folders.next();
        const ChildResult child =
            RunChild(bash, {QStringLiteral("-c"), loop, gpsbabel, unpacked, out});
        theirFailures = kExportEntries - int(QDir(out).entryList(QDir::Files).size());
        return child;
    };
    ours(all); // warm-up
    std::vector<double> zipTimes, folderTimes, theirTimes, speedUps, libraryTimes, libraryRatios,
        againTimes, overviewTimes, overviewCosts;
    for (int r = 0; r < repetitions; ++r) {
        // --library and the same conversion without it run one after the
        // other, each first in turn, so that the machine's drift and what ran
        // before them (gpsbabel's thousands of processes) fall on both alike.
        const QString library = folders.next();
        const auto intoLibrary = [&] {
            return ours(all, {QStringLiteral("--library")}, library).seconds;
        };
        const bool libraryFirst = r % 2 == 1;
        if (libraryFirst)
            libraryTimes.push_back(intoLibrary());
        zipTimes.push_back(ours(all).seconds);
        if (!libraryFirst)
            libraryTimes.push_back(intoLibrary());
        libraryRatios.push_back(zipTimes.back() / libraryTimes.back());
        overviewTimes.push_back(
            ours(all, {QStringLiteral("--overview"), QStringLiteral("--picture")}).seconds);
        overviewCosts.push_back(overviewTimes.back() - libraryTimes.back());
        // The same export into the library again, each run one it holds (untargeted).
        againTimes.push_back(intoLibrary());
        folderTimes.push_back(ours(unpacked).seconds);
        theirTimes.push_back(theirs().seconds);
        speedUps.push_back(theirTimes.back() / zipTimes.back());
    }

    const double input = double(activities.bytes);
    std::printf("\nExport, %s: %d activities (%s), %.1f MiB unpacked, %.1f MiB zipped\n",
                qPrintable(QFileInfo(all).fileName()), kExportEntries, qPrintable(suffixes),
                input / kMiB, double(QFileInfo(all).size()) / kMiB);
    std::printf("(gpsbabel failed on %d of the files; the unpacking is not timed)\n",
                theirFailures);
    PrintTimingHeader("measure (whole processes)", false);
    PrintRow({QStringLiteral("gpsbabel, once per unpacked file"), kExportEntries,
              Median(theirTimes), input, 0, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, the zip, GPX 1.1"), -1, Median(zipTimes), input, 0, 0},
             allMet);
    PrintRow(
        {QStringLiteral("kelvane-split, unpacked folder"), -1, Median(folderTimes), input, 0, 0},
        allMet);
    PrintRow({QStringLiteral("kelvane-split, the zip, --library"), -1, Median(libraryTimes), input,
              0, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, the zip again into it"), -1, Median(againTimes), input,
              0, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, --overview --picture"), -1, Median(overviewTimes),
              input, 0, 0},
             allMet);
    PrintSpeedUp("gpsbabel / kelvane-split, the zip", Median(speedUps), kExportSpeedTarget, allMet);
    const double libraryRatio = 1 / Median(libraryRatios);
    std::printf("--library / without it: %.2fx (target %.2fx): %s\n", libraryRatio, kLibraryTarget,
                Verdict(libraryRatio <= kLibraryTarget, allMet));
    const double overviewCost = Median(overviewCosts);
    std::printf("--overview --picture add to --library: %.2f s (target %.1f s): %s\n", overviewCost,
                kOverviewTarget, Verdict(overviewCost <= kOverviewTarget, allMet));
    const double rewrite =
        LibraryRewrite(QDir(data).filePath(QStringLiteral("library")), repetitions);
    std::printf("A library of %d rows read and rewritten: %.3f s (target %.1f s): %s\n",
                kLibraryRows, rewrite, kLibraryRewriteTarget,
                Verdict(rewrite <= kLibraryRewriteTarget, allMet));

    std::printf("\n");
    PrintPeakHeader("peak memory, GPX 1.1", "largest", "above it");
    // The largest activity file stands for the largest run, which it holds.
    double peaks[3] = {};
    int i = 0;
    for (const QString &zip : {exports[0], exports[1], all}) {
        const ChildResult child = ours(zip);
        peaks[i++] = double(child.peakRssBytes) / kMiB;
        HistoryFacts facts;
        for (const QString &file : zip == all ? activities.files : halfFiles)
            facts.bytes += QFileInfo(file).size() * (zip == exports[1] ? 2 : 1);
        facts.largestRunBytes = activities.largestBytes;
        PrintPeakRow(zip, facts, child, allMet);
    }
    PrintGrowth("peak RSS, the half twice minus once", peaks[1] - peaks[0], kExportFlatTarget,
                allMet);
}
