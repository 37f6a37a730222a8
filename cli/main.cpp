// kelvane-split: the conversion of the Kelvane window, for scripts and terminals.

#include "command_line.h"
#include "make_files.h"
#include "terminal_progress.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

enum ExitStatus { Success = 0, Failure = 1, BadUsage = 2 };

void Say(const QString &text)
{
    std::fprintf(stderr, "kelvane-split: %s\n", qPrintable(text));
}

void PrintSummary(const kelvane::ConversionSummary &summary, const QString &historyFile)
{
    for (const auto &skipped : summary.skipped)
        Say(QStringLiteral("%1:%2: run skipped: %3")
                .arg(historyFile)
                .arg(skipped.line)
                .arg(skipped.reason));
    Say(QStringLiteral("%1 runs read, %2 converted, %3 files written, %4 skipped")
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
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    const QDate today = QDate::currentDate();
    const SplitRequest request = ParseCommandLine(QCoreApplication::arguments(), today);
    if (!request.usageError.isEmpty()) {
        Say(request.usageError);
        std::fprintf(stderr, "Usage: kelvane-split [OPTIONS] HISTORY_FILE (see --help)\n");
        return BadUsage;
    }
    if (request.help) {
        std::fputs(qPrintable(request.helpText), stdout);
        return Success;
    }
    if (request.version) {
        std::printf("kelvane-split %s\n", KELVANE_VERSION);
        return Success;
    }

    TerminalProgress progress(!request.quiet && isatty(STDERR_FILENO));
    const auto summary = kelvane::MakeFiles(request.historyFile, request.window, request.options,
                                            progress, request.directory, today);
    std::fflush(stdout);
    progress.finish();
    if (!summary.ok()) {
        Say(summary.error);
        return Failure;
    }
    if (!request.quiet)
        PrintSummary(summary, request.historyFile);
    return Success;
}
