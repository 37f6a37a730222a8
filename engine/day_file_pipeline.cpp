#include "day_file_pipeline.h"

#include "day_file_writers.h"

namespace kelvane {

DayFilePipeline::DayFilePipeline(QString folder) : output(std::move(folder))
{
    thread = std::thread([this] { work(); });
}

DayFilePipeline::~DayFilePipeline()
{
    finish();
}

bool DayFilePipeline::submit(RunFiles &run)
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !full; });
    if (failed)
        return false;
    std::swap(waiting, run);
    full = true;
    changed.notify_all();
    return true;
}

bool DayFilePipeline::finish()
{
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !full; });
        stopping = true;
        changed.notify_all();
    }
    if (thread.joinable())
        thread.join();
    return !failed;
}

QStringList DayFilePipeline::takeSaved()
{
    std::lock_guard lock(mutex);
    return std::exchange(saved, {});
}

int DayFilePipeline::runsSaved() const
{
    std::lock_guard lock(mutex);
    return runs;
}

QString DayFilePipeline::error() const
{
    std::lock_guard lock(mutex);
    return message;
}

void DayFilePipeline::work()
{
    for (;;) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return full || stopping; });
            if (!full)
                return;
        }
        // The reader does not touch `waiting` while it is full.
        QStringList names;
        const bool ok = save(waiting, names);
        waiting.lines.clear();
        waiting.track.clear();

        std::lock_guard lock(mutex);
        if (ok) {
            saved += names;
            ++runs;
        } else {
            failed = true;
            message = output.error();
        }
        full = false;
        changed.notify_all();
    }
}

// All files of the run are written before any of them gets its name.
bool DayFilePipeline::save(RunFiles &run, QStringList &names)
{
    auto add = [&](const char *extension, std::initializer_list<std::string_view> pieces) {
        names << run.DayFileName + QLatin1String(extension);
        return output.add(names.last(), pieces);
    };
    auto points = [&](const char *extension, void (*write)(std::string &, const TrackData &)) {
        fileBytes.clear();
        write(fileBytes, run.track);
        return add(extension, {fileBytes});
    };
    auto xml = [&] {
        const auto pieces = WriteXmlDayFile(xmlHead, run.XmlDeclLine, run.HistoryLine, run.lines);
        return add(".xml", {pieces[0], pieces[1], pieces[2]});
    };
    const bool added = (!run.xml || xml()) && (!run.csv || points(".txt", WriteCsvDayFile)) &&
                       (!run.gpx || points(".gpx", WriteGpxDayFile));
    return added && output.commit();
}

} // namespace kelvane
