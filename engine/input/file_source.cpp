#include "input/file_source.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

namespace {

// How often a read that waits for a pipe looks at the stop flag.
constexpr int kStopCheckMilliseconds = 100;

bool stopped(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

} // namespace

FileSource::FileSource(QString path, const std::atomic_bool *stop)
    : path(std::move(path)), stop(stop)
{
}

FileSource::~FileSource()
{
    if (fd >= 0)
        ::close(fd);
}

bool FileSource::fail(const QString &what, int reason)
{
    error = QStringLiteral("%1 \"%2\": %3")
                .arg(what, path, QString::fromLocal8Bit(std::strerror(reason)));
    return false;
}

bool FileSource::open()
{
    // Without O_NONBLOCK, opening a FIFO waits until something opens it for
    // writing, and no signal that sets the stop flag ends that wait.
    fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("Cannot open"), errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(QStringLiteral("Cannot open"), errno);
    if (S_ISDIR(info.st_mode)) {
        error = QStringLiteral("\"%1\" is a folder, not a file").arg(path);
        return false;
    }
    // Reads block again; waitForBytes() keeps them from blocking for long.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(QStringLiteral("Cannot open"), errno);
    regular = S_ISREG(info.st_mode);
    fileSize = info.st_size;
    return true;
}

// Waits until a read will not block: bytes are there, or the writer has
// gone. A FIFO that never had a writer is not at its end yet, so it waits
// for one, as long as no stop is requested.
bool FileSource::waitForBytes()
{
    pollfd ready{fd, POLLIN, 0};
    for (;;) {
        if (stopped(stop)) {
            error = QStringLiteral("Reading \"%1\" was stopped").arg(path);
            return false;
        }
        const int count = ::poll(&ready, 1, kStopCheckMilliseconds);
        if (count > 0)
            return true;
        if (count < 0 && errno != EINTR)
            return fail(QStringLiteral("Cannot read"), errno);
    }
}

qint64 FileSource::read(char *into, qint64 size)
{
    if (!regular && !waitForBytes())
        return -1;
    for (;;) {
        const ssize_t got = ::read(fd, into, std::size_t(size));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            fail(QStringLiteral("Cannot read"), errno);
            return -1;
        }
    }
}

bool FileSource::readEnd(std::size_t count, std::string &out)
{
    if (!regular)
        return false;
    const qint64 from = std::max<qint64>(0, fileSize - qint64(count));
    out.resize(std::size_t(fileSize - from));
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t part = ::pread(fd, out.data() + got, out.size() - got, from + qint64(got));
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            break;
        got += std::size_t(part);
    }
    out.resize(got);
    return true;
}

std::unique_ptr<ByteSource> FileSource::readAgain()
{
    if (!regular)
        return nullptr;
    auto again = std::make_unique<FileSource>(path, stop);
    if (!again->open())
        return nullptr;
    return again;
}

} // namespace kelvane
