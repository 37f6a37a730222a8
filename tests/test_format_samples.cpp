#include "history_text.h"
#include "split_process.h"
#include "xml_check.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

using history_text::EmptyFolder;

namespace {

// A track point or lap as a file holds it: texts as written, times as instants.
struct Point {
    QString latitude, longitude, altitude, heartRate, cadence, power, temperature;
    qint64 time = -1; // milliseconds since the epoch; -1: none
    bool hasPosition() const { return !latitude.isEmpty() && !longitude.isEmpty(); }
};
struct Lap {
    qint64 start = -1;
    QString seconds, meters, calories;
    int points = 0;
};
struct Track {
    QList<Point> points;
    QList<Lap> laps;
    QString error;
};

qint64 Milliseconds(const QString &text)
{
    const QDateTime at = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    return at.isValid() ? at.toMSecsSinceEpoch() : -1;
}

// "PT1259.400S" as the seconds a TCX lap shows.
QString DurationSeconds(const QString &duration)
{
    return duration.startsWith(QLatin1String("PT")) && duration.endsWith(QLatin1Char('S'))
               ? duration.mid(2, duration.size() - 3)
               : QString();
}

// Reads the points and laps of a history, TCX or GPX 1.1 file by element
// names, whatever the format: what each format calls a latitude, an altitude
// or a heart rate.
Track Read(const QByteArray &bytes)
{
    Track track;
    QXmlStreamReader reader(bytes);
    Point *point = nullptr;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::EndElement &&
            (reader.name() == QLatin1String("Trackpoint") ||
             reader.name() == QLatin1String("trkpt")))
            point = nullptr;
        if (!reader.isStartElement())
            continue;
        const QStringView name = reader.name();
        if (name == QLatin1String("Trackpoint") || name == QLatin1String("trkpt")) {
            track.points.append(Point());
            point = &track.points.last();
            point->latitude = reader.attributes().value(QLatin1String("lat")).toString();
            point->longitude = reader.attributes().value(QLatin1String("lon")).toString();
            if (!track.laps.isEmpty())
                ++track.laps.last().points;
        } else if (name == QLatin1String("Lap")) {
            track.laps.append(Lap());
            track.laps.last().start =
                Milliseconds(reader.attributes().value(QLatin1String("StartTime")).toString());
        } else if (point) {
            const auto text = [&] { return reader.readElementText(); };
            if (name == QLatin1String("Latitude") || name == QLatin1String("LatitudeDegrees"))
                point->latitude = text();
            else if (name == QLatin1String("Longitude") ||
                     name == QLatin1String("LongitudeDegrees"))
                point->longitude = text();
            else if (name == QLatin1String("Altitude") || name == QLatin1String("AltitudeMeters") ||
                     name == QLatin1String("ele"))
                point->altitude = text();
            else if (name == QLatin1String("Time") || name == QLatin1String("time"))
                point->time = Milliseconds(text());
            else if (name == QLatin1String("Value") || name == QLatin1String("hr"))
                point->heartRate = text();
            else if (name == QLatin1String("Cadence") || name == QLatin1String("RunCadence") ||
                     name == QLatin1String("cad"))
                point->cadence = text();
            else if (name == QLatin1String("Watts") || name == QLatin1String("PowerInWatts") ||
                     name == QLatin1String("power"))
                point->power = text();
            else if (name == QLatin1String("atemp"))
                point->temperature = text();
        } else if (!track.laps.isEmpty()) {
            Lap &lap = track.laps.last();
            if (name == QLatin1String("StartTime"))
                lap.start = Milliseconds(reader.readElementText());
            else if (name == QLatin1String("Duration"))
                lap.seconds = DurationSeconds(reader.readElementText());
            else if (name == QLatin1String("TotalTimeSeconds"))
                lap.seconds = reader.readElementText();
            else if (name == QLatin1String("Length") || name == QLatin1String("DistanceMeters"))
                lap.meters = reader.readElementText();
            else if (name == QLatin1String("Calories"))
                lap.calories = reader.readElementText();
        }
    }
    if (reader.hasError())
        track.error = reader.errorString();
    return track;
}

Track ReadFile(const QString &path)
{
    QByteArray bytes = split_process::ReadBack(path);
    // The reader knows UTF-8 only; no value compared here holds another character.
    bytes.replace("encoding=\"windows-1252\"", "encoding=\"ISO-8859-1\"");
    return Read(bytes);
}

// The points of all files, one file after the other.
Track ReadFiles(const QStringList &paths)
{
    Track all;
    for (const QString &path : paths) {
        const Track track = ReadFile(path);
        if (!track.error.isEmpty())
            all.error = path + QStringLiteral(": ") + track.error;
        all.points += track.points;
        all.laps += track.laps;
    }
    return all;
}

QString Describe(const Point &p)
{
    return QStringLiteral("%1,%2 alt %3 at %4 hr %5 cad %6 power %7 temperature %8")
        .arg(p.latitude, p.longitude, p.altitude)
        .arg(p.time)
        .arg(p.heartRate, p.cadence, p.power, p.temperature);
}

// The real FIT files and the laps each holds; gpsbabel leaves out some.
const QMap<QString, int> kFitLaps = {{"gc_10kUNLP2014-Garmin15.fit", 11},
                                     {"gc_SigmaRox11_1.fit", 5},
                                     {"gpsbabel_wahoo-element-bolt.fit", 1},
                                     {"gc_MultiSport-2019-11-24.fit", 112}};

// A FIT file's positioned points as gpsbabel reads them, and its laps.
Track FitReading(const QString &fit)
{
    QProcess gpsbabel;
    gpsbabel.start(QStringLiteral("gpsbabel"),
                   {"-i", "garmin_fit", "-f", fit, "-o", "gpx,garminextensions", "-F", "-"});
    gpsbabel.waitForFinished(120000);
    const QByteArray gpx = gpsbabel.readAllStandardOutput();
    Track track = Read(gpx);
    track.laps.resize(kFitLaps.value(QFileInfo(fit).fileName()));
    return track;
}

// Numbers of a FIT file: gpsbabel writes nine decimals of a degree and three
// of a metre, the day files as few as give the recorded value back; gpsbabel
// leaves out a cadence of 0.
bool SameNumber(const QString &theirs, const QString &ours, bool fromFit)
{
    return theirs == ours || (fromFit && std::abs(theirs.toDouble() - ours.toDouble()) < 1e-7);
}

// What a written point must show of an input point. An altitude the input
// lacks may be carried over from the point before. gpsbabel reads no power
// of a FIT file, and a TCX file has no temperature.
QString Compare(const Point &in, const Point &out, bool withPower, bool withTemperature,
                bool fromFit)
{
    const bool same = SameNumber(in.latitude, out.latitude, fromFit) &&
                      SameNumber(in.longitude, out.longitude, fromFit) && in.time == out.time &&
                      (in.altitude.isEmpty() || SameNumber(in.altitude, out.altitude, fromFit)) &&
                      in.heartRate == out.heartRate &&
                      SameNumber(in.cadence, out.cadence, fromFit) &&
                      (!withPower || in.power == out.power) &&
                      (!withTemperature || SameNumber(in.temperature, out.temperature, fromFit));
    return same ? QString() : Describe(in) + QStringLiteral(" became ") + Describe(out);
}

// The bundled sample, a real history file, real TCX, GPX and FIT files (some
// of them only in the shared reference folder), and a GPX track of three days.
QStringList Inputs()
{
    QStringList inputs = {QStringLiteral(KELVANE_SOURCE_DIR "/examples/walk.xml"),
                          xml_check::Reference(QStringLiteral("logbook_sample.xml"))};
    for (const char *name :
         {"history.tcx", "gtrnctr_power.tcx", "Multisport.tcx", "FitnessHistoryDirectory.tcx",
          "Wrong-time-zone-by-polar.tcx", "strava_export.tcx",
          "whiskey24_2_activities_2_tracks.tcx", "dblock_20090528-202902.tcx"})
        inputs << xml_check::Reference(QStringLiteral("tcx/") + QLatin1String(name));
    for (const char *name : {"three_days.gpx", "gpsbabel_mtk_logger_m241_multiple_tracks.gpx",
                             "gpsbabel_skytraq-miniHomer2_8.gpx", "gc_1292585194-20906.gpx",
                             "gc_UrbanBiker2019-04-18_16-12.gpx"})
        inputs << xml_check::Reference(QStringLiteral("gpx/") + QLatin1String(name));
    for (const QString &name : kFitLaps.keys())
        inputs << xml_check::Reference(QStringLiteral("fit/") + name);
    return inputs;
}

// The lines a script of tests/ prints of a FIT file with the FIT SDK for
// JavaScript; not installed where node or the SDK is not to be found.
struct FitSdkReading {
    bool installed = false;
    int exitCode = 0;
    QStringList lines;
};

constexpr char kNoFitSdk[] =
    "node or the FIT SDK for JavaScript is not installed (scripts/setup.sh puts it in tests/node)";

FitSdkReading ReadWithFitSdk(const char *script, const QString &input)
{
    QProcess node;
    node.setWorkingDirectory(QStringLiteral(KELVANE_SOURCE_DIR));
    node.start(QStringLiteral("node"),
               {QStringLiteral(KELVANE_SOURCE_DIR "/tests/") + QLatin1String(script), input});
    if (!node.waitForFinished(120000) || node.exitStatus() != QProcess::NormalExit ||
        node.exitCode() == 3)
        return {};
    return {true, node.exitCode(),
            QString::fromLatin1(node.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)};
}

// A row "input" for each reference file of a kind (its folder and
// extension: "fit"), or one of a missing file, which the test skips.
void addReferenceRows(const QString &kind)
{
    QTest::addColumn<QString>("input");
    const QDir folder(QDir(xml_check::kReference).filePath(kind));
    for (const QString &name : folder.entryList({QStringLiteral("*.") + kind}))
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
    if (folder.isEmpty())
        QTest::newRow("no reference files") << folder.filePath(QStringLiteral("none.") + kind);
}

} // namespace

// kelvane-split writing GPX 1.1 and TCX day files from real history, TCX and
// FIT files: every file valid against the published schema, every point, lap
// and extension value of the input in it (of a FIT file, as gpsbabel reads it).
class TestFormatSamples : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString out() const { return dir.filePath(QStringLiteral("out")); }
    // Converts input into the empty output folder; the day files with the
    // extension, in the order they were saved, which is the input's.
    QStringList convert(const QString &input, const QStringList &options, const QString &extension)
    {
        EmptyFolder(out());
        const auto result = split_process::Split(options + QStringList{"-q", "-C", out(), input});
        if (result.status != 0)
            qWarning("%s", result.err.constData());
        QStringList paths;
        for (const QString &name :
             QString::fromLocal8Bit(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (name.endsWith(extension))
                paths << QDir(out()).filePath(name);
        return paths;
    }

  private Q_SLOTS:
    void samples_data();
    void samples();
    void tcxReadBackByAnotherConverter_data();
    void tcxReadBackByAnotherConverter();
    void fitSdkReading_data();
    void fitSdkReading();
    void fitSdkSessionTotals_data();
    void fitSdkSessionTotals();
    void tcxLapTotals_data();
    void tcxLapTotals();
};

void TestFormatSamples::samples_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("format");
    for (const QString &input : Inputs())
        for (const char *format : {"GPX 1.1", "TCX"})
            QTest::addRow("%s, %s", qPrintable(QFileInfo(input).fileName()), format)
                << input << QString::fromLatin1(format);
}

void TestFormatSamples::samples()
{
    QFETCH(QString, input);
    QFETCH(QString, format);
    REQUIRE_FILE(input);
    REQUIRE_XMLLINT();
    const bool tcxInput = input.endsWith(QLatin1String(".tcx"));
    const bool gpxInput = input.endsWith(QLatin1String(".gpx"));
    const bool fit = input.endsWith(QLatin1String(".fit"));
    if (fit && !xml_check::HaveProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed (Debian package gpsbabel)");
    const bool gpx = format == QLatin1String("GPX 1.1");
    const QStringList files =
        convert(input, gpx ? QStringList{"--gpx-version", "1.1"} : QStringList{"--tcx"},
                gpx ? QStringLiteral(".gpx") : QStringLiteral(".tcx"));
    QVERIFY(!files.isEmpty());

    // A TCX input's TCX day file is its own document: valid if the input is.
    const bool mustBeValid =
        gpx || !tcxInput || xml_check::SchemaErrors(input, xml_check::kTcxSchema).isEmpty();
    for (const QString &file : files) {
        const QString errors =
            xml_check::SchemaErrors(file, gpx ? xml_check::kGpx11Schema : xml_check::kTcxSchema);
        QVERIFY2(!mustBeValid || errors.isEmpty(), qPrintable(errors));
    }

    const Track in = fit ? FitReading(input) : ReadFile(input);
    const Track result = ReadFiles(files);
    QVERIFY2(in.error.isEmpty(), qPrintable(in.error));
    QVERIFY(tcxInput || !in.points.isEmpty());
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    // GPX needs a position, so a point without one is left out there; a TCX
    // day file made of the points, a time (and gpsbabel reads no point
    // without a position of a FIT file).
    QList<Point> expected, written;
    for (const Point &point : in.points)
        if (gpx ? point.hasPosition() : tcxInput || point.time >= 0)
            expected << point;
    for (const Point &point : result.points)
        if (!fit || point.hasPosition())
            written << point;
    QCOMPARE(written.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString difference = Compare(expected[i], written[i], !fit, gpx, fit);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("point %1: ").arg(i) + difference));
    }
    // A track's points make a lap of their own.
    if (gpx || gpxInput)
        return;
    if (fit) {
        // The own format's day file of a FIT run is the file as it came.
        const QStringList copies = convert(input, {"--xml"}, QStringLiteral(".fit"));
        QCOMPARE(copies.size(), 1);
        QVERIFY(split_process::ReadBack(copies[0]) == split_process::ReadBack(input));
    }
    if (tcxInput) {
        // The XML day file of a TCX run is the same file: it is written once.
        QVERIFY(EmptyFolder(out()));
        const auto both = split_process::Split({"--xml", "--tcx", "-C", out(), input});
        QCOMPARE(both.status, 0);
        QStringList names =
            QString::fromLocal8Bit(both.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(names.size(), files.size());
        QCOMPARE(names.removeDuplicates(), 0);
    }

    QCOMPARE(result.laps.size(), in.laps.size());
    for (qsizetype i = 0; i < in.laps.size() && !fit; ++i) {
        const Lap &a = in.laps[i], &b = result.laps[i];
        QCOMPARE(b.start, a.start);
        QCOMPARE(b.seconds, a.seconds);
        QCOMPARE(b.meters, a.meters);
        QCOMPARE(b.calories, a.calories);
        if (tcxInput)
            QCOMPARE(b.points, a.points);
    }
    // Each point lies in the lap during which it was recorded (a TCX input's
    // own laps are kept as they are, whatever the device wrote).
    if (tcxInput)
        return;
    qsizetype point = 0;
    for (qsizetype i = 0; i < result.laps.size(); ++i) {
        for (int n = 0; n < result.laps[i].points; ++n, ++point) {
            const qint64 time = result.points[point].time;
            QVERIFY(i == 0 || time >= result.laps[i].start);
            QVERIFY(i + 1 == result.laps.size() || time < result.laps[i + 1].start);
        }
    }
}

void TestFormatSamples::tcxReadBackByAnotherConverter_data()
{
    QTest::addColumn<QString>("input");
    for (const QString &input : Inputs())
        QTest::newRow(qPrintable(QFileInfo(input).fileName())) << input;
}

// Another converter reads every point of each TCX day file.
void TestFormatSamples::tcxReadBackByAnotherConverter()
{
    QFETCH(QString, input);
    REQUIRE_FILE(input);
    if (!xml_check::HaveProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed (Debian package gpsbabel)");
    const QStringList files = convert(input, {"--tcx"}, QStringLiteral(".tcx"));
    QVERIFY(!files.isEmpty());
    for (const QString &file : files) {
        QProcess gpsbabel;
        gpsbabel.start(QStringLiteral("gpsbabel"),
                       {"-i", "gtrnctr", "-f", file, "-o", "gpx", "-F", "-"});
        QVERIFY(gpsbabel.waitForFinished(60000));
        QCOMPARE(gpsbabel.exitCode(), 0);
        const Track read = Read(gpsbabel.readAllStandardOutput());
        qsizetype positioned = 0;
        for (const Point &point : ReadFile(file).points)
            positioned += point.hasPosition();
        QCOMPARE(read.points.size(), positioned);
    }
}

void TestFormatSamples::fitSdkReading_data()
{
    QTest::addColumn<QString>("input");
    for (const char *name : {"fitparse_nick.fit", "fitparse_strava-android-app-201.10-b1218918.fit",
                             "fitparse_event_timestamp.fit"})
        QTest::newRow(name) << xml_check::Reference(QStringLiteral("fit/") + QLatin1String(name));
}

// Files damaged in the middle and one whose heart rate was stored apart,
// against the FIT SDK's reading with that heart rate merged: each record a
// TCX track point at the same time and place with the same heart rate (TCX
// has none of 0).
void TestFormatSamples::fitSdkReading()
{
    QFETCH(QString, input);
    REQUIRE_FILE(input);
    const FitSdkReading theirs = ReadWithFitSdk("fit_sdk_records.mjs", input);
    if (!theirs.installed)
        QSKIP(kNoFitSdk);
    QCOMPARE(theirs.exitCode, 0);
    const Track ours = ReadFiles(convert(input, {"--tcx"}, QStringLiteral(".tcx")));
    QCOMPARE(ours.points.size(), theirs.lines.size());
    for (qsizetype i = 0; i < theirs.lines.size(); ++i) {
        const QStringList record = theirs.lines[i].split(u' ');
        const Point &point = ours.points[i];
        QCOMPARE(point.time, Milliseconds(record[0]));
        if (record[1] != u'-') {
            QVERIFY(std::abs(point.latitude.toDouble() - record[1].toDouble()) < 1e-7);
            QVERIFY(std::abs(point.longitude.toDouble() - record[2].toDouble()) < 1e-7);
        }
        QCOMPARE(point.heartRate, record[3] == u'-' || record[3] == u'0' ? QString() : record[3]);
    }
}

void TestFormatSamples::fitSdkSessionTotals_data()
{
    addReferenceRows(QStringLiteral("fit"));
}

// The figures --list shows of every reference FIT file are its sessions'
// totals as the FIT SDK reads them: summed, averaged by the sessions' timer
// times, the highest maxima.
void TestFormatSamples::fitSdkSessionTotals()
{
    QFETCH(QString, input);
    REQUIRE_FILE(input);
    const FitSdkReading theirs = ReadWithFitSdk("fit_sdk_sessions.mjs", input);
    if (!theirs.installed)
        QSKIP(kNoFitSdk);
    QCOMPARE(theirs.exitCode, 0);
    const QStringList summed{"elapsed", "moving", "distance", "ascent", "descent", "calories"};
    const QStringList averaged{"heartRateAverage", "powerAverage", "temperatureAverage"};
    QMap<QString, double> totals, weights;
    for (const QString &line : theirs.lines) {
        QMap<QString, double> session;
        for (const QString &pair : line.split(u' '))
            session[pair.section(u'=', 0, 0)] = pair.section(u'=', 1).toDouble();
        const double weight = session.value("moving", session.value("elapsed"));
        for (auto [name, value] : session.asKeyValueRange()) {
            if (summed.contains(name)) {
                totals[name] += value;
            } else if (averaged.contains(name)) {
                totals[name] += value * weight;
                weights[name] += weight;
            } else {
                totals[name] = std::max(totals.value(name, value), value);
            }
        }
    }
    for (auto [name, weight] : weights.asKeyValueRange())
        totals[name] /= weight;

    const auto listed = split_process::Split({"--list", "-q", input});
    QCOMPARE(listed.status, 0);
    const QStringList lines = QString::fromUtf8(listed.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList header = lines[0].split(u'\t'), row = lines[1].split(u'\t');
    const std::pair<const char *, const char *> columns[] = {
        {"elapsed", "elapsed_s"},
        {"moving", "moving_s"},
        {"distance", "distance_m"},
        {"ascent", "ascent_m"},
        {"descent", "descent_m"},
        {"maximumSpeed", "maximum_speed_m_s"},
        {"heartRateAverage", "heart_rate_avg_bpm"},
        {"heartRateMaximum", "heart_rate_max_bpm"},
        {"powerAverage", "power_avg_w"},
        {"powerMaximum", "power_max_w"},
        {"calories", "calories_kcal"},
        {"temperatureAverage", "temperature_avg_c"}};
    for (const auto &[theirs, ours] : columns) {
        if (!totals.contains(theirs))
            continue;
        const QString shown = row.value(header.indexOf(QLatin1String(ours)));
        QVERIFY2(
            !shown.isEmpty() && std::abs(shown.toDouble() - totals[theirs]) < 0.006,
            qPrintable(
                QStringLiteral("%1: %2, the sessions' %3").arg(ours, shown).arg(totals[theirs])));
    }
}

void TestFormatSamples::tcxLapTotals_data()
{
    addReferenceRows(QStringLiteral("tcx"));
}

// The figures --list shows of every activity of every reference TCX file
// are its laps' sums, as Qt's own XML reader reads them: times, distances
// and calories summed, the highest maxima, heart rates weighted by the laps'
// times; its device is its Creator's Name.
void TestFormatSamples::tcxLapTotals()
{
    QFETCH(QString, input);
    REQUIRE_FILE(input);
    struct Activity {
        QMap<QString, double> figures; // by the column of --list
        double weighted = 0, weights = 0;
        QString device;
    };
    QList<Activity> activities;
    QFile file(input);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList open;
    double lapSeconds = 0;
    const QMap<QString, QString> summed = {{"TotalTimeSeconds", "moving_s"},
                                           {"DistanceMeters", "distance_m"},
                                           {"Calories", "calories_kcal"}};
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.isEndElement())
            open.removeLast();
        if (!xml.isStartElement())
            continue;
        open << xml.name().toString();
        if (open.last() == u"Activity")
            activities.append(Activity());
        const QString parent = open.value(open.size() - 2),
                      grandparent = open.value(open.size() - 3);
        const bool lapValue =
            parent == u"Lap" && (summed.contains(open.last()) || open.last() == u"MaximumSpeed");
        const bool heartRate = grandparent == u"Lap" && open.last() == u"Value";
        const bool device =
            grandparent == u"Activity" && parent == u"Creator" && open.last() == u"Name";
        if (activities.isEmpty() || !(lapValue || heartRate || device))
            continue;
        const QString name = open.last();
        const QString text = xml.readElementText().trimmed();
        open.removeLast();
        Activity &activity = activities.last();
        const double value = text.toDouble();
        if (device) {
            activity.device = text.simplified();
        } else if (summed.contains(name)) {
            activity.figures[summed[name]] += value;
            if (name == u"TotalTimeSeconds")
                lapSeconds = value;
        } else if (name == u"MaximumSpeed") {
            activity.figures["maximum_speed_m_s"] =
                std::max(activity.figures.value("maximum_speed_m_s"), value);
        } else if (parent == u"MaximumHeartRateBpm") {
            activity.figures["heart_rate_max_bpm"] =
                std::max(activity.figures.value("heart_rate_max_bpm"), value);
        } else if (parent == u"AverageHeartRateBpm") {
            activity.weighted += value * lapSeconds;
            activity.weights += lapSeconds;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const auto listed = split_process::Split({"--list", "-q", input});
    QCOMPARE(listed.status, 0);
    const QStringList lines = QString::fromUtf8(listed.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size() - 1, activities.size());
    const QStringList header = lines[0].split(u'\t');
    for (qsizetype i = 0; i < activities.size(); ++i) {
        Activity &activity = activities[i];
        if (activity.weights > 0)
            activity.figures["heart_rate_avg_bpm"] = activity.weighted / activity.weights;
        const QStringList row = lines[i + 1].split(u'\t');
        QCOMPARE(row.value(header.indexOf(QLatin1String("device"))), activity.device);
        for (auto [column, value] : activity.figures.asKeyValueRange()) {
            const QString shown = row.value(header.indexOf(column));
            QVERIFY2(!shown.isEmpty() && std::abs(shown.toDouble() - value) < 0.006,
                     qPrintable(QStringLiteral("activity %1, %2: %3, the laps' %4")
                                    .arg(i + 1)
                                    .arg(column, shown)
                                    .arg(value)));
        }
    }
}

QTEST_GUILESS_MAIN(TestFormatSamples)
#include "test_format_samples.moc"
