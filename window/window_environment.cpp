#include "window_environment.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

WindowEnvironment WindowEnvironment::System()
{
    WindowEnvironment environment;
    environment.presentMoment = [] { return QDateTime::currentDateTime(); };
    environment.workingFolder = QDir::currentPath();
    environment.endProgram = [] { QCoreApplication::exit(0); };
    environment.showMessage = [](const QString &title, const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), title, text);
    };
    return environment;
}
