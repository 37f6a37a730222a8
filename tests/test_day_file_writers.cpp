#include "day_file_writer.h"

#include <QTest>

#include <string>

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
};

void TestDayFileWriters::extensions_data()
{
    QTest::addColumn<DayFileKind>("kind");
    QTest::addColumn<QString>("extension");
    QTest::newRow("XML") << DayFileKind::Xml << ".xml";
    QTest::newRow("CSV") << DayFileKind::Csv << ".txt";
    QTest::newRow("GPX") << DayFileKind::Gpx << ".gpx";
}

void TestDayFileWriters::extensions()
{
    QFETCH(DayFileKind, kind);
    QFETCH(QString, extension);
    Run run;
    run.documentExtension = QLatin1StringView(".xml");
    QCOMPARE(QString(makeDayFileWriter(kind)->extension(run)), extension);
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
    points.append({"", "", "", "", "", {}, {}, {}});
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
    QCOMPARE(Joined(makeDayFileWriter(DayFileKind::Xml)->write(run)),
             QByteArray("<?xml?>\r\n<Run>\r\n</Run>\r\n"));
}

void TestDayFileWriters::hostileValues_data()
{
    QTest::addColumn<QByteArray>("latitude");
    QTest::addColumn<QByteArray>("gpxLatitude"); // as the GPX file's attribute value
    QTest::addColumn<QByteArray>("csvLatitude"); // as the CSV file's field

    QTest::newRow("an attribute of its own")
        << QByteArray("43.6\" foo=\"bar") << QByteArray("43.6&quot; foo=&quot;bar")
        << QByteArray("\"43.6\"\" foo=\"\"bar\"");
    QTest::newRow("an element of its own")
        << QByteArray("1<ele>2</ele>") << QByteArray("1&lt;ele&gt;2&lt;/ele&gt;")
        << QByteArray("1<ele>2</ele>");
    QTest::newRow("a field of its own")
        << QByteArray("43,6") << QByteArray("43,6") << QByteArray("\"43,6\"");
    QTest::newRow("a line end") << QByteArray("4\r3") << QByteArray("4\r3")
                                << QByteArray("\"4\r3\"");
    QTest::newRow("a bare ampersand")
        << QByteArray("a & b") << QByteArray("a &amp; b") << QByteArray("a & b");
    QTest::newRow("references stay")
        << QByteArray("&amp;&#38;&#x26;&lt;") << QByteArray("&amp;&#38;&#x26;&lt;")
        << QByteArray("&amp;&#38;&#x26;&lt;");
    QTest::newRow("not quite references")
        << QByteArray("&amp &#; &#x; &1;") << QByteArray("&amp;amp &amp;#; &amp;#x; &amp;1;")
        << QByteArray("&amp &#; &#x; &1;");
}

// No value can add markup to the GPX file or a field to the CSV file; the
// other points of the run keep their bytes.
void TestDayFileWriters::hostileValues()
{
    QFETCH(QByteArray, latitude);
    QFETCH(QByteArray, gpxLatitude);
    QFETCH(QByteArray, csvLatitude);
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
}

QTEST_GUILESS_MAIN(TestDayFileWriters)
#include "test_day_file_writers.moc"
