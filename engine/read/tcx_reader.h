#pragma once

// The reader of Training Center (TCX) files: a TrainingCenterDatabase whose
// Activities hold one Activity per outing, the legs of a multisport session
// among them. Every Activity is a run.
//
// The file streams by as XML tokens (see XmlTokenizer), checked to be
// well-formed; the reader follows only the few elements it takes values from
// and passes over the rest. An activity's bytes stay in the input's buffer
// from its start tag on until its start is known; then only while its own day
// file is written, which is the input's own bytes, handed over in parts as
// they are read. What the other day files need of it (its points, and its
// laps' texts, sport and notes, copied) is kept apart, so memory follows
// neither the file nor the bytes of one activity.

#include "read/tcx_author.h"
#include "read/xml_run_reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// What an element is to the TCX reader, known from its name and its parent's kind.
enum class TcxKind : std::uint8_t {
    Other, // passed over, and so is everything inside it
    Document,
    Root,
    Activities,
    Author,  // the program that wrote the file
    Courses, // planned routes, which are no runs
    Course,
    OlderHistory, // the History of Training Center v1, and the folders in it
    OlderRun,     // a Run in it
    Multisport,   // MultiSportSession, FirstSport, NextSport: they hold activities
    Activity,
    ActivityId,
    ActivityNotes,
    ActivityCreator, // the device that recorded it, and its Name
    CreatorName,
    Lap,
    LapSeconds,
    LapMeters,
    LapCalories,
    LapMaximumSpeed,
    LapAverageHeartRate, // AverageHeartRateBpm, and the Value inside it
    LapAverageHeartRateValue,
    LapMaximumHeartRate,
    LapMaximumHeartRateValue,
    Track,
    Trackpoint,
    Time,
    Position,
    Latitude,
    Longitude,
    Altitude,
    HeartRate,
    HeartRateValue,
    Cadence,
    PointExtensions,
    Tpx,
    Watts,
    RunCadence,
};

class TcxReader final : public XmlRunReader<TcxReader, TcxKind> {
  public:
    // Reads on from the bytes the buffer holds. utf16: the text is UTF-16,
    // which is not read (see read()).
    TcxReader(InputBuffer input, const ReadingOptions &options, bool utf16 = false);

    // Activities are numbered by their whole start date.
    NumberingRule numberingRule() const override { return NumberingRule::Date; }
    QString noRunHint() const override;
    QString sharedNotice() const override { return authorNotice; }

  private:
    friend XmlRunReader<TcxReader, TcxKind>;
    using Kind = TcxKind;
    using Text = XmlText;
    // A text an activity's start day may come from.
    struct StartCandidate {
        bool seen = false;
        std::string text;
    };
    struct OpenActivity {
        qint64 tagOffset = 0;
        qint64 begin = 0; // of its bytes in the day file: the blanks before its tag on its line
        bool recordingPoints = false;
        bool following = true; // its values are still taken
        qint64 bodyBegin = 0;  // of its bytes not yet handed over as a part of its day file
        std::size_t level = 0; // of its element in the open ones
        StartCandidate id, lap, point;
        std::string sport, notes, device;
        std::string activitiesTag; // the <Activities> start tag of its day file
    };
    struct LapTexts {
        std::string startTime, seconds, meters, calories;
        std::string maximumSpeed, averageHeartRate, maximumHeartRate;
    };
    struct TcxPointTexts : PointTexts {
        Text runCadence; // a running cadence, where no cadence is
    };
    struct NamespaceDeclaration {
        std::string name;  // xmlns or xmlns:prefix
        std::string whole; // as written
        std::size_t level; // of the element that declares it
    };

    void beforeReading();
    Kind childKind(Kind parent, std::string_view name) const;
    bool startElement();
    bool endElement(Kind kind, qint64 contentEnd);
    void startRoot();
    void declareNamespaces(std::size_t level);
    void openActivity();
    bool closeActivity();
    void startLap();
    void endTrackpoint();
    void decide(bool atEnd);
    void skip(const QString &reason);
    void runTooLarge();
    void keepValue(Kind kind, bool keep);
    void handOverBody();
    std::string_view activityBytes(qint64 end);
    void buildHead();
    void buildDocument();
    std::string_view view(const Text &text, const std::string &store) const
    {
        return values.view(text, store);
    }

    QString authorNotice;
    bool documentBuilt = false;     // of an activity, for its day file
    int courses = 0, olderRuns = 0; // what a file without activities holds

    // What every day file repeats of the input.
    std::string activitiesName;
    std::string activitiesIndentation;
    std::vector<NamespaceDeclaration> namespaces;
    TcxAuthor author;

    bool inActivity = false;
    OpenActivity activity;
    std::string activityStore; // expanded texts of the value being read, till it is copied
    std::vector<LapTexts> lapTexts;
    TcxPointTexts point;
    std::string pointStore; // expanded texts of the open track point

    std::string head, tail;
    std::string activityInUtf8; // the activity's bytes, when some are not UTF-8
};

} // namespace kelvane
