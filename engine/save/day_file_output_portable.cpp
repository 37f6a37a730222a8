// The system's calls of DayFileOutput for any system: each day file is
// written under a hidden temporary name in the output folder, closed, and
// renamed over its name once all of a run's files are written (what QSaveFile
// does, without syncing each file to disk).

#include "save/day_file_output.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kelvane {

namespace {

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::filesystem::path pathFrom(const QByteArray &encoded)
{
    return std::filesystem::path(encoded.toStdString());
}

} // namespace

bool DayFileOutput::openFolder()
{
    std::error_code error;
    if (std::filesystem::is_directory(pathFrom(QFile::encodeName(folder)), error))
        return true;
    reason = error ? QString::fromStdString(error.message()) : QStringLiteral("not a folder");
    return false;
}

void DayFileOutput::closeFolder() {}

bool DayFileOutput::createFile(Pending &file)
{
    return takeHiddenName(file.name, "part", file.temporary,
                          [&](const QByteArray &candidate, bool &taken) {
                              // "x": fails when the name exists, so no file is ever taken over.
                              errno = 0;
                              file.stream = std::fopen(encodedPathOf(candidate).constData(), "wbx");
                              taken = !file.stream && errno == EEXIST;
                              if (!file.stream)
                                  reason = describe(errno);
                              return file.stream != nullptr;
                          });
}

// The file is closed once written: some systems rename no open file.
bool DayFileOutput::writeFile(Pending &file, std::span<const std::string_view> pieces, bool last)
{
    int error = 0;
    for (const std::string_view piece : pieces) {
        if (std::fwrite(piece.data(), 1, piece.size(), file.stream) != piece.size()) {
            error = errno != 0 ? errno : EIO;
            break;
        }
    }
    if (!last && error == 0)
        return true;
    if (error == 0 && std::fflush(file.stream) != 0)
        error = errno;
    if (std::fclose(file.stream) != 0 && error == 0)
        error = errno;
    file.stream = nullptr;
    if (error != 0)
        reason = describe(error);
    return error == 0;
}

// Every file has a temporary name here, so none is ever linked.
bool DayFileOutput::linkUnnamed(Pending &, const QByteArray &, bool &taken)
{
    taken = false;
    reason = describe(ENOTSUP);
    return false;
}

// Replaces a file of that name in one step, on every system.
bool DayFileOutput::renameOver(const QByteArray &from, const QString &name)
{
    std::error_code error;
    std::filesystem::rename(pathFrom(encodedPathOf(from)),
                            pathFrom(encodedPathOf(QFile::encodeName(name))), error);
    if (!error)
        return true;
    reason = QString::fromStdString(error.message());
    return false;
}

bool DayFileOutput::inspect(const QString &name, Target &target)
{
    std::error_code error;
    const auto path = pathFrom(encodedPathOf(QFile::encodeName(name)));
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return false;
    target.isFolder = std::filesystem::is_directory(status);
    target.isProtected =
        std::any_of(protectedPaths.begin(), protectedPaths.end(), [&](const QString &input) {
            return std::filesystem::equivalent(path, pathFrom(QFile::encodeName(input)), error);
        });
    const auto own = std::filesystem::symlink_status(path, error);
    target.isFile = !error && std::filesystem::is_regular_file(own);
    target.mode = unsigned(own.permissions() & std::filesystem::perms::all);
    return true;
}

// A second name where the system has hard links, a copy elsewhere.
bool DayFileOutput::linkExisting(const QString &name, const QByteArray &to, bool &taken)
{
    std::error_code error;
    const auto from = pathFrom(encodedPathOf(QFile::encodeName(name)));
    const auto aside = pathFrom(encodedPathOf(to));
    taken = std::filesystem::exists(aside, error);
    if (taken)
        return false;
    std::filesystem::create_hard_link(from, aside, error);
    if (error)
        std::filesystem::copy_file(from, aside, error);
    if (!error)
        return true;
    reason = QString::fromStdString(error.message());
    return false;
}

bool DayFileOutput::keepMode(Pending &file)
{
    std::error_code error;
    std::filesystem::permissions(pathFrom(encodedPathOf(file.temporary)),
                                 std::filesystem::perms(file.mode), error);
    if (!error)
        return true;
    reason = QString::fromStdString(error.message());
    return false;
}

bool DayFileOutput::rememberProtected(const QString &path)
{
    std::error_code error;
    return std::filesystem::exists(pathFrom(QFile::encodeName(path)), error);
}

void DayFileOutput::removeName(const QByteArray &name)
{
    std::error_code error;
    std::filesystem::remove(pathFrom(encodedPathOf(name)), error);
}

void DayFileOutput::closeFile(Pending &file)
{
    if (file.stream)
        std::fclose(file.stream);
    file.stream = nullptr;
}

} // namespace kelvane
