#include "archive_text.h"
#include "tcx_text.h"
#include "test_fixtures.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

namespace {

// One run with one track point at its start time, indented and ended the way
// a logbook program writes them.
QByteArray Run(const QByteArray &startTime)
{
    return "    <Run>\r\n"
           "        <Lap>\r\n"
           "            <StartTime>" +
           startTime +
           "</StartTime>\r\n"
           "        </Lap>\r\n"
           "        <Track>\r\n"
           "            <Trackpoint>\r\n"
           "                <Position>\r\n"
           "                    <Latitude>47.62050</Latitude>\r\n"
           "                    <Longitude>-122.34940</Longitude>\r\n"
           "                    <Altitude>40.000</Altitude>\r\n"
           "                </Position>\r\n"
           "                <Time>" +
           startTime +
           "</Time>\r\n"
           "            </Trackpoint>\r\n"
           "        </Track>\r\n"
           "    </Run>\r\n";
}

QByteArray History(const QList<QByteArray> &runs)
{
    QByteArray text = "<?xml version=\"1.0\" ?>\r\n<History version=\"1\">\r\n";
    for (const QByteArray &run : runs)
        text += run;
    return text + "</History>\r\n";
}

// Runs around Monday 7 December 2026, the day the tests run on.
QByteArray Walk()
{
    return History(
        {Run("1949-08-24T12:00:00Z"), Run("1949-08-25T12:00:00Z"), Run("2026-10-28T09:00:00Z"),
         Run("2026-11-22T09:00:00Z"), Run("2026-12-01T09:00:00Z"), Run("2026-12-04T09:00:00Z"),
         Run("2026-12-07T07:00:00Z"), Run("2026-12-07T18:00:00Z"), Run("2026-12-08T06:00:00Z")});
}

struct Pick {
    int index;
    QDate day;
};

} // namespace

Q_DECLARE_METATYPE(QList<Pick>)

class TestRunCommands : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void convertsItsWindow_data();
    void convertsItsWindow();
    void convertsInOtherLanguages_data();
    void convertsInOtherLanguages();
    void optionsReachTheEngine();
    void typedOffsetIsNotUsed();
    void nothingReadKeepsWindowOpen_data();
    void nothingReadKeepsWindowOpen();
    void dayFileThatCannotBeWritten_data();
    void dayFileThatCannotBeWritten();
    void skippedRunsAreReported();
    void convertsChosenFile_data();
    void convertsChosenFile();
};

void TestRunCommands::convertsItsWindow_data()
{
    QTest::addColumn<QList<Pick>>("picks");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("converted");

    const QString G = QStringLiteral("20261207_01_Monday.xml");
    const QString H = QStringLiteral("20261207_02_Monday.xml");
    QTest::newRow("Today") << QList<Pick>{} << "cmdToday" << QStringList{G, H};
    QTest::newRow("a past Friday") << QList<Pick>{{0, QDate(2026, 12, 4)}} << "cmdToday"
                                   << QStringList{QStringLiteral("20261204_01_Friday.xml")};
    QTest::newRow("Last 7 Days") << QList<Pick>{} << "cmdPast7"
                                 << QStringList{QStringLiteral("20261201_01_Tuesday.xml"),
                                                QStringLiteral("20261204_01_Friday.xml"), G, H};
    QTest::newRow("Last 1 Days") << QList<Pick>{{1, QDate(2026, 12, 7)}} << "cmdPast7"
                                 << QStringList{G, H};
    QTest::newRow("Range") << QList<Pick>{} << "cmdRange"
                           << QStringList{QStringLiteral("20261028_01_Wednesday.xml"),
                                          QStringLiteral("20261122_01_Sunday.xml")};
    QTest::newRow("Range of one day") << QList<Pick>{{2, QDate(2026, 11, 22)}} << "cmdRange"
                                      << QStringList{QStringLiteral("20261122_01_Sunday.xml")};
    QTest::newRow("Range reversed") << QList<Pick>{{2, QDate(2026, 12, 4)}, {3, QDate(2026, 12, 1)}}
                                    << "cmdRange" << QStringList{};
    QTest::newRow("All") << QList<Pick>{} << "cmdAll"
                         << QStringList{QStringLiteral("19490825_01_Thursday.xml"),
                                        QStringLiteral("20261028_01_Wednesday.xml"),
                                        QStringLiteral("20261122_01_Sunday.xml"),
                                        QStringLiteral("20261201_01_Tuesday.xml"),
                                        QStringLiteral("20261204_01_Friday.xml"),
                                        G,
                                        H};
}

void TestRunCommands::convertsItsWindow()
{
    QFETCH(QList<Pick>, picks);
    QFETCH(QString, command);
    QFETCH(QStringList, converted);
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    frmKelvane &window = fixture.open();
    for (const Pick &pick : picks)
        fixture.pick(pick.index, pick.day);

    QTest::mouseClick(fixture.control(command), Qt::LeftButton);

    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.messages, QStringList());
    QCOMPARE(fixture.dayFiles(), converted);
    QCOMPARE(window.PrintedLines(), converted);
    QCOMPARE(window.LastSummary().runsRead, 9);
    auto *bar = fixture.control<QProgressBar>(QStringLiteral("prbDays"));
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 46363); // today's day serial
}

void TestRunCommands::convertsInOtherLanguages_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<QDate>>("days"); // the start days of the runs converted

    const QDate today(2026, 12, 7);
    const struct {
        const char *command;
        QList<QDate> days;
    } commands[] = {
        {"cmdToday", {today, today}},
        {"cmdPast7", {QDate(2026, 12, 1), QDate(2026, 12, 4), today, today}},
        {"cmdRange", {QDate(2026, 10, 28), QDate(2026, 11, 22)}},
    };
    // Weekday names with a blank (Hebrew, Vietnamese, Welsh, Irish, Albanian,
    // Azerbaijani, Yoruba) and digits of another script (Chakma).
    const QLocale locales[] = {
        QLocale(QLocale::Hebrew, QLocale::Israel),
        QLocale(QLocale::Vietnamese, QLocale::Vietnam),
        QLocale(QLocale::Welsh, QLocale::UnitedKingdom),
        QLocale(QLocale::Irish, QLocale::Ireland),
        QLocale(QLocale::Albanian, QLocale::Albania),
        QLocale(QLocale::Azerbaijani, QLocale::LatinScript, QLocale::Azerbaijan),
        QLocale(QLocale::Yoruba, QLocale::Nigeria),
        QLocale(QLocale::Chakma, QLocale::Bangladesh),
    };
    for (const QLocale &locale : locales) {
        for (const auto &command : commands) {
            QTest::addRow("%s %s", qPrintable(locale.name()), command.command)
                << locale << QString::fromLatin1(command.command) << command.days;
        }
    }
}

// The days the labels show in the user's language reach the engine.
void TestRunCommands::convertsInOtherLanguages()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, command);
    QFETCH(QList<QDate>, days);
    const fixtures::LocaleGuard guard(locale);
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    fixture.open();

    QTest::mouseClick(fixture.control(command), Qt::LeftButton);

    QStringList converted;
    for (int i = 0; i < days.size(); ++i) {
        const int NN = i > 0 && days[i] == days[i - 1] ? 2 : 1;
        converted << days[i].toString(QStringLiteral("yyyyMMdd_0")) + QString::number(NN) +
                         QLatin1Char('_') + locale.dayName(days[i].dayOfWeek()) +
                         QStringLiteral(".xml");
    }
    QCOMPARE(fixture.messages, QStringList());
    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.dayFiles(), converted);
}

void TestRunCommands::optionsReachTheEngine()
{
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    frmKelvane &window = fixture.open();
    fixture.control<QCheckBox>(QStringLiteral("ckXMLFlag"))->click();
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    fixture.control<QCheckBox>(QStringLiteral("chkGPXFlag"))->click();
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(combo, Qt::Key_Up);
    // The offset chosen while CSV was on still shifts the GPX times.
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();

    QTest::mouseClick(fixture.control(QStringLiteral("cmdToday")), Qt::LeftButton);

    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.dayFiles(), QStringList({QStringLiteral("20261207_01_Monday.gpx"),
                                              QStringLiteral("20261207_01_Monday.txt"),
                                              QStringLiteral("20261207_02_Monday.gpx"),
                                              QStringLiteral("20261207_02_Monday.txt")}));
    QCOMPARE(window.PrintedLines(), QStringList());
    QFile csv(fixture.folder.filePath(QStringLiteral("20261207_01_Monday.txt")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("Latitude,Longitude,Altitude, Date,Time\r\n"
                                       "47.62050,-122.34940,40.000,2026-12-07,02:00:00\r\n"));
}

// 7 typed into the offset box, then a click on Today: the box loses focus and
// the offset chosen in its list, 0, shifts the track points.
void TestRunCommands::typedOffsetIsNotUsed()
{
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    QVERIFY(combo->hasFocus());
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, QStringLiteral("7"));

    QTest::mouseClick(fixture.control(QStringLiteral("cmdToday")), Qt::LeftButton);

    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(combo->currentText(), QStringLiteral("0"));
    QFile csv(fixture.folder.filePath(QStringLiteral("20261207_01_Monday.txt")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("Latitude,Longitude,Altitude, Date,Time\r\n"
                                       "47.62050,-122.34940,40.000,2026-12-07,07:00:00\r\n"));
}

void TestRunCommands::nothingReadKeepsWindowOpen_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("walk");
    QTest::addColumn<QString>("said"); // part of the message

    QByteArray tabs = History({Run("2026-12-07T07:00:00Z")});
    tabs.replace("    <Run>", "\t<Run>");
    QTest::newRow("missing") << false << QByteArray() << "walk.xml";
    QTest::newRow("runs indented with tabs") << true << tabs << "indented with tabs";
    QTest::newRow("a GPX file of a waypoint alone, named .xml")
        << true
        << QByteArray("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"x\">"
                      "<wpt lat=\"1\" lon=\"2\"><time>2026-12-07T07:00:00Z</time></wpt></gpx>\n")
        << "only 1 waypoint and 0 routes";
    QTest::newRow("empty") << true << QByteArray() << "walk.xml\" is empty";
}

// Nothing read and nothing written: the window says why and stays for
// another file, and that conversion is the launch's one.
void TestRunCommands::nothingReadKeepsWindowOpen()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, walk);
    QFETCH(QString, said);
    WindowFixture fixture;
    if (exists)
        fixture.addFile(QStringLiteral("walk.xml"), walk);
    fixture.addFile(QStringLiteral("other.xml"), Walk());
    frmKelvane &window = fixture.open();
    QTest::mouseClick(fixture.control(QStringLiteral("cmdAll")), Qt::LeftButton);
    QCOMPARE(fixture.endCalls, 0);
    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(said), qPrintable(fixture.messages[0]));
    QVERIFY(window.isVisible());
    QCOMPARE(fixture.dayFiles(), QStringList());

    QTest::mouseClick(fixture.control(QStringLiteral("cmdSelFile")), Qt::LeftButton);
    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(fixture.control(QStringLiteral("cmdToday")), Qt::LeftButton);
    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.messages.size(), 1);
    QCOMPARE(fixture.dayFiles(), QStringList({QStringLiteral("20261207_01_Monday.xml"),
                                              QStringLiteral("20261207_02_Monday.xml")}));
}

void TestRunCommands::dayFileThatCannotBeWritten_data()
{
    QTest::addColumn<bool>("readOnly"); // else a folder stands in a day file's place
    QTest::newRow("a folder in a day file's place") << false;
    QTest::newRow("a read-only folder") << true;
}

// The program ends after the message, as after any conversion, and the
// window shows the names of the files saved and of no other.
void TestRunCommands::dayFileThatCannotBeWritten()
{
    QFETCH(bool, readOnly);
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    QFile folder(fixture.folder.path());
    const auto restore = qScopeGuard(
        [&] { folder.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    if (readOnly) {
        QVERIFY(folder.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(fixture.folder.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly))
            QSKIP("this user writes into read-only folders (root)");
    } else {
        // No user, root included, can write a file where a folder stands.
        QVERIFY(QDir(fixture.folder.path()).mkdir(QStringLiteral("20261201_01_Tuesday.xml")));
    }
    frmKelvane &window = fixture.open();
    QTest::mouseClick(fixture.control(QStringLiteral("cmdAll")), Qt::LeftButton);
    QCOMPARE(fixture.endCalls, 1);
    QVERIFY2(fixture.messages.last().contains(QStringLiteral("Cannot write")),
             qPrintable(fixture.messages.last()));
    for (const QString &name : window.PrintedLines())
        QVERIFY2(QFileInfo(fixture.folder.filePath(name)).isFile(), qPrintable(name));
    if (!readOnly)
        QCOMPARE(window.PrintedLines(), QStringList({QStringLiteral("19490825_01_Thursday.xml"),
                                                     QStringLiteral("20261028_01_Wednesday.xml"),
                                                     QStringLiteral("20261122_01_Sunday.xml")}));
}

void TestRunCommands::skippedRunsAreReported()
{
    WindowFixture fixture;
    QByteArray noStart = Run("2026-12-07T07:00:00Z");
    noStart.replace("<StartTime>", "<Begin>").replace("</StartTime>", "</Begin>");
    fixture.addFile(QStringLiteral("walk.xml"), History({Run("2026-12-06T07:00:00Z"), noStart}));
    fixture.open();
    QTest::mouseClick(fixture.control(QStringLiteral("cmdAll")), Qt::LeftButton);
    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.dayFiles(), QStringList({QStringLiteral("20261206_01_Sunday.xml")}));
    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(QStringLiteral("1 of 2 runs")),
             qPrintable(fixture.messages[0]));
    QVERIFY2(fixture.messages[0].contains(QStringLiteral("<StartTime>")),
             qPrintable(fixture.messages[0]));
}

void TestRunCommands::convertsChosenFile_data()
{
    using namespace tcx_text;
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    const TcxPoint point{"2026-12-07T07:00:00Z", "47.6205", "-122.3494", "40.0", {}};
    const QByteArray rides =
        Tcx({Activity("2026-12-04T07:00:00Z", {point}), Activity("2026-12-07T07:00:00Z", {point})});
    QTest::newRow("a Training Center file") << "Rides.tcx" << rides;
    QTest::newRow("a gzipped Training Center file")
        << "Rides.tcx.gz" << archive_text::Gzipped(rides);
}

// The list offers Training Center, GPX and compressed files beside history
// files; the one chosen is converted into day files of its own format.
void TestRunCommands::convertsChosenFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"), Walk());
    fixture.addFile(name, bytes);
    fixture.addFile(QStringLiteral("notes.txt"));
    fixture.addFile(QStringLiteral("Tour.gpx"));
    frmKelvane &window = fixture.open();
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();

    QTest::mouseClick(fixture.control(QStringLiteral("cmdSelFile")), Qt::LeftButton);
    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), name);
    QCOMPARE(list->item(1)->text(), QStringLiteral("Tour.gpx"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("walk.xml"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(fixture.control(QStringLiteral("cmdPast7")), Qt::LeftButton);

    QCOMPARE(fixture.endCalls, 1);
    QCOMPARE(fixture.messages, QStringList());
    QCOMPARE(fixture.dayFiles(), QStringList({QStringLiteral("20261204_01_Friday.tcx"),
                                              QStringLiteral("20261204_01_Friday.txt"),
                                              QStringLiteral("20261207_01_Monday.tcx"),
                                              QStringLiteral("20261207_01_Monday.txt")}));
    QCOMPARE(window.PrintedLines(), QStringList({QStringLiteral("20261204_01_Friday.tcx"),
                                                 QStringLiteral("20261207_01_Monday.tcx")}));
    QFile csv(fixture.folder.filePath(QStringLiteral("20261207_01_Monday.txt")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("Latitude,Longitude,Altitude, Date,Time\r\n"
                                       "47.6205,-122.3494,40.0,2026-12-07,07:00:00\r\n"));
}

QTEST_MAIN(TestRunCommands)
#include "test_run_commands.moc"
