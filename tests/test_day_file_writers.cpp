#include "day_file_kinds.h"
#include "xml_check.h"

#include <QTest>
#include <QXmlStreamReader>

#include <string>
#include <vector>

using namespace kelvane;

namespace {

QByteArray Joined(std::span<const std::string_view> pieces)
{
    QByteArray bytes;
    for (const std::string_view piece : pieces)
        bytes.append(piece.data(), qsizetype(piece.size()));
    return bytes;
}

TrackPoint Point(std::string_view latitude, std::string_view time)
{
    return {latitude, "-122.3493", "56.1", "2004-10-25", time, {}, {}, {}};
}

DayFileKind GeoJson()
{
    return *dayFileKindOf(u"geojson");
}

DayFileKind Picture()
{
    return *dayFileKindOf(u"picture");
}

ConversionOptions Gpx11(int hourOffset = 0)
{
    ConversionOptions options;
    options.gpxVersion = GpxVersion::V1_1;
    options.hourOffset = hourOffset;
    return options;
}

// A ride as a TCX or GPX reader hands it over: three laps, heart rate,
// cadence, power and temperature on most points, a point before the first lap and points right at a
// lap's start, altitudes written as xsd:double allows.
struct Ride {
    TrackPoints points;
    std::vector<Lap> laps = {{"2024-05-01T10:00:00Z", "20.5", "150.25", "12"},
                             {"2024-05-01T10:00:20Z", "20", "160", "13"},
                             {"2024-05-01T12:00:40+02:00", "20", "170.5", "14"}};
    Run run;

    Ride()
    {
        const TrackPoint p[] = {
            {"47.10", "8.10", "500.5", "2024-05-01", "09:59:50", "118", "80", "200", "21"},
            {"47.11", "8.11", "501.0", "2024-05-01", "10:00:00", "120", "81", "210", "21.5"},
            {"47.12", "8.12", "", "2024-05-01", "10:00:10", "", "", "", ""},
            {"47.13", "8.13", "502.5", "2024-05-01", "10:00:20", "125", "85", "230", "-3"},
            {"47.14", "8.14", "5.03E2", "2024-05-01", "10:00:30.500", "0", "255", "70000", "1E1"},
            {"47.15", "8.15", "NaN", "2024-05-01", "10:00:40", "130", "90", "250", "NaN"},
            {"47.16", "8.16", "505.0", "2024-05-01", "10:00:50", "131", "91", "251", "22"}};
        for (const TrackPoint &point : p)
            points.append(point);
        run.startTime = "2024-05-01T10:00:00Z";
        run.sport = "Biking";
        run.notes = "Col du Caf\xc3\xa9 &amp; back";
        run.points = &points;
        run.laps = laps;
    }
};

// The texts of the elements with that local name, in document order.
QStringList Texts(const QByteArray &xml, const QString &name)
{
    QStringList texts;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            texts << reader.readElementText(QXmlStreamReader::IncludeChildElements);
    return reader.hasError() ? QStringList{QStringLiteral("error: ") + reader.errorString()}
                             : texts;
}

// The values of an attribute of the elements with that local name.
QStringList Attributes(const QByteArray &xml, const QString &name, const QString &attribute)
{
    QStringList values;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            values << reader.attributes().value(attribute).toString();
    return reader.hasError() ? QStringList{QStringLiteral("error: ") + reader.errorString()}
                             : values;
}

// How many track points each lap of a TCX file holds.
QList<int> PointsPerLap(const QByteArray &tcx)
{
    QList<int> counts;
    QXmlStreamReader reader(tcx);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("Lap"))
            counts << 0;
        else if (reader.name() == QLatin1String("Trackpoint"))
            ++counts.last();
    }
    return counts;
}

} // namespace

// Each writer on its own, given a run as any reader hands it over.
class TestDayFileWriters : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void extensions_data();
    void extensions();
    void gpxOfAShorterRunAfterALongerOne();
    void csvRows();
    void xmlIsTheRunsDocument();
    void hostileValues_data();
    void hostileValues();
    void modernFilesAreValid_data();
    void modernFilesAreValid();
    void extensionValues();
    void tcxLapsTakeThePointsRecordedDuringThem_data();
    void tcxLapsTakeThePointsRecordedDuringThem();
    void tcxOfATcxRunIsItsDocument();
    void ownDocumentsByExtension_data();
    void ownDocumentsByExtension();
    void utcTimesWhateverTheHourOffset();
    void hostileValuesAddNoMarkup_data();
    void hostileValuesAddNoMarkup();
    void geojsonFile();
    void geojsonNames_data();
    void longFilesGoOutInParts_data();
    void longFilesGoOutInParts();
    void geojsonNames();
    void pictureFacts_data();
    void pictureFacts();
};

void TestDayFileWriters::extensions_data()
{
    QTest::addColumn<DayFileKind>("kind");
    QTest::addColumn<ConversionOptions>("options");
    QTest::addColumn<QString>("extension");
    QTest::newRow("own format, of a history")
        << DayFileKind::OwnFormat << ConversionOptions() << ".xml";
    QTest::newRow("CSV") << DayFileKind::Csv << ConversionOptions() << ".txt";
    QTest::newRow("GPX") << DayFileKind::Gpx << ConversionOptions() << ".gpx";
    QTest::newRow("GPX 1.1") << DayFileKind::Gpx << Gpx11() << ".gpx";
    QTest::newRow("TCX") << DayFileKind::Tcx << ConversionOptions() << ".tcx";
    QTest::newRow("GeoJSON") << GeoJson() << ConversionOptions() << ".geojson";
    QTest::newRow("picture") << Picture() << ConversionOptions() << ".svg";
}

void TestDayFileWriters::extensions()
{
    QFETCH(DayFileKind, kind);
    QFETCH(ConversionOptions, options);
    QFETCH(QString, extension);
    Run run;
    QCOMPARE(QString(makeDayFileWriter(kind, options)->extension(run)), extension);
}

// The GPX writer reuses its buffer: a later, smaller run must not carry the
// bytes of an earlier one.
void TestDayFileWriters::gpxOfAShorterRunAfterALongerOne()
{
    const auto writer = makeDayFileWriter(DayFileKind::Gpx);
    TrackPoints points;
    points.append(Point("47.6205", "13:45:10"));
    points.append(Point("47.6207", "13:45:15"));
    Run run;
    run.points = &points;
    QCOMPARE(Joined(writer->write(run)).count("\r\n"), 4 * 2 + 7);

    points.clear();
    points.append(Point("1", "00:00:00"));
    QCOMPARE(Joined(writer->write(run)),
             QByteArray("<?xml version=\"1.0\"?>\r\n"
                        "<gpx version=\"1.0\" creator=\"Tessaly Kelvane - "
                        "http://kelvane.example.org/\">\r\n"
                        "<trk>\r\n<trkseg>\r\n"
                        "<trkpt lat=\"1\" lon=\"-122.3493\">\r\n<ele>56.1</ele>\r\n"
                        "<time>2004-10-25T00:00:00Z</time>\r\n</trkpt>\r\n"
                        "</trkseg>\r\n</trk>\r\n</gpx>\r\n"));
    points.clear();
    QCOMPARE(Joined(writer->write(run)).count("\r\n"), 7);
}

void TestDayFileWriters::csvRows()
{
    TrackPoints points;
    points.append(Point("47.6205", "13:45:10"));
    TrackPoint timeNeverRead; // a history point before any <Time> line
    timeNeverRead.zone = {};
    points.append(timeNeverRead);
    Run run;
    run.points = &points;
    QCOMPARE(Joined(makeDayFileWriter(DayFileKind::Csv)->write(run)),
             QByteArray("Latitude,Longitude,Altitude, Date,Time\r\n"
                        "47.6205,-122.3493,56.1,2004-10-25,13:45:10\r\n"
                        ",,,,\r\n"));
}

void TestDayFileWriters::xmlIsTheRunsDocument()
{
    const std::string_view document[] = {"<?xml?>\r\n", "<Run>\r\n", "</Run>\r\n"};
    Run run;
    run.document = document;
    QCOMPARE(Joined(makeDayFileWriter(DayFileKind::OwnFormat)->write(run)),
             QByteArray("<?xml?>\r\n<Run>\r\n</Run>\r\n"));
}

void TestDayFileWriters::hostileValues_data()
{
    QTest::addColumn<QByteArray>("latitude");
    QTest::addColumn<QByteArray>("gpxLatitude"); // as the GPX file's attribute value
    QTest::addColumn<QByteArray>("csvLatitude"); // as the CSV file's field
    // GPX 1.1 holds decimal numbers: empty, the point is left out.
    QTest::addColumn<QByteArray>("gpx11Latitude");
    // GeoJSON holds JSON numbers: empty, the point is left out.
    QTest::addColumn<QByteArray>("geojsonLatitude");

    QTest::newRow("an attribute of its own")
        << QByteArray("43.6\" foo=\"bar") << QByteArray("43.6&quot; foo=&quot;bar")
        << QByteArray("\"43.6\"\" foo=\"\"bar\"") << QByteArray() << QByteArray();
    QTest::newRow("an element of its own")
        << QByteArray("1<ele>2</ele>") << QByteArray("1&lt;ele&gt;2&lt;/ele&gt;")
        << QByteArray("1<ele>2</ele>") << QByteArray() << QByteArray();
    QTest::newRow("a field of its own") << QByteArray("43,6") << QByteArray("43,6")
                                        << QByteArray("\"43,6\"") << QByteArray() << QByteArray();
    QTest::newRow("a line end") << QByteArray("4\r3") << QByteArray("4\r3")
                                << QByteArray("\"4\r3\"") << QByteArray() << QByteArray();
    QTest::newRow("a bare ampersand") << QByteArray("a & b") << QByteArray("a &amp; b")
                                      << QByteArray("a & b") << QByteArray() << QByteArray();
    QTest::newRow("references stay")
        << QByteArray("&amp;&#38;&#x26;&lt;") << QByteArray("&amp;&#38;&#x26;&lt;")
        << QByteArray("&amp;&#38;&#x26;&lt;") << QByteArray() << QByteArray();
    QTest::newRow("not quite references")
        << QByteArray("&amp &#; &#x; &1;") << QByteArray("&amp;amp &amp;#; &amp;#x; &amp;1;")
        << QByteArray("&amp &#; &#x; &1;") << QByteArray() << QByteArray();
    QTest::newRow("a plain decimal stays as written")
        << QByteArray("+47.6210") << QByteArray("+47.6210") << QByteArray("+47.6210")
        << QByteArray("+47.6210") << QByteArray("47.6210");
    QTest::newRow("blanks around a decimal")
        << QByteArray(" 47.6\t") << QByteArray(" 47.6\t") << QByteArray(" 47.6\t")
        << QByteArray("47.6") << QByteArray("47.6");
    QTest::newRow("an exponent, negative")
        << QByteArray("-1.23E-5") << QByteArray("-1.23E-5") << QByteArray("-1.23E-5")
        << QByteArray("-0.0000123") << QByteArray("-0.0000123");
    QTest::newRow("an exponent, positive")
        << QByteArray("1.5e+2") << QByteArray("1.5e+2") << QByteArray("1.5e+2") << QByteArray("150")
        << QByteArray("150");
    QTest::newRow("an exponent inside the digits")
        << QByteArray("00123.45E-1") << QByteArray("00123.45E-1") << QByteArray("00123.45E-1")
        << QByteArray("12.345") << QByteArray("12.345");
    QTest::newRow("not a number") << QByteArray("NaN") << QByteArray("NaN") << QByteArray("NaN")
                                  << QByteArray() << QByteArray();
    QTest::newRow("infinite") << QByteArray("-INF") << QByteArray("-INF") << QByteArray("-INF")
                              << QByteArray() << QByteArray();
    QTest::newRow("beyond a double") << QByteArray("1E400") << QByteArray("1E400")
                                     << QByteArray("1E400") << QByteArray() << QByteArray();
    QTest::newRow("a point without a digit before it")
        << QByteArray(".5") << QByteArray(".5") << QByteArray(".5") << QByteArray(".5")
        << QByteArray("0.5");
    QTest::newRow("zeros before the digits")
        << QByteArray("007.5") << QByteArray("007.5") << QByteArray("007.5") << QByteArray("007.5")
        << QByteArray("7.5");
    QTest::newRow("a point without a digit after it")
        << QByteArray("5.") << QByteArray("5.") << QByteArray("5.") << QByteArray("5.")
        << QByteArray("5");
    QTest::newRow("zero with a sign")
        << QByteArray("-0.0") << QByteArray("-0.0") << QByteArray("-0.0") << QByteArray("-0.0")
        << QByteArray("0.0");
}

// No value can add markup to the GPX file or a field to the CSV file; the
// other points of the run keep their bytes.
void TestDayFileWriters::hostileValues()
{
    QFETCH(QByteArray, latitude);
    QFETCH(QByteArray, gpxLatitude);
    QFETCH(QByteArray, csvLatitude);
    QFETCH(QByteArray, gpx11Latitude);
    QFETCH(QByteArray, geojsonLatitude);
    TrackPoints points;
    points.append(Point("47.6205", "13:45:10"));
    points.append(
        Point(std::string_view(latitude.constData(), std::size_t(latitude.size())), "13:45:15"));
    Run run;
    run.points = &points;
    const QByteArray gpx = Joined(makeDayFileWriter(DayFileKind::Gpx)->write(run));
    QVERIFY(gpx.contains("<trkpt lat=\"47.6205\" lon=\"-122.3493\">\r\n"));
    QVERIFY2(gpx.contains("<trkpt lat=\"" + gpxLatitude + "\" lon=\"-122.3493\">\r\n"),
             gpx.constData());
    QCOMPARE(gpx.count("\r\n"), 4 * 2 + 7);
    const QByteArray csv = Joined(makeDayFileWriter(DayFileKind::Csv)->write(run));
    QCOMPARE(csv, "Latitude,Longitude,Altitude, Date,Time\r\n"
                  "47.6205,-122.3493,56.1,2004-10-25,13:45:10\r\n" +
                      csvLatitude + ",-122.3493,56.1,2004-10-25,13:45:15\r\n");
    const QByteArray gpx11 = Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11())->write(run));
    QStringList gpx11Latitudes{"47.6205"};
    if (!gpx11Latitude.isEmpty())
        gpx11Latitudes << QString::fromUtf8(gpx11Latitude);
    QCOMPARE(Attributes(gpx11, QStringLiteral("trkpt"), QStringLiteral("lat")), gpx11Latitudes);
    // A line needs two positions: with one, the feature has none.
    const QByteArray geojson = Joined(makeDayFileWriter(GeoJson())->write(run));
    QVERIFY2(geojson.contains(geojsonLatitude.isEmpty()
                                  ? QByteArray("\"geometry\":null")
                                  : "\n[-122.3493," + geojsonLatitude + ",56.1]]},"),
             geojson.constData());
}

void TestDayFileWriters::modernFilesAreValid_data()
{
    QTest::addColumn<DayFileKind>("kind");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<bool>("laps");
    QTest::addColumn<bool>("points");
    QTest::addColumn<QByteArray>("sport");

    for (const bool laps : {true, false}) {
        for (const bool points : {true, false}) {
            const QByteArray shape =
                QByteArray(laps ? "laps" : "no laps") + ", " + (points ? "points" : "no points");
            QTest::newRow("GPX 1.1, " + shape) << DayFileKind::Gpx << xml_check::kGpx11Schema
                                               << laps << points << QByteArray("Biking");
            QTest::newRow("TCX, " + shape) << DayFileKind::Tcx << xml_check::kTcxSchema << laps
                                           << points << QByteArray("Biking");
        }
    }
    QTest::newRow("TCX, a run's cadence and power")
        << DayFileKind::Tcx << xml_check::kTcxSchema << true << true << QByteArray("Running");
}

// Whatever a run has or lacks, its file is valid against the published schema.
void TestDayFileWriters::modernFilesAreValid()
{
    REQUIRE_XMLLINT();
    QFETCH(DayFileKind, kind);
    QFETCH(QString, schema);
    QFETCH(bool, laps);
    QFETCH(bool, points);
    QFETCH(QByteArray, sport);
    Ride ride;
    ride.run.sport = std::string_view(sport.constData(), std::size_t(sport.size()));
    if (!laps)
        ride.run.laps = {};
    if (!points)
        ride.points.clear();
    const QByteArray file = Joined(makeDayFileWriter(kind, Gpx11())->write(ride.run));
    const QString errors = xml_check::SchemaErrorsOf(file, schema);
    QVERIFY2(errors.isEmpty(), qPrintable(errors + QString::fromUtf8(file.left(3000))));
}

// Heart rate, cadence and power reach both files where the schemas allow the
// value; temperature only the GPX 1.1 file, which declares the power
// extension only when a point has power.
void TestDayFileWriters::extensionValues()
{
    Ride ride;
    const QByteArray gpx = Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11())->write(ride.run));
    QCOMPARE(Texts(gpx, QStringLiteral("hr")),
             QStringList({"118", "120", "125", "130", "131"})); // 0 is no heart rate
    QCOMPARE(Texts(gpx, QStringLiteral("cad")),
             QStringList({"80", "81", "85", "90", "91"})); // 255 is above the schema's cadence
    QCOMPARE(Texts(gpx, QStringLiteral("PowerInWatts")),
             QStringList({"200", "210", "230", "250", "251"})); // 70000 is above unsignedShort
    QCOMPARE(Texts(gpx, QStringLiteral("atemp")), QStringList({"21", "21.5", "-3", "10", "22"}));
    TrackPoints unpowered;
    unpowered.append(Point("47.6205", "13:45:10"));
    ride.run.points = &unpowered;
    QVERIFY(!Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11())->write(ride.run))
                 .contains("PowerExtension"));
    // A FIT record's numbers.
    TrackPoints recorded;
    recorded.append(
        RecordedPoint{.time = 1631065630,
                      .power = 250,
                      .temperature = -4,
                      .has = std::uint16_t(RecordedPoint::kTime | RecordedPoint::kPosition |
                                           RecordedPoint::kPower | RecordedPoint::kTemperature)});
    ride.run.points = &recorded;
    const QByteArray fit = Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11())->write(ride.run));
    QCOMPARE(Texts(fit, QStringLiteral("PowerInWatts")), QStringList{"250"});
    QCOMPARE(Texts(fit, QStringLiteral("atemp")), QStringList{"-4"});
    ride.run.points = &ride.points;
    QCOMPARE(Texts(gpx, QStringLiteral("type")), QStringList({"Biking"}));
    QCOMPARE(Texts(gpx, QStringLiteral("metadata")).size(), 1);

    const QByteArray tcx = Joined(makeDayFileWriter(DayFileKind::Tcx)->write(ride.run));
    QCOMPARE(Texts(tcx, QStringLiteral("Value")), QStringList({"118", "120", "125", "130", "131"}));
    QCOMPARE(Texts(tcx, QStringLiteral("Cadence")), QStringList({"80", "81", "85", "90", "91"}));
    QCOMPARE(Texts(tcx, QStringLiteral("Watts")),
             QStringList({"200", "210", "230", "250", "251"})); // 70000 is above unsignedShort
    QCOMPARE(Attributes(tcx, QStringLiteral("Activity"), QStringLiteral("Sport")),
             QStringList({"Biking"}));
    QCOMPARE(Texts(tcx, QStringLiteral("Notes")),
             QStringList({QStringLiteral("Col du Café & back")}));
    QCOMPARE(Texts(tcx, QStringLiteral("TotalTimeSeconds")), QStringList({"20.5", "20", "20"}));
    QCOMPARE(Texts(tcx, QStringLiteral("DistanceMeters")), QStringList({"150.25", "160", "170.5"}));
    QCOMPARE(Texts(tcx, QStringLiteral("Calories")), QStringList({"12", "13", "14"}));
    QCOMPARE(Attributes(tcx, QStringLiteral("Lap"), QStringLiteral("StartTime")),
             QStringList({"2024-05-01T10:00:00Z", "2024-05-01T10:00:20Z", "2024-05-01T10:00:40Z"}));

    // A runner's cadence has its place in the activity extension.
    ride.run.sport = "Running";
    const QByteArray run = Joined(makeDayFileWriter(DayFileKind::Tcx)->write(ride.run));
    QCOMPARE(Texts(run, QStringLiteral("RunCadence")), QStringList({"80", "81", "85", "90", "91"}));
    QCOMPARE(Texts(run, QStringLiteral("Cadence")), QStringList());
    QCOMPARE(Texts(run, QStringLiteral("Watts")).size(), 5);
}

void TestDayFileWriters::tcxLapsTakeThePointsRecordedDuringThem_data()
{
    QTest::addColumn<QStringList>("lapStarts");
    QTest::addColumn<QList<int>>("pointsPerLap");

    // The points are at 09:59:50, 10:00:00, :10, :20, :30.5, :40 and :50.
    QTest::newRow("a point before the first lap, points at a lap's start")
        << QStringList{"2024-05-01T10:00:00Z", "2024-05-01T10:00:20Z", "2024-05-01T12:00:40+02:00"}
        << QList<int>{3, 2, 2};
    QTest::newRow("one lap") << QStringList{"2024-05-01T10:00:00Z"} << QList<int>{7};
    QTest::newRow("a lap after the last point")
        << QStringList{"2024-05-01T10:00:00Z", "2024-05-01T11:00:00Z"} << QList<int>{7, 0};
    QTest::newRow("a lap start that cannot be read gets no point")
        << QStringList{"2024-05-01T10:00:00Z", "soon", "2024-05-01T10:00:40Z"}
        << QList<int>{5, 0, 2};
    QTest::newRow("fractions of a second")
        << QStringList{"2024-05-01T10:00:00Z", "2024-05-01T10:00:30.499Z",
                       "2024-05-01T10:00:30.501Z"}
        << QList<int>{4, 1, 2};
}

void TestDayFileWriters::tcxLapsTakeThePointsRecordedDuringThem()
{
    QFETCH(QStringList, lapStarts);
    QFETCH(QList<int>, pointsPerLap);
    Ride ride;
    std::vector<std::string> starts;
    for (const QString &start : lapStarts)
        starts.push_back(start.toStdString());
    std::vector<Lap> laps;
    for (const std::string &start : starts)
        laps.push_back({start, "1", "1", "1"});
    ride.run.laps = laps;
    const QByteArray tcx = Joined(makeDayFileWriter(DayFileKind::Tcx)->write(ride.run));
    QCOMPARE(PointsPerLap(tcx), pointsPerLap);
}

// A run read from a TCX file is its own TCX day file.
void TestDayFileWriters::tcxOfATcxRunIsItsDocument()
{
    const std::string_view document[] = {"<?xml?>\r\n", "<TrainingCenterDatabase/>\r\n"};
    Ride ride;
    ride.run.document = document;
    ride.run.format = RunFormat::Tcx;
    const auto writer = makeDayFileWriter(DayFileKind::Tcx);
    QCOMPARE(QString(writer->extension(ride.run)), QStringLiteral(".tcx"));
    QCOMPARE(Joined(writer->write(ride.run)),
             QByteArray("<?xml?>\r\n<TrainingCenterDatabase/>\r\n"));
    QCOMPARE(writer->needs().documents, RunFormats(RunFormat::Tcx));
    // A reader that kept no document: the run is written from its laps and points.
    ride.run.document = {};
    QCOMPARE(PointsPerLap(Joined(writer->write(ride.run))), QList<int>({3, 2, 2}));
}

// The hour offset moves the hours of the CSV and GPX 1.0 files only; GPX 1.1
// and TCX write the instants in UTC, and read times with offsets as such.
void TestDayFileWriters::ownDocumentsByExtension_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<RunFormat>("format");
    QTest::addColumn<bool>("document"); // the run's own document is the file
    QTest::newRow("GPX of a GPX run") << ".gpx" << RunFormat::Gpx << true;
    QTest::newRow("GPX of a history run") << ".gpx" << RunFormat::History << false;
    QTest::newRow("TCX of a TCX run") << ".tcx" << RunFormat::Tcx << true;
    QTest::newRow("TCX of a FIT run") << ".tcx" << RunFormat::Fit << false;
    QTest::newRow("XML of a history run") << ".xml" << RunFormat::History << true;
    QTest::newRow("an extension no format has") << ".txt" << RunFormat::History << false;
}

// The same-name rule: a kind whose extension is a run's own format's writes
// that run's own document; any other run it converts.
void TestDayFileWriters::ownDocumentsByExtension()
{
    QFETCH(QString, extension);
    QFETCH(RunFormat, format);
    QFETCH(bool, document);
    const QByteArray latin1 = extension.toLatin1();
    const auto writer =
        withOwnDocuments(QLatin1StringView(latin1), makeDayFileWriter(DayFileKind::Csv));
    const std::string_view pieces[] = {"<own/>\r\n"};
    Ride ride;
    ride.run.format = format;
    ride.run.document = pieces;
    QCOMPARE(writesDocument(*writer, ride.run), document);
    QCOMPARE(Joined(writer->write(ride.run)) == "<own/>\r\n", document);
}

void TestDayFileWriters::utcTimesWhateverTheHourOffset()
{
    // As the history reader gives 2024-05-01T23:30:00Z and ...T01:30:00.25+02:00.
    TrackPoint inUtc{"1", "2", "3", "2024-05-01", "23:30:00", {}, {}, {}};
    TrackPoint east = inUtc;
    east.time = "01:30:00.25+02:0";
    east.zone = "0";
    TrackPoints points;
    points.append(inUtc);
    points.append(east);
    Run run;
    run.startTime = "2024-05-01T23:00:00-01:00";
    run.points = &points;
    const QStringList utc{"2024-05-01T23:30:00Z", "2024-04-30T23:30:00.25Z"};
    QCOMPARE(Texts(Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11(-5))->write(run)),
                   QStringLiteral("time")),
             QStringList{"2024-05-02T00:00:00Z"} + utc);
    ConversionOptions tcx;
    tcx.hourOffset = -5;
    const QByteArray file = Joined(makeDayFileWriter(DayFileKind::Tcx, tcx)->write(run));
    QCOMPARE(Texts(file, QStringLiteral("Time")), utc);
    QCOMPARE(Texts(file, QStringLiteral("Id")), QStringList{"2024-05-02T00:00:00Z"});
    QCOMPARE(Joined(makeDayFileWriter(DayFileKind::Csv, tcx)->write(run)),
             QByteArray("Latitude,Longitude,Altitude, Date,Time\r\n"
                        "1,2,3,2024-05-01,18:30:00\r\n"
                        "1,2,3,2024-05-01,20:30:00.25+02:0\r\n"));
}

void TestDayFileWriters::hostileValuesAddNoMarkup_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("markup") << QByteArray("1\"/><trkpt lat=\"2")
                            << QStringLiteral("1\"/><trkpt lat=\"2");
    QTest::newRow("an ampersand alone") << QByteArray("R&D") << QStringLiteral("R&D");
    QTest::newRow("references stay")
        << QByteArray("&lt;&#233;&#x41;&amp;") << QStringLiteral("<éA&");
    QTest::newRow("references XML does not know")
        << QByteArray("&nbsp;&#0;&#xD800;&#99999999;")
        << QStringLiteral("&nbsp;&#0;&#xD800;&#99999999;");
    QTest::newRow("end of a CDATA section") << QByteArray("]]>") << QStringLiteral("]]>");
    QTest::newRow("control characters") << QByteArray("a\x01\x1b"
                                                      "b")
                                        << QStringLiteral("ab");
    QTest::newRow("UTF-8") << QByteArray("Z\xc3\xbcrich") << QStringLiteral("Zürich");
    QTest::newRow("a byte that is no UTF-8")
        << QByteArray("Caf\xe9 \x80") << QStringLiteral("Café €");
    QTest::newRow("a cut UTF-8 sequence") << QByteArray("a\xe2\x82") << QStringLiteral("aâ‚");
}

// Every value from the input goes into the files as text: whatever it holds,
// the files stay well-formed and read back as the value.
void TestDayFileWriters::hostileValuesAddNoMarkup()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, readBack);
    const std::string text = value.toStdString();
    TrackPoints points;
    points.append({text, text, text, "2024-05-01", "10:00:00", text, text, text});
    const Lap lap{text, text, text, text};
    Run run;
    run.startTime = text;
    run.sport = text;
    run.notes = text;
    run.laps = {&lap, 1};
    run.points = &points;

    // No value is a number: GPX 1.1 has no place for the point.
    const QByteArray gpx = Joined(makeDayFileWriter(DayFileKind::Gpx, Gpx11())->write(run));
    QCOMPARE(Texts(gpx, QStringLiteral("type")), QStringList{readBack});
    QCOMPARE(Texts(gpx, QStringLiteral("trkpt")).size(), 0);

    const QByteArray tcx = Joined(makeDayFileWriter(DayFileKind::Tcx)->write(run));
    QCOMPARE(Texts(tcx, QStringLiteral("LatitudeDegrees")), QStringList{readBack});
    QCOMPARE(Texts(tcx, QStringLiteral("Notes")), QStringList{readBack});
    QCOMPARE(Texts(tcx, QStringLiteral("Id")), QStringList{readBack});
    QCOMPARE(Attributes(tcx, QStringLiteral("Lap"), QStringLiteral("StartTime")),
             QStringList{readBack});
    QCOMPARE(Texts(tcx, QStringLiteral("Trackpoint")).size(), 1);
    const QByteArray svg = Joined(makeDayFileWriter(Picture())->write(run));
    QCOMPARE(Texts(svg, QStringLiteral("title")).size(), 1);
    // A lap figure that is no number becomes 0, as the schema needs a number.
    QCOMPARE(Texts(tcx, QStringLiteral("Calories")), QStringList{"0"});
}

// The ride as GeoJSON: its positions in the GPX 1.1 file's decimals, JSON
// numbers of the others, elevation left out where it is none, null for a
// heart rate or cadence beyond the schema's.
void TestDayFileWriters::geojsonFile()
{
    Ride ride;
    QCOMPARE(
        Joined(makeDayFileWriter(GeoJson())->write(ride.run)),
        QByteArray(R"({"type":"Feature",
"geometry":{"type":"LineString","coordinates":[
[8.10,47.10,500.5],
[8.11,47.11,501.0],
[8.12,47.12],
[8.13,47.13,502.5],
[8.14,47.14,503],
[8.15,47.15],
[8.16,47.16,505.0]]},
"properties":{"time":"2024-05-01T10:00:00Z","sport":"Biking","name":"Col du Caf)"
                   "\xc3\xa9"
                   R"( & back","coordinateProperties":{"times":["2024-05-01T09:59:50Z",)"
                   R"("2024-05-01T10:00:00Z","2024-05-01T10:00:10Z","2024-05-01T10:00:20Z",)"
                   R"("2024-05-01T10:00:30.500Z","2024-05-01T10:00:40Z","2024-05-01T10:00:50Z"],
"heart":[118,120,null,125,null,130,131],
"cads":[80,81,null,85,null,90,91]}}}
)"));
}

void TestDayFileWriters::geojsonNames_data()
{
    QTest::addColumn<QByteArray>("notes"); // as XML character data
    QTest::addColumn<QByteArray>("name");  // as the file's JSON
    QTest::newRow("quotes and backslashes")
        << QByteArray("a \"b\" \\c") << QByteArray(R"("a \"b\" \\c")");
    QTest::newRow("control characters")
        << QByteArray("1\x01 2\t3\n4\x7f") << QByteArray(R"("1\u0001 2\t3\n4\u007f")");
    QTest::newRow("line separators") << QByteArray("a\xe2\x80\xa8"
                                                   "b")
                                     << QByteArray(R"("a\u2028b")");
    QTest::newRow("bytes that are no UTF-8")
        << QByteArray("caf\xe9") << QByteArray("\"caf\xef\xbf\xbd\"");
    QTest::newRow("references read")
        << QByteArray("&lt;5 &amp; <![CDATA[&]]>") << QByteArray(R"("<5 & &")");
}

void TestDayFileWriters::geojsonNames()
{
    QFETCH(QByteArray, notes);
    QFETCH(QByteArray, name);
    Ride ride;
    ride.run.notes = std::string_view(notes.constData(), std::size_t(notes.size()));
    const QByteArray geojson = Joined(makeDayFileWriter(GeoJson())->write(ride.run));
    QVERIFY2(geojson.contains(",\"name\":" + name + ","), geojson.constData());
}

void TestDayFileWriters::pictureFacts_data()
{
    QTest::addColumn<RunFormat>("format");
    // The ride's points replaced by this many as a binary input records them,
    // a metre apart eastward along the equator, a second apart, rising 60 m
    // over the first seven.
    QTest::addColumn<int>("recorded");
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("title");
    const QString own =
        QStringLiteral("Biking, 2024-05-01 10:00 UTC: 8.07 km, 1:00 moving, 0 m ascent");
    QTest::newRow("the device's totals win") << RunFormat::Tcx << 0 << QByteArray()
                                             << "Biking, 2024-05-01 10:00 UTC: 0.48 km, 1:01 "
                                                "moving, 0 m ascent";
    QTest::newRow("a history run's laps are no device's")
        << RunFormat::History << 0 << QByteArray() << own;
    QTest::newRow("a GPX run's lap is no device's") << RunFormat::Gpx << 0 << QByteArray() << own;
    QTest::newRow("recorded points")
        << RunFormat::Fit << 7 << QByteArray()
        << "Biking, 2024-05-01 10:00 UTC: 0.01 km, 0:06 moving, 60 m ascent";
    QTest::newRow("a run longer than the picture draws")
        << RunFormat::Fit << 300001 << QByteArray()
        << "Biking, 2024-05-01 10:00 UTC: 333.6 km, 83:20:00 moving, 60 m ascent";
    QTest::newRow("local start in the zone")
        << RunFormat::Gpx << 0 << QByteArray("Europe/Berlin")
        << "Biking, 2024-05-01 12:00 UTC+02:00: 8.07 km, 1:00 moving, 0 m ascent";
}

// The picture's title holds the run's sport, start and figures.
void TestDayFileWriters::pictureFacts()
{
    QFETCH(RunFormat, format);
    QFETCH(int, recorded);
    QFETCH(QByteArray, zone);
    QFETCH(QString, title);
    Ride ride;
    ride.run.format = format;
    if (format == RunFormat::Tcx) { // as the reader sums the laps
        ride.run.summary.totals.emplace();
        ride.run.summary.totals->moving = 61;
        ride.run.summary.totals->distance = 480;
    }
    if (recorded) {
        ride.points.clear();
        ride.run.laps = {};
        for (int i = 0; i < recorded; ++i) {
            RecordedPoint point;
            point.setPosition(0, 1000 * std::int64_t(i));
            point.time = 1714557600 + std::uint32_t(i);
            point.altitude = 5005 + 100 * std::min(i, 6); // decimetres: 60 m up
            point.has |= RecordedPoint::kTime | RecordedPoint::kAltitude;
            ride.points.append(point);
        }
    }
    ConversionOptions options;
    options.timeZone = zone.isEmpty() ? QTimeZone() : QTimeZone(zone);
    const QByteArray svg = Joined(makeDayFileWriter(Picture(), options)->write(ride.run));
    QCOMPARE(Texts(svg, QStringLiteral("title")).value(0), title);
}

QTEST_GUILESS_MAIN(TestDayFileWriters)
#include "test_day_file_writers.moc"

void TestDayFileWriters::longFilesGoOutInParts_data()
{
    extensions_data();
}

// A day file of many points is handed to the saver in parts as it is made,
// so that memory holds one part of it, whatever stands between the writer
// and the saver (the rule that a run's own format keeps its document); the
// parts and the rest are the whole file.
void TestDayFileWriters::longFilesGoOutInParts()
{
    QFETCH(DayFileKind, kind);
    QFETCH(ConversionOptions, options);
    QFETCH(QString, extension);
    if (kind == DayFileKind::OwnFormat)
        QSKIP("the run's own document is its reader's, never made here");
    if (extension == u".svg")
        QSKIP("a picture is drawn from a few hundred points, whatever the run's length");
    TrackPoints points; // as a FIT file's are kept: numbers, made texts when read
    for (std::uint32_t second = 0; second < 40000; ++second) {
        RecordedPoint point;
        point.time = 1098662400 + second;
        point.setPosition(4762050000 + second, -12234930000);
        point.altitude = 561;
        point.heartRate = 120;
        point.has |= RecordedPoint::kTime | RecordedPoint::kAltitude | RecordedPoint::kHeartRate;
        points.append(point);
    }
    Run run;
    run.startTime = "2004-10-25T00:00:00Z";
    run.points = &points;
    const QByteArray whole = Joined(makeDayFileWriter(kind, options)->write(run));

    const auto writer = makeDayFileWriter(kind, options);
    QByteArray parts;
    int count = 0;
    writer->setPartSink([&](std::string_view part) {
        parts.append(part.data(), qsizetype(part.size()));
        ++count;
    });
    parts += Joined(writer->write(run));
    QVERIFY(count > 0);
    QCOMPARE(parts.size(), whole.size());
    QVERIFY(parts == whole);
}
