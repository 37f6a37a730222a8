#include "day_file_output.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kelvane {

namespace {

// Writes every piece with as few calls as the system allows; a short write is
// continued, so that a full disk or a file size limit ends in an error with
// the system's reason.
bool WriteAll(int fd, std::span<const std::string_view> pieces, std::vector<iovec> &parts)
{
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

QByteArray ProcPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

DayFileOutput::DayFileOutput(QString outputFolder, Naming naming)
    : folder(std::move(outputFolder)), unnamedFiles(naming != Naming::TemporaryName),
      linkByDescriptor(naming == Naming::UnnamedByDescriptor),
      serial(QRandomGenerator::global()->generate())
{
}

DayFileOutput::~DayFileOutput()
{
    discard();
    if (folderFd >= 0)
        ::close(folderFd);
}

QString DayFileOutput::pathOf(const QString &name) const
{
    return QDir(folder).filePath(name);
}

bool DayFileOutput::openFolder()
{
    if (folderFd >= 0)
        return true;
    folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        message =
            QStringLiteral("Cannot write day files into \"%1\": %2").arg(folder, Reason(errno));
        return false;
    }
    // Where naming by descriptor is refused, naming an unnamed file goes through /proc.
    unnamedFiles = unnamedFiles && ::access("/proc/self/fd", X_OK) == 0;
    return true;
}

// Gives an unnamed file a name in the folder. Naming it by its descriptor
// alone is cheaper, but many systems allow that only to privileged programs;
// the path through /proc works for everyone.
bool DayFileOutput::linkUnnamed(int fd, const char *name)
{
    if (linkByDescriptor) {
        if (::linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
        linkByDescriptor = false;
    }
    return ::linkat(AT_FDCWD, ProcPath(fd).constData(), folderFd, name, AT_SYMLINK_FOLLOW) == 0;
}

int DayFileOutput::createUnnamed()
{
    const int fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        unnamedFiles = false; // this file system has no unnamed files
    return fd;
}

// Hidden, and named after its target so that one left by a crash explains itself.
QByteArray DayFileOutput::temporaryName(const QString &name)
{
    return QFile::encodeName(
        QStringLiteral(".%1.%2.part").arg(name).arg(++serial, 8, 16, QLatin1Char('0')));
}

int DayFileOutput::createTemporary(const QString &name, QByteArray &temporary)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary = temporaryName(name);
        const int fd = ::openat(folderFd, temporary.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool DayFileOutput::add(const QString &name, std::span<const std::string_view> pieces)
{
    if (!openFolder()) {
        discard();
        return false;
    }
    Pending file;
    file.name = name;
    if (unnamedFiles)
        file.fd = createUnnamed();
    if (file.fd < 0 && !unnamedFiles)
        file.fd = createTemporary(name, file.temporary);
    if (file.fd < 0)
        return fail(name, errno);
    pending.push_back(file);
    if (!WriteAll(file.fd, pieces, parts))
        return fail(name, errno);
    return true;
}

bool DayFileOutput::commit()
{
    // First every file that is new gets its name; a name that is taken marks
    // a file to replace.
    for (Pending &file : pending) {
        const QByteArray name = QFile::encodeName(file.name);
        if (!file.temporary.isEmpty()) {
            file.replaces = true;
        } else if (linkUnnamed(file.fd, name.constData())) {
            file.linked = true;
        } else if (errno == EEXIST) {
            file.replaces = true;
        } else {
            return fail(file.name, errno);
        }
    }
    // Then the files that replace others. A folder in the way is found before
    // any file is replaced.
    for (const Pending &file : pending) {
        struct stat target;
        if (file.replaces &&
            ::fstatat(folderFd, QFile::encodeName(file.name).constData(), &target, 0) == 0 &&
            S_ISDIR(target.st_mode))
            return fail(file.name, QStringLiteral("a folder of that name is in the way"));
    }
    for (Pending &file : pending) {
        if (!file.replaces)
            continue;
        if (file.temporary.isEmpty()) {
            // Still unnamed: a temporary name first, to rename from.
            QByteArray temporary;
            for (int attempt = 0; attempt < 8 && temporary.isEmpty(); ++attempt) {
                const QByteArray candidate = temporaryName(file.name);
                if (linkUnnamed(file.fd, candidate.constData()))
                    temporary = candidate;
                else if (errno != EEXIST)
                    return fail(file.name, errno);
            }
            if (temporary.isEmpty())
                return fail(file.name, EEXIST);
            file.temporary = temporary;
        }
        if (::renameat(folderFd, file.temporary.constData(), folderFd,
                       QFile::encodeName(file.name).constData()) != 0)
            return fail(file.name, errno);
        file.temporary.clear();
        file.replaces = false;
    }
    for (const Pending &file : pending)
        ::close(file.fd);
    pending.clear();
    return true;
}

bool DayFileOutput::fail(const QString &name, int error)
{
    return fail(name, Reason(error));
}

bool DayFileOutput::fail(const QString &name, const QString &reason)
{
    message = QStringLiteral("Cannot write \"%1\": %2").arg(pathOf(name), reason);
    undo();
    return false;
}

// Takes back the names given in a failed commit: those files did not exist
// before it.
void DayFileOutput::undo()
{
    for (const Pending &file : pending)
        if (file.linked)
            ::unlinkat(folderFd, QFile::encodeName(file.name).constData(), 0);
    discard();
}

void DayFileOutput::discard()
{
    for (const Pending &file : pending) {
        if (!file.temporary.isEmpty())
            ::unlinkat(folderFd, file.temporary.constData(), 0);
        if (file.fd >= 0)
            ::close(file.fd);
    }
    pending.clear();
}

} // namespace kelvane
