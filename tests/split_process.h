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
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace split_process {

inline const QString kSplitProgram = QStringLiteral(KELVANE_BINARY_DIR "/cli/kelvane-split");

struct Limits {
    rlim_t fileSize = RLIM_INFINITY; // no file may grow beyond this many bytes
    // When set, standard input is a pipe fed with its pieces until it returns
    // false (a huge input that is never written to disk).
    std::function<bool(QByteArray &piece)> input;
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
    int inFds[2] = {-1, -1};
    if (limits.input && pipe2(inFds, O_CLOEXEC) != 0)
        return result;
    const int nullFd = limits.input ? inFds[0] : ::open("/dev/null", O_RDONLY | O_CLOEXEC);
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
    std::thread feeder;
    if (limits.input) {
        std::signal(SIGPIPE, SIG_IGN); // a child that stops reading ends the feeding
        feeder = std::thread([&limits, fd = inFds[1]] {
            QByteArray piece;
            for (bool more = true; more;) {
                piece.clear();
                more = limits.input(piece);
                for (qsizetype done = 0; done < piece.size();) {
                    const ssize_t n = ::write(fd, piece.constData() + done, piece.size() - done);
                    if (n <= 0) {
                        more = false;
                        break;
                    }
                    done += n;
                }
            }
            ::close(fd);
        });
    }

    int status = 0;
    rusage usage{};
    const bool waited = wait4(pid, &status, 0, &usage) == pid;
    if (feeder.joinable())
        feeder.join();
    if (!waited)
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
