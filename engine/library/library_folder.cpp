#include "library/library_folder.h"

#include "library/runs_csv.h"
#include "run/run_numbering.h"

#include <QDir>

#include <csignal>
#include <cstdlib>

namespace kelvane {

QString LibraryFolder::journalPath() const
{
    return QDir(folder).filePath(QLatin1StringView(kJournalName));
}

QSet<QString> LibraryFolder::fileNames() const
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    return QSet<QString>(names.begin(), names.end());
}

bool LibraryFolder::load(QString &error)
{
    if (!runs.load(folder, error) || !readJournal(error))
        return false;
    const QSet<QString> names = fileNames();
    runs.keepRowsWithDayFiles(names);
    for (const QString &name : names)
        taken.addFileName(name);
    return true;
}

// The rows of the journal, read up to the row a stop cut short (a row is
// appended whole or the conversion ended there).
bool LibraryFolder::readJournal(QString &error)
{
    QFile file(journalPath());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::string_view text(bytes.data(), std::size_t(bytes.size()));
    std::vector<CatalogueRow> rows;
    RunsCsvRefusal refusal;
    while (!readRunsCsv(text, rows, refusal)) {
        // The text before the line refused, once a line is refused at all.
        qint64 line = 1;
        std::size_t end = 0;
        while (line < refusal.line && end < text.size()) {
            const std::size_t next = text.find('\n', end);
            if (next == std::string_view::npos)
                break;
            end = next + 1;
            ++line;
        }
        if (refusal.line <= 1 || end == 0 || end >= text.size())
            return true; // not even the header: nothing was journalled
        text = text.substr(0, end);
        rows.clear();
    }
    for (CatalogueRow &row : rows)
        runs.put(std::move(row));
    return true;
}

LibraryFolder::Place LibraryFolder::place(const QByteArray &fingerprint, const RunFigures &figures,
                                          QDate day, const QString &input,
                                          const QByteArray &earlier)
{
    const RunCatalogue::Match match = runs.match(fingerprint, figures, earlier);
    using Kind = RunCatalogue::Match::Kind;
    // The same input and start as a row of an earlier conversion: the same
    // run read with other options (--high-ascii changes a history run's
    // document), not a recording from another source.
    const bool reread = match.kind == Kind::SameActivity && match.row->input == input &&
                        match.row->figures.start == figures.start &&
                        !placedNow.contains(match.row->baseName);
    Place place;
    if (match.kind == Kind::SameRun || reread)
        place = {match.row->baseName, match.row};
    else if (match.kind == Kind::SameActivity)
        return {match.row->baseName, match.row, true};
    else {
        const int number = taken.next(day);
        taken.take(day, number);
        place = {dayFileBaseName(day, number)};
    }
    placedNow.insert(place.baseName);
    return place;
}

bool LibraryFolder::needsFingerprint(const RunFigures &figures, bool &waitFor) const
{
    waitFor = false;
    return !figures.start || runs.startsNear(*figures.start, waitFor);
}

bool LibraryFolder::journal(const CatalogueRow &row, QString &error)
{
    if (!journalFile.isOpen()) {
        QDir(folder).mkpath(QStringLiteral(".kelvane"));
        journalFile.setFileName(journalPath());
        const bool fresh = !journalFile.exists() || journalFile.size() == 0;
        if (!journalFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            error = QStringLiteral("Cannot write \"%1\": %2")
                        .arg(journalFile.fileName(), journalFile.errorString());
            return false;
        }
        line.clear();
        if (fresh) {
            line = runsCsvHeader();
            line += "\r\n";
        }
    } else {
        line.clear();
    }
    appendRunsCsvRow(line, row);
    if (journalFile.write(line.data(), qint64(line.size())) != qint64(line.size())) {
        error = QStringLiteral("Cannot write \"%1\": %2")
                    .arg(journalFile.fileName(), journalFile.errorString());
        return false;
    }
    // The tests of a conversion killed half-way kill it here, a row
    // journalled and its day files not yet saved.
    static const int killedAfter = qEnvironmentVariableIntValue("KELVANE_TEST_KILLED_AFTER_ROWS");
    if (killedAfter > 0 && ++journalled == killedAfter) {
#ifdef SIGKILL
        std::raise(SIGKILL);
#endif
        std::abort();
    }
    return true;
}

bool LibraryFolder::save(QString &error)
{
    runs.keepRowsWithDayFiles(fileNames());
    if (!runs.save(folder, error))
        return false;
    journalFile.close();
    if (QFile::exists(journalPath()) && !QFile::remove(journalPath())) {
        error = QStringLiteral("Cannot remove \"%1\"").arg(journalPath());
        return false;
    }
    return true;
}

} // namespace kelvane
