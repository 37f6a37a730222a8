#include "run/run_figures.h"
#include "text/number_text.h"

#include <QTest>

#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

using namespace kelvane;

// Tracks of our own, their figures worked out apart from the code: legs
// along a meridian or the equator are R times their angle; other legs are
// given by the spherical law of cosines.
namespace {

constexpr double kR = 6371008.8;

double alongCircle(double degrees)
{
    return kR * degrees * std::numbers::pi / 180;
}

double lawOfCosines(double lat1, double lon1, double lat2, double lon2)
{
    const double r = std::numbers::pi / 180;
    return kR * std::acos(std::sin(lat1 * r) * std::sin(lat2 * r) +
                          std::cos(lat1 * r) * std::cos(lat2 * r) * std::cos((lon2 - lon1) * r));
}

// A point as "time latitude longitude elevation heart-rate cadence power
// temperature speed", "-" where absent.
FigurePoint point(const QString &text)
{
    const QStringList values = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Q_ASSERT(values.size() == 9);
    std::optional<double> FigurePoint::*const members[] = {
        &FigurePoint::time,      &FigurePoint::latitude,    &FigurePoint::longitude,
        &FigurePoint::elevation, &FigurePoint::heartRate,   &FigurePoint::cadence,
        &FigurePoint::power,     &FigurePoint::temperature, &FigurePoint::speed};
    FigurePoint p;
    for (int i = 0; i < 9; ++i)
        if (values[i] != QLatin1String("-"))
            p.*members[i] = values[i].toDouble();
    return p;
}

template <class Figures> struct Named {
    const char *name;
    std::optional<double> Figures::*member;
};
constexpr Named<RunFigures> kFigures[] = {
    {"start", &RunFigures::start},
    {"elapsed", &RunFigures::elapsed},
    {"moving", &RunFigures::moving},
    {"distance", &RunFigures::distance},
    {"ascent", &RunFigures::ascent},
    {"descent", &RunFigures::descent},
    {"lowest", &RunFigures::lowest},
    {"highest", &RunFigures::highest},
    {"averageSpeed", &RunFigures::averageSpeed},
    {"maximumSpeed", &RunFigures::maximumSpeed},
    {"heartRateAverage", &RunFigures::heartRateAverage},
    {"heartRateMaximum", &RunFigures::heartRateMaximum},
    {"cadenceAverage", &RunFigures::cadenceAverage},
    {"powerAverage", &RunFigures::powerAverage},
    {"powerMaximum", &RunFigures::powerMaximum},
    {"calories", &RunFigures::calories},
    {"temperatureAverage", &RunFigures::temperatureAverage},
};
constexpr Named<DeviceTotals> kTotals[] = {
    {"elapsed", &DeviceTotals::elapsed},
    {"moving", &DeviceTotals::moving},
    {"distance", &DeviceTotals::distance},
    {"ascent", &DeviceTotals::ascent},
    {"descent", &DeviceTotals::descent},
    {"heartRateAverage", &DeviceTotals::heartRateAverage},
    {"heartRateMaximum", &DeviceTotals::heartRateMaximum},
    {"maximumSpeed", &DeviceTotals::maximumSpeed},
    {"calories", &DeviceTotals::calories},
    {"powerAverage", &DeviceTotals::powerAverage},
    {"powerMaximum", &DeviceTotals::powerMaximum},
    {"temperatureAverage", &DeviceTotals::temperatureAverage},
};
constexpr Named<TcxLapTotals> kLapTotals[] = {
    {"seconds", &TcxLapTotals::seconds},
    {"meters", &TcxLapTotals::meters},
    {"calories", &TcxLapTotals::calories},
    {"maximumSpeed", &TcxLapTotals::maximumSpeed},
    {"averageHeartRate", &TcxLapTotals::averageHeartRate},
    {"maximumHeartRate", &TcxLapTotals::maximumHeartRate},
};

// "name=value ..." into figures; names not given stay empty.
template <class Figures, std::size_t N>
Figures figuresOf(const QString &text, const Named<Figures> (&names)[N])
{
    Figures figures;
    for (const QString &pair : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char('='));
        bool found = false;
        for (const auto &[name, member] : names) {
            if (parts.first() == QLatin1String(name)) {
                figures.*member = parts.last().toDouble();
                found = true;
            }
        }
        if (!found)
            qFatal("no figure %s", qPrintable(pair));
    }
    return figures;
}

// Every figure equal to 0.1 %, and empty where expected empty.
template <class Figures, std::size_t N>
void compareFigures(const Figures &actual, const Figures &expected,
                    const Named<Figures> (&names)[N])
{
    for (const auto &[name, member] : names) {
        const std::optional<double> &a = actual.*member;
        const std::optional<double> &e = expected.*member;
        if (a.has_value() != e.has_value())
            QFAIL(qPrintable(QStringLiteral("%1: %2 where %3 was expected")
                                 .arg(QLatin1String(name),
                                      a ? QString::number(*a) : QStringLiteral("empty"),
                                      e ? QString::number(*e) : QStringLiteral("empty"))));
        if (a && std::abs(*a - *e) > 0.001 * std::abs(*e) + 1e-9)
            QFAIL(qPrintable(QStringLiteral("%1: %2 where %3 was expected")
                                 .arg(QLatin1String(name))
                                 .arg(*a, 0, 'g', 12)
                                 .arg(*e, 0, 'g', 12)));
    }
}

QString figure(const char *name, double value)
{
    return QStringLiteral(" %1=%2").arg(QLatin1String(name)).arg(value, 0, 'g', 15);
}

} // namespace

class TestRunFigures : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void computed_data();
    void computed();
    void sessions_data();
    void sessions();
    void laps_data();
    void laps();
    void deviceTotalsWin_data();
    void deviceTotalsWin();
    void numbersReadAsFromChars();
};

void TestRunFigures::computed_data()
{
    QTest::addColumn<QStringList>("points");
    QTest::addColumn<QString>("figures"); // all others empty
    QTest::addColumn<qint64>("positioned");

    // North along the prime meridian in steps of 0.0001 degrees, 11.12 m:
    // a stop, a creep at 0.011 m/s, then on at 0.55 m/s.
    QTest::newRow("a walk with a stop")
        << QStringList{"1600000000 0 0 100 120 - 80 20 -",
                       "1600000010 0.0001 0 103 130 - - - -",
                       "1600000020 0.0002 0 106 - - - 21 -",
                       "1600000030 0.0002 0 104 140 - - - -",
                       "1600000040 0.000201 0 98 - - 100 - -",
                       "1600000060 0.0003 0 99 150 - - 22 -"}
        << QStringLiteral("start=1600000000 elapsed=60 moving=40 ascent=6 descent=8 lowest=98 "
                          "highest=106 heartRateAverage=135 heartRateMaximum=150 powerAverage=90 "
                          "powerMaximum=100 temperatureAverage=21") +
               figure("distance", alongCircle(0.0003)) +
               figure("averageSpeed", alongCircle(0.0003) / 40)
        << qint64(6);
    // Between a point without a position and the next, the device's speed
    // at the later one tells whether the interval was moving.
    QTest::newRow("a point without position")
        << QStringList{"0 0 0 - - 90 - - -", "10 - - - - 92 - - 2", "20 0 0.0002 - - - - - 0.1",
                       "30 0 0.0003 - - - - - -"}
        << QStringLiteral("start=0 elapsed=30 moving=20 maximumSpeed=2 cadenceAverage=91") +
               figure("distance", alongCircle(0.0003)) +
               figure("averageSpeed", alongCircle(0.0003) / 20)
        << qint64(3);
    // A point without time still lies on the way between two timed ones.
    QTest::newRow("a point without time")
        << QStringList{"0 0 0 - - - - - -", "- 0.0001 0 - - - - - -", "20 0.0002 0 - - - - - -"}
        << QStringLiteral("start=0 elapsed=20 moving=20") +
               figure("distance", alongCircle(0.0002)) +
               figure("averageSpeed", alongCircle(0.0002) / 20)
        << qint64(3);
    QTest::newRow("times alone: no distance, moving time unknown")
        << QStringList{"100 - - - 150 - - - -", "160 - - - 160 - - - -"}
        << QStringLiteral("start=100 elapsed=60 heartRateAverage=155 heartRateMaximum=160")
        << qint64(0);
    // Long legs: a formula that holds only for short ones fails here.
    const double across = lawOfCosines(45, 10, -30, 100) + lawOfCosines(-30, 100, -30, 170);
    QTest::newRow("across the globe")
        << QStringList{"0 45 10 - - - - - -", "36000 -30 100 - - - - - -",
                       "72000 -30 170 - - - - - -"}
        << QStringLiteral("start=0 elapsed=72000 moving=72000") + figure("distance", across) +
               figure("averageSpeed", across / 72000)
        << qint64(3);
    // The reference moves only by more than 5 m: rises of 5 m add nothing.
    QTest::newRow("elevation within 5 m of the reference")
        << QStringList{"- - - 10 - - - - -", "- - - 15 - - - - -", "- - - 20.5 - - - - -",
                       "- - - 15.5 - - - - -", "- - - 15.4 - - - - -"}
        << QStringLiteral("ascent=10.5 descent=5.1 lowest=10 highest=20.5") << qint64(0);
}

void TestRunFigures::computed()
{
    QFETCH(QStringList, points);
    QFETCH(QString, figures);
    QFETCH(qint64, positioned);
    RunFiguresAccumulator accumulator;
    for (const QString &text : points)
        accumulator.add(point(text));
    const RunFigures actual = accumulator.figures();
    compareFigures(actual, figuresOf(figures, kFigures), kFigures);
    QCOMPARE(actual.points, points.size());
    QCOMPARE(actual.positionedPoints, positioned);
}

void TestRunFigures::sessions_data()
{
    QTest::addColumn<QStringList>("sessions");
    QTest::addColumn<QString>("totals");

    QTest::newRow("one session as written")
        << QStringList{"elapsed=2223.803 moving=2223.803 distance=10010.82 calories=677"}
        << QStringLiteral("elapsed=2223.803 moving=2223.803 distance=10010.82 calories=677");
    QTest::newRow("totals summed, averages by timer time, maxima the highest")
        << QStringList{"elapsed=120 moving=100 distance=500 ascent=10 descent=4 calories=30 "
                       "heartRateAverage=100 heartRateMaximum=150 maximumSpeed=6 "
                       "powerAverage=200 powerMaximum=400 temperatureAverage=10",
                       "elapsed=300 moving=300 distance=2000 ascent=20 descent=6 calories=70 "
                       "heartRateAverage=140 heartRateMaximum=160 maximumSpeed=5 "
                       "powerAverage=100 powerMaximum=300 temperatureAverage=30"}
        << QStringLiteral("elapsed=420 moving=400 distance=2500 ascent=30 descent=10 calories=100 "
                          "heartRateAverage=130 heartRateMaximum=160 maximumSpeed=6 "
                          "powerAverage=125 powerMaximum=400 temperatureAverage=25");
    // A transition without ascent or power leaves the others' as they are.
    QTest::newRow("a figure only one session has")
        << QStringList{"moving=100 ascent=5 powerAverage=150", "moving=300 heartRateAverage=120"}
        << QStringLiteral("moving=400 ascent=5 powerAverage=150 heartRateAverage=120");
    QTest::newRow("averages weighted by elapsed time without timer time")
        << QStringList{"elapsed=100 heartRateAverage=100", "elapsed=300 heartRateAverage=200"}
        << QStringLiteral("elapsed=400 heartRateAverage=175");
    QTest::newRow("no session") << QStringList{} << QString();
}

void TestRunFigures::sessions()
{
    QFETCH(QStringList, sessions);
    QFETCH(QString, totals);
    std::vector<DeviceTotals> parts;
    for (const QString &session : sessions)
        parts.push_back(figuresOf(session, kTotals));
    compareFigures(sessionTotals(parts), figuresOf(totals, kTotals), kTotals);
}

void TestRunFigures::laps_data()
{
    QTest::addColumn<QStringList>("laps");
    QTest::addColumn<QString>("totals");

    QTest::newRow("laps summed, heart rate weighted by lap time")
        << QStringList{"seconds=100 meters=300 calories=20 maximumSpeed=4 averageHeartRate=120 "
                       "maximumHeartRate=140",
                       "seconds=300 meters=1000 calories=60 maximumSpeed=5 averageHeartRate=160 "
                       "maximumHeartRate=170"}
        << QStringLiteral("moving=400 distance=1300 calories=80 maximumSpeed=5 "
                          "heartRateAverage=150 heartRateMaximum=170");
    QTest::newRow("a lap without heart rate")
        << QStringList{"seconds=100 averageHeartRate=120", "seconds=300"}
        << QStringLiteral("moving=400 heartRateAverage=120");
}

void TestRunFigures::laps()
{
    QFETCH(QStringList, laps);
    QFETCH(QString, totals);
    std::vector<TcxLapTotals> parts;
    for (const QString &lap : laps)
        parts.push_back(figuresOf(lap, kLapTotals));
    compareFigures(lapTotals(parts), figuresOf(totals, kTotals), kTotals);
}

void TestRunFigures::deviceTotalsWin_data()
{
    QTest::addColumn<QString>("totals");
    QTest::addColumn<QString>("figures");

    QTest::newRow("distance and moving time given")
        << QStringLiteral("moving=50 distance=200 heartRateMaximum=130")
        << QStringLiteral("start=0 elapsed=100 moving=50 distance=200 averageSpeed=4 "
                          "heartRateAverage=110 heartRateMaximum=130");
    // The moving time still needs the distance between the points.
    QTest::newRow("the distance alone given")
        << QStringLiteral("distance=200")
        << QStringLiteral("start=0 elapsed=100 moving=100 distance=200 averageSpeed=2 "
                          "heartRateAverage=110 heartRateMaximum=120");
}

void TestRunFigures::deviceTotalsWin()
{
    QFETCH(QString, totals);
    QFETCH(QString, figures);
    const DeviceTotals given = figuresOf(totals, kTotals);
    RunFiguresAccumulator accumulator;
    accumulator.leaveTo(given);
    accumulator.add(point("0 0 0 - 100 - - - -"));
    accumulator.add(point("100 0.001 0 - 120 - - - -"));
    RunFigures actual = accumulator.figures();
    useDeviceTotals(actual, given);
    compareFigures(actual, figuresOf(figures, kFigures), kFigures);
}

// Every text of digits, signs, points and exponents reads as from_chars
// reads it, to the bit, or is refused as it refuses it.
void TestRunFigures::numbersReadAsFromChars()
{
    std::mt19937 random(7);
    const std::string alphabet = "0123456789999000.-+eE";
    const std::string fixed[] = {"",
                                 "-",
                                 "+",
                                 ".",
                                 "5.",
                                 ".5",
                                 "-0",
                                 "-0.0",
                                 "+-5",
                                 "1e3",
                                 "00.10",
                                 "123456789012345",
                                 "1234567890123456",
                                 "0.000000000000001",
                                 "47.6582123",
                                 "-122.3",
                                 "9007199254740992",
                                 "9007199254740993",
                                 "0.9007199254740993",
                                 "37.34290899228714",
                                 "1234567890123456789",
                                 "12345678901234567890",
                                 "1.2.3",
                                 "inf",
                                 "nan"};
    std::vector<std::string> texts(std::begin(fixed), std::end(fixed));
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const int length = int(random() % 20);
        for (int j = 0; j < length; ++j)
            text += alphabet[random() % (j == 0 ? alphabet.size() : 17)];
        texts.push_back(text);
    }
    for (const std::string &text : texts) {
        std::string_view rest = text;
        if (!rest.empty() && rest.front() == '+')
            rest.remove_prefix(1);
        double expected = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), expected);
        const bool accepted = !rest.empty() && error == std::errc() &&
                              end == rest.data() + rest.size() && std::isfinite(expected);
        double value = 0;
        QCOMPARE(readNumber(text, value), accepted);
        if (accepted)
            QVERIFY2(std::memcmp(&value, &expected, sizeof value) == 0, text.c_str());
    }
}

QTEST_GUILESS_MAIN(TestRunFigures)
#include "test_run_figures.moc"
