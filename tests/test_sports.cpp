#include "run/sports.h"

#include <QTest>

using namespace kelvane;

class TestSports : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sports_data();
    void sports();
    void sportList_data();
    void sportList();
};

void TestSports::sports_data()
{
    // A word of an input, or a FIT sport and sub_sport as "fit 4/1".
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("sport"); // empty: none

    const QList<std::pair<const char *, const char *>> rows = {
        {"Running", "running"}, // TCX
        {"Biking", "cycling"},  // TCX
        {"Other", "other"},     // TCX
        {"MultiSportSession", "multisport"},
        {"Run", "running"}, // Strava
        {"TrailRun", "running"},
        {"VirtualRide", "cycling"},
        {"EBikeRide", "cycling"},
        {"Swim", "swimming"},
        {"Walk", "walking"},
        {"Hike", "hiking"},
        {"Rowing", "rowing"},
        {"NordicSki", "skiing"},
        {"AlpineSki", "skiing"},
        {"road_biking", "cycling"}, // Garmin Connect
        {"open_water_swimming", "swimming"},
        {"resort_skiing_snowboarding", "skiing"},
        {"Indoor Rowing", "rowing"},
        {"RUNNING", "running"},
        {"9", "running"}, // Strava's older GPX files
        {"1", "cycling"},
        {"Motorcycling", "other"}, // ends like a sport without being one
        {"Kayaking", "other"},
        {"", ""},   // a history run: no sport
        {" _", ""}, // blanks alone
        {"fit 1/0", "running"},
        {"fit 2/7", "cycling"},
        {"fit 5/17", "swimming"},
        {"fit 17/-", "hiking"},
        {"fit 3/0", "other"},   // transition
        {"fit 4/1", "running"}, // treadmill
        {"fit 4/6", "cycling"}, // indoor cycling
        {"fit 4/15", "other"},  // elliptical
        {"fit 13/-", "skiing"},
        {"fit 18/-", "multisport"},
    };
    for (const auto &[input, sport] : rows)
        QTest::newRow(*input ? input : "empty")
            << QString::fromUtf8(input) << QString::fromUtf8(sport);
}

void TestSports::sports()
{
    QFETCH(QString, input);
    QFETCH(QString, sport);
    std::optional<Sport> found;
    if (input.startsWith(QLatin1String("fit "))) {
        const QStringList numbers = input.mid(4).split(QLatin1Char('/'));
        bool given = false;
        const unsigned subSport = numbers[1].toUInt(&given);
        found = sportOfFit(numbers[0].toUInt(), given ? std::optional(subSport) : std::nullopt);
    } else {
        const QByteArray word = input.toUtf8();
        found = sportOfWord(std::string_view(word.data(), std::size_t(word.size())));
    }
    QCOMPARE(found ? QString(sportName(*found)) : QString(), sport);
}

void TestSports::sportList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("sports");
    QTest::addColumn<QString>("error");

    const QString names = QStringLiteral(
        "running, cycling, swimming, walking, hiking, rowing, skiing, multisport, other");
    QTest::newRow("two") << "running,cycling" << int(Sport::Running | Sport::Cycling) << QString();
    QTest::newRow("blanks and capitals")
        << " Skiing , other" << int(Sport::Skiing | Sport::Other) << QString();
    QTest::newRow("unknown name")
        << "running,ride" << 0
        << QStringLiteral("unknown sport \"ride\" in --sport (give names from %1, separated by "
                          "commas)")
               .arg(names);
    QTest::newRow("empty name")
        << "running," << 0
        << QStringLiteral("--sport needs names of sports from %1, separated by commas").arg(names);
}

void TestSports::sportList()
{
    QFETCH(QString, list);
    QFETCH(int, sports);
    QFETCH(QString, error);
    Sports read;
    const QString message = readSportList(list, read);
    QCOMPARE(message, error);
    if (error.isEmpty())
        QCOMPARE(int(read), sports);
}

QTEST_GUILESS_MAIN(TestSports)
#include "test_sports.moc"
