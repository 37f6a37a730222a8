#include "child_process.h"

#include <QFile>
#include <QTemporaryFile>

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

ChildResult RunChild(const QString &program, const QStringList &arguments,
                     const QString &outputFile)
{
    ChildResult result;
    // Started through a small program of its own: see peak_memory.cpp.
    QTemporaryFile peakFile;
    if (!peakFile.open())
        return result;
    std::vector<QByteArray> texts{QByteArrayLiteral(KELVANE_PEAK_MEMORY),
                                  QFile::encodeName(peakFile.fileName()),
                                  QFile::encodeName(program)};
    for (const QString &argument : arguments)
        texts.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray output =
        outputFile.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(outputFile);
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return result;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakRssBytes = peakFile.readAll().trimmed().toLongLong() * 1024; // in KiB
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}
