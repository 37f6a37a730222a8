#include "day_file_output.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace kelvane {

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
    // Flushing here finds a full disk before any file of the run is moved into place.
    if (!file->open(QIODevice::WriteOnly)
        || file->write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file->flush()) {
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
