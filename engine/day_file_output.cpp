#include "day_file_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace kelvane {

namespace {

// A short write carries no reason; writing the rest again either completes it
// or fails with the system's reason (a full disk, a file size limit).
bool WriteAll(QFile &file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const qint64 written = file.write(bytes.data(), qint64(bytes.size()));
        if (written <= 0)
            return false;
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

// Hidden, and named after its target so that one left by a crash explains itself.
QString TemporaryName(const QString &name, quint32 serial)
{
    return QStringLiteral(".%1.%2.part").arg(name).arg(serial, 8, 16, QLatin1Char('0'));
}

} // namespace

DayFileOutput::DayFileOutput(QString outputFolder)
    : folder(std::move(outputFolder)), serial(QRandomGenerator::global()->generate())
{
}

DayFileOutput::~DayFileOutput()
{
    discard();
}

QString DayFileOutput::pathOf(const QString &name) const
{
    return QDir(folder).filePath(name);
}

bool DayFileOutput::add(const QString &name, std::string_view bytes)
{
    const QString path = pathOf(name);
    // A folder in the way would only be found by the final rename, after other
    // files of the run had already been moved into place.
    if (QFileInfo(path).isDir()) {
        message = QStringLiteral("Cannot write \"%1\": a folder of that name is in the way").arg(path);
        discard();
        return false;
    }
    QFile file;
    // NewOnly never opens an existing file, so two conversions into one folder
    // cannot write into each other's temporary files.
    for (int attempt = 0; attempt < 5 && !file.isOpen(); ++attempt) {
        file.setFileName(pathOf(TemporaryName(name, ++serial)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) && !file.exists())
            break;
    }
    if (file.isOpen())
        pending.push_back({path, file.fileName()});
    // Unbuffered, so that a full disk is found here, before any file of the run
    // is moved into place.
    bool written = file.isOpen() && WriteAll(file, bytes);
    QString reason = file.errorString(); // close() forgets it
    if (file.isOpen()) {
        file.close();
        if (written && file.error() != QFileDevice::NoError) {
            written = false;
            reason = file.errorString();
        }
    }
    if (!written) {
        message = QStringLiteral("Cannot write \"%1\": %2").arg(path, reason);
        discard();
        return false;
    }
    return true;
}

bool DayFileOutput::commit()
{
    for (Pending &file : pending) {
        std::error_code failure;
        // Replaces an existing file in one step: readers see the old file or the new one.
        std::filesystem::rename(QFileInfo(file.temporary).filesystemFilePath(),
                                QFileInfo(file.path).filesystemFilePath(), failure);
        if (failure) {
            message = QStringLiteral("Cannot write \"%1\": %2")
                          .arg(file.path, QString::fromStdString(failure.message()));
            discard();
            return false;
        }
        file.temporary.clear();
    }
    pending.clear();
    return true;
}

void DayFileOutput::discard()
{
    for (const Pending &file : pending)
        if (!file.temporary.isEmpty())
            QFile::remove(file.temporary);
    pending.clear();
}

} // namespace kelvane
