#include "day_file_output.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace kelvane {

DayFileOutput::DayFileOutput(QString outputFolder, Naming naming)
    : folder(std::move(outputFolder)), unnamedFiles(naming != Naming::TemporaryName),
      linkByDescriptor(naming == Naming::UnnamedByDescriptor),
      serial(QRandomGenerator::global()->generate())
{
}

DayFileOutput::~DayFileOutput()
{
    discard();
    closeFolder();
}

QString DayFileOutput::pathOf(const QString &name) const
{
    return QDir(folder).filePath(name);
}

QByteArray DayFileOutput::encodedPathOf(const QByteArray &name) const
{
    return QFile::encodeName(folder) + '/' + name;
}

// Hidden, and named after its target so that one left by a crash explains itself.
QByteArray DayFileOutput::temporaryName(const QString &name)
{
    return QFile::encodeName(
        QStringLiteral(".%1.%2.part").arg(name).arg(++serial, 8, 16, QLatin1Char('0')));
}

bool DayFileOutput::takeTemporaryName(
    Pending &file, const std::function<bool(const QByteArray &name, bool &taken)> &attempt)
{
    for (int tries = 0; tries < 8; ++tries) {
        const QByteArray candidate = temporaryName(file.name);
        bool taken = false;
        if (attempt(candidate, taken)) {
            file.temporary = candidate;
            return true;
        }
        if (!taken)
            return false;
    }
    reason = QStringLiteral("no free temporary name");
    return false;
}

bool DayFileOutput::add(const QString &name, std::span<const std::string_view> pieces)
{
    if (!openFolder()) {
        message = QStringLiteral("Cannot write day files into \"%1\": %2").arg(folder, reason);
        discard();
        return false;
    }
    pending.push_back({});
    Pending &file = pending.back();
    file.name = name;
    if (!createFile(file)) {
        pending.pop_back();
        return fail(name);
    }
    if (!writeFile(file, pieces))
        return fail(name);
    return true;
}

bool DayFileOutput::commit()
{
    if (!nameNewFiles() || !checkNothingInTheWay() || !replaceExistingFiles())
        return false;
    for (Pending &file : pending)
        closeFile(file);
    pending.clear();
    return true;
}

// First every file that is new gets its name; a name that is taken marks a
// file to replace.
bool DayFileOutput::nameNewFiles()
{
    for (Pending &file : pending) {
        bool taken = false;
        if (!file.temporary.isEmpty())
            file.replaces = true;
        else if (linkUnnamed(file, QFile::encodeName(file.name), taken))
            file.linked = true;
        else if (taken)
            file.replaces = true;
        else
            return fail(file.name);
    }
    return true;
}

// A folder in the way is found before any file is replaced.
bool DayFileOutput::checkNothingInTheWay()
{
    for (const Pending &file : pending)
        if (file.replaces && isFolder(file.name))
            return fail(file.name, QStringLiteral("a folder of that name is in the way"));
    return true;
}

// A file still without a name gets a temporary one first, to rename from.
bool DayFileOutput::replaceExistingFiles()
{
    for (Pending &file : pending) {
        if (!file.replaces)
            continue;
        if (file.temporary.isEmpty() &&
            !takeTemporaryName(file, [&](const QByteArray &candidate, bool &taken) {
                return linkUnnamed(file, candidate, taken);
            }))
            return fail(file.name);
        if (!renameOver(file))
            return fail(file.name);
        file.temporary.clear();
        file.replaces = false;
    }
    return true;
}

bool DayFileOutput::fail(const QString &name)
{
    return fail(name, reason);
}

bool DayFileOutput::fail(const QString &name, const QString &why)
{
    message = QStringLiteral("Cannot write \"%1\": %2").arg(pathOf(name), why);
    undo();
    return false;
}

// Takes back the names given in a failed commit: those files did not exist
// before it.
void DayFileOutput::undo()
{
    for (const Pending &file : pending)
        if (file.linked)
            removeName(QFile::encodeName(file.name));
    discard();
}

void DayFileOutput::discard()
{
    for (Pending &file : pending) {
        closeFile(file);
        if (!file.temporary.isEmpty())
            removeName(file.temporary);
    }
    pending.clear();
}

} // namespace kelvane
