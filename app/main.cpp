// kelvane: the window that splits a Forerunner Logbook history into day files.

#include "main_window.h"

#include <kelvane/version.h>

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QLatin1StringView(kelvane::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("org.example.kelvane"));

    frmKelvane window(WindowEnvironment::System());
    window.Load();
    return app.exec();
}
