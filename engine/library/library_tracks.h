#pragma once

#include "run/track_points.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane {

// What the overview page of a library shows of each run beyond its row of
// runs.csv: its track, simplified for a map of all runs and encoded as a
// polyline (precision 5), and its note. Kept in .kelvane/tracks.tsv of the
// library folder, one run a line after a header line:
//
//   kelvane tracks 1
//   BASE_NAME <TAB> NOTE <TAB> POLYLINE
//
// the note in UTF-8 with "\\", tab, line feed and carriage return written
// as \\, \t, \n and \r; the polyline empty for a run without positions.
class LibraryTracks {
  public:
    static constexpr char kFolderName[] = ".kelvane";
    static constexpr char kFileName[] = "tracks.tsv";
    // A track keeps at most this many points, however long the run: the
    // page of 5,000 runs stays a few megabytes.
    static constexpr std::size_t kMostPoints = 120;

    struct Entry {
        std::string track; // the encoded polyline; empty without positions
        std::string note;  // UTF-8
        bool operator==(const Entry &) const = default;
    };

    // Reads folder/.kelvane/tracks.tsv; none is an empty set. False when it
    // cannot be read or is damaged, with the error naming the file and the
    // reason: the set is then empty, and saving rewrites the file whole.
    bool load(const QString &folder, QString &error);
    // The same from the file's bytes; false (and empty) when damaged.
    bool read(std::string_view text, QString &reason);

    // The run's track simplified from its points, and its note (UTF-8).
    void put(const QString &baseName, const TrackPoints &points, std::string_view note);
    void put(const QString &baseName, Entry entry) { entries.insert(baseName, std::move(entry)); }
    const Entry *find(const QString &baseName) const;
    qsizetype size() const { return entries.size(); }
    // Drops the entries of runs the library no longer holds.
    void keepOnly(const QSet<QString> &baseNames);

    // The file's bytes, the entries in base name order.
    std::string text() const;
    // Rewrites folder/.kelvane/tracks.tsv in one step, making the folder
    // where needed. False with the error naming the file and the reason.
    bool save(const QString &folder, QString &error) const;

    // The polyline of the positioned points, Douglas-Peucker simplified to
    // about five metres, and coarser while more than kMostPoints remain.
    std::string encode(const TrackPoints &points);

  private:
    QHash<QString, Entry> entries;
    std::vector<std::pair<double, double>> positions; // latitude, longitude; scratch
    std::vector<char> kept;                           // scratch
};

// Appends Google's encoded polyline of one point's difference to the last.
void appendPolylineValue(std::string &out, long long value);

} // namespace kelvane
