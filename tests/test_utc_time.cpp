// Times of Training Center files as instants in UTC.

#include "time/utc_time.h"

#include <QTest>

using namespace kelvane;

class TestUtcTime : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void utc_data();
    void utc();
};

void TestUtcTime::utc_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("instant"); // date " " time; empty: not a time

    QTest::newRow("UTC") << QByteArray("2026-11-02T08:00:00Z") << QByteArray("2026-11-02 08:00:00");
    QTest::newRow("fractions kept") << QByteArray("2024-11-29T07:18:42.999000+00:00")
                                    << QByteArray("2024-11-29 07:18:42.999000");
    QTest::newRow("no zone: as written")
        << QByteArray("2026-11-02T08:00:00.5") << QByteArray("2026-11-02 08:00:00.5");
    QTest::newRow("east of Greenwich")
        << QByteArray("2016-04-10T18:40:58.000+01:00") << QByteArray("2016-04-10 17:40:58.000");
    QTest::newRow("half an hour, back a day")
        << QByteArray("2026-03-01T03:10:07+05:30") << QByteArray("2026-02-28 21:40:07");
    QTest::newRow("west, into a new year")
        << QByteArray("2026-12-31T21:30:00-05:00") << QByteArray("2027-01-01 02:30:00");
    QTest::newRow("a leap day") << QByteArray("2024-03-01T01:00:00+02:00")
                                << QByteArray("2024-02-29 23:00:00");
    QTest::newRow("not a real day") << QByteArray("2026-02-30T08:00:00Z") << QByteArray();
    QTest::newRow("hour 25") << QByteArray("2026-11-02T25:00:00Z") << QByteArray();
    QTest::newRow("offset beyond 14 hours")
        << QByteArray("2026-11-02T08:00:00+15:00") << QByteArray();
    QTest::newRow("a dot without digits") << QByteArray("2026-11-02T08:00:00.Z") << QByteArray();
    QTest::newRow("something after the zone")
        << QByteArray("2026-11-02T08:00:00Zx") << QByteArray();
    QTest::newRow("a date alone") << QByteArray("2026-11-02") << QByteArray();
    QTest::newRow("blank") << QByteArray("") << QByteArray();
}

void TestUtcTime::utc()
{
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, instant);
    std::string scratch;
    UtcTime out;
    const bool read =
        utcTime(std::string_view(written.constData(), std::size_t(written.size())), scratch, out);
    QCOMPARE(read, !instant.isEmpty());
    if (read)
        QCOMPARE(QByteArray(out.date.data(), qsizetype(out.date.size())) + " " +
                     QByteArray(out.time.data(), qsizetype(out.time.size())),
                 instant);
}

QTEST_GUILESS_MAIN(TestUtcTime)
#include "test_utc_time.moc"
