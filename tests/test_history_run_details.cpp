#include "read/history_run_details.h"
#include "text/text.h"

#include <QTest>

using namespace kelvane;

namespace {

// Follows the lines of a run as the history reader hands them over.
void Follow(HistoryRunDetails &details, const QList<QByteArray> &lines)
{
    for (const QByteArray &raw : lines) {
        const std::string_view view(raw.constData(), std::size_t(raw.size()));
        details.follow(view, trim(view));
    }
}

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

// The laps and note of a history run, as the TCX day file and the list of
// runs show them.
class TestHistoryRunDetails : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void durations_data();
    void durations();
    void laps();
    void notes_data();
    void notes();
};

void TestHistoryRunDetails::durations_data()
{
    QTest::addColumn<QByteArray>("duration");
    QTest::addColumn<QString>("seconds");

    QTest::newRow("seconds with a fraction") << QByteArray("PT1259.400S") << "1259.400";
    QTest::newRow("whole seconds") << QByteArray("PT60S") << "60";
    QTest::newRow("hours, minutes, seconds") << QByteArray("PT1H2M3.5S") << "3723.5";
    QTest::newRow("days and seconds") << QByteArray("P1DT1S") << "86401";
    QTest::newRow("minutes only") << QByteArray("PT90M") << "5400";
    QTest::newRow("years have no length in seconds") << QByteArray("P1Y") << "";
    QTest::newRow("months neither") << QByteArray("P1M") << "";
    QTest::newRow("nothing after the T") << QByteArray("PT") << "";
    QTest::newRow("a fraction of minutes") << QByteArray("PT1.5M") << "";
    QTest::newRow("negative") << QByteArray("-PT5S") << "";
    QTest::newRow("no unit") << QByteArray("PT5") << "";
    QTest::newRow("not a duration") << QByteArray("1259.4") << "";
}

void TestHistoryRunDetails::durations()
{
    QFETCH(QByteArray, duration);
    QFETCH(QString, seconds);
    QCOMPARE(QString::fromStdString(durationSeconds(duration.toStdString())), seconds);
}

// Each <Lap> gives a lap with the figures it has; a start time outside laps
// is none, and at the track there is nothing more to follow.
void TestHistoryRunDetails::laps()
{
    HistoryRunDetails details;
    Follow(details, {"    <Run>", "        <Notes></Notes>", "        <Lap>",
                     "            <StartTime>2004-12-21T15:14:32Z</StartTime>",
                     "            <Duration>PT1259.400S</Duration>", "            <BeginPosition>",
                     "                <Latitude>43.60257</Latitude>",
                     "            </BeginPosition>", "            <Length>6067.921</Length>",
                     "            <Calories>331</Calories>", "        </Lap>", "        <Lap>",
                     "            <StartTime>2004-12-21T15:35:31Z</StartTime>", "        </Lap>",
                     "        <StartTime>2004-12-21T16:00:00Z</StartTime>", "        <Track>"});
    const auto laps = details.laps();
    QCOMPARE(laps.size(), std::size_t(2));
    QCOMPARE(Text(laps[0].startTime), QStringLiteral("2004-12-21T15:14:32Z"));
    QCOMPARE(Text(laps[0].seconds), QStringLiteral("1259.400"));
    QCOMPARE(Text(laps[0].meters), QStringLiteral("6067.921"));
    QCOMPARE(Text(laps[0].calories), QStringLiteral("331"));
    QCOMPARE(Text(laps[1].startTime), QStringLiteral("2004-12-21T15:35:31Z"));
    QCOMPARE(Text(laps[1].seconds), QString());
    QVERIFY(details.done());

    // The next run starts afresh, reusing the laps' texts.
    details.clear();
    Follow(details, {"<Lap>", "<Length>5</Length>", "</Lap>"});
    QCOMPARE(details.laps().size(), std::size_t(1));
    QCOMPARE(Text(details.laps()[0].startTime), QString());
    QCOMPARE(Text(details.laps()[0].meters), QStringLiteral("5"));
}

void TestHistoryRunDetails::notes_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<bool>("windows1252");
    QTest::addColumn<QString>("note");
    QTest::addColumn<int>("laps");

    QTest::newRow("one line") << QList<QByteArray>{"    <Notes>Easy &amp; fast</Notes>"} << false
                              << "Easy &amp; fast" << 0;
    QTest::newRow("empty") << QList<QByteArray>{"<Notes></Notes>"} << false << "" << 0;
    QTest::newRow("several lines")
        << QList<QByteArray>{"    <Notes>Hill repeats", "      legs heavy", "  done</Notes>",
                             "    <Lap>"}
        << false << "Hill repeats\n      legs heavy\n  done" << 1;
    QTest::newRow("the end on a line of its own")
        << QList<QByteArray>{"<Notes>one", "</Notes>"} << false << "one\n"
        << 0;
    QTest::newRow("never closed: a tag line ends it")
        << QList<QByteArray>{"<Notes>cut off", "more", "<Lap>", "<Length>3</Length>"} << false
        << "cut off\nmore" << 1;
    QTest::newRow("only the first note")
        << QList<QByteArray>{"<Notes>first</Notes>", "<Notes>second</Notes>"} << false << "first"
        << 0;
    QTest::newRow("Windows-1252") << QList<QByteArray>{"<Notes>Caf\xe9 \x80 5</Notes>"} << true
                                  << QStringLiteral("Café € 5") << 0;
    QTest::newRow("UTF-8") << QList<QByteArray>{"<Notes>Caf\xc3\xa9</Notes>"} << false
                           << QStringLiteral("Café") << 0;
    QTest::newRow("a byte that is no UTF-8")
        << QList<QByteArray>{"<Notes>Caf\xe9</Notes>"} << false << QStringLiteral("Café") << 0;
}

// The note's text as written, in UTF-8: references stay for the writers to keep.
void TestHistoryRunDetails::notes()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(bool, windows1252);
    QFETCH(QString, note);
    QFETCH(int, laps);
    HistoryRunDetails details;
    Follow(details, lines);
    QCOMPARE(Text(details.notes(windows1252 ? ByteEncoding::Windows1252 : ByteEncoding::Utf8)),
             note);
    QCOMPARE(int(details.laps().size()), laps);
}

QTEST_GUILESS_MAIN(TestHistoryRunDetails)
#include "test_history_run_details.moc"
