#include "save/day_file_saver.h"

#include <algorithm>

namespace kelvane {

DayFileSaver::DayFileSaver(QString folder, std::function<void(const QStringList &)> runSaved,
                           std::size_t batchBytes)
    : output(std::move(folder)), runSaved(std::move(runSaved)), batchBytes(batchBytes),
      thread([this] { work(); })
{
}

DayFileSaver::~DayFileSaver()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

// The copies keep their buffers from run to run; once they keep more than
// copiesKept bytes, they are let go, so that memory follows the largest run
// and not the number of runs, each copy growing to the largest it held.
void DayFileSaver::Batch::clear(std::size_t copiesKept)
{
    bytes.clear();
    files.clear();
    runs.clear();
    copiesUsed = 0;
    copiedBytes = 0;
    saved.clear();
    std::size_t kept = 0;
    for (const std::unique_ptr<RunCopy> &copy : copies)
        kept += copy->retained();
    if (kept > copiesKept)
        copies.clear();
}

bool DayFileSaver::continueDocument(const QString &name, std::span<const std::string_view> pieces)
{
    if (!documentOpen) {
        if (!finish())
            return false;
        documentOpen = true;
        if (output.add(name, pieces, false))
            return true;
    } else if (output.addMore(pieces, false)) {
        return true;
    }
    documentOpen = false;
    const std::lock_guard lock(mutex);
    failure = output.error();
    return false;
}

void DayFileSaver::dropDocument()
{
    if (documentOpen)
        output.discard();
    documentOpen = false;
}

bool DayFileSaver::saveRun(std::span<const DayFile> files, const Run &run, const Prelude *prelude)
{
    if (documentOpen) {
        // The saving thread is idle since the document began.
        documentOpen = false;
        const bool continued = std::any_of(files.begin(), files.end(),
                                           [](const DayFile &file) { return file.continued; });
        if (!continued)
            output.discard();
        return saveHere(files, run, prelude);
    }
    // The bytes of the ready files, and about those of the run's copy.
    std::size_t size = 0;
    bool copied = false;
    for (const DayFile &file : files) {
        for (const std::string_view piece : file.pieces)
            size += piece.size();
        copied = copied || file.writer;
    }
    if ((copied || prelude) && run.points)
        size += run.points->byteSize();
    if (prelude)
        for (const std::string_view piece : prelude->bytes)
            size += piece.size();
    if (size < batchBytes) {
        queue(files, run, prelude);
        if (filling->size() >= batchBytes)
            return handOver();
        const std::lock_guard lock(mutex);
        return failure.isEmpty();
    }
    // A large run: the saving thread is idle once finish() returns.
    if (!finish())
        return false;
    return saveHere(files, run, prelude);
}

// Saves a run on this thread, while the saving thread is idle.
bool DayFileSaver::saveHere(std::span<const DayFile> files, const Run &run, const Prelude *prelude)
{
    QStringList names;
    QString error;
    partsPassed = true;
    const bool saved = saveNow(files, run, prelude, names, error);
    partsPassed = false;
    if (!saved) {
        const std::lock_guard lock(mutex);
        failure = error;
        return false;
    }
    runSaved(names);
    return true;
}

void DayFileSaver::queue(std::span<const DayFile> files, const Run &run, const Prelude *prelude)
{
    Batch::RunEntry entry{0, nullptr, prelude != nullptr, filling->bytes.size(), 0};
    if (prelude) {
        for (const std::string_view piece : prelude->bytes)
            filling->bytes.append(piece);
        entry.preludeSize = filling->bytes.size() - entry.preludeBegin;
    }
    // The copy is for the files that writers make, and for the prelude.
    RunCopy *copy = nullptr;
    if (prelude ||
        std::any_of(files.begin(), files.end(), [](const DayFile &file) { return file.writer; })) {
        auto &copies = filling->copies;
        if (filling->copiesUsed == copies.size())
            copies.push_back(std::make_unique<RunCopy>());
        copy = copies[filling->copiesUsed++].get();
        copy->assign(run);
        filling->copiedBytes += copy->size();
    }
    for (const DayFile &file : files) {
        const std::size_t begin = filling->bytes.size();
        for (const std::string_view piece : file.pieces)
            filling->bytes.append(piece);
        filling->files.push_back({file.name, begin, filling->bytes.size() - begin, file.writer});
    }
    entry.filesEnd = filling->files.size();
    entry.copy = copy;
    filling->runs.push_back(entry);
}

bool DayFileSaver::finish()
{
    if (!handOver())
        return false;
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !otherPending; });
    const bool failed = !failure.isEmpty();
    lock.unlock();
    collect(*other);
    return !failed;
}

QString DayFileSaver::error() const
{
    const std::lock_guard lock(mutex);
    return failure;
}

// Waits until the saving thread is done with the other batch, reports what it
// saved, and gives it the filled one.
bool DayFileSaver::handOver()
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !otherPending; });
    const bool failed = !failure.isEmpty();
    lock.unlock();
    collect(*other);
    if (failed) {
        filling->clear(2 * batchBytes); // runs after the failure are not saved
        return false;
    }
    if (filling->runs.empty())
        return true;
    std::swap(filling, other);
    lock.lock();
    otherPending = true;
    lock.unlock();
    changed.notify_all();
    return true;
}

void DayFileSaver::collect(Batch &batch)
{
    for (const QStringList &files : batch.saved)
        runSaved(files);
    batch.clear(2 * batchBytes);
}

void DayFileSaver::work()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return otherPending || partPending || stopping; });
        if (partPending) {
            lock.unlock();
            writePart();
            lock.lock();
            partPending = false;
            changed.notify_all();
            continue;
        }
        if (!otherPending)
            return;
        Batch &batch = *other;
        lock.unlock();
        save(batch);
        lock.lock();
        otherPending = false;
        changed.notify_all();
    }
}

// Runs on the saving thread, which alone touches the batch while it saves.
void DayFileSaver::save(Batch &batch)
{
    std::size_t first = 0;
    for (const Batch::RunEntry &entry : batch.runs) {
        views.clear();
        runFiles.clear();
        for (std::size_t i = first; i < entry.filesEnd; ++i)
            views.emplace_back(batch.bytes.data() + batch.files[i].begin, batch.files[i].size);
        for (std::size_t i = first; i < entry.filesEnd; ++i)
            runFiles.push_back(
                {batch.files[i].name, {&views[i - first], 1}, batch.files[i].writer});
        first = entry.filesEnd;
        const std::string_view bytes(batch.bytes.data() + entry.preludeBegin, entry.preludeSize);
        const Prelude prelude{{&bytes, bytes.empty() ? 0u : 1u}};
        QStringList names;
        if (QString error; !saveNow(runFiles, entry.copy ? entry.copy->run() : Run(),
                                    entry.prelude ? &prelude : nullptr, names, error)) {
            const std::lock_guard lock(mutex);
            failure = error;
            return;
        }
        batch.saved.push_back(names);
    }
}

bool DayFileSaver::saveNow(std::span<const DayFile> files, const Run &run, const Prelude *prelude,
                           QStringList &names, QString &error)
{
    if (prelude && !preludeWork(run, *prelude, error)) {
        output.discard(); // nothing of the run, not even a file begun in parts
        return false;
    }
    if (!saveFiles(files, run)) {
        error = output.error();
        return false;
    }
    for (const DayFile &file : files)
        names << file.name;
    return true;
}

bool DayFileSaver::saveFiles(std::span<const DayFile> files, const Run &run)
{
    // The file made in parts is ended first, before the others begin.
    for (const DayFile &file : files) {
        if (!file.continued)
            continue;
        output.renameLast(file.name);
        if (!output.addMore(file.pieces, true))
            return false;
    }
    for (const DayFile &file : files)
        if (!file.continued &&
            !(file.writer ? saveMade(file, run) : output.add(file.name, file.pieces)))
            return false;
    return output.commit();
}

// A file its writer makes: the parts it hands over are written as they come,
// in saveHere() by the saving thread while the writer makes the next. The
// sink holds one reference, small enough to need no allocation.
bool DayFileSaver::saveMade(const DayFile &file, const Run &run)
{
    struct Parts {
        DayFileSaver &saver;
        const QString &name;
        bool started = false, ok = true;
    } parts{*this, file.name};
    part.ok = true;
    file.writer->setPartSink([&parts](std::string_view made) {
        if (parts.ok)
            parts.ok = parts.saver.passPart(parts.name, !parts.started, made);
        parts.started = true;
    });
    const std::span<const std::string_view> rest = file.writer->write(run);
    file.writer->setPartSink({});
    if (!parts.ok || !partsWritten())
        return false;
    return parts.started ? output.addMore(rest, true) : output.add(file.name, rest);
}

// Writes a part of a made file, or passes a copy of it to the saving thread
// once that has written the one before; false once a part could not be written.
bool DayFileSaver::passPart(const QString &name, bool first, std::string_view bytes)
{
    if (!partsPassed)
        return first ? output.add(name, {&bytes, 1}, false) : output.addMore({&bytes, 1}, false);
    if (!partsWritten())
        return false;
    part.bytes.assign(bytes);
    part.name = name;
    part.first = first;
    {
        const std::lock_guard lock(mutex);
        partPending = true;
    }
    changed.notify_all();
    return true;
}

// Waits for the part passed to be written: true when every part of its file was.
bool DayFileSaver::partsWritten()
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !partPending; });
    return part.ok;
}

// On the saving thread, which alone touches the output and the part meanwhile.
void DayFileSaver::writePart()
{
    const std::string_view bytes = part.bytes;
    part.ok =
        part.first ? output.add(part.name, {&bytes, 1}, false) : output.addMore({&bytes, 1}, false);
}

} // namespace kelvane
