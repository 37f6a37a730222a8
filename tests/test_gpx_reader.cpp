// GPX files through the engine: the real files of the reference folder held
// against another converter's reading, a track of several days cut into a
// run a day (in UTC and in a time zone, all of it in the window or a day of
// it), its own GPX day files, which file bears the name .gpx, and where the
// input's buffer is refilled.

#include "gpx_text.h"
#include "history_text.h"
#include "input/file_source.h"
#include "read/gpx_reader.h"
#include "test_fixtures.h"
#include "xml_check.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace kelvane;
using namespace fixtures;
using history_text::ReadFile;
using history_text::WriteFile;
using xml_check::Reference;

namespace {

const QString kThreeDays = Reference(QStringLiteral("gpx/three_days.gpx"));

// The track points of a GPX file as an XML parser reads them, each as
// "lat lon time" as written ("-" for no time); a problem when it is not
// well-formed.
QStringList PointsOf(const QByteArray &gpx, QString &problem)
{
    QXmlStreamReader xml(gpx);
    QStringList points;
    QString time;
    bool inPoint = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"trkpt") {
            inPoint = true;
            time = QStringLiteral("-");
            points << QStringLiteral("%1 %2").arg(
                xml.attributes().value(QLatin1String("lat")).toString(),
                xml.attributes().value(QLatin1String("lon")).toString());
        } else if (inPoint && xml.isStartElement() && xml.name() == u"time") {
            time = xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == u"trkpt") {
            inPoint = false;
            points.last() += u' ' + time;
        }
    }
    if (xml.hasError())
        problem = xml.errorString();
    return points;
}

// A point as a CSV reading shows it: position and the instant in milliseconds.
struct CsvPoint {
    double lat = 0, lon = 0;
    qint64 time = -1;
};

// gpsbabel's unicsv rows (No,Latitude,Longitude,...,Date,Time) or the CSV day
// files' (lat,lon,alt,date,time): positions, and the date and time as one instant.
QList<CsvPoint> CsvPoints(const QByteArray &text, int latColumn, int dateColumn)
{
    QList<CsvPoint> points;
    const QList<QByteArray> lines = text.trimmed().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines[i].trimmed().split(',');
        const QString date = QString::fromLatin1(cells.value(dateColumn)).replace(u'/', u'-');
        const QDateTime at = QDateTime::fromString(
            date + u'T' + QString::fromLatin1(cells.value(dateColumn + 1)) + u'Z',
            Qt::ISODateWithMs);
        points.append({cells.value(latColumn).toDouble(), cells.value(latColumn + 1).toDouble(),
                       at.isValid() ? at.toMSecsSinceEpoch() : -1});
    }
    return points;
}

// The times of points of a run's own day file, as written: "hh:mm:ss" each, "-" for none.
QString TimesOf(const QByteArray &gpx)
{
    QString problem;
    QStringList times;
    for (const QString &point : PointsOf(gpx, problem)) {
        const QString time = point.section(u' ', 2);
        times << (time == u"-" ? time : time.section(u'T', 1));
    }
    return problem.isEmpty() ? times.join(u' ') : problem;
}

// A run as the reader handed it over, copied.
struct RecordedRun {
    QByteArray document, rows, laps;
    bool operator==(const RecordedRun &) const = default;
};

// Keeps the runs of one day, or of every day when none is given.
class RecordingSink final : public RunSink {
  public:
    explicit RecordingSink(QDate only) : only(only) {}
    void runOpened(RunFormat) override {}
    RunStart runStarts(std::string_view startTime) override
    {
        const QDate day = dayOf(startTime);
        return {day, day.isValid() && (only.isNull() || day == only)};
    }
    bool runEnded(Run *kept) override
    {
        if (!kept)
            return true;
        const auto bytes = [](std::string_view text) {
            return QByteArray(text.data(), qsizetype(text.size()));
        };
        RecordedRun run;
        for (const std::string_view piece : kept->document)
            run.document += bytes(piece);
        run.rows = bytes(kept->points->csvRows());
        for (const Lap &lap : kept->laps)
            run.laps += bytes(lap.seconds) + '|' + bytes(lap.meters);
        runs << run;
        return true;
    }
    void runSkipped(const InputLocation &, const QString &reason) override { skipped << reason; }

    const QDate only;
    QList<RecordedRun> runs;
    QStringList skipped;
};

} // namespace

class TestGpxReader : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString input() const { return dir.filePath(QStringLiteral("tracks.gpx")); }

  private Q_SLOTS:
    void referenceFiles_data();
    void referenceFiles();
    void daysOfATrack_data();
    void daysOfATrack();
    void startDays_data();
    void startDays();
    void oneFileBearsTheName_data();
    void oneFileBearsTheName();
    void extensionValues_data();
    void extensionValues();
    void tinyBuffers_data();
    void tinyBuffers();
    void runBeyondTheBound_data();
    void runBeyondTheBound();
};

void TestGpxReader::referenceFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("baseNames");
    QTest::newRow("a logger's six tracks")
        << "gpsbabel_mtk_logger_m241_multiple_tracks.gpx"
        << QStringList{"20121107_01_Wednesday", "20121118_01_Sunday", "20140619_01_Thursday",
                       "20140619_02_Thursday",  "20141123_01_Sunday", "20150407_01_Tuesday"};
    QTest::newRow("a logger's track and waypoints")
        << "gpsbabel_skytraq-miniHomer2_8.gpx" << QStringList{"20130815_01_Thursday"};
    QTest::newRow("a ride of 16 segments and waypoints")
        << "gc_1292585194-20906.gpx" << QStringList{"20100321_01_Sunday"};
    QTest::newRow("a bike app's file with extensions")
        << "gc_UrbanBiker2019-04-18_16-12.gpx" << QStringList{"20190418_01_Thursday"};
}

// Every point as gpsbabel reads it (count, positions, times), and each own
// day file well-formed, holding its track's points as the input does.
void TestGpxReader::referenceFiles()
{
    QFETCH(QString, file);
    QFETCH(QStringList, baseNames);
    const QString path = Reference(QStringLiteral("gpx/") + file);
    REQUIRE_FILE(path);
    const Converted converted =
        Convert(dir, path, Kinds(DayFileKind::OwnFormat | DayFileKind::Csv));
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QStringList expected;
    for (const QString &base : baseNames)
        expected << base + QStringLiteral(".gpx") << base + QStringLiteral(".txt");
    QCOMPARE(converted.saved, expected);

    QString problem;
    QStringList ownPoints;
    QList<CsvPoint> ours;
    for (const QString &base : baseNames) {
        ownPoints += PointsOf(converted.file(base + QStringLiteral(".gpx")), problem);
        QVERIFY2(problem.isEmpty(), qPrintable(base + QStringLiteral(": ") + problem));
        ours += CsvPoints(converted.file(base + QStringLiteral(".txt")), 0, 3);
    }
    QCOMPARE(ownPoints, PointsOf(ReadFile(path), problem));

    if (!xml_check::HaveProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed (Debian package gpsbabel)");
    QProcess gpsbabel;
    gpsbabel.start(QStringLiteral("gpsbabel"),
                   {"-t", "-i", "gpx", "-f", path, "-x", "nuketypes,waypoints,routes", "-o",
                    "unicsv", "-F", "-"});
    QVERIFY(gpsbabel.waitForFinished(60000));
    const QByteArray babel = gpsbabel.readAllStandardOutput();
    const QList<QByteArray> header = babel.left(babel.indexOf('\n')).trimmed().split(',');
    const QList<CsvPoint> theirs = CsvPoints(babel, 1, int(header.indexOf("Date")));
    QCOMPARE(ours.size(), theirs.size());
    for (qsizetype i = 0; i < ours.size(); ++i) {
        // gpsbabel writes six decimals.
        QVERIFY2(qAbs(ours[i].lat - theirs[i].lat) < 6e-7 &&
                     qAbs(ours[i].lon - theirs[i].lon) < 6e-7 && ours[i].time == theirs[i].time,
                 qPrintable(QStringLiteral("point %1").arg(i)));
    }
}

void TestGpxReader::daysOfATrack_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("only");       // the window's one day; null: every day
    QTest::addColumn<QStringList>("runs"); // each run's own day file and its points' times

    // A segment spans midnight, the next day ends with a segment, the third
    // begins with one; a track without times takes the file's.
    QTest::newRow("UTC") << QByteArray() << QDate()
                         << QStringList{"20260327_01_Friday.gpx: 14:50:00Z 15:10:00Z 23:50:00Z",
                                        "20260328_01_Saturday.gpx: 00:10:00Z 08:00:00Z 09:00:00Z",
                                        "20260329_01_Sunday.gpx: 09:00:00.500Z -",
                                        "20260327_02_Friday.gpx: -"};
    // Midnight in Tokyo is 15:00 UTC.
    QTest::newRow("Tokyo") << QByteArray("Asia/Tokyo") << QDate()
                           << QStringList{"20260327_01_Friday.gpx: 14:50:00Z",
                                          "20260328_01_Saturday.gpx: 15:10:00Z 23:50:00Z "
                                          "00:10:00Z 08:00:00Z 09:00:00Z",
                                          "20260329_01_Sunday.gpx: 09:00:00.500Z -",
                                          "20260328_02_Saturday.gpx: -"};
    QTest::newRow("one day of the window")
        << QByteArray() << QDate(2026, 3, 28)
        << QStringList{"20260328_01_Saturday.gpx: 00:10:00Z 08:00:00Z 09:00:00Z"};
}

// Each run's own day file is well-formed and valid as the input is, and
// holds its day's points; its CSV day file as many.
void TestGpxReader::daysOfATrack()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDate, only);
    QFETCH(QStringList, runs);
    ConversionOptions options = Kinds(DayFileKind::OwnFormat | DayFileKind::Csv);
    if (!zone.isEmpty())
        options.timeZone = QTimeZone(zone);
    const Converted converted =
        Convert(dir, kThreeDays, options,
                only.isNull() ? DateWindow{earliestDay(), kToday} : DateWindow{only, only});
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QStringList found;
    for (const QString &name : converted.saved) {
        if (!name.endsWith(QLatin1String(".gpx")))
            continue;
        const QByteArray own = converted.file(name);
        const QString times = TimesOf(own);
        found << name + QStringLiteral(": ") + times;
        const QString csv = name.chopped(4) + QStringLiteral(".txt");
        QCOMPARE(converted.file(csv).count('\n') - 1, times.count(u' ') + 1);
        if (xml_check::HaveProgram(QStringLiteral("xmllint")))
            QCOMPARE(xml_check::SchemaErrorsOf(own, xml_check::kGpx11Schema), QString());
    }
    QCOMPARE(found, runs);
}

void TestGpxReader::startDays_data()
{
    using namespace gpx_text;
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QString>("skipped");

    const QByteArray timeless = Track({Point({})});
    QTest::newRow("the first point with a time")
        << Gpx({Track({Point({}), Point("late"), Point("2026-11-03T08:00:00Z")})})
        << QStringList{"20261103_01_Tuesday.gpx"} << QString();
    QTest::newRow("no time: the file's, GPX 1.1")
        << Gpx({"  <metadata><time>2026-11-02T08:00:00Z</time></metadata>\n", timeless})
        << QStringList{"20261102_01_Monday.gpx"} << QString();
    QTest::newRow("no time: the file's, GPX 1.0")
        << Gpx({"  <time>2026-11-02T08:00:00Z</time>\n", timeless})
        << QStringList{"20261102_01_Monday.gpx"} << QString();
    QTest::newRow("no time anywhere: skipped, the next one kept")
        << Gpx({timeless, Track({Point("2026-11-02T08:00:00Z")})})
        << QStringList{"20261102_01_Monday.gpx"}
        << "3: none of its track points has a time naming a real day";
    QTest::newRow("tracks without segments")
        << Gpx({"  <metadata><time>2026-11-02T08:00:00Z</time></metadata>\n  <trk/>\n"
                "  <trk><name/></trk>\n"})
        << QStringList{"20261102_01_Monday.gpx", "20261102_02_Monday.gpx"} << QString();
}

void TestGpxReader::startDays()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, saved);
    QFETCH(QString, skipped);
    QVERIFY(WriteFile(input(), text));
    const Converted converted = Convert(dir, input(), Kinds(DayFileKind::OwnFormat));
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, saved);
    for (const QString &name : saved) {
        QString problem;
        PointsOf(converted.file(name), problem);
        QCOMPARE(problem, QString());
    }
    QCOMPARE(converted.summary.skipped.size(), int(!skipped.isEmpty()));
    for (const SkippedRun &run : converted.summary.skipped)
        QVERIFY2(QStringLiteral("%1: %2").arg(run.line).arg(run.reason).startsWith(skipped),
                 qPrintable(run.reason));
}

void TestGpxReader::oneFileBearsTheName_data()
{
    QTest::addColumn<int>("kinds");
    QTest::addColumn<bool>("convert");
    QTest::addColumn<int>("version"); // of the .gpx day file; 0: the run's own
    const int own = int(DayFileKind::OwnFormat), gpx = int(DayFileKind::Gpx);
    QTest::newRow("own format") << own << false << 0;
    QTest::newRow("GPX without a version") << gpx << false << 0;
    QTest::newRow("own format and GPX") << (own | gpx) << false << 0;
    QTest::newRow("GPX 1.0 asked for") << gpx << true << 10;
    QTest::newRow("own format and GPX 1.1 asked for") << (own | gpx) << true << 11;
}

// For GPX input the .gpx day file is the run's own unless a GPX version is
// asked for, which converts it; it is written once either way.
void TestGpxReader::oneFileBearsTheName()
{
    QFETCH(int, kinds);
    QFETCH(bool, convert);
    QFETCH(int, version);
    ConversionOptions options = Kinds(DayFileKinds::fromInt(kinds));
    options.convertGpxRuns = convert;
    options.gpxVersion = version == 11 ? GpxVersion::V1_1 : GpxVersion::V1_0;
    const Converted converted = Convert(dir, kThreeDays, options, {QDate(2026, 3, 29), kToday});
    QCOMPARE(converted.saved, QStringList{"20260329_01_Sunday.gpx"});
    QCOMPARE(converted.summary.filesWritten, 1);
    const QByteArray file = converted.file(converted.saved.first());
    QCOMPARE(file.contains("creator=\"Kelvane tests\""), version == 0);
    QCOMPARE(file.contains("<gpx version=\"1.0\""), version == 10);
    QCOMPARE(file.contains("<gpx version=\"1.1\" creator=\"Tessaly"), version == 11);
}

void TestGpxReader::extensionValues_data()
{
    QTest::addColumn<QByteArray>("extensions"); // of a point
    QTest::newRow("the device maker's")
        << QByteArray("<gpxtpx:TrackPointExtension><gpxtpx:atemp>21.5</gpxtpx:atemp>"
                      "<gpxtpx:hr>120</gpxtpx:hr></gpxtpx:TrackPointExtension>"
                      "<pwr:PowerInWatts>230</pwr:PowerInWatts>");
    QTest::newRow("a fitness site's plain power")
        << QByteArray("<power>230</power><ns3:TrackPointExtension><ns3:atemp>21.5</ns3:atemp>"
                      "<ns3:hr>120</ns3:hr></ns3:TrackPointExtension>");
}

// Power and temperature, as apps write them, reach the GPX 1.1 day file in
// the device maker's extensions, and power the TCX day file.
void TestGpxReader::extensionValues()
{
    QFETCH(QByteArray, extensions);
    const QByteArray point =
        gpx_text::Point("2026-11-02T08:00:00Z")
            .replace("</time>", "</time><extensions>" + extensions + "</extensions>");
    QVERIFY(
        WriteFile(input(), gpx_text::Gpx({gpx_text::Track({point, point})})
                               .replace("creator=\"test\"", "creator=\"test\" xmlns:gpxtpx=\"tpx\" "
                                                            "xmlns:ns3=\"tpx\" "
                                                            "xmlns:pwr=\"pwr\"")));
    ConversionOptions options = Kinds(DayFileKind::Gpx | DayFileKind::Tcx);
    options.convertGpxRuns = true;
    options.gpxVersion = GpxVersion::V1_1;
    const Converted converted = Convert(dir, input(), options);
    QCOMPARE(converted.saved, QStringList({"20261102_01_Monday.gpx", "20261102_01_Monday.tcx"}));
    const QByteArray gpx = converted.file(converted.saved[0]);
    const auto texts = [](const QByteArray &xml, const char *name) {
        QStringList found;
        for (QXmlStreamReader reader(xml); !reader.atEnd();)
            if (reader.readNext() == QXmlStreamReader::StartElement &&
                reader.name() == QLatin1StringView(name))
                found << reader.readElementText();
        return found.join(u' ');
    };
    QCOMPARE(texts(gpx, "PowerInWatts"), QStringLiteral("230 230"));
    QCOMPARE(texts(gpx, "atemp"), QStringLiteral("21.5 21.5"));
    QCOMPARE(texts(gpx, "hr"), QStringLiteral("120 120"));
    QCOMPARE(texts(converted.file(converted.saved[1]), "Watts"), QStringLiteral("230 230"));
    if (xml_check::HaveProgram(QStringLiteral("xmllint")))
        QCOMPARE(xml_check::SchemaErrorsOf(gpx, xml_check::kGpx11Schema), QString());
}

void TestGpxReader::tinyBuffers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QDate>("only");
    QTest::newRow("three days") << kThreeDays << QDate();
    QTest::newRow("the second of three days") << kThreeDays << QDate(2026, 3, 28);
    QTest::newRow("a bike app's file")
        << Reference(QStringLiteral("gpx/gc_UrbanBiker2019-04-18_16-12.gpx")) << QDate();
    // Characters of several bytes, and bytes that are not UTF-8, before and in
    // a track; points longer than what the reader's scanner keeps of its own.
    using namespace gpx_text;
    const QString mixed = input();
    QVERIFY(WriteFile(
        mixed, Gpx({Track({Point("2026-11-02T23:59:59Z"), Point("2026-11-03T00:00:00Z")},
                          "V\xc3\xa9lo \xe9t\xe9 \xf0\x9f\x9a\xb2 \x80")})
                   .replace("</time>\n", "</time>\n<desc>" + QByteArray(400, '-') + "</desc>\n")));
    QTest::newRow("characters of several bytes") << mixed << QDate(2026, 11, 3);
}

// Where the input's buffer is refilled must not matter: every token, value,
// run and cut may be split by it.
void TestGpxReader::tinyBuffers()
{
    QFETCH(QString, path);
    QFETCH(QDate, only);
    REQUIRE_FILE(path);
    const auto read = [&](std::size_t chunk, RunFormats documents) {
        ReadingOptions options;
        options.content = {documents, true, true};
        FileSource file(path);
        RecordingSink sink(only);
        if (file.open()) {
            GpxReader reader(InputBuffer(file, chunk), options);
            reader.read(sink);
            if (!reader.errorString().isEmpty())
                sink.runs.clear();
        }
        return sink.runs;
    };
    const QList<RecordedRun> whole = read(1 << 20, kEveryRunFormat);
    QVERIFY(!whole.isEmpty());
    for (const RecordedRun &run : whole)
        QVERIFY(run.document.isValidUtf8());
    // Without documents the reader keeps no bytes of a run but its point's.
    QList<RecordedRun> withoutDocuments = whole;
    for (RecordedRun &run : withoutDocuments)
        run.document.clear();
    for (const std::size_t chunk : {1, 7, 300}) {
        QCOMPARE(read(chunk, kEveryRunFormat), whole);
        QCOMPARE(read(chunk, {}), withoutDocuments);
    }
}

void TestGpxReader::runBeyondTheBound_data()
{
    QTest::addColumn<bool>("documents");
    QTest::addColumn<QByteArray>("between"); // each point of the first day's run
    QTest::newRow("its points") << false << QByteArray();
    QTest::newRow("its document's bytes") << true << QByteArray(200, ' ');
    QTest::newRow("its document's bytes between two points")
        << true << QByteArray(); // 1 MiB of blanks after the first point
}

// A run that holds more than the bound is skipped, and the runs after it are
// read as ever.
void TestGpxReader::runBeyondTheBound()
{
    QFETCH(bool, documents);
    QFETCH(QByteArray, between);
    using namespace gpx_text;
    const QDateTime start(QDate(2026, 11, 2), QTime(8, 0), Qt::UTC);
    QList<QByteArray> points;
    for (int i = 0; i < 10000; ++i)
        points << Point(start.addSecs(i).toString(Qt::ISODate).toLatin1()) + between;
    if (between.isEmpty() && documents)
        points[0] += QByteArray(1 << 20, ' ');
    QVERIFY(WriteFile(input(), Gpx({Track(points), Track({Point("2026-11-03T10:00:00Z")})})));
    ReadingOptions options;
    options.content = {documents ? kEveryRunFormat : RunFormats(), true, true};
    options.largestRun = 256 << 10;
    FileSource file(input());
    QVERIFY(file.open());
    RecordingSink sink({});
    GpxReader reader(InputBuffer(file, 4096), options);
    reader.read(sink);
    QCOMPARE(reader.errorString(), QString());
    QCOMPARE(sink.skipped, QStringList{OpenRun::tooLargeReason(options.largestRun)});
    QCOMPARE(sink.runs.size(), 1); // the second day's
}

QTEST_GUILESS_MAIN(TestGpxReader)
#include "test_gpx_reader.moc"
