#pragma once

#include "day_file_output.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelvane {

// Saves the day files of finished runs on a second thread while the reader
// goes on with the next runs: creating thousands of files keeps the system
// as busy as reading and cutting the history keeps the program.
//
// Runs are queued in batches. The reader fills one batch (a copy of the
// files' bytes) while the other is being saved, and waits only when saving
// falls behind. A run larger than a batch is not copied: once the runs before
// it are saved, it is saved at once from where its bytes lie, so memory stays
// a few batches above what the largest run needs anyway.
//
// Each run is saved as DayFileOutput saves it: its files appear together and
// complete, or not at all. Runs are saved in the order given, and after the
// first failure nothing more is saved.
class DayFileSaver {
  public:
    struct DayFile {
        QString name; // a bare file name in the folder
        std::span<const std::string_view> pieces;
    };

    // runSaved gets the names of each saved run's files, in order, on the
    // caller's thread (inside endRun() and finish()). A batch is handed over
    // once it holds batchBytes.
    DayFileSaver(QString folder, std::function<void(const QStringList &files)> runSaved,
                 std::size_t batchBytes = 1 << 20);
    // Stops the thread once it has saved the batch it holds; runs not handed
    // over yet are dropped (finish() saves them) and nothing is reported.
    ~DayFileSaver();
    DayFileSaver(const DayFileSaver &) = delete;
    DayFileSaver &operator=(const DayFileSaver &) = delete;

    // Queues a run's files, or saves them at once. False once saving has failed.
    bool saveRun(std::span<const DayFile> files);
    // Saves everything queued and waits for it. False if saving failed.
    bool finish();
    // No run is replaced by a day file of this path (the history file).
    void protect(const QString &path) { output.protect(path); }
    // Once *stop is true, no further run is saved; the one being saved is
    // saved whole. Call before the first run.
    void stopWhen(const std::atomic_bool *flag) { stop = flag; }
    // After a failure: the file and the system's reason.
    QString error() const;

  private:
    struct Batch {
        struct File {
            QString name;
            std::size_t begin;
            std::size_t size;
        };
        std::string bytes;
        std::vector<File> files;
        std::vector<std::size_t> runEnds; // one past each run's last file
        std::vector<QStringList> saved;   // the files of each run saved
        void clear();
    };

    void queue(std::span<const DayFile> files);
    bool handOver();
    void collect(Batch &batch);
    void save(Batch &batch);
    bool saveNow(std::span<const DayFile> files, QStringList &names);
    void work();

    // Used by the saving thread, or by the caller's while that thread is idle.
    DayFileOutput output;
    std::vector<std::string_view> views; // the saving thread's scratch
    std::vector<DayFile> runFiles;       // the saving thread's scratch
    std::function<void(const QStringList &)> runSaved;
    const std::size_t batchBytes;
    Batch batches[2];
    Batch *filling = &batches[0]; // the reader's
    Batch *other = &batches[1];   // being saved, or saved and not yet collected

    const std::atomic_bool *stop = nullptr;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool otherPending = false; // guarded: other waits for the saving thread
    bool stopping = false;     // guarded
    QString failure;           // guarded
    std::thread thread;        // last: starts once everything above exists
};

} // namespace kelvane
