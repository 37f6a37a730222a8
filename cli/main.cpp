// kelvane-split: the conversion of the Kelvane window, for scripts and terminals.

#include "command_line.h"
#include "run_list_printer.h"
#include "terminal_progress.h"

#include <kelvane/conversion.h>
#include <kelvane/run_list.h>
#include <kelvane/version.h>

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

enum ExitStatus { Success = 0, Failure = 1, BadUsage = 2 };

void say(const QString &text)
{
    std::fprintf(stderr, "kelvane-split: %s\n", qPrintable(text));
}

void printSkipped(const kelvane::ConversionSummary &summary, const QString &historyFile)
{
    for (const auto &skipped : summary.skipped)
        say(QStringLiteral("%1:%2: run skipped: %3")
                .arg(historyFile)
                .arg(skipped.line)
                .arg(skipped.reason));
}

void printSummary(const kelvane::ConversionSummary &summary, const QString &historyFile)
{
    printSkipped(summary, historyFile);
    say(QStringLiteral("%1 runs read, %2 converted, %3 files written, %4 skipped")
            .arg(summary.runsRead)
            .arg(summary.runsConverted)
            .arg(summary.filesWritten)
            .arg(summary.runsSkipped));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-split"));
    QCoreApplication::setApplicationVersion(QLatin1StringView(kelvane::kVersion));

    const SplitRequest request =
        parseCommandLine(QCoreApplication::arguments(), QDateTime::currentDateTime());
    if (!request.usageError.isEmpty()) {
        say(request.usageError);
        std::fprintf(stderr, "Usage: kelvane-split [OPTIONS] HISTORY_FILE (see --help)\n");
        return BadUsage;
    }
    if (request.help) {
        std::fputs(qPrintable(request.helpText), stdout);
        return Success;
    }
    if (request.version) {
        std::printf("kelvane-split %s\n", kelvane::kVersion);
        return Success;
    }

    TerminalProgress progress(!request.quiet && isatty(STDERR_FILENO));
    if (request.list) {
        RunListPrinter printer;
        const auto summary = kelvane::listRuns(request.conversion, printer, progress);
        std::fflush(stdout);
        progress.finish();
        if (!summary.ok()) {
            say(summary.error);
            return Failure;
        }
        if (!request.quiet) {
            printSkipped(summary, request.conversion.historyFile);
            say(printer.totals());
        }
        return Success;
    }
    const auto summary = kelvane::makeDayFiles(request.conversion, progress);
    std::fflush(stdout);
    progress.finish();
    if (!summary.ok()) {
        say(summary.error);
        return Failure;
    }
    if (!request.quiet)
        printSummary(summary, request.conversion.historyFile);
    return Success;
}
