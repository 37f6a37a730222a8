#pragma once

#include "library/run_catalogue.h"
#include "library/taken_numbers.h"

#include <QDate>
#include <QFile>
#include <QString>

#include <string>

namespace kelvane {

// An output folder kept as a library (--library): its runs.csv, the numbers
// its day files take, and a journal that makes a conversion stopped at any
// point (a signal, SIGKILL, a full disk) one the next conversion continues.
//
// Before a run's day files are saved its row is appended to the journal,
// .kelvane/runs-journal.csv (runs.csv's form), and handed to the system. The
// next load reads the journal after runs.csv: a row whose day files were
// saved, or some of them, is listed again; one whose saving never began has
// no files and is dropped. runs.csv is rewritten in one step at the end, and
// only then is the journal removed. A day file is thus never in the folder
// without its row in runs.csv or in the journal.
class LibraryFolder {
  public:
    static constexpr char kJournalName[] = ".kelvane/runs-journal.csv";

    explicit LibraryFolder(QString folder) : folder(std::move(folder)) {}

    // With the folder's turn taken: reads runs.csv and the journal a stopped
    // conversion left. False, with the file, the line and the reason, for a
    // runs.csv that is not ours or is damaged (or cannot be read).
    bool load(QString &error);

    // Where a run goes: the base name its day files are written under (its
    // own row's for a run the library holds, the next free number of its day
    // for a new one), or nothing, when it duplicates another run's row. A
    // run read again from the input of its row, at the same start, is that
    // row's run whatever its bytes.
    struct Place {
        QString baseName;
        const CatalogueRow *row = nullptr; // the row it is (SameRun) or duplicates
        bool duplicate = false;
    };
    // earlier: the run's fingerprint as libraries took it before, where it
    // holdsEarlierFingerprints(); a run it finds keeps its row's fingerprint.
    Place place(const QByteArray &fingerprint, const RunFigures &figures, QDate day,
                const QString &input, const QByteArray &earlier = {});
    bool holdsEarlierFingerprints() const { return runs.holdsEarlierFingerprints(); }

    // Whether a run's place depends on its fingerprint. A run's bytes tell
    // its start, so a run that starts further than RunCatalogue::kSameStart
    // from every row is new whatever its bytes; its fingerprint may be taken
    // later, on the thread that saves it. waitFor: a row near it is still
    // without its own.
    bool needsFingerprint(const RunFigures &figures, bool &waitFor) const;

    // A placed run about to be saved: its row, whose figures past its start
    // and elapsed time, and whose fingerprint, may follow (put again).
    void put(CatalogueRow row) { runs.put(std::move(row)); }
    // Appends a run's row to the journal, before its day files are saved,
    // and hands it to the system. It touches nothing but the journal, so the
    // thread that saves the day files may call it while place() and put()
    // are used. False, with the file and the reason, when it cannot be written.
    bool journal(const CatalogueRow &row, QString &error);

    // Once every run is saved: runs.csv rewritten with the rows whose day
    // files are in the folder, and the journal removed.
    bool save(QString &error);

    const RunCatalogue &catalogue() const { return runs; }

  private:
    QString journalPath() const;
    bool readJournal(QString &error);
    QSet<QString> fileNames() const;

    QString folder;
    RunCatalogue runs;
    TakenNumbers taken;
    QFile journalFile; // written by journal()
    std::string line;  // a row being journalled
    int journalled = 0;
    QSet<QString> placedNow; // the base names of the runs placed by this conversion
};

} // namespace kelvane
