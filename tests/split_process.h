#pragma once

// Runs kelvane-split as a child process the way a shell would, optionally
// under a file size limit (a disk that fills up), and reports its exit, its
// output and its peak memory.

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace split_process {

inline const QString kSplitProgram = QStringLiteral(KELVANE_BINARY_DIR "/cli/kelvane-split");

struct Limits {
    rlim_t fileSize = RLIM_INFINITY; // no file may grow beyond this many bytes
};

struct Result {
    int status = -1;   // exit status; -1 when the child did not exit normally
    int signal = 0;    // the signal that ended the child, if one did
    long maxRssKb = 0; // peak resident memory of the child
    QByteArray out, err;
};

inline QByteArray ReadBack(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline Result Split(const QStringList &arguments, Limits limits = {})
{
    Result result;
    QTemporaryDir capture;
    if (!capture.isValid())
        return result;
    const QByteArray outPath = capture.filePath(QStringLiteral("out")).toLocal8Bit();
    const QByteArray errPath = capture.filePath(QStringLiteral("err")).toLocal8Bit();

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<std::string> words{kSplitProgram.toStdString()};
    for (const QString &a : arguments)
        words.push_back(a.toStdString());
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const int outFd = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || errFd < 0 || nullFd < 0)
        return result;

    const pid_t pid = fork();
    if (pid == 0) {
        if (limits.fileSize != RLIM_INFINITY) {
            const rlimit limit{limits.fileSize, limits.fileSize};
            setrlimit(RLIMIT_FSIZE, &limit);
            // As a shell leaves it: unless the program ignores it, the kernel
            // kills the program with this signal at the limit.
            std::signal(SIGXFSZ, SIG_DFL);
        }
        dup2(nullFd, STDIN_FILENO);
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    ::close(nullFd);
    if (pid < 0)
        return result;

    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return result;
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.maxRssKb = usage.ru_maxrss;
    result.out = ReadBack(QString::fromLocal8Bit(outPath));
    result.err = ReadBack(QString::fromLocal8Bit(errPath));
    return result;
}

} // namespace split_process
