// generate-history: writes one benchmark history file, for looking at or for
// timing kelvane-split by hand; a Training Center file when its name ends in .tcx.

#include "history_generator.h"
#include "tcx_generator.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = args.size() == 3;
    const qint64 megabytes = ok ? args[2].toLongLong(&ok) : 0;
    if (!ok || megabytes < 1) {
        std::fprintf(stderr, "Usage: generate-history FILE[.tcx] MEGABYTES\n");
        return 2;
    }
    const GeneratedHistory made = args[1].endsWith(QLatin1String(".tcx"))
                                      ? GenerateTcx(args[1], {megabytes << 20, 1})
                                      : GenerateHistory(args[1], {megabytes << 20, 1});
    if (!made.error.isEmpty()) {
        std::fprintf(stderr, "generate-history: %s\n", qPrintable(made.error));
        return 1;
    }
    std::printf("%s: %d runs, %lld bytes\n", qPrintable(args[1]), made.runs, made.bytes);
    return 0;
}
