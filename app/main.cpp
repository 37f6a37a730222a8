// kelvane: the window that splits a Forerunner Logbook history into day files.

#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.example.kelvane"));

    frmKelvane window(WindowEnvironment::System());
    window.Load();
    return app.exec();
}
