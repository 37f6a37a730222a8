// Training Center files through the engine: the real files of the reference
// folder, the layouts files come in, how an activity's start day is chosen,
// the values of its points, its XML day file, and what ends a conversion.

#include "history_text.h"
#include "input/file_source.h"
#include "read/tcx_reader.h"
#include "tcx_text.h"
#include "test_fixtures.h"
#include "time/start_day.h"
#include "xml_check.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace kelvane;
using namespace fixtures;
using namespace tcx_text;
using history_text::ReadFile;
using history_text::WriteFile;

namespace {

using xml_check::Reference;

// A run as the reader handed it over, copied.
struct RecordedRun {
    QByteArray startTime, document, rows, sport, notes;
    QList<QByteArray> laps;   // start time, seconds, meters, calories, joined by "|"
    QList<QByteArray> extras; // heart rate, cadence, power of each point, joined by "|"
};

class RecordingSink final : public RunSink {
  public:
    void runOpened(RunFormat) override
    {
        ++opened;
        begun.clear();
    }
    // Parts of the document, when the sink takes them, are put before the rest.
    bool runDocumentPart(RunFormat, std::span<const std::string_view> pieces) override
    {
        for (const std::string_view piece : pieces)
            begun.append(piece.data(), qsizetype(piece.size()));
        parts += takesParts;
        return takesParts;
    }
    RunStart runStarts(std::string_view startTime) override
    {
        const QDate day = startDayOf(startTime);
        return {day, day.isValid()};
    }
    bool runEnded(Run *kept) override
    {
        if (!kept)
            return true;
        RecordedRun run;
        run.startTime = QByteArray(kept->startTime.data(), qsizetype(kept->startTime.size()));
        if (takesParts)
            run.document = begun;
        for (const std::string_view piece : kept->document)
            run.document.append(piece.data(), qsizetype(piece.size()));
        const auto bytes = [](std::string_view text) {
            return QByteArray(text.data(), qsizetype(text.size()));
        };
        run.rows = bytes(kept->points->csvRows());
        for (int i = 0; i < kept->points->size(); ++i) {
            const TrackPoint p = kept->points->at(i);
            run.extras << bytes(p.heartRate) + "|" + bytes(p.cadence) + "|" + bytes(p.power);
        }
        for (const Lap &lap : kept->laps)
            run.laps << bytes(lap.startTime) + "|" + bytes(lap.seconds) + "|" + bytes(lap.meters) +
                            "|" + bytes(lap.calories);
        run.sport = bytes(kept->sport);
        run.notes = bytes(kept->notes);
        runs << run;
        return true;
    }
    void runSkipped(const InputLocation &where, const QString &reason) override
    {
        skipped << QStringLiteral("%1: %2").arg(where.line).arg(reason);
    }

    bool takesParts = false;
    QByteArray begun;
    int parts = 0;
    int opened = 0;
    QList<RecordedRun> runs;
    QStringList skipped;
};

struct Reading {
    QList<RecordedRun> runs;
    QStringList skipped;
    QString error;
    int parts = 0; // of documents taken before their runs' ends
};

// How the day file that is the activity's own is taken.
enum class Document { Whole, InParts, None };

Reading Read(const QString &path, std::size_t chunkSize = 1 << 20,
             std::size_t largestRun = ReadingOptions::kLargestRun,
             Document document = Document::Whole)
{
    ReadingOptions options;
    options.content = {document == Document::None ? RunFormats() : kEveryRunFormat, true, true};
    options.largestRun = largestRun;
    FileSource file(path);
    if (!file.open())
        return {{}, {}, file.errorString()};
    TcxReader reader(InputBuffer(file, chunkSize), options);
    RecordingSink sink;
    sink.takesParts = document == Document::InParts;
    reader.read(sink);
    return {sink.runs, sink.skipped, reader.errorString(), sink.parts};
}

// A positioned track point as an independent XML parser reads it.
struct Point {
    QString lat, lon, alt;
    bool hasAltitude = false;
    QDateTime instant;
};

// The positioned points of every activity of a TCX file, in order.
QList<QList<Point>> PositionedPoints(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QList<QList<Point>> activities;
    bool inPoint = false;
    Point point;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"Activity") {
                activities.append(QList<Point>());
            } else if (name == u"Trackpoint") {
                inPoint = true;
                point = {};
            } else if (inPoint && name == u"Time") {
                point.instant =
                    QDateTime::fromString(xml.readElementText().trimmed(), Qt::ISODateWithMs)
                        .toUTC();
            } else if (inPoint && name == u"LatitudeDegrees") {
                point.lat = xml.readElementText().trimmed();
            } else if (inPoint && name == u"LongitudeDegrees") {
                point.lon = xml.readElementText().trimmed();
            } else if (inPoint && name == u"AltitudeMeters") {
                point.hasAltitude = true;
                point.alt = xml.readElementText().trimmed();
            }
        } else if (xml.isEndElement() && xml.name() == u"Trackpoint") {
            inPoint = false;
            if (!point.lat.isEmpty() && !activities.isEmpty())
                activities.last().append(point);
        }
    }
    return activities;
}

// The track points of a GPX day file.
QList<Point> GpxPoints(const QByteArray &gpx, QString &problem)
{
    QXmlStreamReader xml(gpx);
    QList<Point> points;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"trkpt") {
            Point point;
            point.lat = xml.attributes().value(QStringLiteral("lat")).toString();
            point.lon = xml.attributes().value(QStringLiteral("lon")).toString();
            points.append(point);
        } else if (xml.isStartElement() && xml.name() == u"ele") {
            points.last().hasAltitude = true;
            points.last().alt = xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == u"time") {
            points.last().instant =
                QDateTime::fromString(xml.readElementText(), Qt::ISODateWithMs).toUTC();
        }
    }
    if (xml.hasError())
        problem = xml.errorString();
    return points;
}

// Checks that a .tcx day file is well-formed and holds one activity.
QString CheckDocument(const QByteArray &document)
{
    QXmlStreamReader xml(document);
    int activities = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Activity")
            ++activities;
    if (xml.hasError())
        return xml.errorString();
    return activities == 1 ? QString() : QStringLiteral("%1 activities").arg(activities);
}

QStringList WithExtensions(const QStringList &baseNames)
{
    QStringList names;
    for (const QString &base : baseNames)
        names << base + QStringLiteral(".tcx") << base + QStringLiteral(".txt")
              << base + QStringLiteral(".gpx");
    return names;
}

const TcxPoint kP1{"2026-11-02T08:00:00Z", "47.6205", "-122.3493", "56.1", {}};
const TcxPoint kP2{"2026-11-02T08:00:05.250Z", "47.6207", "-122.3490", "57.0", {}};
const QByteArray kRows = "47.6205,-122.3493,56.1,2026-11-02,08:00:00\r\n"
                         "47.6207,-122.3490,57.0,2026-11-02,08:00:05.250\r\n";

} // namespace

Q_DECLARE_METATYPE(tcx_text::TcxPoint)

class TestTcxReader : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString input(const char *name = "activities.tcx") const
    {
        return dir.filePath(QLatin1String(name));
    }

  private Q_SLOTS:
    void referenceFiles_data();
    void referenceFiles();
    void layouts_data();
    void layouts();
    void startDays_data();
    void startDays();
    void pointValues_data();
    void pointValues();
    void dayFileDocument();
    void multisportNamespaces();
    void details();
    void malformed_data();
    void malformed();
    void tinyBuffers_data();
    void tinyBuffers();
    void formatByContent();
    void runBeyondTheBound();
};

void TestTcxReader::referenceFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("valid"); // the input validates against the TCX schema
    QTest::addColumn<QStringList>("baseNames");

    QTest::newRow("7 activities without tracks")
        << "FitnessHistoryDirectory.tcx" << true
        << QStringList{"20070818_01_Saturday", "20070807_01_Tuesday",  "20070726_01_Thursday",
                       "20070719_01_Thursday", "20070719_02_Thursday", "20070714_01_Saturday",
                       "20070712_01_Thursday"};
    QTest::newRow("multisport session of three legs")
        << "Multisport.tcx" << true
        << QStringList{"20130418_01_Thursday", "20130418_02_Thursday", "20130418_03_Thursday"};
    QTest::newRow("times with an offset")
        << "Wrong-time-zone-by-polar.tcx" << false << QStringList{"20160410_01_Sunday"};
    QTest::newRow("power, cadence, fractions")
        << "gtrnctr_power.tcx" << true << QStringList{"20100528_01_Friday"};
    QTest::newRow("one ride") << "history.tcx" << true << QStringList{"20080821_01_Thursday"};
    QTest::newRow("microseconds, no altitude")
        << "strava_export.tcx" << false << QStringList{"20241129_01_Friday"};
    QTest::newRow("two activities, two tracks in a lap")
        << "whiskey24_2_activities_2_tracks.tcx" << false
        << QStringList{"20200923_01_Wednesday", "20200923_02_Wednesday"};
    QTest::newRow("folders of references before the activity")
        << "dblock_20090528-202902.tcx" << false << QStringList{"20090528_01_Thursday"};
}

void TestTcxReader::referenceFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, valid);
    QFETCH(QStringList, baseNames);
    const QString path = Reference(QStringLiteral("tcx/") + file);
    REQUIRE_FILE(path);
    REQUIRE_XMLLINT();

    const Converted converted = Convert(dir, path, AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, WithExtensions(baseNames));
    QCOMPARE(converted.summary.runsSkipped, 0);

    const QList<QList<Point>> activities = PositionedPoints(path);
    QCOMPARE(activities.size(), baseNames.size());
    for (int a = 0; a < baseNames.size(); ++a) {
        const QString tcx = QDir(converted.folder).filePath(baseNames[a] + QStringLiteral(".tcx"));
        QCOMPARE(CheckDocument(ReadFile(tcx)), QString());
        if (valid)
            QCOMPARE(xml_check::SchemaErrors(tcx, xml_check::kTcxSchema), QString());

        // The GPX 1.0 schema wants its namespace, which the day files leave out.
        QByteArray gpx = converted.file(baseNames[a] + QStringLiteral(".gpx"));
        const QString withNamespace = dir.filePath(QStringLiteral("namespaced.gpx"));
        QVERIFY(WriteFile(
            withNamespace,
            QByteArray(gpx).replace("<gpx version=",
                                    "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" version=")));
        QCOMPARE(xml_check::SchemaErrors(withNamespace, Reference(QStringLiteral("gpx10.xsd"))),
                 QString());

        QString problem;
        const QList<Point> written = GpxPoints(gpx, problem);
        QCOMPARE(problem, QString());
        const QList<Point> &expected = activities[a];
        QCOMPARE(written.size(), expected.size());
        const QList<QByteArray> rows =
            converted.file(baseNames[a] + QStringLiteral(".txt")).split('\n');
        QCOMPARE(rows.size(), expected.size() + 2); // the header, and nothing after the last CR LF
        for (int i = 0; i < expected.size(); ++i) {
            const Point &w = written[i], &e = expected[i];
            QVERIFY(e.instant.isValid());
            QCOMPARE(w.lat, e.lat);
            QCOMPARE(w.lon, e.lon);
            QCOMPARE(w.hasAltitude, e.hasAltitude);
            QCOMPARE(w.alt, e.alt);
            QCOMPARE(w.instant, e.instant);
            const QList<QByteArray> fields = rows[i + 1].trimmed().split(',');
            QCOMPARE(fields.size(), 5);
            QCOMPARE(QString::fromUtf8(fields[0] + "," + fields[1] + "," + fields[2]),
                     e.lat + QLatin1Char(',') + e.lon + QLatin1Char(',') + e.alt);
            QCOMPARE(QDateTime::fromString(QString::fromUtf8(fields[3] + "T" + fields[4] + "Z"),
                                           Qt::ISODateWithMs),
                     e.instant);
        }
    }
}

// The same activity, written in the ways files come: every layout gives the
// same day files, and the XML day file holds the activity's bytes as read.
void TestTcxReader::layouts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("activity"); // the activity's bytes in the input

    const QByteArray activity = Activity("2026-11-02T08:00:00Z", {kP1, kP2});
    const QByteArray pretty = Tcx({activity});
    QTest::newRow("pretty-printed, LF") << pretty << activity;
    QByteArray crLf = pretty;
    QTest::newRow("CR LF") << crLf.replace("\n", "\r\n")
                           << QByteArray(activity).replace("\n", "\r\n");
    QByteArray oneLine = pretty;
    oneLine.replace("\n", "").replace("  ", "");
    QByteArray activityOnOneLine = activity;
    activityOnOneLine.replace("\n", "").replace("  ", "");
    QTest::newRow("one line") << oneLine << activityOnOneLine;
    QByteArray tabs = pretty;
    QTest::newRow("tab indentation")
        << tabs.replace("  ", "\t") << QByteArray(activity).replace("  ", "\t");

    QByteArray prefixed = activity;
    prefixed.replace("<", "<t:").replace("<t:/", "</t:");
    QByteArray prefixedFile = Tcx({prefixed}, QByteArray());
    prefixedFile.replace("<TrainingCenterDatabase xmlns=", "<t:TrainingCenterDatabase xmlns:t=")
        .replace("</TrainingCenterDatabase>", "</t:TrainingCenterDatabase>")
        .replace("Activities>", "t:Activities>");
    QTest::newRow("a prefix on every element") << prefixedFile << prefixed;

    QByteArray marked = activity;
    marked.replace("<LatitudeDegrees>47.6205<", "<LatitudeDegrees><!-- fix -->47.62<![CDATA[05]]><")
        .replace("<Time>2026-11-02T08:00:00Z<", "<Time> 2026-11-02T08:00:0&#48;Z\n<")
        .replace("<LongitudeDegrees>-122.3490<", "<LongitudeDegrees>&#x2D;122.3490<")
        .replace("<Activity Sport=\"Running\">",
                 "<Activity Sport=\"Running\" note=\"a &gt; b, &quot;c&quot;\">");
    QTest::newRow("comments, CDATA, references, blanks in values") << Tcx({marked}) << marked;

    QByteArray around = pretty;
    around
        .replace("<TrainingCenterDatabase",
                 "<!-- exported -->\n<?app keep?>\n<TrainingCenterDatabase")
        .replace("  <Activities>", "  <Folders/>\n  <!-- <Activities> -->\n  <Activities>");
    QTest::newRow("comments and instructions around") << around << activity;
}

void TestTcxReader::layouts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, activity);
    QVERIFY(WriteFile(input(), text));
    const Converted converted = Convert(dir, input(), AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, WithExtensions({QStringLiteral("20261102_01_Monday")}));
    QCOMPARE(converted.file(QStringLiteral("20261102_01_Monday.txt")),
             "Latitude,Longitude,Altitude, Date,Time\r\n" + kRows);
    const QByteArray document = converted.file(QStringLiteral("20261102_01_Monday.tcx"));
    QCOMPARE(CheckDocument(document), QString());
    QVERIFY2(document.contains(activity.trimmed()), document.constData());
}

void TestTcxReader::startDays_data()
{
    QTest::addColumn<QList<QByteArray>>("activities");
    QTest::addColumn<QStringList>("baseNames");
    QTest::addColumn<QStringList>("skipped"); // line: reason

    const TcxPoint late{"2026-11-04T23:50:00Z", "47.6", "-122.3", "40", {}};
    QTest::newRow("the Id's date")
        << QList<QByteArray>{Activity("2026-11-03T07:00:00Z", {late}, "2026-11-01T07:00:00Z")}
        << QStringList{"20261103_01_Tuesday"} << QStringList{};
    QTest::newRow("the Id's date as written, not in UTC")
        << QList<QByteArray>{Activity("2026-11-03T23:30:00-05:00", {late})}
        << QStringList{"20261103_01_Tuesday"} << QStringList{};
    QTest::newRow("an Id that is no date: the first lap's start")
        << QList<QByteArray>{Activity("Morning ride", {late}, "2026-11-01T07:00:00Z")}
        << QStringList{"20261101_01_Sunday"} << QStringList{};
    QTest::newRow("an Id crafted as a path")
        << QList<QByteArray>{Activity("../../../tmp/2026-11-01/x", {late}, "2026-11-01T07:00:00Z")}
        << QStringList{"20261101_01_Sunday"} << QStringList{};
    QTest::newRow("neither Id nor lap: the first point's time")
        << QList<QByteArray>{Activity("2026-02-30T07:00:00Z", {late}, "soon")}
        << QStringList{"20261104_01_Wednesday"} << QStringList{};
    QByteArray noId = Activity("x", {late}, "2026-11-02T07:00:00Z");
    noId.replace("      <Id>x</Id>\n", "");
    QTest::newRow("no Id at all") << QList<QByteArray>{noId} << QStringList{"20261102_01_Monday"}
                                  << QStringList{};
    QTest::newRow("an Id of a date alone: the first lap's start")
        << QList<QByteArray>{Activity("2026-11-03", {late}, "2026-11-04T01:00:00Z")}
        << QStringList{"20261104_01_Wednesday"} << QStringList{};
    // Line 4 holds the first <Activity> tag.
    QTest::newRow("nothing gives a date: skipped, the next one kept")
        << QList<QByteArray>{Activity("x", {}, "y"), Activity("2026-11-02T07:00:00Z")}
        << QStringList{"20261102_01_Monday"}
        << QStringList{"4: neither its Id (\"x\"), nor its first lap's StartTime, nor its first "
                       "track point's Time begins with a real date (YYYY-MM-DD)"};
    QTest::newRow("numbered by the whole date, a day coming back counts on")
        << QList<QByteArray>{Activity("2026-11-02T07:00:00Z"), Activity("2026-11-02T18:00:00Z"),
                             Activity("2026-12-02T07:00:00Z"), Activity("2026-11-02T21:00:00Z")}
        << QStringList{"20261102_01_Monday", "20261102_02_Monday", "20261202_01_Wednesday",
                       "20261102_03_Monday"}
        << QStringList{};
}

void TestTcxReader::startDays()
{
    QFETCH(QList<QByteArray>, activities);
    QFETCH(QStringList, baseNames);
    QFETCH(QStringList, skipped);
    QVERIFY(WriteFile(input(), Tcx(activities)));
    const Converted converted = Convert(dir, input(), AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, WithExtensions(baseNames));
    QCOMPARE(QDir(converted.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
             converted.saved.size());
    QStringList reported;
    for (const SkippedRun &run : converted.summary.skipped)
        reported << QStringLiteral("%1: %2").arg(run.line).arg(run.reason);
    QCOMPARE(reported, skipped);
    QCOMPARE(converted.summary.runsRead, activities.size());
}

void TestTcxReader::pointValues_data()
{
    QTest::addColumn<TcxPoint>("point");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("row");      // in the CSV day file; empty: no row
    QTest::addColumn<QByteArray>("gpxPoint"); // in the GPX day file

    QTest::newRow("UTC") << TcxPoint{"2026-11-02T08:00:00Z", "47.6", "-122.3", "40", {}} << 0
                         << QByteArray("47.6,-122.3,40,2026-11-02,08:00:00")
                         << QByteArray("<trkpt lat=\"47.6\" lon=\"-122.3\">\r\n<ele>40</ele>\r\n"
                                       "<time>2026-11-02T08:00:00Z</time>\r\n</trkpt>");
    QTest::newRow("an offset brought to UTC, fractions kept")
        << TcxPoint{"2026-11-02T08:00:00.125+02:00", "47.6", "-122.3", "40", {}} << 0
        << QByteArray("47.6,-122.3,40,2026-11-02,06:00:00.125")
        << QByteArray("<time>2026-11-02T06:00:00.125Z</time>");
    QTest::newRow("a west offset moves the date")
        << TcxPoint{"2026-12-31T21:30:00-05:00", "47.6", "-122.3", "40", {}} << 0
        << QByteArray("47.6,-122.3,40,2027-01-01,02:30:00")
        << QByteArray("<time>2027-01-01T02:30:00Z</time>");
    QTest::newRow("the hour offset after UTC, the date kept")
        << TcxPoint{"2026-11-02T01:00:00+02:00", "47.6", "-122.3", "40", {}} << -5
        << QByteArray("47.6,-122.3,40,2026-11-01,18:00:00")
        << QByteArray("<time>2026-11-01T18:00:00Z</time>");
    QTest::newRow("no altitude: an empty field, no ele")
        << TcxPoint{"2026-11-02T08:00:00Z", "47.6", "-122.3", {}, {}} << 0
        << QByteArray("47.6,-122.3,,2026-11-02,08:00:00")
        << QByteArray("<trkpt lat=\"47.6\" lon=\"-122.3\">\r\n<time>2026-11-02T08:00:00Z</time>");
    QTest::newRow("an empty altitude element stays")
        << TcxPoint{"2026-11-02T08:00:00Z", "47.6", "-122.3", "<!-- none -->", {}} << 0
        << QByteArray("47.6,-122.3,,2026-11-02,08:00:00") << QByteArray("<ele></ele>");
    QTest::newRow("a time that cannot be read: empty fields, no time")
        << TcxPoint{"yesterday", "47.6", "-122.3", "40", {}} << 0 << QByteArray("47.6,-122.3,40,,")
        << QByteArray("<ele>40</ele>\r\n</trkpt>");
    QTest::newRow("no position: left out")
        << TcxPoint{"2026-11-02T08:00:00Z", {}, {}, "40", {}} << 0 << QByteArray()
        << QByteArray("<trkseg>\r\n</trkseg>");
}

void TestTcxReader::pointValues()
{
    QFETCH(TcxPoint, point);
    QFETCH(int, offset);
    QFETCH(QByteArray, row);
    QFETCH(QByteArray, gpxPoint);
    QVERIFY(WriteFile(input(), Tcx({Activity("2026-11-02T07:00:00Z", {point})})));
    const Converted converted = Convert(dir, input(), AllFormats(offset));
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.file(QStringLiteral("20261102_01_Monday.txt")),
             "Latitude,Longitude,Altitude, Date,Time\r\n" + (row.isEmpty() ? row : row + "\r\n"));
    const QByteArray gpx = converted.file(QStringLiteral("20261102_01_Monday.gpx"));
    QVERIFY2(gpx.contains(gpxPoint), gpx.constData());
}

void TestTcxReader::dayFileDocument()
{
    const QByteArray activity = Activity("2026-11-02T07:00:00Z", {kP1});
    QByteArray text = Tcx({Activity("2026-10-02T07:00:00Z"), activity});
    text.replace("  <Activities>", "  <Folders/>\n  <Activities>")
        .replace("  <Author", "  <Workouts/>\n  <Author")
        .replace("</TrainingCenterDatabase>", "  <Extensions/>\n</TrainingCenterDatabase>");
    QVERIFY(WriteFile(input(), text));
    const Converted converted = Convert(dir, input(), AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.file(QStringLiteral("20261102_01_Monday.tcx")),
             kDeclaration + "\n" + kRoot + "\n  <Activities>\n" + activity + "  </Activities>\n" +
                 kAuthor + "</TrainingCenterDatabase>\n");
}

// A prefix declared around a leg of a multisport session stays bound in the
// leg's day file.
void TestTcxReader::multisportNamespaces()
{
    QByteArray leg = Activity("2026-11-02T07:00:00Z", {kP1});
    leg.replace("<Activity ", "<m:Activity ").replace("</Activity>", "</m:Activity>");
    const QByteArray text =
        Tcx({"    <MultiSportSession xmlns:m=\"http://www.garmin.com/xmlschemas/"
             "TrainingCenterDatabase/v2\">\n      <Id>2026-11-02T07:00:00Z</Id>\n"
             "      <FirstSport>\n" +
             leg + "      </FirstSport>\n    </MultiSportSession>\n"});
    QVERIFY(WriteFile(input(), text));
    const Converted converted = Convert(dir, input(), AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    const QByteArray document = converted.file(QStringLiteral("20261102_01_Monday.tcx"));
    QCOMPARE(CheckDocument(document), QString());
    QVERIFY2(document.contains("<Activities xmlns:m=\"http://www.garmin.com/xmlschemas/"
                               "TrainingCenterDatabase/v2\">\n" +
                               leg),
             document.constData());
}

void TestTcxReader::details()
{
    TcxPoint withExtras = kP1;
    withExtras.extra = "            <HeartRateBpm>\n              <Value>131</Value>\n"
                       "            </HeartRateBpm>\n"
                       "            <Cadence>88</Cadence>\n"
                       "            <Extensions>\n"
                       "              <ns3:TPX xmlns:ns3=\"http://www.garmin.com/xmlschemas/"
                       "ActivityExtension/v2\">\n"
                       "                <ns3:Speed>5.1</ns3:Speed>\n"
                       "                <ns3:Watts>212</ns3:Watts>\n"
                       "              </ns3:TPX>\n"
                       "            </Extensions>\n";
    TcxPoint heartOnly = kP2;
    heartOnly.extra =
        "            <HeartRateBpm><Value>&#49;32</Value></HeartRateBpm>\n"
        "            <Extensions><TPX><RunCadence>80</RunCadence></TPX></Extensions>\n";
    QByteArray activity = Activity("2026-11-02T07:00:00Z", {withExtras, heartOnly},
                                   "2026-11-02T07:00:01Z", "running");
    activity.replace("    </Activity>", "      <Notes>Rain &amp; wind</Notes>\n    </Activity>");
    QVERIFY(WriteFile(input(), Tcx({activity})));

    const Reading reading = Read(input());
    QCOMPARE(reading.error, QString());
    QCOMPARE(reading.runs.size(), 1);
    const RecordedRun &run = reading.runs[0];
    QCOMPARE(run.startTime, QByteArray("2026-11-02T07:00:00Z"));
    QCOMPARE(run.sport, QByteArray("running"));
    QCOMPARE(run.notes, QByteArray("Rain &amp; wind"));
    QCOMPARE(run.laps, QList<QByteArray>{"2026-11-02T07:00:01Z|60|100.5|7"});
    QCOMPARE(run.rows, kRows);
    QCOMPARE(run.extras, (QList<QByteArray>{"131|88|212", "132|80|"}));
}

void TestTcxReader::malformed_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("where"); // line and column in the message
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("saved"); // activities whose day files were saved first

    const QByteArray first = Activity("2026-11-02T07:00:00Z", {kP1});
    const QByteArray second = Activity("2026-11-03T07:00:00Z", {kP1});
    const QByteArray good = Tcx({first, second});
    // The second activity's <Id> line: 3 + the first activity's lines + 2.
    const int idLine = 3 + int(first.count('\n')) + 2;

    QTest::newRow("cut off inside an activity")
        << good.left(good.indexOf("<Calories>", good.indexOf("2026-11-03"))) << QString()
        << QStringLiteral("the file ends before the end tag </Lap>") << 1;
    QByteArray crossed = good;
    crossed.replace("<Id>2026-11-03T07:00:00Z</Id>", "<Id>2026-11-03T07:00:00Z</Lap>");
    QTest::newRow("an end tag that closes the wrong element")
        << crossed << QStringLiteral("line %1, column 31").arg(idLine)
        << QStringLiteral("the end tag </Lap> where </Id> was due") << 1;
    QByteArray entity = good;
    entity.replace("<Id>2026-11-03T07:00:00Z</Id>", "<Id>2026-11-03&nbsp;</Id>");
    QTest::newRow("an entity XML does not define")
        << entity << QStringLiteral("line %1, column 21").arg(idLine)
        << QStringLiteral("the reference &nbsp; names no character XML defines") << 1;
    QByteArray attribute = good;
    attribute.replace("<Activity Sport=\"Running\">\n      <Id>2026-11-02",
                      "<Activity Sport=\"Running\" Sport=\"Biking\">\n      <Id>2026-11-02");
    QTest::newRow("an attribute twice, in the first activity")
        << attribute << QStringLiteral("line 4, column 31")
        << QStringLiteral("the attribute Sport twice in <Activity") << 0;
    QTest::newRow("text after the root") << good + "trailing" << QStringLiteral("column 1")
                                         << QStringLiteral("text outside the root") << 2;
    QTest::newRow("a second root") << good + "<TrainingCenterDatabase/>" << QString()
                                   << QStringLiteral("a second root element") << 2;
}

void TestTcxReader::malformed()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, where);
    QFETCH(QString, what);
    QFETCH(int, saved);
    QVERIFY(WriteFile(input(), text));
    const Converted converted = Convert(dir, input(), AllFormats());
    QVERIFY(!converted.summary.ok());
    const QString &error = converted.summary.error;
    QVERIFY2(error.contains(input()), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("not well-formed XML: line ")), qPrintable(error));
    QVERIFY2(error.contains(where), qPrintable(error));
    QVERIFY2(error.contains(what), qPrintable(error));
    QCOMPARE(converted.summary.runsConverted, saved);
    QCOMPARE(QDir(converted.folder)
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                 .size(),
             3 * saved);
}

// Where the input's buffer is refilled must not matter: every token, value
// and activity may be cut by it. Nor whether the activity's own day file is
// taken in parts as it is read, or not written at all (its bytes then let go
// of as soon as what the other day files need of them is copied).
void TestTcxReader::tinyBuffers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("large"); // read in buffers of 4 KiB alone
    for (const char *name : {"history.tcx", "Multisport.tcx", "strava_export.tcx",
                             "FitnessHistoryDirectory.tcx", "whiskey24_2_activities_2_tracks.tcx"})
        QTest::newRow(name) << Reference(QStringLiteral("tcx/") + QLatin1String(name)) << false;
    // Characters of several bytes, and bytes that are not UTF-8, anywhere.
    QByteArray characters = Activity("2026-11-02T07:00:00Z", {kP1, kP2}, {}, "V\xc3\xa9lo \xe9");
    characters.replace("    </Activity>", "      <Notes>\xf0\x9f\x9a\xb2 \xe9t\xe9 \xe2\x82\xac"
                                          "\x80</Notes>\n    </Activity>");
    const QString mixed = input("characters.tcx");
    QVERIFY(WriteFile(mixed, Tcx({characters, characters})));
    QTest::newRow("characters of several bytes") << mixed << false;
    // An activity of many parts, a lap's texts and its notes after them.
    QList<TcxPoint> many(20000, kP1);
    QByteArray large = Activity("2026-11-02T07:00:00Z", many, {}, "V\xc3\xa9lo \xe9");
    large.replace("    </Activity>", "      <Lap StartTime=\"2026-11-02T08:00:00Z\">\n"
                                     "        <TotalTimeSeconds>6&#48;</TotalTimeSeconds>\n"
                                     "      </Lap>\n      <Notes>\xe9t\xe9 &amp; \xe2\x82\xac"
                                     "</Notes>\n    </Activity>");
    const QString longer = input("large.tcx");
    QVERIFY(WriteFile(longer, Tcx({large, characters})));
    QTest::newRow("an activity larger than a part of its day file") << longer << true;
}

void TestTcxReader::tinyBuffers()
{
    QFETCH(QString, path);
    QFETCH(bool, large);
    REQUIRE_FILE(path);
    const Reading whole = Read(path);
    QCOMPARE(whole.error, QString());
    QVERIFY(!whole.runs.isEmpty());
    for (const RecordedRun &run : whole.runs)
        QVERIFY(run.document.isValidUtf8() && run.notes.isValidUtf8() && run.sport.isValidUtf8());
    const std::size_t kLast = 4096;
    for (const std::size_t chunk : {std::size_t(1), std::size_t(7), std::size_t(300), kLast}) {
        if (large && chunk != kLast)
            continue;
        for (const Document document : {Document::Whole, Document::InParts, Document::None}) {
            if (document != Document::Whole && chunk != kLast)
                continue;
            const Reading cut = Read(path, chunk, ReadingOptions::kLargestRun, document);
            QCOMPARE(cut.error, QString());
            QCOMPARE(cut.runs.size(), whole.runs.size());
            QCOMPARE(cut.parts > 0, large && document == Document::InParts);
            for (int i = 0; i < whole.runs.size(); ++i) {
                QCOMPARE(cut.runs[i].document,
                         document == Document::None ? QByteArray() : whole.runs[i].document);
                QCOMPARE(cut.runs[i].rows, whole.runs[i].rows);
                QCOMPARE(cut.runs[i].extras, whole.runs[i].extras);
                QCOMPARE(cut.runs[i].laps, whole.runs[i].laps);
                QCOMPARE(cut.runs[i].notes, whole.runs[i].notes);
                QCOMPARE(cut.runs[i].sport, whole.runs[i].sport);
            }
        }
    }
}

// The root element decides, not the name; a UTF-16 file is refused by name.
void TestTcxReader::formatByContent()
{
    const QString asXml = input("export.xml");
    QVERIFY(WriteFile(asXml, Tcx({Activity("2026-11-02T07:00:00Z", {kP1})})));
    Converted converted = Convert(dir, asXml, AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, WithExtensions({QStringLiteral("20261102_01_Monday")}));

    const QString historyAsTcx = input("logbook.tcx");
    QVERIFY(WriteFile(historyAsTcx,
                      history_text::History({history_text::Run("2026-11-02T08:00:00Z")})));
    converted = Convert(dir, historyAsTcx, AllFormats());
    QVERIFY2(converted.summary.ok(), qPrintable(converted.summary.error));
    QCOMPARE(converted.saved.first(), QStringLiteral("20261102_01_Monday.xml"));

    QByteArray utf16 = "\xff\xfe";
    for (const char c : Tcx({Activity("2026-11-02T07:00:00Z")}))
        utf16.append(c).append('\0');
    const QString wide = input("wide.tcx");
    QVERIFY(WriteFile(wide, utf16));
    converted = Convert(dir, wide, AllFormats());
    QVERIFY2(converted.summary.error.contains(wide) &&
                 converted.summary.error.contains(QStringLiteral("UTF-16")),
             qPrintable(converted.summary.error));
    QCOMPARE(converted.saved, QStringList());
}

// An activity whose bytes pass the bound is skipped, the next one read as ever.
void TestTcxReader::runBeyondTheBound()
{
    QByteArray huge = Activity("2026-11-02T07:00:00Z", {kP1});
    huge.insert(huge.indexOf("</Track>"), QByteArray(1 << 20, ' '));
    QVERIFY(WriteFile(input(), Tcx({huge, Activity("2026-11-03T07:00:00Z", {kP1})})));
    const Reading read = Read(input(), 4096, 256 << 10);
    QCOMPARE(read.error, QString());
    QCOMPARE(read.skipped, QStringList{"0: " + OpenRun::tooLargeReason(256 << 10)});
    QCOMPARE(read.runs.size(), 1);
    QCOMPARE(read.runs[0].startTime, QByteArray("2026-11-03T07:00:00Z"));
}

QTEST_GUILESS_MAIN(TestTcxReader)
#include "test_tcx_reader.moc"
