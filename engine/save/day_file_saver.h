#pragma once

#include "save/day_file_output.h"
#include "save/run_copy.h"
#include "write/day_file_writer.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelvane {

// Saves the day files of finished runs on a second thread while the reader
// goes on with the next runs: creating thousands of files keeps the system
// as busy as reading and cutting the inputs keeps the program.
//
// Runs are queued in batches. The reader fills one batch (a copy of the
// files' bytes) while the other is being saved, and waits only when saving
// falls behind. A run larger than a batch is not copied: once the runs before
// it are saved, it is saved at once from where its bytes lie, so memory stays
// a few batches above what the largest run needs anyway.
//
// A day file that is made from the run's points and details rather than from
// its document is written on the saving thread too: the batch holds a copy of
// what its writer needs (RunCopy), which is smaller than the file, and the
// writer turns it into the file there. That work then overlaps the reading.
// A large run's such file is made on the caller's thread, and the saving
// thread writes each part the writer hands over while the next one is made.
//
// Each run is saved as DayFileOutput saves it: its files appear together and
// complete, or not at all. Runs are saved in the order given, and after the
// first failure nothing more is saved. A stop of the conversion saves what
// was handed over before it: those runs were read whole, and are few, as the
// reader waits when saving falls behind.
class DayFileSaver {
  public:
    struct DayFile {
        QString name; // a bare file name in the folder
        std::span<const std::string_view> pieces;
        // Or, when set: the file is what this writer makes of the run, which
        // it may do on the saving thread. The writer is used by one thread
        // at a time, and by no other code while the conversion runs.
        DayFileWriter *writer = nullptr;
        // Its first parts were written by continueDocument(): pieces are the rest.
        bool continued = false;
    };

    // What is done for a run just before its files are saved, on the thread
    // that saves them (a library's row of the run, journalled): given the run
    // (copied with its points when queued) and these bytes of its own,
    // copied too. False, with the reason, fails the saving there: the run's
    // files are not saved.
    struct Prelude {
        std::span<const std::string_view> bytes;
    };
    using PreludeWork = std::function<bool(const Run &, const Prelude &, QString &error)>;

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

    // Queues a run's files, or saves them at once. False once saving has
    // failed. With a prelude, the work set by setPrelude() is done first.
    bool saveRun(std::span<const DayFile> files, const Run &run, const Prelude *prelude = nullptr);
    // Whether saveRun() queues a run whose files, copy and prelude take
    // about this many bytes, rather than saving it at once.
    bool queues(std::size_t bytes) const { return bytes < batchBytes; }
    // Set before the first run is saved.
    void setPrelude(PreludeWork work) { preludeWork = std::move(work); }
    // Saves everything queued and waits for it. False if saving failed.
    bool finish();
    // A run's own document, written as the run is read so that memory does
    // not follow its size: its first parts, once the runs before it are
    // saved, and then on, here, while the saving thread is idle. The run's
    // saveRun() names the file (DayFile::continued) with its others, or
    // dropDocument() throws it away. False once saving has failed.
    bool continueDocument(const QString &name, std::span<const std::string_view> pieces);
    bool documentBegun() const { return documentOpen; }
    void dropDocument();
    // No run is replaced by a day file of these paths (the inputs).
    void protect(const QStringList &paths) { output.protect(paths); }
    // After a failure: the file and the system's reason.
    QString error() const;

  private:
    struct Batch {
        struct File {
            QString name;
            std::size_t begin;
            std::size_t size;
            DayFileWriter *writer; // or written by it from the run's copy
        };
        struct RunEntry {
            std::size_t filesEnd; // one past the run's last file
            RunCopy *copy;        // for its files that writers make and its prelude, or null
            bool prelude;         // its prelude's bytes are in bytes, before its files
            std::size_t preludeBegin, preludeSize;
        };
        std::string bytes;
        std::vector<File> files;
        std::vector<RunEntry> runs;
        std::vector<std::unique_ptr<RunCopy>> copies; // the first copiesUsed in use
        std::size_t copiesUsed = 0;
        std::size_t copiedBytes = 0;
        std::vector<QStringList> saved; // the files of each run saved
        std::size_t size() const { return bytes.size() + copiedBytes; }
        void clear(std::size_t copiesKept);
    };

    void queue(std::span<const DayFile> files, const Run &run, const Prelude *prelude);
    bool handOver();
    void collect(Batch &batch);
    void save(Batch &batch);
    bool saveNow(std::span<const DayFile> files, const Run &run, const Prelude *prelude,
                 QStringList &names, QString &error);
    bool saveHere(std::span<const DayFile> files, const Run &run, const Prelude *prelude);
    bool saveFiles(std::span<const DayFile> files, const Run &run);
    bool saveMade(const DayFile &file, const Run &run);
    bool passPart(const QString &name, bool first, std::string_view part);
    bool partsWritten();
    void writePart();
    void work();

    // Used by the saving thread, or by the caller's while that thread is idle.
    DayFileOutput output;
    std::vector<std::string_view> views; // the saving thread's scratch
    std::vector<DayFile> runFiles;       // the saving thread's scratch
    std::function<void(const QStringList &)> runSaved;
    PreludeWork preludeWork;
    const std::size_t batchBytes;
    Batch batches[2];
    Batch *filling = &batches[0]; // the reader's
    Batch *other = &batches[1];   // being saved, or saved and not yet collected

    bool documentOpen = false; // continueDocument() began a file, not yet saved or dropped
    // In saveHere(): parts of made files go to the saving thread, one at a time.
    bool partsPassed = false;
    // The part passed: written by the saving thread, the caller's once it is done.
    struct Part {
        std::string bytes;
        QString name;
        bool first = false; // of its file
        bool ok = true;     // all parts of the file so far written
    } part;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool otherPending = false; // guarded: other waits for the saving thread
    bool partPending = false;  // guarded: part waits for the saving thread
    bool stopping = false;     // guarded
    QString failure;           // guarded
    std::thread thread;        // last: starts once everything above exists
};

} // namespace kelvane
