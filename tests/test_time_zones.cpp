#include "fit_file.h"
#include "gpx_text.h"
#include "history_text.h"
#include "tcx_text.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;
using namespace history_text;

namespace {

const QDate kToday(2026, 12, 7);
const DateWindow kEverything{earliestDay(), kToday};

// "recorded Europe/Berlin": the local time each run's file gives, else Berlin's.
ConversionOptions InZone(const char *zone, DayFileKinds kinds = DayFileKind::OwnFormat)
{
    ConversionOptions options;
    options.dayFiles = kinds;
    QByteArray name(zone);
    options.recordedLocalTime = name.startsWith("recorded ");
    if (options.recordedLocalTime)
        name = name.mid(9);
    if (zone)
        options.timeZone = QTimeZone(name);
    return options;
}

// A FIT activity of one record at 2026-01-15T22:30:00Z, and its activity
// message with the device's local time that many seconds ahead, if any.
QByteArray FitRun(std::optional<int> localAhead)
{
    constexpr qint64 T = 1137450600; // 2026-01-15T22:30:00Z in FIT time
    FitFile fit;
    fit.define(0, 0, {{0, 1, kEnum}})
        .data(0, {4})
        .define(1, 20, {{253, 4, kUint32}, {0, 4, kSint32}, {1, 4, kSint32}})
        .data(1, {T, 626349397, 159874617});
    if (localAhead)
        fit.define(2, 34, {{253, 4, kUint32}, {5, 4, kUint32}}).data(2, {T, T + *localAhead});
    return fit.bytes();
}

} // namespace

// Runs filed under the days of a time zone: the local date of their start,
// daylight saving time included, east and west of UTC.
class TestTimeZones : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

    QString out() const { return dir.filePath(QStringLiteral("out")); }
    ConversionSummary convert(const QList<QList<QByteArray>> &runs,
                              const ConversionOptions &options,
                              const DateWindow &window = kEverything)
    {
        const QString input = dir.filePath(QStringLiteral("history.xml"));
        [&] { QVERIFY(WriteFile(input, History(runs))); }();
        SilentProgress progress;
        return makeDayFiles({input, out(), window, options, kToday}, progress);
    }
    QStringList files() const { return QDir(out()).entryList(QDir::Files, QDir::Name); }
    QByteArray file(const QString &name) const { return ReadFile(QDir(out()).filePath(name)); }

  private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (!QTimeZone("Europe/Berlin").isValid() || !QTimeZone("America/New_York").isValid())
            QSKIP("the system has no time zone data (Debian package tzdata)");
    }
    void init() { QVERIFY(EmptyFolder(out())); }

    void startDay_data();
    void startDay();
    void localDaysAreNumberedAndWindowedTogether();
    void pointTimes_data();
    void pointTimes();
    void oneRunAcrossChangesOfClock();
    void recordedLocalTimes_data();
    void recordedLocalTimes();
};

void TestTimeZones::startDay_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("startTime");
    QTest::addColumn<QString>("baseName");

    // Berlin: UTC+1, and UTC+2 from 29 March to 25 October 2026.
    QTest::newRow("Berlin, winter, a minute before midnight")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15T22:59:00Z")
        << "20260115_01_Thursday";
    QTest::newRow("Berlin, winter, midnight")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15T23:00:00Z")
        << "20260116_01_Friday";
    QTest::newRow("Berlin, summer, a minute before midnight")
        << QByteArray("Europe/Berlin") << QByteArray("2026-07-15T21:59:00Z")
        << "20260715_01_Wednesday";
    QTest::newRow("Berlin, summer, midnight")
        << QByteArray("Europe/Berlin") << QByteArray("2026-07-15T22:00:00Z")
        << "20260716_01_Thursday";
    // The evening after the clocks went forward: an hour offset of +1 would say 23:30.
    QTest::newRow("Berlin, 00:30 after the change to summer time")
        << QByteArray("Europe/Berlin") << QByteArray("2026-03-29T22:30:00Z")
        << "20260330_01_Monday";
    QTest::newRow("Berlin, 23:59 after the change to winter time")
        << QByteArray("Europe/Berlin") << QByteArray("2026-10-25T22:59:00Z")
        << "20261025_01_Sunday";
    QTest::newRow("Berlin, midnight before the change to winter time")
        << QByteArray("Europe/Berlin") << QByteArray("2026-10-24T22:00:00Z")
        << "20261025_01_Sunday";

    // New York: UTC-5, and UTC-4 from 8 March to 1 November 2026.
    QTest::newRow("New York, winter, a minute before midnight")
        << QByteArray("America/New_York") << QByteArray("2026-01-16T04:59:00Z")
        << "20260115_01_Thursday";
    QTest::newRow("New York, winter, midnight")
        << QByteArray("America/New_York") << QByteArray("2026-01-16T05:00:00Z")
        << "20260116_01_Friday";
    QTest::newRow("New York, 22:30 in summer")
        << QByteArray("America/New_York") << QByteArray("2026-07-16T02:30:00Z")
        << "20260715_01_Wednesday";
    QTest::newRow("New York, summer, midnight")
        << QByteArray("America/New_York") << QByteArray("2026-07-16T04:00:00Z")
        << "20260716_01_Thursday";
    QTest::newRow("New York, 23:30 before the change to summer time")
        << QByteArray("America/New_York") << QByteArray("2026-03-08T04:30:00Z")
        << "20260307_01_Saturday";
    QTest::newRow("New York, 23:30 after the change to summer time")
        << QByteArray("America/New_York") << QByteArray("2026-03-09T03:30:00Z")
        << "20260308_01_Sunday";

    QTest::newRow("a start time without a zone is UTC")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15T23:30:00") << "20260116_01_Friday";
    QTest::newRow("a start time with an offset")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15T23:30:00+01:00")
        << "20260115_01_Thursday";
    QTest::newRow("a start time with a fraction")
        << QByteArray("America/New_York") << QByteArray("2026-01-16T04:59:59.999Z")
        << "20260115_01_Thursday";
    QTest::newRow("a time of day that cannot be read keeps the date")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15Tlate") << "20260115_01_Thursday";
    // 22:30 UTC in UTC+3 is on the next day there, and the other way round.
    QTest::newRow("recorded: a start written with an offset")
        << QByteArray("recorded Europe/Berlin") << QByteArray("2026-01-16T01:30:00+03:00")
        << "20260116_01_Friday";
    QTest::newRow("recorded: a start written west of UTC")
        << QByteArray("recorded Europe/Berlin") << QByteArray("2026-01-15T20:30:00-05:00")
        << "20260115_01_Thursday";
    QTest::newRow("recorded: a start in UTC is filed under the zone's day")
        << QByteArray("recorded Europe/Berlin") << QByteArray("2026-01-15T23:30:00Z")
        << "20260116_01_Friday";
    QTest::newRow("no zone: the date as written")
        << QByteArray() << QByteArray("2026-01-15T23:30:00Z") << "20260115_01_Thursday";
}

void TestTimeZones::startDay()
{
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, startTime);
    QFETCH(QString, baseName);
    const auto summary =
        convert({Run(startTime)}, InZone(zone.isEmpty() ? nullptr : zone.constData()));
    QVERIFY2(summary.ok(), qPrintable(summary.error));
    QCOMPARE(files(), QStringList{baseName + QStringLiteral(".xml")});
}

// Two runs on two UTC dates that share one local day are that day's 01 and
// 02, and the date window looks at the local day too.
void TestTimeZones::localDaysAreNumberedAndWindowedTogether()
{
    const QList<QList<QByteArray>> runs = {Run("2026-01-15T23:30:00Z"), Run("2026-01-16T08:00:00Z"),
                                           Run("2026-01-16T23:10:00Z")};
    QVERIFY(convert(runs, InZone("Europe/Berlin"), {QDate(2026, 1, 16), QDate(2026, 1, 16)}).ok());
    QCOMPARE(files(), QStringList({"20260116_01_Friday.xml", "20260116_02_Friday.xml"}));
    init();
    QVERIFY(convert(runs, InZone("Europe/Berlin"), {QDate(2026, 1, 15), QDate(2026, 1, 15)}).ok());
    QCOMPARE(files(), QStringList());
}

void TestTimeZones::pointTimes_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("pointTime");
    QTest::addColumn<QByteArray>("csvDateAndTime");
    QTest::addColumn<QByteArray>("utc"); // in the GPX 1.1 and TCX day files; empty: pointTime

    QTest::newRow("Berlin, after midnight")
        << QByteArray("Europe/Berlin") << QByteArray("2026-01-15T23:30:05Z")
        << QByteArray("2026-01-16,00:30:05") << QByteArray();
    QTest::newRow("Berlin, the last second of winter time")
        << QByteArray("Europe/Berlin") << QByteArray("2026-03-29T00:59:59Z")
        << QByteArray("2026-03-29,01:59:59") << QByteArray();
    QTest::newRow("Berlin, the first second of summer time")
        << QByteArray("Europe/Berlin") << QByteArray("2026-03-29T01:00:00Z")
        << QByteArray("2026-03-29,03:00:00") << QByteArray();
    QTest::newRow("New York, the last second of summer time")
        << QByteArray("America/New_York") << QByteArray("2026-11-01T05:59:59Z")
        << QByteArray("2026-11-01,01:59:59") << QByteArray();
    QTest::newRow("New York, the first second of winter time")
        << QByteArray("America/New_York") << QByteArray("2026-11-01T06:00:00Z")
        << QByteArray("2026-11-01,01:00:00") << QByteArray();
    QTest::newRow("New York, before midnight, with a fraction")
        << QByteArray("America/New_York") << QByteArray("2026-01-16T04:59:59.250Z")
        << QByteArray("2026-01-15,23:59:59.250") << QByteArray();
    // The CSV file cuts the last character of any history time, as it always did.
    QTest::newRow("a time without Z counts as UTC")
        << QByteArray("Europe/Berlin") << QByteArray("2004-12-21T15:14:31")
        << QByteArray("2004-12-21,15:14:3") << QByteArray("2004-12-21T15:14:31Z");
    QTest::newRow("a time with an offset")
        << QByteArray("Europe/Berlin") << QByteArray("2004-12-21T16:14:31+01:00")
        << QByteArray("2004-12-21,16:14:31+01:0") << QByteArray("2004-12-21T15:14:31Z");
}

// The CSV day file shows the zone's local date and time of every point; GPX
// and TCX keep the instants in UTC, as those formats define.
void TestTimeZones::pointTimes()
{
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, pointTime);
    QFETCH(QByteArray, csvDateAndTime);
    QFETCH(QByteArray, utc);
    if (utc.isEmpty())
        utc = pointTime;
    ConversionOptions options =
        InZone(zone, DayFileKind::Csv | DayFileKind::Gpx | DayFileKind::Tcx);
    options.gpxVersion = GpxVersion::V1_1;
    QVERIFY(convert({Run(pointTime, {{"52.5", "13.4", "34", pointTime}})}, options).ok());
    const QStringList names = files();
    QCOMPARE(names.size(), 3);
    QCOMPARE(file(names.filter(QStringLiteral(".txt")).value(0)),
             Lines({"Latitude,Longitude,Altitude, Date,Time", "52.5,13.4,34," + csvDateAndTime}));
    // The run's start and its point.
    QCOMPARE(file(names.filter(QStringLiteral(".gpx")).value(0)).count("<time>" + utc + "</time>"),
             2);
    QVERIFY(
        file(names.filter(QStringLiteral(".tcx")).value(0)).contains("<Time>" + utc + "</Time>"));
}

// The zone's offset is looked up again at each change of clock within a run,
// in either direction.
void TestTimeZones::oneRunAcrossChangesOfClock()
{
    const QList<Point> points = {{"1", "2", "3", "2026-03-29T00:59:59Z"},
                                 {"1", "2", "3", "2026-03-29T01:00:00Z"},
                                 {"1", "2", "3", "2026-10-25T00:59:59Z"},
                                 {"1", "2", "3", "2026-10-25T01:00:00Z"},
                                 {"1", "2", "3", "2026-03-29T00:00:00Z"}};
    QVERIFY(
        convert({Run("2026-03-29T00:00:00Z", points)}, InZone("Europe/Berlin", DayFileKind::Csv))
            .ok());
    QCOMPARE(file(QStringLiteral("20260329_01_Sunday.txt")),
             Lines({"Latitude,Longitude,Altitude, Date,Time", "1,2,3,2026-03-29,01:59:59",
                    "1,2,3,2026-03-29,03:00:00", "1,2,3,2026-10-25,02:59:59",
                    "1,2,3,2026-10-25,02:00:00", "1,2,3,2026-03-29,01:00:00"}));
}

void TestTimeZones::recordedLocalTimes_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QByteArray>("csvDateAndTime"); // of the run's point

    const QByteArray west = "recorded America/New_York";
    QTest::newRow("a FIT file's local time")
        << west << "run.fit" << FitRun(3 * 3600) << "20260116_01_Friday"
        << QByteArray("2026-01-16,01:30:00");
    QTest::newRow("a FIT file without one: the zone's")
        << west << "run.fit" << FitRun(std::nullopt) << "20260115_01_Thursday"
        << QByteArray("2026-01-15,17:30:00");
    QTest::newRow("a FIT file's local time, another zone asked for")
        << QByteArray("America/New_York") << "run.fit" << FitRun(3 * 3600) << "20260115_01_Thursday"
        << QByteArray("2026-01-15,17:30:00");
    const tcx_text::TcxPoint tcxPoint{"2026-01-16T01:30:00+03:00", "52.5", "13.4", {}, {}};
    QTest::newRow("TCX times written with an offset")
        << west << "run.tcx" << tcx_text::Tcx({tcx_text::Activity(tcxPoint.time, {tcxPoint})})
        << "20260116_01_Friday" << QByteArray("2026-01-16,01:30:00");
    QTest::newRow("GPX times written with an offset")
        << west << "run.gpx"
        << gpx_text::Gpx({gpx_text::Track({gpx_text::Point("2026-01-16T01:30:00+03:00"),
                                           gpx_text::Point("2026-01-16T01:31:00+03:00")})})
        << "20260116_01_Friday" << QByteArray("2026-01-16,01:30:00");
    QTest::newRow("GPX times with an offset, another zone asked for")
        << QByteArray("America/New_York") << "run.gpx"
        << gpx_text::Gpx({gpx_text::Track({gpx_text::Point("2026-01-16T01:30:00+03:00")})})
        << "20260115_01_Thursday" << QByteArray("2026-01-15,17:30:00");
}

// --timezone recorded: each run is filed under the local day its own file
// gives, and its CSV day file shows that local time.
void TestTimeZones::recordedLocalTimes()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, input);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, baseName);
    QFETCH(QByteArray, csvDateAndTime);
    const QString path = dir.filePath(input);
    QVERIFY(WriteFile(path, bytes));
    SilentProgress progress;
    const auto summary = makeDayFiles(
        {path, out(), kEverything, InZone(zone, DayFileKind::OwnFormat | DayFileKind::Csv), kToday},
        progress);
    QVERIFY2(summary.ok(), qPrintable(summary.error));
    const QString own = baseName + input.mid(input.indexOf(u'.'));
    QCOMPARE(files(), QStringList({own, baseName + ".txt"}));
    const QList<QByteArray> rows = file(baseName + ".txt").split('\n');
    QVERIFY2(rows.value(1).endsWith("," + csvDateAndTime + "\r"), rows.value(1).constData());
}

QTEST_GUILESS_MAIN(TestTimeZones)
#include "test_time_zones.moc"
