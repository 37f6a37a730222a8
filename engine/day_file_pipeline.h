#pragma once

#include "day_file_output.h"
#include "run_lines.h"
#include "track_points.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kelvane {

// What one run leaves for its day files.
struct RunFiles {
    QString DayFileName; // YYYYMMDD_NN_Weekday
    bool xml = false, csv = false, gpx = false;
    std::string XmlDeclLine, HistoryLine; // as the XML day file repeats them
    RunLines lines;
    TrackData track;
};

// Saves runs' day files on a thread of its own, so that the reader goes on
// with the next run while the file system creates and fills the files of the
// last one. One run waits at most: memory stays within two runs.
class DayFilePipeline {
  public:
    explicit DayFilePipeline(QString folder);
    ~DayFilePipeline();
    DayFilePipeline(const DayFilePipeline &) = delete;
    DayFilePipeline &operator=(const DayFilePipeline &) = delete;

    // Hands over a run; `run` comes back holding emptied buffers of an earlier
    // run to fill again. False, without taking the run, once a save has failed.
    bool submit(RunFiles &run);
    // Waits until every run handed over is saved or a save has failed.
    bool finish();

    // Names of the files saved since the last call, in the order saved.
    QStringList takeSaved();
    int runsSaved() const;
    QString error() const;

  private:
    void work();
    bool save(RunFiles &run, QStringList &names);

    DayFileOutput output; // used by the pipeline's thread only
    std::string fileBytes;
    std::string xmlHead;

    mutable std::mutex mutex;
    std::condition_variable changed;
    RunFiles waiting; // the run being saved, while `full`
    bool full = false;
    bool stopping = false;
    bool failed = false;
    QString message;
    QStringList saved;
    int runs = 0;
    std::thread thread;
};

} // namespace kelvane
