// The system's calls of DayFileOutput on Linux: day files are created without
// a name (O_TMPFILE) and linked into the folder once all of a run's files are
// written, which costs less than a temporary name and a rename, and leaves
// nothing behind when the program is stopped halfway.

#include "save/day_file_output.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kelvane {

namespace {

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray procPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// Writes every piece with as few calls as the system allows; a short write is
// continued, so that a full disk or a file size limit ends in an error with
// the system's reason.
bool writeAll(int fd, std::span<const std::string_view> pieces)
{
    thread_local std::vector<iovec> parts;
    parts.clear();
    for (std::string_view bytes : pieces)
        if (!bytes.empty())
            parts.push_back({const_cast<char *>(bytes.data()), bytes.size()});
    iovec *next = parts.data();
    std::size_t count = parts.size();
    while (count > 0) {
        const ssize_t written = ::writev(fd, next, int(std::min<std::size_t>(count, IOV_MAX)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        // Step over what was written, whole pieces first.
        std::size_t done = std::size_t(written);
        while (count > 0 && done >= next->iov_len) {
            done -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
    return true;
}

} // namespace

bool DayFileOutput::openFolder()
{
    if (folderFd >= 0)
        return true;
    folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        reason = describe(errno);
        return false;
    }
    // Where naming by descriptor is refused, naming an unnamed file goes through /proc.
    unnamedFiles = unnamedFiles && ::access("/proc/self/fd", X_OK) == 0;
    return true;
}

void DayFileOutput::closeFolder()
{
    if (folderFd >= 0)
        ::close(folderFd);
    folderFd = -1;
}

bool DayFileOutput::createFile(Pending &file)
{
    if (unnamedFiles) {
        file.fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (file.fd >= 0)
            return true;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            reason = describe(errno);
            return false;
        }
        unnamedFiles = false; // this file system has no unnamed files
    }
    return takeHiddenName(file.name, "part", file.temporary,
                          [&](const QByteArray &candidate, bool &taken) {
                              file.fd = ::openat(folderFd, candidate.constData(),
                                                 O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                              taken = file.fd < 0 && errno == EEXIST;
                              if (file.fd < 0)
                                  reason = describe(errno);
                              return file.fd >= 0;
                          });
}

bool DayFileOutput::writeFile(Pending &file, std::span<const std::string_view> pieces, bool)
{
    if (writeAll(file.fd, pieces))
        return true;
    reason = describe(errno);
    return false;
}

// Gives an unnamed file a name in the folder. Naming it by its descriptor
// alone is cheaper, but many systems allow that only to privileged programs;
// the path through /proc works for everyone.
bool DayFileOutput::linkUnnamed(Pending &file, const QByteArray &name, bool &taken)
{
    taken = false;
    if (linkByDescriptor) {
        if (::linkat(file.fd, "", folderFd, name.constData(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno == ENOENT || errno == EPERM)
            linkByDescriptor = false;
    }
    if (!linkByDescriptor && ::linkat(AT_FDCWD, procPath(file.fd).constData(), folderFd,
                                      name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    taken = errno == EEXIST;
    reason = describe(errno);
    return false;
}

bool DayFileOutput::renameOver(const QByteArray &from, const QString &name)
{
    if (::renameat(folderFd, from.constData(), folderFd, QFile::encodeName(name).constData()) == 0)
        return true;
    reason = describe(errno);
    return false;
}

bool DayFileOutput::inspect(const QString &name, Target &target)
{
    struct stat info;
    if (::fstatat(folderFd, QFile::encodeName(name).constData(), &info, 0) != 0)
        return false;
    target.isFolder = S_ISDIR(info.st_mode);
    const std::pair<unsigned long long, unsigned long long> id(info.st_dev, info.st_ino);
    target.isProtected =
        std::find(protectedIds.begin(), protectedIds.end(), id) != protectedIds.end();
    struct stat own;
    target.isFile =
        ::fstatat(folderFd, QFile::encodeName(name).constData(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(own.st_mode);
    target.mode = own.st_mode & 0777;
    return true;
}

bool DayFileOutput::linkExisting(const QString &name, const QByteArray &to, bool &taken)
{
    if (::linkat(folderFd, QFile::encodeName(name).constData(), folderFd, to.constData(), 0) == 0)
        return true;
    taken = errno == EEXIST;
    reason = describe(errno);
    return false;
}

bool DayFileOutput::keepMode(Pending &file)
{
    if (::fchmod(file.fd, file.mode) == 0)
        return true;
    reason = describe(errno);
    return false;
}

bool DayFileOutput::rememberProtected(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    protectedIds.emplace_back(info.st_dev, info.st_ino);
    return true;
}

void DayFileOutput::removeName(const QByteArray &name)
{
    ::unlinkat(folderFd, name.constData(), 0);
}

void DayFileOutput::closeFile(Pending &file)
{
    if (file.fd >= 0)
        ::close(file.fd);
    file.fd = -1;
}

} // namespace kelvane
