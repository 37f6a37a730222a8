#pragma once

#include "library/catalogue_row.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The runs of a library folder, as its runs.csv lists them (runs_csv.h),
// and the rules by which a conversion adds to them.
class RunCatalogue {
  public:
    // Two runs whose starts lie this close, and whose elapsed times differ
    // by no more than this part of the longer, are one activity recorded
    // twice (a watch's FIT file and the GPX file an app made of it).
    static constexpr double kSameStart = 60;    // s
    static constexpr double kSameElapsed = 0.1; // of the longer elapsed time

    // Reads folder/runs.csv; a folder without one is an empty library.
    // False when the file cannot be read, is not ours or is damaged: error
    // names the file, the line and the reason.
    bool load(const QString &folder, QString &error);
    // The same from the file's bytes; fileName is for the error.
    bool read(std::string_view text, const QString &fileName, QString &error);

    // The rows in the order they were read and put.
    const std::vector<CatalogueRow> &rows() const { return list; }

    // What the library holds of a run.
    struct Match {
        enum class Kind {
            None,         // a new run
            SameRun,      // the same fingerprint: this very run
            SameActivity, // another recording of the same activity
        };
        Kind kind = Kind::None;
        const CatalogueRow *row = nullptr; // the row it matches; valid until the next put
    };
    // The row of the same fingerprint, else of the same activity: a start
    // within kSameStart and an elapsed time within kSameElapsed (the one of
    // nearest start). Runs without start or elapsed time match by their
    // fingerprint alone. earlier: the run's fingerprint as libraries took
    // it before, where it holdsEarlierFingerprints().
    Match match(const QByteArray &fingerprint, const RunFigures &figures,
                const QByteArray &earlier = {}) const;
    // Whether rows of a library written before were read (their fingerprints
    // are of another hash, runFingerprint.h).
    bool holdsEarlierFingerprints() const { return earlierFingerprints; }
    // Whether a row starts within kSameStart of start; pending tells whether
    // one of those rows is still without its fingerprint (to be put again).
    bool startsNear(double start, bool &pending) const;

    // Adds a row, or replaces the row of its base name. A row may be put
    // before its fingerprint is known (empty), and put again with it.
    void put(CatalogueRow row);

    // Drops the rows none of whose day files is among fileNames (the names
    // in the folder), and the extensions of the files that are gone.
    void keepRowsWithDayFiles(const QSet<QString> &fileNames);

    // runs.csv for these rows, in start order (rows without a start last,
    // each set in the order put).
    std::string text() const;
    // Rewrites folder/runs.csv in one step (the way day files are saved:
    // the whole new file or the old one, never a part). False with the
    // error naming the file and the reason.
    bool save(const QString &folder, QString &error) const;

  private:
    void index();

    std::vector<CatalogueRow> list;
    QHash<QByteArray, std::size_t> byFingerprint;
    QHash<QString, std::size_t> byBaseName;
    std::multimap<double, std::size_t> byStart;
    bool earlierFingerprints = false;
};

} // namespace kelvane
