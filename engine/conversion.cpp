// makeDayFiles: reads each input with the reader of its format and saves the
// day files of the runs inside the date window, whatever that format is.

#include "conversion_readers.h"
#include "day_file_kinds.h"
#include "input/input_list.h"
#include "kept_runs.h"
#include "library/library_folder.h"
#include "library/library_tracks.h"
#include "library/run_fingerprint.h"
#include "library/runs_csv.h"
#include "overview/overview_page.h"
#include "read/run_readers.h"
#include "run/figures_of_run.h"
#include "run/run_numbering.h"
#include "run/sports.h"
#include "run_listing.h"
#include "save/day_file_output.h"
#include "save/day_file_saver.h"
#include "save/output_folder_lock.h"
#include "time/instant.h"
#include "time/start_day.h"
#include "time/zone_offsets.h"
#include "write/day_file_writer.h"
#include "xml/xml_tokenizer.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>
#include <kelvane/run_list.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kelvane {

namespace {

constexpr int kMaxSkipDetails = 100;

// The inputs of a request, in the order they are read.
QStringList inputNames(const ConversionRequest &request)
{
    QStringList names = request.inputs;
    if (!request.inputFile.isEmpty())
        names.prepend(request.inputFile);
    return names;
}

QStringList pathsOf(const std::vector<InputFile> &files)
{
    QStringList paths;
    for (const InputFile &file : files)
        paths << file.path;
    return paths;
}

// The day files of the kept runs, saved into the output folder.
class DayFileSaving final : public KeptRuns {
  public:
    DayFileSaving(const ConversionRequest &request, ProgressSink &progress,
                  ConversionSummary &summary);
    RunContent needs() const override { return content; }
    bool begin() override;
    void protect(const QStringList &paths) override { saver.protect(paths); }
    bool take(Run &run, const QString &input, bool &numberUsed) override;
    bool documentPart(const Run &run, std::span<const std::string_view> pieces) override;
    void dropDocument() override
    {
        saver.dropDocument();
        partsPrint.reset();
    }
    bool failed() const override { return saveFailed; }
    QString finish() override;

  private:
    QString documentFileName(const Run &run) const;
    QString saveOverview();
    void runSaved(const QStringList &files);
    bool placeInLibrary(Run &run, const QString &input, CatalogueRow &row, bool &printLater,
                        std::optional<CatalogueRow> &replaced);
    bool journal(const Run &run, const DayFileSaver::Prelude &prelude, QString &error);
    void takeRows();

    const ConversionRequest &request;
    ProgressSink &progress;
    ConversionSummary &summary;
    struct Writer {
        DayFileKind kind;
        std::unique_ptr<DayFileWriter> writer;
    };
    std::vector<Writer> writers;              // in the order of writing
    std::vector<DayFileSaver::DayFile> files; // of the run being saved
    RunContent content;                       // what the writers need of a run
    std::optional<OutputFolderLock> lock;
    QString documentName; // of the document being written in parts
    bool saveFailed = false;
    // With --overview: the tracks of the library's runs, those of the runs
    // saved now put in.
    std::optional<LibraryTracks> tracks;
    std::optional<LibraryFolder> library; // with --library
    // The library's local starts: of the rows, on the saving thread; of a
    // duplicate named, here.
    std::optional<ZoneOffsets> zone, duplicateZone;
    // The rows of the runs handed to the saver, to be journalled on the
    // saving thread with their figures (and their fingerprints, when their
    // places did not need them), and the rows it journalled, in order.
    std::mutex rowsMutex;
    std::deque<CatalogueRow> rowsToJournal, rowsJournalled; // guarded
    // The library's rows that rowsToJournal's replace, kept until the new
    // ones are journalled: put back if they never are (saving failed).
    std::deque<std::optional<CatalogueRow>> rowsReplaced;
    std::optional<RunFingerprint> partsPrint; // of the parts of the open run's document
    // Last: its thread, which uses the members above, ends first.
    DayFileSaver saver;
};

class Conversion final : public RunSink {
  public:
    Conversion(const ConversionRequest &request, ProgressSink &progress, KeptRuns &kept,
               ConversionSummary &summary, RunReaderMaker makeReader = makeRunReader);
    ConversionSummary convert();

  private:
    void runOpened(RunFormat format) override
    {
        ++summary.runsRead;
        summary.fitActivities += format == RunFormat::Fit;
        if (recorded) {
            offsetTaken = false;
            runOffset.reset();
            zone->fix(std::nullopt);
        }
    }
    RunStart runStarts(std::string_view startTime) override;
    void runLocalOffset(int offsetSeconds) override;
    bool runEnded(Run *kept) override;
    void runSkipped(const InputLocation &where, const QString &reason) override;
    void runSetAside(const InputLocation &where, const QString &kind,
                     const QString &reason) override;
    bool runDocumentPart(RunFormat format, std::span<const std::string_view> pieces) override;
    QDate dayOf(std::string_view instant) override;

    bool stopRequested() const
    {
        return request.stop && request.stop->load(std::memory_order_relaxed);
    }
    void readInput(const Input &input, bool alone);
    void inputFailed(const QString &why);
    void report(const InputReport &report);
    void passedOver(const InputReport &report);
    void reportProgress(QDate startDay);
    bool take(Run &run);

    const ConversionRequest &request;
    ProgressSink &progress;
    KeptRuns &kept;
    const RunReaderMaker makeReader;
    std::optional<ZoneOffsets> zone; // whose days the runs are filed under
    std::optional<Sports> sports;    // those of the runs kept; none: every run
    // Runs filed under the local time their files give (recordedLocalTime):
    // the open run's offset, read once from its file, fixes the zone's.
    bool recorded = false;
    bool offsetTaken = false;
    std::optional<int> runOffset;
    ReadingOptions reading;
    bool saveFailed = false; // taking a run failed: nothing more is read
    const InputList *inputs = nullptr;
    QString inputName;       // of the input being read
    bool inputAlone = false; // it is the one input, named: its failure is the conversion's
    RunNumbering numbering;  // one for all inputs
    int openNumber = 0;      // of the run whose start was taken last
    QDate openDay;           // its day
    std::string lastDate;    // the text of the last date dayOf() read, and its day
    QDate lastDay;
    bool progressStarted = false;
    int progressMin = 0;
    int progressMax = 0;
    bool sharedNoticeGiven = false;
    ConversionSummary &summary;
};

DayFileSaving::DayFileSaving(const ConversionRequest &request, ProgressSink &progress,
                             ConversionSummary &summary)
    : request(request), progress(progress), summary(summary),
      saver(request.outputFolder, [this](const QStringList &files) { runSaved(files); })
{
    for (const DayFileKindRow &row : dayFileKindRows()) {
        if (!request.options.dayFiles.testFlag(row.name.kind))
            continue;
        writers.push_back({row.name.kind, makeDayFileWriter(row.name.kind, request.options)});
        const RunContent needs = writers.back().writer->needs();
        content.documents |= needs.documents;
        content.points |= needs.points;
        content.details |= needs.details;
    }
    // The page of the library is made from the library.
    if (request.options.library || request.options.overview) {
        // A run's fingerprint is of its document, its figures of its points.
        library.emplace(request.outputFolder);
        saver.setPrelude([this](const Run &run, const DayFileSaver::Prelude &prelude,
                                QString &error) { return journal(run, prelude, error); });
        content.documents = kEveryRunFormat;
        content.points = content.details = true;
        if (request.options.timeZone.isValid()) {
            zone.emplace(request.options.timeZone);
            duplicateZone.emplace(request.options.timeZone);
        }
    }
    if (request.options.overview)
        tracks.emplace();
}

bool DayFileSaving::begin()
{
    lock.emplace(
        request.outputFolder,
        [this] {
            progress.waiting(QStringLiteral("Waiting for another conversion into \"%1\" to end")
                                 .arg(request.outputFolder));
        },
        request.stop);
    if (request.stop && request.stop->load(std::memory_order_relaxed))
        return false;
    // With the lock held, hidden files of ours are left only by a program
    // that was killed while it saved.
    DayFileOutput::removeLeftovers(request.outputFolder);
    // A library that cannot be read is refused before anything is written.
    if (library && !library->load(summary.error))
        return false;
    const QString assets =
        QDir(request.outputFolder).filePath(QLatin1StringView(LibraryTracks::kFolderName));
    if (library && QFileInfo(assets).isDir())
        DayFileOutput::removeLeftovers(assets, true);
    if (tracks) {
        // A damaged file of tracks is written again, with the tracks of the
        // runs saved from now on.
        if (QString error; !tracks->load(request.outputFolder, error))
            summary.inputReports.append({error});
    }
    return true;
}

// Waits for the runs still being saved; the library then lists them.
QString DayFileSaving::finish()
{
    const bool saved = saver.finish();
    QString error = saved ? QString() : saver.error();
    if (library) {
        takeRows();
        // Rows never journalled: their runs were not saved.
        for (std::optional<CatalogueRow> &row : rowsReplaced)
            if (row)
                library->put(std::move(*row));
    }
    if (QString failure; library && !library->save(failure) && error.isEmpty())
        error = failure;
    // The library's runs.csv is saved before the page that is made from it.
    if (tracks && error.isEmpty())
        error = saveOverview();
    lock.reset();
    return error;
}

// The tracks of the runs the library holds, and the page of the library;
// empty, or what could not be saved.
QString DayFileSaving::saveOverview()
{
    QSet<QString> names;
    for (const CatalogueRow &row : library->catalogue().rows())
        names.insert(row.baseName);
    tracks->keepOnly(names);
    QString error;
    if (!tracks->save(request.outputFolder, error) ||
        !writeOverview(request.outputFolder, request.options.mapTiles, error))
        return error;
    return {};
}

Conversion::Conversion(const ConversionRequest &request, ProgressSink &progress, KeptRuns &kept,
                       ConversionSummary &summary, RunReaderMaker makeReader)
    : request(request), progress(progress), kept(kept), makeReader(std::move(makeReader)),
      summary(summary)
{
    if (request.options.timeZone.isValid())
        zone.emplace(request.options.timeZone);
    else if (request.options.recordedLocalTime)
        zone.emplace(QTimeZone::systemTimeZone());
    recorded = request.options.recordedLocalTime;
    reading.escapeHighCharacters = request.options.escapeHighCharacters;
    reading.stop = request.stop;
    reading.content = kept.needs();
    if (!request.options.sports.isEmpty()) {
        sports.emplace();
        readSportList(request.options.sports.join(u','), *sports);
        reading.content.details = true; // a run's sport is one of its details
    }
}

ConversionSummary Conversion::convert()
{
    if (!kept.begin()) {
        summary.stopped = summary.ok();
        return summary;
    }
    // Folders are walked and files looked up before the first is read, so
    // that no input, not even one read later, is replaced by a day file.
    const QStringList names = inputNames(request);
    InputList all(names, request.outputFolder, request.stop);
    for (const QString &notice : all.notices())
        report({notice});
    kept.protect(pathsOf(all.files()));
    inputs = &all;
    progress.bytesRead(0, all.totalBytes());
    while (const Input *input = all.next()) {
        if (stopRequested())
            break;
        readInput(*input, names.size() == 1 && input->named);
        progress.bytesRead(all.bytesRead(), all.totalBytes());
        if (saveFailed)
            break;
    }
    // A failure to save comes before any later one to read, as it concerns
    // an earlier part of the input.
    const QString error = kept.finish();
    summary.stopped = stopRequested();
    if (!error.isEmpty())
        summary.error = error;
    return summary;
}

// Each input is read once, front to back, whatever it is: its format is told
// from the first bytes, which its reader reads on from. A reading stopped on
// request, or by a failure to save, failed in nothing.
void Conversion::readInput(const Input &input, bool alone)
{
    ++summary.inputs;
    inputName = input.name;
    inputAlone = alone;
    if (!input.source && input.notGps && !input.named) {
        ++summary.inputsNotGps;
        return report({input.error});
    }
    if (!input.source)
        return inputFailed(input.error);
    Refusal refusal;
    const std::unique_ptr<RunReader> reader =
        makeReader(*input.source, input.named, reading, refusal);
    if (!reader && refusal.notGps && !input.named) {
        ++summary.inputsNotGps;
        ++summary.notGpsKinds[refusal.kinds];
        return passedOver({refusal.reason, false, true});
    }
    if (!reader)
        return inputFailed(refusal.reason);
    numbering.startInput(reader->numberingRule());
    const int runsBefore = summary.runsRead;
    reader->read(*this);
    kept.dropDocument(); // of a run the reading stopped inside
    summary.waypoints += reader->nonRuns().waypoints;
    summary.routes += reader->nonRuns().routes;
    if (const QString notice = reader->notice(); !notice.isEmpty()) {
        if (alone)
            summary.notice = notice;
        else
            report({notice});
    }
    if (const QString notice = reader->sharedNotice(); !notice.isEmpty() && !sharedNoticeGiven) {
        sharedNoticeGiven = true;
        report({notice});
    }
    if (stopRequested() || saveFailed)
        return;
    if (!reader->errorString().isEmpty())
        return inputFailed(reader->errorString());
    if (summary.runsRead > runsBefore)
        return;
    if (alone)
        summary.noRunHint = reader->noRunHint();
    else
        report({reader->noRunHint()});
}

void Conversion::inputFailed(const QString &why)
{
    ++summary.inputsFailed;
    if (inputAlone)
        summary.error = why;
    else
        report({why, true});
}

void Conversion::report(const InputReport &report)
{
    if (summary.inputReports.size() < kMaxSkipDetails && !report.text.isEmpty())
        summary.inputReports.append(report);
}

void Conversion::runLocalOffset(int offsetSeconds)
{
    if (!recorded)
        return;
    offsetTaken = true;
    runOffset = offsetSeconds;
    zone->fix(runOffset);
}

QDate Conversion::dayOf(std::string_view instant)
{
    // The first instant of a run asked of (its start, or a GPX track's first
    // point) gives its local time when written with an offset.
    if (recorded && !offsetTaken) {
        offsetTaken = true;
        runOffset = writtenOffset(instant);
        zone->fix(runOffset);
    }
    if (zone)
        return startDayIn(instant, *zone);
    // Asked of every track point: the date is read again only when its text changes.
    const std::string_view date = instant.substr(0, 10);
    if (date != lastDate) {
        lastDate.assign(date);
        lastDay = startDayOf(date);
    }
    return lastDay;
}

RunStart Conversion::runStarts(std::string_view startTime)
{
    const QDate day = dayOf(startTime);
    if (!day.isValid())
        return {};
    openNumber = numbering.numberRun(day);
    openDay = day;
    reportProgress(day);
    progress.bytesRead(inputs->bytesRead(), inputs->totalBytes());
    return {day, request.window.contains(day)};
}

void Conversion::reportProgress(QDate startDay)
{
    if (!progressStarted) {
        // The bar needs a range of at least one day, ending today.
        progressMax = daySerial(request.today);
        progressMin = std::min(daySerial(startDay), progressMax - 1);
        progress.beginDays(progressMin, progressMax);
        progressStarted = true;
    }
    progress.setDay(std::clamp(daySerial(startDay), progressMin, progressMax));
}

bool Conversion::runEnded(Run *kept)
{
    // A run is known to be of a sport asked for only once it is read whole
    // (a FIT file tells it at the end); its number is given all the same, so
    // that the others are named as without --sport.
    if (kept && sports) {
        const std::optional<Sport> sport = sportOfRun(*kept);
        if (!sport || !sports->testFlag(*sport)) {
            ++summary.runsLeftOutForSport;
            kept = nullptr;
        }
    }
    if (!kept || saveFailed || stopRequested())
        this->kept.dropDocument();
    if (stopRequested())
        return false;
    const bool ok = !saveFailed && (!kept || take(*kept));
    summary.fitActivitiesConverted += kept && kept->format == RunFormat::Fit;
    numbering.runEnded();
    saveFailed = saveFailed || !ok;
    return ok;
}

bool Conversion::take(Run &run)
{
    run.baseName = dayFileBaseName(run.startDay, openNumber);
    if (recorded)
        run.localOffset = runOffset;
    bool numberUsed = false;
    const bool ok = kept.take(run, inputName, numberUsed);
    if (numberUsed)
        numbering.numberUsed(run.startDay, openNumber);
    return ok;
}

// A kept run's document comes in parts when it is large (see
// DayFileSaver::continueDocument).
bool Conversion::runDocumentPart(RunFormat format, std::span<const std::string_view> pieces)
{
    Run run;
    run.startDay = openDay;
    run.format = format;
    run.baseName = dayFileBaseName(openDay, openNumber);
    const bool taken = kept.documentPart(run, pieces);
    saveFailed = saveFailed || kept.failed();
    return taken;
}

// The run's files are views into the reader's and the writers' buffers;
// saveRun() copies them or saves them before it returns.
bool DayFileSaving::take(Run &run, const QString &input, bool &numberUsed)
{
    files.clear();
    CatalogueRow row;
    bool printLater = false;
    std::optional<CatalogueRow> replaced;
    if (library && !placeInLibrary(run, input, row, printLater, replaced)) {
        numberUsed = false;
        dropDocument();
        return true; // a duplicate: nothing is written
    }
    partsPrint.reset();
    for (const auto &[kind, writer] : writers) {
        const QString name = run.baseName + writer->extension(run);
        // Two kinds may name the same file: the own format's and the TCX day
        // file of a TCX run, or the GPX day file of a GPX run. It is written
        // once, as the run's document unless the later kind converts the run
        // (a GPX version was asked for).
        const auto same = std::find_if(files.begin(), files.end(),
                                       [&](const auto &file) { return file.name == name; });
        if (same != files.end()) {
            if (!writesDocument(*writer, run))
                *same = {name, {}, writer.get()};
            continue;
        }
        // The own format's day file's name is shown before the file is written.
        if (kind == DayFileKind::OwnFormat)
            progress.showFileName(name);
        // A file made of the run's points and details may be written on the
        // saving thread; one that copies the document is written here.
        if (writesDocument(*writer, run))
            files.push_back({name, writer->write(run), nullptr,
                             run.documentContinued && name == documentFileName(run)});
        else
            files.push_back({name, {}, writer.get()});
    }
    numberUsed = !files.empty();
    DayFileSaver::Prelude prelude;
    if (library) {
        for (const DayFileSaver::DayFile &file : files) {
            const QString extension = file.name.mid(run.baseName.size());
            if (!row.dayFiles.contains(extension))
                row.dayFiles << extension;
        }
        // The row is journalled on the saving thread, before the run's files;
        // its fingerprint is taken there when its place did not need it.
        if (printLater)
            prelude.bytes = run.document;
        rowsReplaced.push_back(replaced);
        {
            const std::lock_guard lock(rowsMutex);
            rowsToJournal.push_back(row);
        }
        library->put(std::move(row));
    }
    saveFailed = !saver.saveRun(files, run, library ? &prelude : nullptr);
    return !saveFailed;
}

// On the thread that saves the run (or here, while that thread is idle):
// the run's row given its figures, and its fingerprint when its place did
// not need it, and journalled.
bool DayFileSaving::journal(const Run &run, const DayFileSaver::Prelude &prelude, QString &error)
{
    CatalogueRow row;
    {
        const std::lock_guard lock(rowsMutex);
        row = std::move(rowsToJournal.front());
        rowsToJournal.pop_front();
    }
    row.figures = runFigures(run, zone ? &*zone : nullptr);
    if (row.fingerprint.isEmpty()) {
        RunFingerprint fingerprint;
        for (const std::string_view piece : prelude.bytes)
            fingerprint.add(piece);
        row.fingerprint = fingerprint.result();
    }
    if (!library->journal(row, error))
        return false;
    // The page's track of the run, simplified here too; the tracks are the
    // saving thread's until the saver has finished.
    if (tracks && !row.dayFiles.isEmpty()) {
        std::string note;
        XmlTokenizer::textContent(run.notes, note);
        if (run.points)
            tracks->put(run.baseName, *run.points, note);
        else
            tracks->put(run.baseName, {{}, note});
    }
    const std::lock_guard lock(rowsMutex);
    rowsJournalled.push_back(std::move(row));
    return true;
}

// The rows the saving thread journalled, whole, put in the library.
void DayFileSaving::takeRows()
{
    std::deque<CatalogueRow> rows;
    {
        const std::lock_guard lock(rowsMutex);
        rows.swap(rowsJournalled);
    }
    for (CatalogueRow &row : rows) {
        rowsReplaced.pop_front();
        library->put(std::move(row));
    }
}

// The run's place in the library: false for a duplicate of a run it holds,
// which is named; otherwise the run's base name is set, and its row begun.
// The row holds the run's start and elapsed time, which place it; its other
// figures are the saving thread's. printLater: the place did not need the
// run's fingerprint, which the saving thread takes (the row's is left
// empty). replaced: the row of the library the run's replaces.
bool DayFileSaving::placeInLibrary(Run &run, const QString &input, CatalogueRow &row,
                                   bool &printLater, std::optional<CatalogueRow> &replaced)
{
    row.figures = runStartAndElapsed(run);
    row.input = input;
    bool waitFor = false;
    const bool near = library->needsFingerprint(row.figures, waitFor);
    QByteArray earlier; // the fingerprint as an earlier library took it
    std::size_t documentBytes = 0;
    for (const std::string_view piece : run.document)
        documentBytes += piece.size();
    // A document fingerprinted on the saving thread goes there as a copy (as
    // well as the run's own day file, maybe), which may make a run too large
    // to queue: it would be saved here, once the saving thread has run dry.
    // Its fingerprint is then taken here.
    const std::size_t pointBytes = run.points ? run.points->byteSize() : 0;
    printLater =
        !partsPrint && !near && documentBytes > 0 && saver.queues(2 * documentBytes + pointBytes);
    if (!printLater) {
        // A row near it may wait for its fingerprint from the saving thread.
        if (waitFor) {
            saver.finish();
            takeRows();
        }
        RunFingerprint whole(near && library->holdsEarlierFingerprints());
        RunFingerprint &fingerprint = partsPrint ? *partsPrint : whole;
        for (const std::string_view piece : run.document)
            fingerprint.add(piece);
        row.fingerprint = fingerprint.result();
        earlier = fingerprint.earlierResult();
    }
    const LibraryFolder::Place place =
        library->place(row.fingerprint, row.figures, run.startDay, input, earlier);
    if (place.duplicate) {
        ++summary.duplicates;
        QString start = run.startDay.toString(Qt::ISODate);
        if (const auto &at = row.figures.start) {
            const qint64 local = qint64(std::floor(*at)) +
                                 utcOffsetOf(run, *at, duplicateZone ? &*duplicateZone : nullptr);
            std::string text;
            appendMinute(text, local);
            start = QString::fromLatin1(text.data(), qsizetype(text.size()));
        }
        if (summary.inputReports.size() < kMaxSkipDetails)
            summary.inputReports.append(
                {QStringLiteral("%1: the run of %2 is already in the library as %3")
                     .arg(input, start, place.baseName)});
        return false;
    }
    run.baseName = place.baseName;
    row.baseName = place.baseName;
    if (place.row) {
        row.dayFiles = place.row->dayFiles;
        replaced = *place.row;
        // A row of an earlier library found by its fingerprint keeps it, so
        // that runs.csv is rewritten as it was.
        if (!earlier.isEmpty() && place.row->fingerprint == earlier)
            row.fingerprint = earlier;
    }
    return true;
}

// The name of the day file that is the run's document, which may be written
// while the run is read: empty when no kind writes the document (or another
// kind's file of the same name is written instead).
QString DayFileSaving::documentFileName(const Run &run) const
{
    for (const auto &[kind, writer] : writers) {
        if (!writesDocument(*writer, run))
            continue;
        const QString name = run.baseName + writer->extension(run);
        const bool replaced = std::any_of(writers.begin(), writers.end(), [&](const Writer &other) {
            return run.baseName + other.writer->extension(run) == name &&
                   !writesDocument(*other.writer, run);
        });
        return replaced ? QString() : name;
    }
    return {};
}

bool DayFileSaving::documentPart(const Run &run, std::span<const std::string_view> pieces)
{
    if (saveFailed)
        return true; // nothing more is saved: the parts need not be kept
    if (library) {
        // A library places a run at its end: the document's fingerprint is
        // taken as it comes, and the file is named when the run is saved (a
        // duplicate's is dropped). Where no day file is the document, only
        // its fingerprint is kept.
        if (!partsPrint) {
            partsPrint.emplace(library->holdsEarlierFingerprints());
            documentName = documentFileName(run);
        }
        for (const std::string_view piece : pieces)
            partsPrint->add(piece);
        if (documentName.isEmpty())
            return true;
    } else if (!saver.documentBegun()) {
        documentName = documentFileName(run);
        if (documentName.isEmpty())
            return false;
    }
    saveFailed = !saver.continueDocument(documentName, pieces);
    return true;
}

// Called for each run whose day files are saved, in the order of the file.
void DayFileSaving::runSaved(const QStringList &files)
{
    if (library)
        takeRows();
    ++summary.runsConverted;
    summary.filesWritten += int(files.size());
    for (const QString &name : files)
        progress.fileSaved(name);
}

void Conversion::runSkipped(const InputLocation &where, const QString &reason)
{
    ++summary.runsSkipped;
    if (summary.skipped.size() < kMaxSkipDetails)
        summary.skipped.append({where.line, reason, where.column, where.byteOffset, inputName});
}

// Such a file was counted as a run when it began; of a FIT file, as an activity.
void Conversion::runSetAside(const InputLocation &where, const QString &kind, const QString &reason)
{
    --summary.runsRead;
    --summary.fitActivities;
    ++summary.fitNotActivities[kind];
    // Named alone, it is said why nothing was converted.
    passedOver({QStringLiteral("%1: byte %2: not an activity: %3")
                    .arg(inputName)
                    .arg(where.byteOffset)
                    .arg(reason),
                false, !inputAlone});
}

void Conversion::passedOver(const InputReport &report)
{
    if (request.nameEveryFile)
        summary.inputReports.append(report);
    else
        this->report(report);
}

QString checkRequest(const ConversionRequest &request, bool listing)
{
    if (Sports sports; !request.options.sports.isEmpty())
        if (QString problem = readSportList(request.options.sports.join(u','), sports);
            !problem.isEmpty())
            return problem;
    if (request.options.hourOffset != 0 && request.options.timeZone.isValid())
        return QStringLiteral("An hour offset and a time zone do not go together");
    if (!request.window.first.isValid())
        return QStringLiteral("The first day of the date window is missing or not a real date");
    if (!request.window.last.isValid())
        return QStringLiteral("The last day of the date window is missing or not a real date");
    if (inputNames(request).isEmpty())
        return QStringLiteral("No input was given");
    if (listing)
        return {};
    if (const QFileInfo folder(request.outputFolder); !folder.isDir())
        return QStringLiteral("Cannot write day files into \"%1\": %2")
            .arg(request.outputFolder, folder.exists() ? QStringLiteral("not a folder")
                                                       : QStringLiteral("no such folder"));
    return {};
}

} // namespace

QString chooseSports(const QString &list, ConversionOptions &options)
{
    Sports sports;
    if (QString problem = readSportList(list, sports); !problem.isEmpty())
        return problem;
    options.sports.clear();
    for (const Sport sport : kEverySport)
        if (sports.testFlag(sport))
            options.sports << QString(sportName(sport));
    return {};
}

QStringList sportNames()
{
    QStringList names;
    for (const Sport sport : kEverySport)
        names << QString(sportName(sport));
    return names;
}

ConversionSummary makeDayFiles(const ConversionRequest &request, ProgressSink &progress)
{
    return makeDayFilesReadBy(request, progress, makeRunReader);
}

ConversionSummary makeDayFilesReadBy(const ConversionRequest &request, ProgressSink &progress,
                                     const RunReaderMaker &makeReader)
{
    if (const QString problem = checkRequest(request, false); !problem.isEmpty()) {
        ConversionSummary summary;
        summary.error = problem;
        return summary;
    }
    ConversionSummary summary;
    DayFileSaving saving(request, progress, summary);
    return Conversion(request, progress, saving, summary, makeReader).convert();
}

ConversionSummary listRuns(const ConversionRequest &request, RunListSink &list,
                           ProgressSink &progress)
{
    if (const QString problem = checkRequest(request, true); !problem.isEmpty()) {
        ConversionSummary summary;
        summary.error = problem;
        return summary;
    }
    ConversionSummary summary;
    RunListing listing(list, request.options.timeZone, summary);
    return Conversion(request, progress, listing, summary).convert();
}

} // namespace kelvane
