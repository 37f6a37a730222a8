#include "day_file_output.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace kelvane {

namespace {

// A short write carries no reason; writing the rest again either completes it
// or fails with the system's reason (a full disk, a file size limit).
bool WriteAll(QSaveFile &file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const qint64 written = file.write(bytes.data(), qint64(bytes.size()));
        if (written <= 0)
            return false;
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

} // namespace

DayFileOutput::DayFileOutput(QString outputFolder) : folder(std::move(outputFolder)) {}

DayFileOutput::~DayFileOutput() = default;

QString DayFileOutput::pathOf(const QString &name) const
{
    return QDir(folder).filePath(name);
}

bool DayFileOutput::add(const QString &name, std::string_view bytes)
{
    const QString path = pathOf(name);
    auto file = std::make_unique<QSaveFile>(path);
    // A folder in the way would only be found by the final rename, after other
    // files of the run had already been moved into place.
    if (QFileInfo(path).isDir()) {
        message = QStringLiteral("Cannot write \"%1\": a folder of that name is in the way").arg(path);
        discard();
        return false;
    }
    // Unbuffered, so that a full disk is found here, before any file of the run
    // is moved into place.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !WriteAll(*file, bytes)) {
        message = QStringLiteral("Cannot write \"%1\": %2").arg(path, file->errorString());
        discard();
        return false;
    }
    pending.push_back(std::move(file));
    return true;
}

bool DayFileOutput::commit()
{
    for (auto &file : pending) {
        if (!file->commit()) {
            message = QStringLiteral("Cannot write \"%1\": %2").arg(file->fileName(), file->errorString());
            discard();
            return false;
        }
    }
    pending.clear();
    return true;
}

void DayFileOutput::discard()
{
    for (auto &file : pending)
        file->cancelWriting();
    pending.clear(); // QSaveFile removes its temporary file when destroyed uncommitted
}

} // namespace kelvane
