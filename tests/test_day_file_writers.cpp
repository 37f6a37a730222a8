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

QTEST_GUILESS_MAIN(TestDayFileWriters)
#include "test_day_file_writers.moc"
