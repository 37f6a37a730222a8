#include "read/history_track_points.h"

#include <QTest>

using namespace kelvane;

namespace {

std::string_view View(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// Feeds trimmed lines to followTrackPointLine and returns the rows as
// "lat,lon,alt,date,time" texts, the time as the CSV day file shows it.
QStringList Rows(const QList<QByteArray> &lines, int offset = 0)
{
    HistoryPointState state;
    TrackPoints track;
    for (const QByteArray &line : lines)
        followTrackPointLine(View(line), state, track);
    QStringList rows;
    std::string scratch;
    for (int i = 0; i < track.size(); ++i) {
        const TrackPoint p = track.at(i);
        rows << QString::fromLatin1(Bytes(p.latitude) + ',' + Bytes(p.longitude) + ',' +
                                    Bytes(p.altitude) + ',' + Bytes(p.date) + ',' +
                                    Bytes(shownTime(p, offset, scratch)));
    }
    return rows;
}

} // namespace

class TestTrackPoints : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void shiftHour_data();
    void shiftHour();
    void elementText_data();
    void elementText();
    void points_data();
    void points();
    void fieldsCarryOverAcrossRuns();
    void rowsAreCopies();
};

void TestTrackPoints::shiftHour_data()
{
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("shifted");

    QTest::newRow("no offset") << QByteArray("14:23:45") << 0 << QByteArray("14:23:45");
    QTest::newRow("minus five") << QByteArray("14:23:45") << -5 << QByteArray("09:23:45");
    QTest::newRow("back across midnight") << QByteArray("03:10:00") << -5 << QByteArray("22:10:00");
    QTest::newRow("minus twelve from midnight")
        << QByteArray("00:05:00") << -12 << QByteArray("12:05:00");
    QTest::newRow("leading zero") << QByteArray("00:05:00") << 5 << QByteArray("05:05:00");
    QTest::newRow("forward across midnight wraps")
        << QByteArray("22:00:00") << 5 << QByteArray("03:00:00");
    QTest::newRow("exactly 24 wraps") << QByteArray("12:00:00") << 12 << QByteArray("00:00:00");
    QTest::newRow("fraction kept") << QByteArray("14:23:45.123") << 0 << QByteArray("14:23:45.123");
    QTest::newRow("hour not a number") << QByteArray("ab:cd") << 3 << QByteArray("03:cd");
    QTest::newRow("one-digit hour replaces two characters")
        << QByteArray("7:00") << 1 << QByteArray("0800");
    QTest::newRow("empty") << QByteArray() << 0 << QByteArray("00");
}

void TestTrackPoints::shiftHour()
{
    QFETCH(QByteArray, time);
    QFETCH(int, offset);
    QFETCH(QByteArray, shifted);
    std::string out = "left over";
    kelvane::shiftHour(View(time), offset, out);
    QCOMPARE(Bytes(out), shifted);
}

void TestTrackPoints::elementText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("value") << QByteArray("<Latitude>45.1234567</Latitude>") << true
                           << QByteArray("45.1234567");
    QTest::newRow("empty element") << QByteArray("<Latitude></Latitude>") << true << QByteArray();
    QTest::newRow("blanks inside kept")
        << QByteArray("<Latitude> 45 </Latitude>") << true << QByteArray(" 45 ");
    QTest::newRow("first closing tag")
        << QByteArray("<Latitude>1</b></Latitude>") << true << QByteArray("1");
    QTest::newRow("no closing tag") << QByteArray("<Latitude>45.1") << false << QByteArray();
}

// A field's text is what stands between its tag and the first "</"; a line
// without one leaves the field as it was.
void TestTrackPoints::elementText()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, cut);
    QFETCH(QByteArray, text);
    const QStringList rows = Rows({"<Trackpoint>", "<Latitude>before</Latitude>", "</Trackpoint>",
                                   "<Trackpoint>", line, "</Trackpoint>"});
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].section(QLatin1Char(','), 0, 0).toLatin1(), cut ? text : QByteArray("before"));
}

void TestTrackPoints::points_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QStringList>("rows");

    const QList<QByteArray> point = {"<Trackpoint>",
                                     "<Position>",
                                     "<Latitude>47.6205</Latitude>",
                                     "<Longitude>-122.3493</Longitude>",
                                     "<Altitude>56.1</Altitude>",
                                     "</Position>",
                                     "<Time>2004-10-25T14:23:45Z</Time>",
                                     "</Trackpoint>"};
    QTest::newRow("one point") << point << 0
                               << QStringList{"47.6205,-122.3493,56.1,2004-10-25,14:23:45"};
    QTest::newRow("shifted, date kept")
        << point << -15 << QStringList{"47.6205,-122.3493,56.1,2004-10-25,23:23:45"};

    QList<QByteArray> noAltitude = point;
    noAltitude.removeAt(4);
    QTest::newRow("missing altitude carries the previous one")
        << (point + noAltitude) << 0
        << QStringList{"47.6205,-122.3493,56.1,2004-10-25,14:23:45",
                       "47.6205,-122.3493,56.1,2004-10-25,14:23:45"};
    QTest::newRow("missing altitude, none ever read")
        << noAltitude << 0 << QStringList{"47.6205,-122.3493,,2004-10-25,14:23:45"};

    QTest::newRow("closing tag without opening adds a row")
        << QList<QByteArray>{"</Trackpoint>"} << 0 << QStringList{",,,,"};
    QTest::newRow("fields outside a track point are ignored")
        << QList<QByteArray>{"<Latitude>1</Latitude>", "<Time>2004-10-25T01:00:00Z</Time>",
                             "</Trackpoint>"}
        << 0 << QStringList{",,,,"};
    QTest::newRow("track point on one line")
        << QList<QByteArray>{"<Trackpoint><Latitude>1</Latitude></Trackpoint>"} << 0
        << QStringList();
    QTest::newRow("other case and attributes not recognised")
        << QList<QByteArray>{"<trackpoint>", "<Trackpoint id=\"1\">", "</Trackpoint >"} << 0
        << QStringList();
    QTest::newRow("time without Z loses its last character")
        << QList<QByteArray>{"<Trackpoint>", "<Time>2004-10-25T14:23:45</Time>", "</Trackpoint>"}
        << 0 << QStringList{",,,2004-10-25,14:23:4"};

    // Malformed field lines leave the field as it was.
    QTest::newRow("malformed fields keep earlier values")
        << (point + QList<QByteArray>{"<Trackpoint>", "<Latitude>9", "<Longitude>8", "<Altitude>7",
                                      "<Time>2004-10-26 10:00:00Z</Time>",
                                      "<Time>2004-10-26T</Time>", "<Time></Time>T",
                                      "</Trackpoint>"})
        << 0
        << QStringList{"47.6205,-122.3493,56.1,2004-10-25,14:23:45",
                       "47.6205,-122.3493,56.1,2004-10-25,14:23:45"};
}

void TestTrackPoints::points()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(int, offset);
    QFETCH(QStringList, rows);
    QCOMPARE(Rows(lines, offset), rows);
}

void TestTrackPoints::fieldsCarryOverAcrossRuns()
{
    // A run that ends inside an open track point leaves it open: the next
    // run's field lines are taken before its first <Trackpoint>.
    HistoryPointState state;
    TrackPoints track;
    for (const char *line : {"<Trackpoint>", "<Altitude>12</Altitude>"})
        followTrackPointLine(line, state, track);
    track.clear();
    QVERIFY(state.inTrackpoint);
    for (const char *line : {"<Latitude>5</Latitude>", "</Trackpoint>"})
        followTrackPointLine(line, state, track);
    QCOMPARE(track.size(), 1);
    QCOMPARE(Bytes(track.at(0).latitude), QByteArray("5"));
    QCOMPARE(Bytes(track.at(0).altitude), QByteArray("12"));
}

void TestTrackPoints::rowsAreCopies()
{
    HistoryPointState state;
    TrackPoints track;
    for (const char *line : {"<Trackpoint>", "<Latitude>1</Latitude>", "</Trackpoint>",
                             "<Trackpoint>", "<Latitude>2</Latitude>", "</Trackpoint>"})
        followTrackPointLine(line, state, track);
    QCOMPARE(Bytes(track.at(0).latitude), QByteArray("1"));
    QCOMPARE(Bytes(track.at(1).latitude), QByteArray("2"));
}

QTEST_GUILESS_MAIN(TestTrackPoints)
#include "test_track_points.moc"
