// kelvane: the window that splits a Forerunner Logbook history into day files.

#include "main_window.h"

#include <kelvane/version.h>

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A day file that reaches a file-size limit, or a write into a pipe
    // whose reader has gone, is a write that fails, which the window reports
    // like a full disk, not the end of the program.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QLatin1StringView(kelvane::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("org.example.kelvane"));

    frmKelvane window(WindowEnvironment::System());
    window.Load();
    return app.exec();
}
