#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// What the window takes from the world outside it: the clock, the working
// folder, how the program ends, and how a message reaches the user. Tests
// replace these to run the window on a fixed day in a scratch folder.
struct WindowEnvironment {
    std::function<QDateTime()> presentMoment;
    QString workingFolder;
    // Ends the program; called once the conversion is over or on Exit.
    std::function<void()> endProgram;
    std::function<void(const QString &title, const QString &text)> showMessage;

    // The real clock, the process's working folder, the application's event
    // loop and modal message boxes.
    static WindowEnvironment System();
};
