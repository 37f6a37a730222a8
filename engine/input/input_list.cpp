#include "input/input_list.h"

#include "input/archive_input.h"
#include "input/file_source.h"
#include "input/look_ahead_source.h"
#include "input/memory_source.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>

namespace kelvane {

namespace {

const QString kStandardInput = QStringLiteral("standard input");

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool lookUp(const QString &path, struct stat &info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// A folder's names, hidden ones left out, in byte order; false when it
// cannot be read.
bool namesIn(const QString &folder, std::vector<QByteArray> &names)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    errno = error;
    std::sort(names.begin(), names.end());
    return error == 0;
}

} // namespace

InputList::InputList(const QStringList &names, const QString &outputFolder,
                     const std::atomic_bool *stop)
    : stop(stop)
{
    if (struct stat info; !outputFolder.isEmpty() && lookUp(outputFolder, info)) {
        hasOutputFolder = true;
        outputDevice = info.st_dev;
        outputInode = info.st_ino;
    }
    for (const QString &name : names)
        plan(name);
}

InputList::~InputList() = default;

void InputList::planError(const QString &name, const QString &error, bool named)
{
    planned.emplace_back();
    planned.back().name = name;
    planned.back().error = error;
    planned.back().named = named;
}

void InputList::plan(const QString &name)
{
    const bool standardInput = name == u"-";
    if (standardInput && std::exchange(standardInputPlanned, true))
        return planError(kStandardInput, QStringLiteral("Standard input is read once only"));
    const QString path = standardInput ? QStringLiteral("/dev/stdin") : name;
    const QString shown = standardInput ? kStandardInput : name;
    struct stat info;
    if (!lookUp(path, info))
        return planError(shown,
                         QStringLiteral("Cannot open \"%1\": %2").arg(path, systemReason(errno)));
    if (S_ISDIR(info.st_mode)) {
        if (hasOutputFolder && info.st_dev == outputDevice && info.st_ino == outputInode)
            return planError(name, QStringLiteral("\"%1\" is the folder the day files are "
                                                  "written to: its files are not read")
                                       .arg(name));
        foldersWalked.emplace_back(info.st_dev, info.st_ino);
        linksPassedOver = 0;
        planFolder(path);
        if (linksPassedOver > 0)
            folderNotices
                << QStringLiteral("\"%1\": %2 passed over: links to folders inside a "
                                  "folder are not followed")
                       .arg(name, linksPassedOver == 1
                                      ? QStringLiteral("1 link to a folder")
                                      : QStringLiteral("%1 links to folders").arg(linksPassedOver));
        return;
    }
    planFile(path, shown, info, true);
}

void InputList::planFile(const QString &path, const QString &name, const struct stat &info,
                         bool named)
{
    Planned file;
    file.path = path;
    file.name = name;
    file.named = named;
    if (S_ISREG(info.st_mode)) {
        file.size = info.st_size;
        file.file = {path, quint64(info.st_dev), quint64(info.st_ino)};
        total += info.st_size;
    }
    planned.push_back(file);
}

void InputList::planFolder(const QString &path)
{
    std::vector<QByteArray> names;
    if (!namesIn(path, names))
        return planError(
            path,
            QStringLiteral("Cannot read the folder \"%1\": %2").arg(path, systemReason(errno)),
            false);
    const QDir folder(path);
    for (const QByteArray &name : names) {
        const QString entry = folder.filePath(QFile::decodeName(name));
        struct stat info;
        const bool found = ::lstat(QFile::encodeName(entry).constData(), &info) == 0;
        const bool isLink = found && S_ISLNK(info.st_mode);
        if (!found || (isLink && !lookUp(entry, info))) {
            planError(entry,
                      QStringLiteral("Cannot open \"%1\": %2").arg(entry, systemReason(errno)),
                      false);
            continue;
        }
        if (S_ISREG(info.st_mode)) {
            planFile(entry, entry, info, false);
            continue;
        }
        if (!S_ISDIR(info.st_mode) ||
            (hasOutputFolder && info.st_dev == outputDevice && info.st_ino == outputInode))
            continue;
        if (isLink) {
            ++linksPassedOver;
            continue;
        }
        const std::pair<quint64, quint64> identity(info.st_dev, info.st_ino);
        if (std::find(foldersWalked.begin(), foldersWalked.end(), identity) != foldersWalked.end())
            continue;
        foldersWalked.push_back(identity);
        planFolder(entry);
    }
}

std::vector<InputFile> InputList::files() const
{
    std::vector<InputFile> found;
    for (const Planned &file : planned)
        if (!file.file.isEmpty())
            found.push_back(file.file);
    return found;
}

qint64 InputList::bytesRead() const
{
    if (fileSize < 0 || looks.empty())
        return done;
    return done + std::min(looks.front()->bytesTaken(), fileSize);
}

// Lets go of the file read last, and counts it done.
void InputList::closeFile()
{
    looks.clear();
    file.reset();
    done += std::max<qint64>(fileSize, 0);
    fileSize = -1;
    fileIdentity = {};
}

// False when it cannot be read: then `error` says why.
bool InputList::openFile(const Planned &next, QString &error)
{
    closeFile();
    if (!next.error.isEmpty()) {
        error = next.error;
        return false;
    }
    file = std::make_unique<FileSource>(next.path, stop);
    if (!file->open()) {
        error = file->errorString();
        return false;
    }
    fileSize = next.size;
    fileIdentity = next.file;
    return true;
}

const Input *InputList::handOut(const QString &name, ByteSource *source, bool named,
                                const QString &error, bool notGps)
{
    current = {name, source, error, fileIdentity, named, notGps};
    return &current;
}

const Input *InputList::next()
{
    if (looks.size() > archives.size())
        looks.pop_back();
    for (;;) {
        ByteSource *source = nullptr;
        QString name;
        bool named = true;
        if (archives.empty()) {
            if (nextPlanned == planned.size()) {
                closeFile();
                return nullptr;
            }
            const Planned &next = planned[nextPlanned++];
            if (QString error; !openFile(next, error))
                return handOut(next.name, nullptr, next.named, error);
            source = file.get();
            name = next.name;
            named = next.named;
        } else {
            ArchiveInput &archive = *archives.back();
            // What a compressed file holds is named as the file is; an
            // archive's entries are found in it.
            const ArchiveInput::Step step = archive.next();
            named = archivesNamed.back() && archive.isCompressedFile();
            switch (step) {
            case ArchiveInput::Step::End: {
                // One that held nothing says so, as a file does: zeros are
                // read as the binary data they are.
                const bool heldNothing = archive.heldNothing();
                const bool heldZeros = archive.heldZeros();
                const bool archiveNamed = archivesNamed.back();
                const QString archiveName = looks.back()->name();
                archives.pop_back();
                archivesNamed.pop_back();
                looks.pop_back();
                if (heldZeros) {
                    static const std::string kZeros(512, '\0');
                    zeros = std::make_unique<MemorySource>(kZeros, archiveName);
                    return handOut(archiveName, zeros.get(), archiveNamed);
                }
                if (heldNothing)
                    return handOut(
                        archiveName, nullptr, archiveNamed,
                        QStringLiteral("\"%1\" is an archive that holds no files").arg(archiveName),
                        true);
                continue;
            }
            case ArchiveInput::Step::Failed:
                return handOut(looks.back()->name(), nullptr, named, archive.errorString());
            case ArchiveInput::Step::Entry:
                source = &archive.entry();
                name = source->name();
                break;
            }
        }
        if (const Input *input = lookAt(*source, name, named))
            return input;
    }
}

// Hands out a source that is neither compressed nor an archive as it is;
// opens one that is, to be read on by next(), and returns null.
const Input *InputList::lookAt(ByteSource &source, const QString &name, bool named)
{
    looks.push_back(std::make_unique<LookAheadSource>(source, name));
    LookAheadSource &look = *looks.back();
    if (!look.lookAhead(kPackedHeadBytes)) {
        const QString error = look.errorString();
        looks.pop_back();
        return handOut(name, nullptr, named, error);
    }
    if (!isPacked(look.head()))
        return handOut(name, &look, named);
    std::size_t levels = 0;
    for (const auto &archive : archives)
        levels += archive->levels();
    if (levels >= kMostPackedLevels) {
        looks.pop_back();
        return handOut(name, nullptr, named, tooDeepReason(name));
    }
    // Weighed against the bytes of the file on disk, a bomb inside an archive
    // is known as one even where each level alone unpacks modestly.
    const LookAheadSource &file = *looks.front();
    archives.push_back(std::make_unique<ArchiveInput>(look, name, kMostPackedLevels - levels,
                                                      [&file] { return file.bytesTaken(); }));
    archivesNamed.push_back(named);
    return nullptr;
}

} // namespace kelvane
