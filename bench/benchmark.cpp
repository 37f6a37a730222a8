// kelvane-bench: how fast the engine splits a large history, measured against
// what this machine needs just to read the input and to create the same files.
// Ratios taken in the same run hold on a busy or slow machine; the program
// exits with 1 when one of them is missed.

#include "child_process.h"
#include "export_generator.h"
#include "fit_generator.h"
#include "floors.h"
#include "gpx_generator.h"
#include "history_facts.h"
#include "history_generator.h"
#include "spread_subfolders.h"
#include "tcx_generator.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include "run/track_points.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kFilesTarget = 1.5;      // conversion time / files floor
constexpr double kOneDayTarget = 3.0;     // one-day window time / read floor
constexpr double kMemoryTarget = 32;      // MiB above the largest run
constexpr double kWindowTarget = 1.2;     // window time / kelvane-split time
constexpr double kTcxSpeedTarget = 10;    // gpsbabel's TCX-to-GPX time / kelvane-split's time
constexpr double kTcxFlatTarget = 4;      // MiB of peak memory more on a file four times as large
constexpr double kExportSpeedTarget = 10; // gpsbabel's time, once per file, / kelvane-split's
constexpr double kExportFlatTarget = 4;   // MiB of peak memory more for twice the entries
constexpr double kFitSpeedTarget = 20; // gpsbabel's FIT-to-GPX time / kelvane-split's GPX 1.1 time
constexpr int kExportEntries = 2000;

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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void Fail(const QString &message)
{
    std::fprintf(stderr, "kelvane-bench: %s\n", qPrintable(message));
    std::exit(2);
}

// Every step writes into a new, empty folder, and nothing is deleted until
// the end: ext4 without a journal passes over the inodes of files deleted in
// the last minutes on every file it creates, which would make each step pay
// for the clean-up of the one before. The disk queue is flushed first, so no
// step pays for another's writing either.
class FreshFolders {
  public:
    explicit FreshFolders(QString root) : root(std::move(root))
    {
        QDir(this->root).removeRecursively();
    }
    ~FreshFolders()
    {
        QDir(root).removeRecursively();
        ::sync();
    }

    QString next()
    {
        if (count == 0)
            SpreadSubfolders(root);
        const QString folder = QDir(root).filePath(QString::number(++count));
        if (!QDir().mkpath(folder))
            Fail(QStringLiteral("Cannot create \"%1\"").arg(folder));
        ::sync();
        return folder;
    }

  private:
    QString root;
    int count = 0;
};

std::vector<OutputFile> FilesIn(const QString &folder)
{
    std::vector<OutputFile> files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        files.push_back({info.fileName(), info.size()});
    return files;
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

struct Row {
    QString measure;
    qint64 files = -1;
    double seconds = 0;
    double inputBytes = 0;
    double ratio = 0;  // 0: none
    double target = 0; // 0: no target
};

void PrintRow(const Row &row, bool &allMet)
{
    std::printf("%-34s", qPrintable(row.measure));
    if (row.files >= 0)
        std::printf("%7lld", row.files);
    else
        std::printf("%7s", "");
    std::printf("%9.3f %8.0f", row.seconds, row.inputBytes / kMiB / row.seconds);
    if (row.ratio > 0)
        std::printf("  %6.2fx", row.ratio);
    if (row.target > 0) {
        const bool met = row.ratio <= row.target;
        allMet = allMet && met;
        std::printf("  <= %.1fx  %s", row.target, met ? "met" : "MISSED");
    }
    std::printf("\n");
}

// A row of peak memory: kelvane-split's on a file, against its largest run.
void PrintPeakRow(const QString &path, const HistoryFacts &facts, const ChildResult &child,
                  bool &allMet)
{
    const double above = double(child.peakRssBytes - facts.largestRunBytes) / kMiB;
    const bool met = above <= kMemoryTarget;
    allMet = allMet && met;
    std::printf("%-34s%9.3f %8.0f %7.2f MiB %7.2f MiB %7.2f MiB  <= %.0f MiB  %s\n",
                qPrintable(QStringLiteral("kelvane-split, ") + QFileInfo(path).fileName()),
                child.seconds, double(facts.bytes) / kMiB / child.seconds,
                double(facts.largestRunBytes) / kMiB, double(child.peakRssBytes) / kMiB, above,
                kMemoryTarget, met ? "met" : "MISSED");
}

// A generated input file in the data folder ("tcx-100mb.tcx"), written once.
QString GeneratedFile(const QString &dataFolder, const char *kind, int megabytes,
                      GeneratedHistory (*generate)(const QString &, const HistoryShape &))
{
    const QString path =
        QDir(dataFolder)
            .filePath(QStringLiteral("%1-%2mb.%1").arg(QLatin1String(kind)).arg(megabytes));
    if (QFileInfo::exists(path))
        return path;
    std::printf("Writing %s ...\n", qPrintable(path));
    std::fflush(stdout);
    const GeneratedHistory made = generate(path, {qint64(megabytes) << 20, 1});
    if (!made.error.isEmpty())
        Fail(made.error);
    return path;
}

// Training Center files: kelvane-split writing all three day files of every
// activity, against gpsbabel converting the same file into one GPX file,
// whole processes taken in turn (the ratio is taken pair by pair); then
// kelvane-split's peak memory on a file and on one four times as large.
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
    std::printf("%-34s%7s%9s %8s  %7s  %s\n", "measure (whole processes)", "files", "seconds",
                "MiB/s", "ratio", "target");
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
    const auto speedUp = [&](const char *label, const std::vector<double> &ratios, bool targeted) {
        const double median = Median(ratios);
        std::printf("%-34s%33.1fx", label, median);
        if (targeted) {
            const bool met = median >= kTcxSpeedTarget;
            allMet = allMet && met;
            std::printf("  >= %.0fx  %s", kTcxSpeedTarget, met ? "met" : "MISSED");
        }
        std::printf("\n");
    };
    speedUp("gpsbabel / kelvane-split, GPX", gpxSpeedUps, true);
    speedUp("gpsbabel / kelvane-split, all", allSpeedUps, false);

    std::printf("\n%-34s%9s %8s %11s %11s %11s  %s\n", "peak memory, all three formats", "seconds",
                "MiB/s", "largest run", "peak RSS", "above run", "target");
    double peaks[2] = {};
    int i = 0;
    for (const auto &[path, facts] : {std::pair{small, smallFacts}, std::pair{large, largeFacts}}) {
        const ChildResult child = ours(path, allFormats);
        peaks[i++] = double(child.peakRssBytes) / kMiB;
        PrintPeakRow(path, facts, child, allMet);
    }
    const bool flat = peaks[1] - peaks[0] <= kTcxFlatTarget;
    allMet = allMet && flat;
    std::printf("%-34s%46.2f MiB  <= %.0f MiB  %s\n", "peak RSS, 4x the file minus 1x",
                peaks[1] - peaks[0], kTcxFlatTarget, flat ? "met" : "MISSED");
}

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

// A fitness site's bulk export, a zip of gzipped activities: kelvane-split
// converting it to GPX 1.1 day files in one command, against gpsbabel run
// once per activity by a shell loop over the files unpacked (the unpacking is
// not timed), whole processes taken in turn; then kelvane-split's peak memory
// on the export of half as many entries and on the whole one.
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
    const QString unpacked = QDir(data).filePath(QStringLiteral("export-") + suffixes);
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
            QDir(data).filePath(QStringLiteral("export-%1-%2.zip").arg(suffixes, name));
        if (!QFileInfo::exists(zip))
            if (const QString error = WriteExport(zip, files); !error.isEmpty())
                Fail(error);
        return zip;
    };
    const QString all = exportOf(QString::number(kExportEntries), activities.files);
    const QString exports[] = {exportOf(QString::number(half), halfFiles),
                               exportOf(QStringLiteral("%1x2").arg(half), halfFiles + halfFiles)};
    const auto ours = [&](const QString &input) {
        const ChildResult child =
            RunChild(QStringLiteral(KELVANE_SPLIT),
                     {QStringLiteral("-q"), QStringLiteral("--gpx-version"), QStringLiteral("1.1"),
                      QStringLiteral("-C"), folders.next(), input});
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
    std::vector<double> zipTimes, folderTimes, theirTimes, speedUps;
    for (int r = 0; r < repetitions; ++r) {
        zipTimes.push_back(ours(all).seconds);
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
    std::printf("%-34s%7s%9s %8s\n", "measure (whole processes)", "files", "seconds", "MiB/s");
    PrintRow({QStringLiteral("gpsbabel, once per unpacked file"), kExportEntries,
              Median(theirTimes), input, 0, 0},
             allMet);
    PrintRow({QStringLiteral("kelvane-split, the zip, GPX 1.1"), -1, Median(zipTimes), input, 0, 0},
             allMet);
    PrintRow(
        {QStringLiteral("kelvane-split, unpacked folder"), -1, Median(folderTimes), input, 0, 0},
        allMet);
    const double speedUp = Median(speedUps);
    const bool fast = speedUp >= kExportSpeedTarget;
    allMet = allMet && fast;
    std::printf("%-34s%33.1fx  >= %.0fx  %s\n", "gpsbabel / kelvane-split, the zip", speedUp,
                kExportSpeedTarget, fast ? "met" : "MISSED");

    std::printf("\n%-34s%9s %8s %11s %11s %11s  %s\n", "peak memory, GPX 1.1", "seconds", "MiB/s",
                "largest", "peak RSS", "above it", "target");
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
    const bool flat = peaks[1] - peaks[0] <= kExportFlatTarget;
    allMet = allMet && flat;
    std::printf("%-34s%46.2f MiB  <= %.0f MiB  %s\n", "peak RSS, the half twice minus once",
                peaks[1] - peaks[0], kExportFlatTarget, flat ? "met" : "MISSED");
}

// A FIT activity of about 100 MB, one run: kelvane-split writing its GPX 1.1
// and its TCX day file, whole processes, against the files floor of the same
// files, and against gpsbabel converting it into one GPX file, taken in turn;
// its peak memory against the records the run keeps.
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
    std::printf("%-34s%7s%9s %8s  %7s  %s\n", "measure (whole processes)", "files", "seconds",
                "MiB/s", "ratio", "target");
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
    const double speedUp = Median(speedUps);
    const bool fast = speedUp >= kFitSpeedTarget;
    allMet = allMet && fast;
    std::printf("%-34s%33.1fx  >= %.0fx  %s\n", "gpsbabel / kelvane-split, GPX 1.1", speedUp,
                kFitSpeedTarget, fast ? "met" : "MISSED");
    const double above = (peak - records) / kMiB;
    const bool small = above <= kMemoryTarget;
    allMet = allMet && small;
    std::printf("%-34s%22.2f MiB %7.2f MiB above  <= %.0f MiB  %s\n", "peak RSS, GPX 1.1 or TCX",
                peak / kMiB, above, kMemoryTarget, small ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times kelvane conversions against the machine's own floors."));
    parser.addHelpOption();
    const QCommandLineOption dataOption(
        QStringLiteral("data"), QStringLiteral("Scratch folder for histories and day files."),
        QStringLiteral("folder"), QStringLiteral("bench-data"));
    const QCommandLineOption repetitionsOption(QStringLiteral("repetitions"),
                                               QStringLiteral("Repetitions of each measure."),
                                               QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption tcxOption(QStringLiteral("tcx-only"),
                                       QStringLiteral("Measure the Training Center files only."));
    const QCommandLineOption exportOption(QStringLiteral("export-only"),
                                          QStringLiteral("Measure the zipped export only."));
    const QCommandLineOption fitOption(QStringLiteral("fit-only"),
                                       QStringLiteral("Measure the FIT file only."));
    parser.addOptions({dataOption, repetitionsOption, tcxOption, exportOption, fitOption});
    parser.process(app);
    const QString data = QDir(parser.value(dataOption)).absolutePath();
    const int repetitions = std::max(1, parser.value(repetitionsOption).toInt());
    if (!QDir().mkpath(data))
        Fail(QStringLiteral("Cannot create \"%1\"").arg(data));
    if (parser.isSet(tcxOption) || parser.isSet(exportOption) || parser.isSet(fitOption)) {
        FreshFolders folders(QDir(data).filePath(QStringLiteral("out")));
        bool allMet = true;
        if (parser.isSet(tcxOption))
            BenchTrainingCenter(data, folders, repetitions, allMet);
        if (parser.isSet(exportOption))
            BenchExport(data, folders, repetitions, allMet);
        if (parser.isSet(fitOption))
            BenchFit(data, folders, repetitions, allMet);
        std::printf("\n%s\n", allMet ? "All targets met." : "A target was MISSED.");
        return allMet ? 0 : 1;
    }

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
    FreshFolders folders(QDir(data).filePath(QStringLiteral("out")));
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
    std::printf("%-34s%7s%9s %8s  %7s  %s\n", "measure", "files", "seconds", "MiB/s", "ratio",
                "target");
    bool allMet = true;
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
    std::printf("\n%-34s%9s %8s %11s %11s %11s  %s\n", "peak memory, all three formats", "seconds",
                "MiB/s", "largest run", "peak RSS", "above run", "target");
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
    std::printf("\n%-34s%7s%9s %8s  %7s  %s\n", "window, all three formats", "files", "seconds",
                "MiB/s", "ratio", "target");
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

    BenchTrainingCenter(data, folders, repetitions, allMet);
    BenchExport(data, folders, repetitions, allMet);
    BenchFit(data, folders, repetitions, allMet);

    std::printf("\n%s\n", allMet ? "All targets met." : "A target was MISSED.");
    return allMet ? 0 : 1;
}
