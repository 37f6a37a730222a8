#include "save/day_file_output.h"

#include "day_file_kinds.h"
#include "read/input_formats.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace kelvane {

namespace {

// Hidden names of ours: ".NAME.0123abcd.part" while a day file is written,
// ".NAME.0123abcd.old" for a file kept aside while it is replaced.
constexpr char kTemporary[] = "part";
constexpr char kKeptAside[] = "old";

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

void DayFileOutput::protect(const QStringList &paths)
{
    protectedPaths.clear();
    protectedIds.clear();
    for (const QString &path : paths)
        if (rememberProtected(path))
            protectedPaths << path;
}

// Named after their day file so that one left by a crash explains itself.
bool DayFileOutput::takeHiddenName(
    const QString &name, const char *suffix, QByteArray &taken,
    const std::function<bool(const QByteArray &name, bool &taken)> &attempt)
{
    for (int tries = 0; tries < 8; ++tries) {
        const QByteArray candidate = QFile::encodeName(QStringLiteral(".%1.%2.%3")
                                                           .arg(name)
                                                           .arg(++serial, 8, 16, QLatin1Char('0'))
                                                           .arg(QLatin1StringView(suffix)));
        bool exists = false;
        if (attempt(candidate, exists)) {
            taken = candidate;
            return true;
        }
        if (!exists)
            return false;
    }
    reason = QStringLiteral("no free hidden name");
    return false;
}

bool DayFileOutput::add(const QString &name, std::span<const std::string_view> pieces, bool last)
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
    if (!writeFile(file, pieces, last))
        return fail(name);
    return true;
}

// After a failure nothing is pending, and nothing more is written.
bool DayFileOutput::addMore(std::span<const std::string_view> pieces, bool last)
{
    if (pending.empty())
        return false;
    if (!writeFile(pending.back(), pieces, last))
        return fail(pending.back().name);
    return true;
}

bool DayFileOutput::commit()
{
    if (!nameNewFiles() || !checkTargets() || !keepReplacedFilesAside() || !replaceExistingFiles())
        return false;
    dropFilesKeptAside();
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

// What is in the way is found before any file is replaced: a folder, or the
// input being read.
bool DayFileOutput::checkTargets()
{
    for (Pending &file : pending) {
        Target target;
        if (!file.replaces || !inspect(file.name, target))
            continue;
        if (target.isFolder)
            return fail(file.name, QStringLiteral("a folder of that name is in the way"));
        if (target.isProtected)
            return fail(file.name, QStringLiteral("it is an input being read"));
        // A link planted under the name lends nothing of its target: the new
        // file keeps the mode it was made with.
        file.keepsMode = target.isFile;
        file.mode = target.mode;
    }
    return true;
}

// The files to be replaced get a second, hidden name, so that they can be
// put back should a later file of the run fail.
bool DayFileOutput::keepReplacedFilesAside()
{
    for (Pending &file : pending) {
        if (!file.replaces)
            continue;
        const bool kept = takeHiddenName(file.name, kKeptAside, file.keptAside,
                                         [&](const QByteArray &candidate, bool &taken) {
                                             return linkExisting(file.name, candidate, taken);
                                         });
        // A file that vanished meanwhile needs no keeping; nothing else may fail.
        if (!kept && QFile::exists(pathOf(file.name)))
            return fail(file.name);
    }
    return true;
}

// A file still without a name gets a temporary one first, to rename from.
bool DayFileOutput::replaceExistingFiles()
{
    for (Pending &file : pending) {
        if (!file.replaces)
            continue;
        if (file.temporary.isEmpty() &&
            !takeHiddenName(file.name, kTemporary, file.temporary,
                            [&](const QByteArray &candidate, bool &taken) {
                                return linkUnnamed(file, candidate, taken);
                            }))
            return fail(file.name);
        if ((file.keepsMode && !keepMode(file)) || !renameOver(file.temporary, file.name))
            return fail(file.name);
        file.temporary.clear();
        file.replaced = true;
    }
    return true;
}

void DayFileOutput::dropFilesKeptAside()
{
    for (Pending &file : pending) {
        if (!file.keptAside.isEmpty())
            removeName(file.keptAside);
        file.keptAside.clear();
    }
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

// Takes back a failed commit: names given to new files are removed, and the
// files kept aside get their names back.
void DayFileOutput::undo()
{
    for (Pending &file : pending) {
        if (file.linked || (file.replaced && file.keptAside.isEmpty()))
            removeName(QFile::encodeName(file.name)); // there was none before
        else if (file.replaced && renameOver(file.keptAside, file.name))
            file.keptAside.clear();
    }
    dropFilesKeptAside();
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

// The pattern of the hidden files a save of ours leaves when it is stopped: a
// day file's name (YYYYMMDD_NN_Weekday.ext, the weekday in any language, the
// extension one of the day-file kinds'), or the library's runs.csv and page,
// before our serial. A user's ".notes.20240101.old" is theirs.
static QRegularExpression leftoverPattern()
{
    QStringList extensions;
    for (const DayFileKindRow &row : dayFileKindRows())
        if (!row.extension.isEmpty())
            extensions << QRegularExpression::escape(row.extension.mid(1));
    for (const InputFormat &format : inputFormats())
        extensions << QRegularExpression::escape(QLatin1StringView(format.extension.substr(1)));
    extensions.removeDuplicates();
    return QRegularExpression(
        QStringLiteral(R"(^\.([0-9]{8}_[0-9]{2,}_[^./]+\.(%1)|runs\.csv|index\.html)\.)"
                       R"([0-9a-f]{8}\.(part|old)$)")
            .arg(extensions.join(u'|')));
}

void DayFileOutput::removeLeftovers(const QString &folder, bool everyFileOurs)
{
    static const QRegularExpression ours = leftoverPattern();
    static const QRegularExpression anyOfOurs(QStringLiteral(R"(^\..+\.[0-9a-f]{8}\.(part|old)$)"));
    QDirIterator entries(folder, {QStringLiteral(".*.part"), QStringLiteral(".*.old")},
                         QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        if ((everyFileOurs ? anyOfOurs : ours).match(entries.fileName()).hasMatch())
            QFile::remove(entries.filePath());
    }
}

} // namespace kelvane
