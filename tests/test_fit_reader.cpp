// The FIT reader on activity files made here: the CSV, GPX 1.1 and TCX day
// files of their records, laps and sessions, line by line; sessions of
// several sports, chained files, stored heart rate, device times, damage, and
// files that are no activity.

#include "fit_file.h"
#include "history_text.h"
#include "input/memory_source.h"
#include "read/fit_reader.h"
#include "test_fixtures.h"

#include <QRegularExpression>
#include <QTest>

using namespace kelvane;
using namespace fixtures;
using history_text::WriteFile;

namespace {

constexpr qint64 T = 1000000030;          // 2021-09-08T01:47:10Z
constexpr qint64 kNone = -1;              // an unsigned field's invalid value: all its bits set
constexpr qint64 kFirstDate = 0x10000000; // 1998-07-03T21:24:16Z; times below count from power-on

// The local types of the files made here, defined once at the file's start.
enum Local { kId, kRecord, kLap, kSession, kTimed, kHr, kCorrelation };

// A file of the type (an activity), created then, its file_id written and
// its local types defined: the rows add its messages.
FitFile Activity(qint64 created = T, int type = 4)
{
    std::vector<Field> record = kRecordFields;
    record.push_back({13, 1, kSint8}); // temperature
    FitFile file;
    file.define(kId, kFileIdMessage, {{0, 1, kEnum}, {4, 4, kUint32}})
        .define(kRecord, kRecordMessage, record)
        .define(kLap, kLapMessage,
                {{2, 4, kUint32},
                 {7, 4, kUint32},
                 {8, 4, kUint32},
                 {9, 4, kUint32},
                 {11, 2, kUint16},
                 {15, 1, kUint8},
                 {16, 1, kUint8},
                 {23, 1, kEnum},
                 {24, 1, kEnum},
                 {25, 1, kEnum}})
        .define(kSession, kSessionMessage, {{2, 4, kUint32}, {5, 1, kEnum}, {26, 2, kUint16}})
        .define(kTimed, kRecordMessage, {{253, 4, kUint32}, {3, 1, kUint8}})
        .define(kHr, kHrMessage, kHrFields)
        .define(kCorrelation, kCorrelationMessage, {{253, 4, kUint32}, {1, 4, kUint32}});
    file.data(kId, {type, created});
    return file;
}

// The lines of a day file that hold a value: of XML, all but its
// declaration, its root element and the lines of a bare tag.
QString ValueLines(const QByteArray &file)
{
    static const QRegularExpression kBare(
        QStringLiteral("^(<\\?xml |<gpx |<TrainingCenterDatabase |</?[\\w:]+>$)"));
    QString lines;
    for (const QString &line :
         QString::fromUtf8(file).remove(u'\r').split(u'\n', Qt::SkipEmptyParts))
        if (!kBare.match(line).hasMatch())
            lines += line + u'\n';
    return lines;
}

} // namespace

class TestFitReader : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

  private Q_SLOTS:
    void dayFiles_data();
    void dayFiles();
    void stopWithinTheInput();
    void runBeyondTheBound_data();
    void runBeyondTheBound();
};

void TestFitReader::dayFiles_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("kinds"); // the day files: "csv", "gpx" (1.1), "tcx"
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *kinds, const QByteArray &input,
                        const char *expected) {
        QTest::newRow(name) << input << QString::fromLatin1(kinds) << QString::fromUtf8(expected);
    };
    row("a run of one lap", "csv gpx tcx",
        Activity()
            .data(kRecord, {T, 0x20000000, -0x10000000, 3117, 150, 80, 1234, 3456, 250, 21})
            .data(kRecord, {T + 1, 0x20000100, -0x10000100, 3120, 151, 81, 1567, 3400, 260, -2})
            .data(kRecord,
                  {T + 2, 0x7FFFFFFF, 0x7FFFFFFF, kNone, kNone, kNone, kNone, kNone, kNone, 0x7F})
            .data(kLap, {T, 2000, 2000, 333, 12, 150, 151, 0, 1, 1})
            .data(kSession, {T, 1, 1})
            .bytes(),
        "== 20210908_01_Wednesday.txt\nLatitude,Longitude,Altitude, Date,Time\n"
        "45,-22.5,123.4,2021-09-08,01:47:10\n45.00002146,-22.50002146,124,2021-09-08,01:47:11\n"
        "== 20210908_01_Wednesday.gpx\n<time>2021-09-08T01:47:10Z</time>\n<type>running</type>\n"
        "<trkpt lat=\"45\" lon=\"-22.5\">\n<ele>123.4</ele>\n<time>2021-09-08T01:47:10Z</time>\n"
        "<gpxtpx:atemp>21</gpxtpx:atemp>\n<gpxtpx:hr>150</gpxtpx:hr>\n"
        "<gpxtpx:cad>80</gpxtpx:cad>\n<pwr:PowerInWatts>250</pwr:PowerInWatts>\n"
        "<trkpt lat=\"45.00002146\" lon=\"-22.50002146\">\n<ele>124</ele>\n"
        "<time>2021-09-08T01:47:11Z</time>\n<gpxtpx:atemp>-2</gpxtpx:atemp>\n"
        "<gpxtpx:hr>151</gpxtpx:hr>\n<gpxtpx:cad>81</gpxtpx:cad>\n"
        "<pwr:PowerInWatts>260</pwr:PowerInWatts>\n== 20210908_01_Wednesday.tcx\n"
        "<Activity Sport=\"Running\">\n<Id>2021-09-08T01:47:10Z</Id>\n"
        "<Lap StartTime=\"2021-09-08T01:47:10Z\">\n<TotalTimeSeconds>2</TotalTimeSeconds>\n"
        "<DistanceMeters>3.33</DistanceMeters>\n<Calories>12</Calories>\n<Value>150</Value>\n"
        "<Value>151</Value>\n<Intensity>Active</Intensity>\n<TriggerMethod>Time</TriggerMethod>\n"
        "<Time>2021-09-08T01:47:10Z</Time>\n<LatitudeDegrees>45</LatitudeDegrees>\n"
        "<LongitudeDegrees>-22.5</LongitudeDegrees>\n<AltitudeMeters>123.4</AltitudeMeters>\n"
        "<DistanceMeters>12.34</DistanceMeters>\n<Value>150</Value>\n"
        "<ax2:Speed>3.456</ax2:Speed>\n<ax2:RunCadence>80</ax2:RunCadence>\n"
        "<ax2:Watts>250</ax2:Watts>\n<Time>2021-09-08T01:47:11Z</Time>\n"
        "<LatitudeDegrees>45.00002146</LatitudeDegrees>\n"
        "<LongitudeDegrees>-22.50002146</LongitudeDegrees>\n"
        "<AltitudeMeters>124</AltitudeMeters>\n<DistanceMeters>15.67</DistanceMeters>\n"
        "<Value>151</Value>\n<ax2:Speed>3.4</ax2:Speed>\n<ax2:RunCadence>81</ax2:RunCadence>\n"
        "<ax2:Watts>260</ax2:Watts>\n<Time>2021-09-08T01:47:12Z</Time>\n");
    // Its own day file: the file and the stored heart rate chained after it.
    row("the own format's", "fit",
        Activity().data(kTimed, {T, 100}).bytes() +
            FitFile().define(0, kHrMessage, kHrFields).data(0, {T, 150, 0}).bytes(),
        "== 20210908_01_Wednesday.fit\nthe input\n");
    // Lap times: a timer that stood still gives the elapsed time; intensity
    // and trigger in Training Center's words.
    row("laps", "tcx",
        Activity()
            .data(kTimed, {T, 100})
            .data(kLap, {T, 90000, 0, 100, 5, 120, 130, 1, 2, 1})
            .data(kLap, {T + 90, 60000, 50000, kNone, kNone, kNone, kNone, kNone, 3, 1})
            .data(kLap, {T + 150, 1000, 1000, 0, 0, 0, 0, 0, 7, 1})
            .data(kSession, {T, 1, 3})
            .bytes(),
        "== 20210908_01_Wednesday.tcx\n<Activity Sport=\"Running\">\n"
        "<Id>2021-09-08T01:47:10Z</Id>\n<Lap StartTime=\"2021-09-08T01:47:10Z\">\n"
        "<TotalTimeSeconds>90</TotalTimeSeconds>\n<DistanceMeters>1</DistanceMeters>\n"
        "<Calories>5</Calories>\n<Value>120</Value>\n<Value>130</Value>\n"
        "<Intensity>Resting</Intensity>\n<TriggerMethod>Distance</TriggerMethod>\n"
        "<Time>2021-09-08T01:47:10Z</Time>\n<Value>100</Value>\n"
        "<Lap StartTime=\"2021-09-08T01:48:40Z\">\n<TotalTimeSeconds>50</TotalTimeSeconds>\n"
        "<DistanceMeters>0</DistanceMeters>\n<Calories>0</Calories>\n"
        "<Intensity>Active</Intensity>\n<TriggerMethod>Location</TriggerMethod>\n"
        "<Lap StartTime=\"2021-09-08T01:49:40Z\">\n<TotalTimeSeconds>1</TotalTimeSeconds>\n"
        "<DistanceMeters>0</DistanceMeters>\n<Calories>0</Calories>\n"
        "<Intensity>Active</Intensity>\n<TriggerMethod>Manual</TriggerMethod>\n");
    // Sessions are the parts, each with the laps it counts, or where it does
    // not count them, those that start before the next session; the last
    // takes the laps left.
    row("a triathlon", "gpx tcx",
        Activity()
            .data(kLap, {T, 1000, 1000, 0, 0, 0, 0, 0, 0, 5})
            .data(kLap, {T + 10, 1000, 1000, 0, 0, 0, 0, 0, 0, 2})
            .data(kLap, {T + 20, 1000, 1000, 0, 0, 0, 0, 0, 0, 2})
            .data(kLap, {T + 30, 1000, 1000, 0, 0, 0, 0, 0, 0, 1})
            .data(kSession, {T, 5, 1})
            .data(kSession, {T + 10, 2, 0xFFFF})
            .data(kSession, {T + 30, 200, 7})
            .bytes(),
        "== 20210908_01_Wednesday.gpx\n<time>2021-09-08T01:47:10Z</time>\n"
        "<type>multisport</type>\n== 20210908_01_Wednesday.tcx\n<Activity Sport=\"Other\">\n"
        "<Id>2021-09-08T01:47:10Z</Id>\n<Lap StartTime=\"2021-09-08T01:47:10Z\">\n"
        "<TotalTimeSeconds>1</TotalTimeSeconds>\n<DistanceMeters>0</DistanceMeters>\n"
        "<Calories>0</Calories>\n<Intensity>Active</Intensity>\n"
        "<TriggerMethod>Manual</TriggerMethod>\n<Activity Sport=\"Biking\">\n"
        "<Id>2021-09-08T01:47:20Z</Id>\n<Lap StartTime=\"2021-09-08T01:47:20Z\">\n"
        "<TotalTimeSeconds>1</TotalTimeSeconds>\n<DistanceMeters>0</DistanceMeters>\n"
        "<Calories>0</Calories>\n<Intensity>Active</Intensity>\n"
        "<TriggerMethod>Manual</TriggerMethod>\n<Lap StartTime=\"2021-09-08T01:47:30Z\">\n"
        "<TotalTimeSeconds>1</TotalTimeSeconds>\n<DistanceMeters>0</DistanceMeters>\n"
        "<Calories>0</Calories>\n<Intensity>Active</Intensity>\n"
        "<TriggerMethod>Manual</TriggerMethod>\n<Activity Sport=\"Other\">\n"
        "<Id>2021-09-08T01:47:40Z</Id>\n<Lap StartTime=\"2021-09-08T01:47:40Z\">\n"
        "<TotalTimeSeconds>1</TotalTimeSeconds>\n<DistanceMeters>0</DistanceMeters>\n"
        "<Calories>0</Calories>\n<Intensity>Active</Intensity>\n"
        "<TriggerMethod>Manual</TriggerMethod>\n");
    row("no session: the laps' sport", "gpx",
        Activity().data(kLap, {T, 1000, 1000, 0, 0, 0, 0, 0, 0, 200}).bytes(),
        "== 20210908_01_Wednesday.gpx\n<time>2021-09-08T01:47:10Z</time>\n"
        "<type>sport 200</type>\n");
    row("starts on the first session's start", "gpx",
        Activity(T - 86400).data(kTimed, {T, 100}).data(kSession, {T + 86400, 1, 0}).bytes(),
        "== 20210909_01_Thursday.gpx\n<time>2021-09-09T01:47:10Z</time>\n<type>running</type>\n");
    row("else on the first record's time", "gpx",
        Activity(T - 86400).data(kTimed, {T, 100}).data(kTimed, {T - 2 * 86400, 100}).bytes(),
        "== 20210908_01_Wednesday.gpx\n<time>2021-09-08T01:47:10Z</time>\n<type>generic</type>\n");
    row("else on the time the file was created", "gpx", Activity(T - 86400).bytes(),
        "== 20210907_01_Tuesday.gpx\n<time>2021-09-07T01:47:10Z</time>\n<type>generic</type>\n");
    row("no time at all", "gpx", Activity(kNone).data(kTimed, {kNone, 100}).bytes(),
        "skipped: it holds no time to start it on: no session's start, no record's time and no "
        "time the file was created\n");
    row("no file type, nothing with a time", "gpx",
        Activity(kNone, 0xFF)
            .data(kTimed, {kNone, 100})
            .data(kTimed, {kNone, 100})
            .data(kSession, {kNone, 1, 0})
            .data(kHr, {kNone, 100, 0})
            .bytes(),
        "skipped: it is a FIT file that names no type and holds no record with a time (it holds "
        "2 records without a time, 1 session, 1 message of stored heart rate)\n");
    row("a file of a type of no name", "gpx", Activity(T, 99).data(kTimed, {T, 100}).bytes(),
        "report: in.fit: byte 0: not an activity: it is a FIT file of type 99\n");
    row("chained activities: a run each", "csv",
        Activity().data(kTimed, {T, 100}).bytes() + Activity().data(kTimed, {T + 5, 101}).bytes(),
        "== 20210908_01_Wednesday.txt\nLatitude,Longitude,Altitude, Date,Time\n"
        "== 20210908_02_Wednesday.txt\nLatitude,Longitude,Altitude, Date,Time\n");
    // A record's seconds since power-on: dated once the device's clock is
    // known, before or after it; a date before FIT's first is none.
    row("device times", "tcx",
        Activity()
            .data(kTimed, {1002, 100})
            .data(kTimed, {3, 101})
            .data(kCorrelation, {kFirstDate + 10, 1000})
            .data(kTimed, {1005, 102})
            .data(kTimed, {5, 103})
            .bytes(),
        "== 19980703_01_Friday.tcx\n<Activity Sport=\"Other\">\n<Id>1998-07-03T21:24:28Z</Id>\n"
        "<Lap StartTime=\"1998-07-03T21:24:28Z\">\n<TotalTimeSeconds>0</TotalTimeSeconds>\n"
        "<DistanceMeters>0</DistanceMeters>\n<Calories>0</Calories>\n"
        "<Intensity>Active</Intensity>\n<TriggerMethod>Manual</TriggerMethod>\n"
        "<Time>1998-07-03T21:24:28Z</Time>\n<Value>100</Value>\n"
        "<Time>1998-07-03T21:24:31Z</Time>\n<Value>102</Value>\n");
    row("damaged twice", "csv",
        WithByte(WithByte(Activity().data(kTimed, {T, 100}).bytes(), 12, 0), -1, 0),
        "== 20210908_01_Wednesday.txt\nLatitude,Longitude,Altitude, Date,Time\n"
        "\"in.fit\" is a damaged FIT file: byte 12: the FIT header's CRC is wrong; every whole "
        "record is read (1 more damages after it)\n");
    row("no FIT header after all", "csv", QByteArray("\x05\0\0\0\0\0\0\0.FIT", 12),
        "\"in.fit\" is a damaged FIT file: byte 0: no FIT file header\n");
}

void TestFitReader::dayFiles()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, kinds);
    QFETCH(QString, expected);
    const QString path = dir.filePath(QStringLiteral("in.fit"));
    QVERIFY(WriteFile(path, input));
    ConversionOptions options;
    options.dayFiles.setFlag(DayFileKind::OwnFormat, kinds.contains(u"fit"));
    options.dayFiles.setFlag(DayFileKind::Csv, kinds.contains(u"csv"));
    options.dayFiles.setFlag(DayFileKind::Gpx, kinds.contains(u"gpx"));
    options.dayFiles.setFlag(DayFileKind::Tcx, kinds.contains(u"tcx"));
    options.gpxVersion = GpxVersion::V1_1;
    const Converted converted = Convert(dir, path, options);
    QString shown;
    for (const QString &name : converted.saved)
        shown += "== " + name + "\n" +
                 (name.endsWith(u".fit") ? converted.file(name) == input ? "the input\n" : "other\n"
                                         : ValueLines(converted.file(name)));
    const ConversionSummary &summary = converted.summary;
    for (const SkippedRun &skipped : summary.skipped)
        shown += "skipped: " + skipped.reason + "\n";
    for (const InputReport &report : summary.inputReports)
        shown += "report: " + report.text + "\n";
    for (const QString &text : {summary.notice, summary.error})
        if (!text.isEmpty())
            shown += text + "\n";
    QCOMPARE(shown.replace(path, QStringLiteral("in.fit")), expected);
}

// A stop asked for once the first run's start is known: the reading ends
// within that run, and nothing of it or of the files after it is written.
void TestFitReader::stopWithinTheInput()
{
    struct Stopper final : ProgressSink {
        void beginDays(int, int) override { stop = true; }
        void setDay(int) override {}
        void showFileName(const QString &) override {}
        void fileSaved(const QString &) override { ++saved; }
        std::atomic_bool stop = false;
        int saved = 0;
    } stopper;
    const QByteArray one = Activity().data(kTimed, {T, 100}).data(kLap, {T}).bytes();
    const QString path = dir.filePath(QStringLiteral("in.fit"));
    QVERIFY(WriteFile(path, one + one + WithByte(one, -1, 0)));
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(EmptyFolder(out));
    const ConversionSummary summary = makeDayFiles(
        {path, out, {earliestDay(), kToday}, Kinds(DayFileKind::Csv), kToday, &stopper.stop},
        stopper);
    QVERIFY(summary.stopped);
    QCOMPARE(summary.runsRead, 1);
    QCOMPARE(stopper.saved, 0);
    QCOMPARE(summary.notice, QString());
}

void TestFitReader::runBeyondTheBound_data()
{
    QTest::addColumn<bool>("document"); // its own day file is asked for, its points not
    QTest::addColumn<int>("local");     // of the messages it holds many of
    QTest::newRow("its points") << false << int(kTimed);
    QTest::newRow("its stored heart rate") << false << int(kHr);
    QTest::newRow("its bytes, for its own day file") << true << int(kTimed);
}

// A run that holds more than the bound is skipped, and the file chained after
// it is read as ever.
void TestFitReader::runBeyondTheBound()
{
    QFETCH(bool, document);
    QFETCH(int, local);
    FitFile huge = Activity();
    for (int i = 0; i < 5000; ++i)
        huge.data(local, {T + i, 100, i * 1024});
    const QByteArray bytes = huge.data(kSession, {T}).bytes() +
                             Activity(T + 86400).data(kTimed, {T + 86400, 90}).bytes();
    struct Sink final : RunSink {
        void runOpened(RunFormat) override {}
        RunStart runStarts(std::string_view time) override { return {startDayOf(time), true}; }
        bool runEnded(Run *kept) override
        {
            if (kept)
                started << QByteArray(kept->startTime.data(), qsizetype(kept->startTime.size()));
            return true;
        }
        void runSkipped(const InputLocation &where, const QString &reason) override
        {
            skipped << QStringLiteral("%1: %2").arg(where.byteOffset).arg(reason);
        }
        QList<QByteArray> started;
        QStringList skipped;
    } sink;
    ReadingOptions options;
    options.content = {document ? RunFormats(RunFormat::Fit) : RunFormats(), !document, true};
    options.largestRun = 16 << 10;
    MemorySource source({bytes.constData(), std::size_t(bytes.size())});
    FitReader reader(InputBuffer(source, 4096), options);
    reader.read(sink);
    QCOMPARE(reader.errorString(), QString());
    QCOMPARE(sink.skipped, QStringList{"0: " + OpenRun::tooLargeReason(options.largestRun)});
    QCOMPARE(sink.started, QList<QByteArray>{"2021-09-09T01:47:10Z"});
}

QTEST_GUILESS_MAIN(TestFitReader)
#include "test_fit_reader.moc"
