#include "command_line.h"

#include <QCommandLineParser>

#include <cstdlib>

namespace {

QDate parseDay(const QString &text)
{
    return QDate::fromString(text, Qt::ISODate);
}

struct Options {
    QCommandLineOption xml{QStringLiteral("xml"),
                           QStringLiteral("Write the XML day file of each run (.tcx for a Training "
                                          "Center file).")};
    QCommandLineOption csv{QStringLiteral("csv"),
                           QStringLiteral("Write the CSV day file (.txt) of each run.")};
    QCommandLineOption gpx{QStringLiteral("gpx"),
                           QStringLiteral("Write the GPX day file of each run.")};
    QCommandLineOption highAscii{QStringLiteral("high-ascii"),
                                 QStringLiteral("Escape high characters of Notes lines.")};
    QCommandLineOption offset{QStringLiteral("offset"),
                              QStringLiteral("Whole hours added to track point times, %1..%2.")
                                  .arg(-kelvane::kMaxHourOffset)
                                  .arg(kelvane::kMaxHourOffset),
                              QStringLiteral("HOURS"), QStringLiteral("0")};
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
};

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
    }
    return {};
}

} // namespace

SplitRequest parseCommandLine(const QStringList &arguments, QDate today)
{
    SplitRequest request;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Splits a logbook history file or a Training Center (TCX) file into day files: one "
        "XML, CSV or GPX file per run (an activity of a TCX file)."));
    const Options o;
    parser.addOptions({o.xml, o.csv, o.gpx, o.highAscii, o.offset, o.all, o.today, o.day, o.last,
                       o.from, o.to, o.directory, o.quiet});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("HISTORY_FILE"),
                                 QStringLiteral("The history or Training Center file to split "
                                                "(the format is told by its content)."));
    request.helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        request.usageError = parser.errorText();
        return request;
    }
    request.help = parser.isSet(help);
    request.version = parser.isSet(version);
    if (request.help || request.version)
        return request;

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        request.usageError = files.isEmpty() ? QStringLiteral("no history file given")
                                             : QStringLiteral("give one history file only");
        return request;
    }
    auto &conversion = request.conversion;
    conversion.historyFile = files.first();
    conversion.today = today;

    auto &options = conversion.options;
    options.dayFiles = {};
    options.dayFiles.setFlag(kelvane::DayFileKind::Xml, parser.isSet(o.xml));
    options.dayFiles.setFlag(kelvane::DayFileKind::Csv, parser.isSet(o.csv));
    options.dayFiles.setFlag(kelvane::DayFileKind::Gpx, parser.isSet(o.gpx));
    // The window starts with only the XML day file ticked; the command does the same.
    if (!options.dayFiles)
        options.dayFiles = kelvane::DayFileKind::Xml;
    options.escapeHighCharacters = parser.isSet(o.highAscii);

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
    request.usageError = readWindow(parser, o, today, request.conversion.window);
    return request;
}
