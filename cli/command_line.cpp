#include "command_line.h"
#include "help_text.h"

#include <kelvane/input_formats.h>
#include <kelvane/overview.h>

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cstdlib>

namespace {

// A date alone, written YYYY-MM-DD.
QDate parseDay(const QString &text)
{
    static const QRegularExpression date(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}$)"));
    return date.match(text).hasMatch() ? QDate::fromString(text, u"yyyy-MM-dd") : QDate();
}

struct Options {
    // One option a kind of day file, from the table of kinds.
    QList<QCommandLineOption> kinds = [] {
        QList<QCommandLineOption> made;
        for (const kelvane::DayFileKindName &kind : kelvane::dayFileKindNames())
            made.append(QCommandLineOption(QString(kind.option), QString(kind.help)));
        return made;
    }();
    QCommandLineOption xml{QStringLiteral("xml"),
                           QStringLiteral("The same as --own-format: the XML day file of each run "
                                          "(.tcx for a Training Center file, .fit for a FIT "
                                          "file, .gpx for GPX).")};
    QCommandLineOption gpxVersion{
        QStringLiteral("gpx-version"),
        QStringLiteral("GPX 1.0 (the default) or 1.1, with heart rate and cadence; implies --gpx, "
                       "and makes the GPX day file of a GPX file's runs in that version too."),
        QStringLiteral("1.0|1.1"), QStringLiteral("1.0")};
    QCommandLineOption list{QStringLiteral("list"),
                            QStringLiteral("Write no file: list the runs and the base names of "
                                           "their day files, one line each.")};
    QCommandLineOption overview{
        QStringLiteral("overview"),
        QStringLiteral("Write index.html, a page of the library's runs (runs.csv) with their "
                       "totals and a map of their tracks; implies --library.")};
    QCommandLineOption mapTiles{
        QStringLiteral("map-tiles"),
        QStringLiteral("The page's base map from this tile address, such as "
                       "https://tile.example.org/{z}/{x}/{y}.png (none by default: the page "
                       "asks nothing of the network)."),
        QStringLiteral("URL")};
    QCommandLineOption library{
        QStringLiteral("library"),
        QStringLiteral("Keep the output folder as a library: runs.csv lists its runs, new runs "
                       "are numbered after its day files, and a run it already holds from "
                       "another input is named and not written.")};
    QCommandLineOption highAscii{QStringLiteral("high-ascii"),
                                 QStringLiteral("Escape high characters of Notes lines.")};
    QCommandLineOption offset{QStringLiteral("offset"),
                              QStringLiteral("Whole hours added to track point times, %1..%2.")
                                  .arg(-kelvane::kMaxHourOffset)
                                  .arg(kelvane::kMaxHourOffset),
                              QStringLiteral("HOURS"), QStringLiteral("0")};
    QCommandLineOption timeZone{
        QStringLiteral("timezone"),
        QStringLiteral("File runs under their local day in ZONE (such as Europe/Berlin, or "
                       "local), with daylight saving time; CSV times are local. recorded: the "
                       "local time each run's file gives (a FIT file's, a time written with "
                       "an offset such as +03:00), else local."),
        QStringLiteral("ZONE")};
    QCommandLineOption sport{
        QStringLiteral("sport"),
        QStringLiteral("Only runs of these sports, comma-separated, from %1 (a history's runs "
                       "are of none).")
            .arg(kelvane::sportNames().join(QStringLiteral(", "))),
        QStringLiteral("LIST")};
    QCommandLineOption all{QStringLiteral("all"),
                           QStringLiteral("Runs from %1 through today (the default).")
                               .arg(kelvane::earliestDay().toString(u"d MMMM yyyy"))};
    QCommandLineOption today{QStringLiteral("today"), QStringLiteral("Runs started today.")};
    QCommandLineOption day{QStringLiteral("day"), QStringLiteral("Runs started on that day."),
                           QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption last{QStringLiteral("last"),
                            QStringLiteral("Runs started in the last N days, today included."),
                            QStringLiteral("N")};
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("First day of a range."),
                            QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption to{QStringLiteral("to"), QStringLiteral("Last day of a range."),
                          QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption directory{
        {QStringLiteral("C"), QStringLiteral("directory")},
        QStringLiteral("Write the day files into DIR (default: the current folder)."),
        QStringLiteral("DIR")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("No progress bar and no summary.")};
    QCommandLineOption verbose{
        QStringLiteral("verbose"),
        QStringLiteral("Name each file passed over: of another kind in a folder or an archive, "
                       "or a FIT file that is no activity (they are counted otherwise).")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version.")};

    // The kinds in the table's order, --xml after the own format's and
    // --gpx-version after --gpx.
    QList<QCommandLineOption> whatToWrite() const
    {
        QList<QCommandLineOption> options;
        for (const QCommandLineOption &kind : kinds) {
            options.append(kind);
            if (kind.names().first() == QLatin1String("own-format"))
                options.append(xml);
            if (kind.names().first() == QLatin1String("gpx"))
                options.append(gpxVersion);
        }
        return options << overview << mapTiles << highAscii << library << list;
    }
    QList<HelpGroup> groups() const
    {
        return {
            {QStringLiteral("What to write (none given: --xml)"), whatToWrite()},
            {QStringLiteral("Which runs (one of; default --all)"),
             {all, today, day, last, from, to}},
            {QStringLiteral("Which sports (default: every run)"), {sport}},
            {QStringLiteral("How"), {timeZone, offset, directory, quiet, verbose, help, version}}};
    }
};

// A zone file of the system's time zone database for the name: the links
// of the database (Etc/UTC, Asia/Calcutta) too, which Qt does not list.
bool inZoneFiles(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')) || name.contains(QLatin1String("..")))
        return false;
    QStringList folders = {QStringLiteral("/usr/share/zoneinfo"),
                           QStringLiteral("/usr/lib/zoneinfo"),
                           QStringLiteral("/usr/share/lib/zoneinfo")};
    if (const QString tzdir = qEnvironmentVariable("TZDIR"); !tzdir.isEmpty())
        folders.prepend(tzdir);
    for (const QString &folder : folders) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly) && file.read(4) == "TZif")
            return true;
    }
    return false;
}

// The zone named on the command line, a name of the time zone database as
// it is written there, or local; invalid when it names none. Qt would also
// take any word for a POSIX rule ("berlin": a zone of that name at UTC).
QTimeZone zoneNamed(const QString &name)
{
    if (name == QLatin1String("local"))
        return QTimeZone::systemTimeZone();
    const QByteArray id = name.toUtf8();
    const QTimeZone zone(id);
    if (!zone.isValid())
        return {};
    const QList<QByteArray> known = QTimeZone::availableTimeZoneIds();
    if (std::find(known.begin(), known.end(), id) == known.end() && !inZoneFiles(name))
        return {};
    return zone;
}

// The zone a word not of the database most likely means: the one whose name
// ends with it, case aside (a whole name first, then a city: "berlin" is
// Europe/Berlin); empty when none does.
QString zoneMeant(const QString &word)
{
    if (word.isEmpty())
        return {};
    QString best;
    int bestRank = 0;
    for (const QByteArray &id : QTimeZone::availableTimeZoneIds()) {
        const QString name = QString::fromUtf8(id);
        if (!name.endsWith(word, Qt::CaseInsensitive))
            continue;
        const qsizetype before = name.size() - word.size();
        const int rank = before == 0 ? 3 : name.at(before - 1) == QLatin1Char('/') ? 2 : 1;
        if (rank > bestRank || (rank == bestRank && name.size() < best.size())) {
            best = name;
            bestRank = rank;
        }
    }
    return best;
}

QString readWindow(const QCommandLineParser &parser, const Options &o, QDate today,
                   kelvane::DateWindow &window)
{
    const int chosen = int(parser.isSet(o.all)) + int(parser.isSet(o.today)) +
                       int(parser.isSet(o.day)) + int(parser.isSet(o.last)) +
                       int(parser.isSet(o.from) || parser.isSet(o.to));
    if (chosen > 1)
        return QStringLiteral("choose one of --all, --today, --day, --last and --from/--to");

    window = {kelvane::earliestDay(), today};
    if (parser.isSet(o.today)) {
        window = {today, today};
    } else if (parser.isSet(o.day)) {
        const QDate day = parseDay(parser.value(o.day));
        if (!day.isValid())
            return QStringLiteral("--day needs a date as YYYY-MM-DD, not \"%1\"")
                .arg(parser.value(o.day));
        window = {day, day};
    } else if (parser.isSet(o.last)) {
        bool number = false;
        const int n = parser.value(o.last).toInt(&number);
        if (!number || n < 1)
            return QStringLiteral("--last needs a whole number of days, 1 or more, not \"%1\"")
                .arg(parser.value(o.last));
        window = {today.addDays(1 - n), today};
    } else if (parser.isSet(o.from) || parser.isSet(o.to)) {
        if (!parser.isSet(o.from) || !parser.isSet(o.to))
            return QStringLiteral("--from and --to go together");
        window = {parseDay(parser.value(o.from)), parseDay(parser.value(o.to))};
        if (!window.first.isValid() || !window.last.isValid())
            return QStringLiteral("--from and --to need dates as YYYY-MM-DD");
        if (window.first > window.last)
            return QStringLiteral("--from %1 comes after --to %2")
                .arg(parser.value(o.from), parser.value(o.to));
    }
    return {};
}

} // namespace

SplitRequest parseCommandLine(const QStringList &arguments, const QDateTime &now)
{
    SplitRequest request;
    QCommandLineParser parser;
    const Options o;
    for (const HelpGroup &group : o.groups())
        parser.addOptions(group.options);
    request.helpText =
        helpText(
            QStringLiteral("kelvane-split [OPTIONS] INPUT..."),
            QStringLiteral("Splits %1, told by their content, into day files: for each run "
                           "(%2) in the "
                           "window, one file of each kind chosen, named YYYYMMDD_NN_Weekday. "
                           "Without a kind chosen, the XML day file is written. An INPUT is a "
                           "file, a compressed file (gzip, bzip2, xz, zstd), an archive (zip, tar, "
                           "tar.gz, ...) whose files are each read, a folder whose files and "
                           "subfolders are read in the order of their names (links to folders "
                           "passed over), or - for standard input. Inputs are read one after "
                           "another, and a day's NN counts on "
                           "across them; files of other kinds found in archives and folders are "
                           "passed over.")
                .arg(kelvane::inputFormatNames(), kelvane::runNames()),
            o.groups()) +
        QStringLiteral("\nExit status:\n"
                       "  0    every input was read\n"
                       "  1    an input or a day file could not be read or written: the message\n"
                       "       names it, and the summary counts the inputs that failed\n"
                       "  2    bad usage: nothing was read or written\n"
                       "  128+N  stopped by signal N (Ctrl-C: 130); the run being saved was "
                       "saved whole\n");

    if (!parser.parse(arguments)) {
        request.usageError = parser.errorText();
        return request;
    }
    request.help = parser.isSet(o.help);
    request.version = parser.isSet(o.version);
    if (request.help || request.version)
        return request;

    auto &conversion = request.conversion;
    conversion.inputs = parser.positionalArguments();
    if (conversion.inputs.isEmpty()) {
        request.usageError = QStringLiteral("no input given");
        return request;
    }
    auto &options = conversion.options;
    // Today is the zone's today when runs are filed under its days.
    QDate today = now.date();
    if (parser.isSet(o.timeZone)) {
        if (parser.isSet(o.offset)) {
            request.usageError = QStringLiteral("--timezone and --offset do not go together");
            return request;
        }
        // Recorded: each run's local time as its file gives it, else this machine's.
        options.recordedLocalTime = parser.value(o.timeZone) == QLatin1String("recorded");
        options.timeZone = options.recordedLocalTime ? QTimeZone::systemTimeZone()
                                                     : zoneNamed(parser.value(o.timeZone));
        if (!options.timeZone.isValid()) {
            const QString word = parser.value(o.timeZone);
            const QString meant = zoneMeant(word);
            request.usageError =
                meant.isEmpty()
                    ? QStringLiteral("unknown time zone \"%1\" (give an IANA name such as "
                                     "Europe/Berlin, local or recorded)")
                          .arg(word)
                    : QStringLiteral("unknown time zone \"%1\": did you mean %2?").arg(word, meant);
            return request;
        }
        today = now.toTimeZone(options.timeZone).date();
    }
    conversion.today = today;

    options.dayFiles = {};
    for (std::size_t i = 0; i < kelvane::dayFileKindNames().size(); ++i)
        options.dayFiles.setFlag(kelvane::dayFileKindNames()[i].kind,
                                 parser.isSet(o.kinds[qsizetype(i)]));
    if (parser.isSet(o.xml))
        options.dayFiles |= kelvane::DayFileKind::OwnFormat;
    if (parser.isSet(o.gpxVersion))
        options.dayFiles |= kelvane::DayFileKind::Gpx;
    options.convertGpxRuns = parser.isSet(o.gpxVersion);
    if (const QString version = parser.value(o.gpxVersion); version == QLatin1String("1.1")) {
        options.gpxVersion = kelvane::GpxVersion::V1_1;
    } else if (version != QLatin1String("1.0")) {
        request.usageError =
            QStringLiteral("--gpx-version needs 1.0 or 1.1, not \"%1\"").arg(version);
        return request;
    }
    // The window starts with only the XML day file ticked; the command does the same.
    if (!options.dayFiles)
        options.dayFiles = kelvane::DayFileKind::OwnFormat;
    options.escapeHighCharacters = parser.isSet(o.highAscii);
    options.library = parser.isSet(o.library);
    options.overview = parser.isSet(o.overview) || parser.isSet(o.mapTiles);
    // The page is made from the library.
    options.library = options.library || options.overview;
    if (parser.isSet(o.mapTiles)) {
        options.mapTiles = parser.value(o.mapTiles);
        if (const QString problem = kelvane::mapTilesProblem(options.mapTiles);
            !problem.isEmpty()) {
            request.usageError = QStringLiteral("--map-tiles: %1").arg(problem);
            return request;
        }
    }
    if (parser.isSet(o.sport))
        if (request.usageError = kelvane::chooseSports(parser.value(o.sport), options);
            !request.usageError.isEmpty())
            return request;

    bool number = false;
    options.hourOffset = parser.value(o.offset).toInt(&number);
    if (!number || std::abs(options.hourOffset) > kelvane::kMaxHourOffset) {
        request.usageError = QStringLiteral("--offset needs a whole number of hours from %1 to "
                                            "%2, not \"%3\"")
                                 .arg(-kelvane::kMaxHourOffset)
                                 .arg(kelvane::kMaxHourOffset)
                                 .arg(parser.value(o.offset));
        return request;
    }
    conversion.outputFolder =
        parser.isSet(o.directory) ? parser.value(o.directory) : QStringLiteral(".");
    request.quiet = parser.isSet(o.quiet);
    conversion.nameEveryFile = parser.isSet(o.verbose);
    request.list = parser.isSet(o.list);
    request.usageError = readWindow(parser, o, today, request.conversion.window);
    return request;
}
