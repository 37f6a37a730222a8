// kelvane-split: the conversion of the Kelvane window, for scripts and terminals.

#include "command_line.h"
#include "run_list_printer.h"
#include "stop_signals.h"
#include "terminal_progress.h"

#include <kelvane/conversion.h>
#include <kelvane/message_text.h>
#include <kelvane/run_list.h>
#include <kelvane/version.h>

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>

#include <cstdio>
#include <unistd.h>

namespace {

using kelvane::counted;

enum ExitStatus { Success = 0, Failure = 1, BadUsage = 2, StoppedBySignal = 128 };

// Every message goes through here: a control character of a file name or of
// an input's text is shown as \xNN, never sent to the terminal.
void say(const QString &text)
{
    const QByteArray line =
        "kelvane-split: " + kelvane::escapeControlCharacters(text).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

// The inputs are counted when there were several, or one was of many parts
// (none were when a stop came first).
QString inputTotals(const kelvane::ConversionSummary &summary)
{
    if (summary.inputs <= 1 && summary.inputsFailed == 0 && summary.inputsNotGps == 0)
        return {};
    return QStringLiteral("; %1, %2 failed, %3")
        .arg(counted(summary.inputs, "input", "inputs"))
        .arg(summary.inputsFailed)
        .arg(summary.inputsNotGps == 1
                 ? QStringLiteral("1 not a GPS file")
                 : QStringLiteral("%1 not GPS files").arg(summary.inputsNotGps));
}

// The runs --sport left out, when there were some.
QString leftOut(const kelvane::ConversionSummary &summary)
{
    if (summary.runsLeftOutForSport == 0)
        return {};
    return QStringLiteral(", %1 left out for %2 sport")
        .arg(summary.runsLeftOutForSport)
        .arg(summary.runsLeftOutForSport == 1 ? QStringLiteral("its") : QStringLiteral("their"));
}

// Waypoints and routes are named only when an input held some.
QString totals(const kelvane::ConversionSummary &summary)
{
    QString line = QStringLiteral("%1 read, %2 converted, %3 written, %4 skipped")
                       .arg(counted(summary.runsRead, "run", "runs"))
                       .arg(summary.runsConverted)
                       .arg(counted(summary.filesWritten, "file", "files"))
                       .arg(summary.runsSkipped) +
                   leftOut(summary);
    if (summary.duplicates > 0)
        line += QStringLiteral(", %1 already in the library").arg(summary.duplicates);
    QStringList others;
    if (summary.waypoints > 0)
        others << counted(summary.waypoints, "waypoint", "waypoints");
    if (summary.routes > 0)
        others << counted(summary.routes, "route", "routes");
    if (!others.isEmpty())
        line += QStringLiteral(", %1 not converted").arg(others.join(QStringLiteral(" and ")));
    return line + inputTotals(summary);
}

// Kinds by their counts, the most first: "8,610 monitoring, 212 sleep".
QString byKind(const QMap<QString, int> &kinds, bool nouns)
{
    QList<std::pair<int, QString>> counts;
    for (auto kind = kinds.begin(); kind != kinds.end(); ++kind)
        counts.append({kind.value(), kind.key()});
    std::stable_sort(counts.begin(), counts.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList parts;
    for (const auto &[count, kind] : counts) {
        // A kind is named in the plural ("PNG images", "files of binary data").
        QString name = kind;
        if (nouns && count == 1 && name.startsWith(QLatin1String("files ")))
            name.remove(4, 1);
        else if (nouns && count == 1 && name.endsWith(u's'))
            name.chop(1);
        parts << QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(count), name);
    }
    return parts.join(QStringLiteral(", "));
}

// The files that are no runs, counted by kind, one line each (when any):
// "9,182 FIT files: 353 activities converted; 8,829 not activities: 8,610 monitoring, ...".
void printFileKinds(const kelvane::ConversionSummary &summary)
{
    const QLocale numbers(QLocale::English);
    if (!summary.fitNotActivities.isEmpty()) {
        int others = 0;
        for (const int count : summary.fitNotActivities)
            others += count;
        const QString activities =
            summary.fitActivitiesConverted == summary.fitActivities
                ? QStringLiteral("%1 converted")
                      .arg(counted(summary.fitActivities, "activity", "activities"))
                : QStringLiteral("%1, %2 converted")
                      .arg(counted(summary.fitActivities, "activity", "activities"))
                      .arg(summary.fitActivitiesConverted);
        say(QStringLiteral("%1 FIT %2: %3; %4 not %5: %6")
                .arg(numbers.toString(summary.fitActivities + others),
                     summary.fitActivities + others == 1 ? QStringLiteral("file")
                                                         : QStringLiteral("files"),
                     activities, numbers.toString(others),
                     others == 1 ? QStringLiteral("an activity") : QStringLiteral("activities"),
                     byKind(summary.fitNotActivities, false)));
    }
    if (summary.inputsNotGps > 0)
        say(QStringLiteral("%1 passed over: %2")
                .arg(summary.inputsNotGps == 1 ? QStringLiteral("1 file of another kind")
                                               : QStringLiteral("%1 files of other kinds")
                                                     .arg(numbers.toString(summary.inputsNotGps)),
                     byKind(summary.notGpsKinds, true)));
}

// What is said of single inputs of several: those that failed whatever is
// asked, those read with a remark unless quiet, those passed over (counted
// by kind) when each is to be named.
void printInputReports(const kelvane::ConversionSummary &summary, bool quiet, bool verbose)
{
    for (const kelvane::InputReport &report : summary.inputReports)
        if (report.failed || (!quiet && (!report.passedOver || verbose)))
            say(report.text);
}

void printSkipped(const kelvane::ConversionSummary &summary)
{
    // A run of a binary input (a FIT file) is found by its byte offset.
    for (const auto &skipped : summary.skipped) {
        const QString place =
            skipped.inBinaryInput()
                ? QStringLiteral("%1: byte %2").arg(skipped.input).arg(skipped.byteOffset)
                : QStringLiteral("%1:%2").arg(skipped.input).arg(skipped.line);
        say(QStringLiteral("%1: run skipped: %2").arg(place, skipped.reason));
    }
    if (!summary.notice.isEmpty())
        say(summary.notice);
    if (!summary.noRunHint.isEmpty())
        say(summary.noRunHint);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-split"));
    QCoreApplication::setApplicationVersion(QLatin1StringView(kelvane::kVersion));

    SplitRequest request =
        parseCommandLine(QCoreApplication::arguments(), QDateTime::currentDateTime());
    if (!request.usageError.isEmpty()) {
        say(request.usageError);
        std::fprintf(stderr, "Usage: kelvane-split [OPTIONS] INPUT... (see --help)\n");
        return BadUsage;
    }
    if (request.help) {
        std::fputs(qPrintable(request.helpText), stdout);
        return std::fflush(stdout) == 0 ? Success : Failure;
    }
    if (request.version) {
        std::printf("kelvane-split %s\n", kelvane::kVersion);
        return std::fflush(stdout) == 0 ? Success : Failure;
    }

    const StopSignals signals;
    request.conversion.stop = signals.flag();
    TerminalProgress progress(!request.quiet && isatty(STDERR_FILENO), isatty(STDOUT_FILENO));
    if (request.list) {
        RunListPrinter printer;
        const auto summary = kelvane::listRuns(request.conversion, printer, progress);
        const bool listWritten = progress.finish();
        printInputReports(summary, request.quiet, request.conversion.nameEveryFile);
        if (!summary.ok()) {
            say(summary.error);
            return Failure;
        }
        if (!listWritten) {
            say(QStringLiteral("Cannot write the list to standard output: %1")
                    .arg(progress.namesError()));
            return Failure;
        }
        if (!request.quiet) {
            printSkipped(summary);
            printFileKinds(summary);
            say(printer.totals() + leftOut(summary) + inputTotals(summary));
        }
        if (summary.stopped)
            return StoppedBySignal + signals.caught();
        return summary.inputsFailed > 0 ? Failure : Success;
    }
    const auto summary = kelvane::makeDayFiles(request.conversion, progress);
    const bool namesWritten = progress.finish();
    printInputReports(summary, request.quiet, request.conversion.nameEveryFile);
    int status = Success;
    if (!summary.ok()) {
        say(summary.error);
        status = Failure;
    } else if (summary.stopped) {
        say(QStringLiteral("stopped by %1: %2")
                .arg(QLatin1StringView(StopSignals::name(signals.caught())), totals(summary)));
        status = StoppedBySignal + signals.caught();
    } else {
        if (!request.quiet) {
            printSkipped(summary);
            printFileKinds(summary);
            say(totals(summary));
        }
        if (summary.inputsFailed > 0)
            status = Failure;
    }
    // Whoever closed standard output wanted no more names; the day files
    // are saved all the same, and the status says how the conversion went.
    if (!namesWritten && progress.outputClosed()) {
        say(QStringLiteral("Standard output was closed: the names of the day files saved "
                           "after that were not printed"));
    } else if (!namesWritten) {
        say(QStringLiteral("Cannot write the names of the day files to standard output: %1")
                .arg(progress.namesError()));
        if (status == Success)
            status = Failure;
    }
    return status;
}
