#pragma once

// The reader of FIT files, the binary activity files of watches and bike
// computers. A FIT activity file (file_id type 4) is one run, as the services
// that hand these files out show it: its sessions (a triathlon's swim, ride
// and run, with the transitions between) are the run's parts. FIT files
// chained one after another in one input are a run each, except those with
// no file_id of their own (the stored heart rate a device hands over after
// an activity): they belong to the file before them, and its own day file
// holds them too. Files of other types (courses, workouts, monitoring,
// settings, ...) are skipped; a file that names no type is an activity
// when it holds records with a time.
//
// The input streams by through the decoder (fit/fit_decoder.h). A run's
// start is known only at its file's end, where the sessions are written, so
// its records are kept until then as the numbers they are (about the bytes
// the file gives them), and its laps and sessions as messages. Its own day
// file is the FIT file's bytes, kept in the input's buffer only when that
// day file is asked for.

#include "fit/fit_decoder.h"
#include "input/chunk_reader.h"
#include "read/fit_heart_rates.h"
#include "read/open_run.h"
#include "run/run.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvane {

class FitReader final : public RunReader, private FitHandler {
  public:
    // Reads on from the bytes the buffer holds.
    FitReader(InputBuffer input, const ReadingOptions &options);

    // Activities are numbered by their whole start date, as TCX activities are.
    NumberingRule numberingRule() const override { return NumberingRule::Date; }
    void read(RunSink &sink) override;
    QString errorString() const override { return error; }
    QString notice() const override;

  private:
    void fileStart(const FitHeader &header) override;
    void fileId(const FitFileId &id, qint64 offset) override;
    void record(const FitRecord &record, qint64 offset) override;
    void lap(const FitLap &lap, qint64 offset) override;
    void session(const FitSession &session, qint64 offset) override;
    void activity(const FitActivity &activity, qint64 offset) override;
    void hr(const FitHr &hr, qint64 offset) override;
    void timestampCorrelation(const FitTimestampCorrelation &correlation, qint64 offset) override;
    void fileEnd(const FitFileRange &range) override;
    void problem(const FitProblem &problem) override;

    qint64 keepFrom() const;
    void beginFile(qint64 offset);
    void endRun();
    void decide();
    QString typelessContent() const;
    void skip(const QString &reason);
    void bound(qint64 offset);
    void keepDetails(Run &run);
    std::string_view keep(std::string_view text);

    ChunkReader input;
    const QString path;
    const ReadingOptions options;
    const bool keepDocument = options.content.keepsDocumentOf(RunFormat::Fit);
    FitDecoder decoder{*this};
    RunSink *sink = nullptr;
    bool stopped = false; // by an error in the input, or by the sink
    QString error;
    QString firstDamage; // what was wrong first, of what reading went past
    int damages = 0;

    // The FIT file being read: the open run.
    OpenRun current{RunFormat::Fit};
    qint64 fileOffset = 0; // of its header
    qint64 runEnd = 0;     // of its bytes read so far, its parts' included
    // Its file has ended; files chained after it may still be its parts.
    bool fileRead = false;
    bool partOpen = false; // such a file is being read, no file_id seen in it
    qint64 partOffset = 0; // of that file's header
    bool idSeen = false;
    std::optional<std::uint8_t> fileType;
    FitTime timeCreated, firstRecordTime;
    int records = 0, recordsWithTime = 0, hrMessages = 0;
    // The device's clock: UTC less its seconds since power-on, once known;
    // till then, the points that have only a device time, and those times.
    std::optional<std::int64_t> deviceClock;
    std::vector<std::pair<int, std::uint32_t>> deviceTimed;
    TrackPoints points;
    std::vector<FitLap> laps;
    std::vector<FitSession> sessions;
    std::optional<int> localOffset; // of the activity's local_timestamp
    QString device;                 // named by the file's file_id
    FitHeartRates heartRates;

    // What the kept run hands over besides its points.
    std::string_view document;
    std::string texts; // the texts of its laps and parts, reserved so that none moves
    std::vector<Lap> lapTexts;
    std::vector<RunPart> parts;
};

} // namespace kelvane
