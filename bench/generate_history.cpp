// generate-history: writes one benchmark history file, for looking at or for
// timing kelvane-split by hand; a Training Center file when its name ends in
// .tcx, a FIT activity when it ends in .fit, a GPX file when it ends in .gpx.

#include "fit_generator.h"
#include "gpx_generator.h"
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
        std::fprintf(stderr, "Usage: generate-history FILE[.tcx|.fit|.gpx] MEGABYTES\n");
        return 2;
    }
    const HistoryShape shape{megabytes << 20, 1};
    const GeneratedHistory made =
        args[1].endsWith(QLatin1String(".tcx"))   ? GenerateTcx(args[1], shape)
        : args[1].endsWith(QLatin1String(".fit")) ? GenerateFit(args[1], shape)
        : args[1].endsWith(QLatin1String(".gpx")) ? GenerateGpx(args[1], shape)
                                                  : GenerateHistory(args[1], shape);
    if (!made.error.isEmpty()) {
        std::fprintf(stderr, "generate-history: %s\n", qPrintable(made.error));
        return 1;
    }
    std::printf("%s: %d runs, %lld bytes\n", qPrintable(args[1]), made.runs, made.bytes);
    return 0;
}
