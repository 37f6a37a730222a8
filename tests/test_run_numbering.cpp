#include "run/run_numbering.h"

#include <QLocale>
#include <QTest>

using namespace kelvane;

// Start days of runs in file order; a run whose day is written as 0 has no
// valid start time (it is numbered by nothing, but still ends).
class TestRunNumbering : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void numbers_data();
    void numbers();
    void baseName();
};

void TestRunNumbering::numbers_data()
{
    QTest::addColumn<QList<QDate>>("days");
    QTest::addColumn<QList<int>>("numbers");

    const QDate d(2004, 10, 25);
    QTest::newRow("three runs on one day") << QList<QDate>{d, d, d} << QList<int>{1, 2, 3};
    QTest::newRow("another day starts at 01")
        << QList<QDate>{d, d, d.addDays(1)} << QList<int>{1, 2, 1};
    // Only the day of the month is compared with the run before.
    QTest::newRow("same day of another month counts on")
        << QList<QDate>{QDate(2004, 3, 5), QDate(2004, 4, 5)} << QList<int>{1, 2};
    // A day that comes back counts on past the numbers it used.
    QTest::newRow("a day that comes back")
        << QList<QDate>{d, d, d.addDays(1), d} << QList<int>{1, 2, 1, 3};
    QTest::newRow("a run without start day in between")
        << QList<QDate>{d, QDate(), d} << QList<int>{1, 0, 2};
    QList<QDate> hundred(100, d);
    QList<int> counted;
    for (int i = 1; i <= 100; ++i)
        counted << i;
    QTest::newRow("a hundredth run") << hundred << counted;
}

void TestRunNumbering::numbers()
{
    QFETCH(QList<QDate>, days);
    QFETCH(QList<int>, numbers);
    RunNumbering numbering;
    QList<int> given;
    for (const QDate day : days) {
        int number = 0;
        if (day.isValid()) {
            number = numbering.numberRun(day);
            numbering.numberUsed(day, number);
        }
        numbering.runEnded();
        given << number;
    }
    QCOMPARE(given, numbers);
}

void TestRunNumbering::baseName()
{
    QCOMPARE(dayFileBaseName(QDate(2004, 12, 21), 1), QStringLiteral("20041221_01_Tuesday"));
    QCOMPARE(dayFileBaseName(QDate(2004, 12, 21), 100), QStringLiteral("20041221_100_Tuesday"));
}

QTEST_GUILESS_MAIN(TestRunNumbering)
#include "test_run_numbering.moc"
