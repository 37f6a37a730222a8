// kelvane-bench-window: converts a history through the window, offscreen, as
// a user would with every format ticked and All pressed, and prints how long
// the conversion took. The progress bar and the printed file names are
// painted as on screen.

#include "main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr,
                     "Usage: kelvane-bench-window FOLDER (converts FOLDER/walk.xml into FOLDER)\n");
        return 2;
    }
    WindowEnvironment environment;
    environment.presentMoment = [] { return QDateTime::currentDateTime(); };
    environment.workingFolder = args[1];
    bool ended = false;
    environment.endProgram = [&] { ended = true; };
    bool failed = false;
    environment.showMessage = [&](const QString &, const QString &text) {
        std::fprintf(stderr, "kelvane-bench-window: %s\n", qPrintable(text));
        failed = true;
    };
    frmKelvane window(environment);
    window.Load();
    QApplication::processEvents();
    for (const char *name : {"ckXMLFlag", "ckTXTFlag", "chkGPXFlag", "chkHighAscii"}) {
        auto *box = window.findChild<QAbstractButton *>(QString::fromLatin1(name));
        if (!box) {
            std::fprintf(stderr, "kelvane-bench-window: no %s on the window\n", name);
            return 1;
        }
        if (!box->isChecked())
            box->click();
    }
    auto *all = window.findChild<QAbstractButton *>(QStringLiteral("cmdAll"));
    if (!all)
        return 1;
    QElapsedTimer timer;
    timer.start();
    all->click();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!ended || failed || !window.LastSummary().ok())
        return 1;
    std::printf("%.6f\n", seconds);
    return 0;
}
