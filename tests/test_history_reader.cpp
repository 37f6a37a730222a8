#include "history_text.h"
#include "test_fixtures.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;
using namespace fixtures;
using namespace history_text;

namespace {

const DateWindow kEverything{earliestDay(), kToday};

// The day files to write, whether notes are escaped, and the hour offset.
ConversionOptions Options(bool xml, bool csv, bool gpx, bool escapeNotes, int offset)
{
    ConversionOptions options;
    options.dayFiles.setFlag(DayFileKind::OwnFormat, xml);
    options.dayFiles.setFlag(DayFileKind::Csv, csv);
    options.dayFiles.setFlag(DayFileKind::Gpx, gpx);
    options.escapeHighCharacters = escapeNotes;
    options.hourOffset = offset;
    return options;
}

const Point kP1{"47.6205", "-122.3493", "56.1", "2004-10-25T13:45:10Z"};
const Point kP2{"47.6207", "-122.3490", "57.0", "2004-10-25T13:45:15Z"};

} // namespace

class TestHistoryReader : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    RecordingProgress progress;

    QString out() const { return dir.filePath(QStringLiteral("out")); }
    QString input() const { return dir.filePath(QStringLiteral("history.xml")); }

    ConversionSummary convert(const QByteArray &history, const DateWindow &window = kEverything,
                              const ConversionOptions &options = AllFormats())
    {
        [&] { QVERIFY(WriteFile(input(), history)); }();
        return makeDayFiles({input(), out(), window, options, kToday}, progress);
    }
    QStringList files() const { return QDir(out()).entryList(QDir::Files, QDir::Name); }
    QByteArray file(const QString &name) const { return ReadFile(QDir(out()).filePath(name)); }

  private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init()
    {
        progress = RecordingProgress();
        QVERIFY(EmptyFolder(out()));
    }

    void writesTheThreeDayFiles();
    void lineEndsOfTheInput_data();
    void lineEndsOfTheInput();
    void dateWindow_data();
    void dateWindow();
    void dayNumbering_data();
    void dayNumbering();
    void onlyFirstStartTimeCounts();
    void skippedRuns_data();
    void skippedRuns();
    void hintWhenNoRunIsFound_data();
    void hintWhenNoRunIsFound();
    void byteOrderMark();
    void strayRunEndWritesNothing();
    void runsOutsideTheWindowStillCarryPointTexts();
    void runInsideAnotherRun();
    void formatSwitches_data();
    void formatSwitches();
    void progressReports_data();
    void progressReports();
    void notesConversionReachesXmlOnly();
    void xmlFrameWithoutDeclarationOrHistory();
    void laterRunWithFewerPointsRepeatsNone();
    void existingFileIsReplaced();
    void runsLongerThanAnyTable();
    void carriedTextsOutlastTheReadBuffer();
    void badRequests_data();
    void badRequests();
    void emptyInputWritesNothing();
};

void TestHistoryReader::writesTheThreeDayFiles()
{
    const auto run = Run("2004-10-25T13:45:00Z", {kP1, kP2}, "Easy");
    const auto summary = convert(History({run}), kEverything, AllFormats(-5));
    QVERIFY2(summary.ok(), qPrintable(summary.error));
    QCOMPARE(files(), QStringList({"20041025_01_Monday.gpx", "20041025_01_Monday.txt",
                                   "20041025_01_Monday.xml"}));
    QCOMPARE(progress.saved, QStringList({"20041025_01_Monday.xml", "20041025_01_Monday.txt",
                                          "20041025_01_Monday.gpx"}));
    QCOMPARE(summary.runsRead, 1);
    QCOMPARE(summary.runsConverted, 1);
    QCOMPARE(summary.filesWritten, 3);

    QCOMPARE(file("20041025_01_Monday.xml"), Lines(QList<QByteArray>{kDeclaration, "", kHistory} +
                                                   run + QList<QByteArray>{"</History>"}));
    QCOMPARE(file("20041025_01_Monday.txt"), Lines({"Latitude,Longitude,Altitude, Date,Time",
                                                    "47.6205,-122.3493,56.1,2004-10-25,08:45:10",
                                                    "47.6207,-122.3490,57.0,2004-10-25,08:45:15"}));
    QCOMPARE(
        file("20041025_01_Monday.gpx"),
        Lines({"<?xml version=\"1.0\"?>",
               "<gpx version=\"1.0\" creator=\"Tessaly Kelvane - http://kelvane.example.org/\">",
               "<trk>", "<trkseg>", "<trkpt lat=\"47.6205\" lon=\"-122.3493\">", "<ele>56.1</ele>",
               "<time>2004-10-25T08:45:10Z</time>", "</trkpt>",
               "<trkpt lat=\"47.6207\" lon=\"-122.3490\">", "<ele>57.0</ele>",
               "<time>2004-10-25T08:45:15Z</time>", "</trkpt>", "</trkseg>", "</trk>", "</gpx>"}));
}

void TestHistoryReader::lineEndsOfTheInput_data()
{
    QTest::addColumn<QByteArray>("history");
    QTest::addColumn<bool>("convertNotes");
    QTest::addColumn<QList<QByteArray>>("xmlLines"); // of the day file, each ending in CR LF

    const auto run = Run("2004-10-25T13:45:00Z", {kP1, kP2}, "Caf\xe9");
    const auto expected =
        QList<QByteArray>{kDeclaration, "", kHistory} + run + QList<QByteArray>{"</History>"};
    QTest::newRow("LF alone") << History({run}, "\n") << false << expected;

    // Every third line ends in LF alone; the converted note sits among them.
    QByteArray mixed;
    const auto lines = QList<QByteArray>{kDeclaration, kHistory} + run;
    for (qsizetype i = 0; i < lines.size(); ++i)
        mixed += lines[i] + (i % 3 == 2 ? "\n" : "\r\n");
    auto converted = expected;
    converted.replace(converted.indexOf("        <Notes>Caf\xe9</Notes>"),
                      "        &#60;Notes>Caf&#233;&#60;/Notes>");
    QTest::newRow("mixed, with a converted note") << mixed + "</History>" << true << converted;

    QTest::newRow("the run ends the file without a line end")
        << History({run}).chopped(int(QByteArray("</History>\r\n").size() + 2)) << false
        << expected;
}

// The XML day file is written with CR LF whatever the input used, line by
// line as the run had it.
void TestHistoryReader::lineEndsOfTheInput()
{
    QFETCH(QByteArray, history);
    QFETCH(bool, convertNotes);
    QFETCH(QList<QByteArray>, xmlLines);
    QVERIFY(convert(history, kEverything, Options(true, true, false, convertNotes, 0)).ok());
    QCOMPARE(file("20041025_01_Monday.xml"), Lines(xmlLines));
    QCOMPARE(file("20041025_01_Monday.txt").count("\r\n"), 3);
}

void TestHistoryReader::dateWindow_data()
{
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("everything") << QDate(1949, 8, 25) << kToday
                                << QStringList{"20041024_01_Sunday.xml", "20041025_01_Monday.xml",
                                               "20041026_01_Tuesday.xml"};
    QTest::newRow("one day") << QDate(2004, 10, 25) << QDate(2004, 10, 25)
                             << QStringList{"20041025_01_Monday.xml"};
    QTest::newRow("both ends included")
        << QDate(2004, 10, 25) << QDate(2004, 10, 26)
        << QStringList{"20041025_01_Monday.xml", "20041026_01_Tuesday.xml"};
    QTest::newRow("reversed range is empty")
        << QDate(2004, 10, 26) << QDate(2004, 10, 24) << QStringList();
    QTest::newRow("before every run") << QDate(2003, 1, 1) << QDate(2003, 12, 31) << QStringList();
}

void TestHistoryReader::dateWindow()
{
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(QStringList, written);
    const auto summary =
        convert(History({Run("2004-10-24T23:59:59Z", {kP1}), Run("2004-10-25T00:00:00Z", {kP1}),
                         Run("2004-10-26T08:00:00Z")}),
                {first, last}, Options(true, false, false, false, 0));
    QVERIFY(summary.ok());
    QCOMPARE(files(), written);
    QCOMPARE(summary.runsRead, 3);
    QCOMPARE(summary.runsConverted, written.size());
}

void TestHistoryReader::dayNumbering_data()
{
    QTest::addColumn<QList<QByteArray>>("startTimes");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("three on one day")
        << QList<QByteArray>{"2004-10-25T08:00:00Z", "2004-10-25T12:00:00Z", "2004-10-25T18:00:00Z"}
        << QStringList{"20041025_01_Monday", "20041025_02_Monday", "20041025_03_Monday"};
    QTest::newRow("only the day of month is compared")
        << QList<QByteArray>{"2004-03-05T08:00:00Z", "2004-04-05T08:00:00Z"}
        << QStringList{"20040305_01_Friday", "20040405_02_Monday"};
    QTest::newRow("day number starts again on another day")
        << QList<QByteArray>{"2004-10-25T08:00:00Z", "2004-10-25T09:00:00Z", "2004-10-26T08:00:00Z"}
        << QStringList{"20041025_01_Monday", "20041025_02_Monday", "20041026_01_Tuesday"};
    // A day that comes back later never replaces the files written for it before.
    QTest::newRow("same day again after another day counts on")
        << QList<QByteArray>{"2004-10-25T08:00:00Z", "2004-10-25T09:00:00Z", "2004-10-26T08:00:00Z",
                             "2004-10-25T20:00:00Z", "2004-10-25T21:00:00Z"}
        << QStringList{"20041025_01_Monday", "20041025_02_Monday", "20041026_01_Tuesday",
                       "20041025_03_Monday", "20041025_04_Monday"};
    QList<QByteArray> ten(10, "2004-10-25T08:00:00Z");
    QStringList tenNames;
    for (int i = 1; i <= 10; ++i)
        tenNames << QStringLiteral("20041025_%1_Monday").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("tenth run is 10") << ten << tenNames;
}

void TestHistoryReader::dayNumbering()
{
    QFETCH(QList<QByteArray>, startTimes);
    QFETCH(QStringList, names);
    QList<QList<QByteArray>> runs;
    for (const QByteArray &start : startTimes)
        runs << Run(start);
    QVERIFY(convert(History(runs), kEverything, Options(true, false, false, false, 0)).ok());
    QStringList expected;
    for (const QString &name : names)
        expected << name + QStringLiteral(".xml");
    QCOMPARE(progress.saved, expected);
}

void TestHistoryReader::onlyFirstStartTimeCounts()
{
    auto run = Run("2004-10-25T23:50:00Z");
    run.insert(5, "            <StartTime>2004-10-26T00:10:00Z</StartTime>");
    QVERIFY(convert(History({run}), kEverything, Options(true, false, false, false, 0)).ok());
    QCOMPARE(files(), QStringList{"20041025_01_Monday.xml"});
}

void TestHistoryReader::skippedRuns_data()
{
    QTest::addColumn<QList<QByteArray>>("badRun");
    QTest::addColumn<QString>("reason");

    auto noStart = Run("x");
    noStart.removeAt(3);
    QTest::newRow("no start time") << noStart << "no <StartTime>";
    QTest::newRow("start time in a folder") << Run("../../etc/passwdT00:00:00Z") << "real date";
    QTest::newRow("not a real day") << Run("2004-02-30T08:00:00Z") << "real date";
    QTest::newRow("short year") << Run("04-10-25T08:00:00Z") << "real date";
    QTest::newRow("empty start time") << Run("") << "real date";
    QTest::newRow("slash separators") << Run("2004/10/25T08:00:00Z") << "real date";
    // The value alone is quoted, its control characters shown, never sent.
    QTest::newRow("terminal commands in the start time")
        << Run("\x1b]0;TITLE\x07\x1b[2Jgarbage")
        << "its start time \"\\x1b]0;TITLE\\x07\\x1b[2Jgarbage\" does not begin";
    QTest::newRow("NUL in the start time")
        << Run(QByteArray("ab\0cd", 5)) << "its start time \"ab\\x00cd\" does not begin";
    QTest::newRow("UTF-8 in the start time") << Run("caf\xc3\xa9") << "\"caf\u00e9\"";
    QTest::newRow("8-bit text in the start time") << Run("caf\xe9") << "\"caf\u00e9\"";
}

void TestHistoryReader::hintWhenNoRunIsFound_data()
{
    QTest::addColumn<QByteArray>("history");
    QTest::addColumn<QString>("cause");

    const QByteArray good = History({Run("2004-10-25T08:00:00Z", {kP1})});
    QByteArray tabs = good;
    tabs.replace("    <Run>", "\t<Run>");
    QTest::newRow("tabs") << tabs << "indented with tabs";
    QByteArray oneLine = good;
    oneLine.replace("\r\n", "");
    QTest::newRow("no line ends") << oneLine << "has no line ends";
    QByteArray crOnly = good;
    crOnly.replace("\r\n", "\r");
    QTest::newRow("CR alone") << crOnly << "end in CR alone";
    QByteArray attributes = good;
    attributes.replace("<Run>", "<Run id=\"1\">");
    QTest::newRow("Run with attributes") << attributes << "carry attributes";
    QByteArray prefixed = good;
    prefixed.replace("<Run>", "<lb:Run>").replace("</Run>", "</lb:Run>");
    QTest::newRow("namespace prefix") << prefixed << "namespace prefix";
    QByteArray utf16(reinterpret_cast<const char *>(QString::fromLatin1(good).utf16()),
                     good.size() * 2);
    QTest::newRow("UTF-16") << "\xff\xfe" + utf16 << "UTF-16";
    QTest::newRow("UTF-16 without a byte order mark") << utf16 << "UTF-16";
    QByteArray nulAndTabs = tabs;
    nulAndTabs.replace("?>", QByteArray("?>\0", 3));
    QTest::newRow("a NUL byte is no sign of UTF-16") << nulAndTabs << "indented with tabs";
    QByteArray twoOnALine = good;
    twoOnALine.replace("\r\n    <Run>", "<Run>");
    QTest::newRow("Run after another tag") << twoOnALine << "several elements stand on one line";
    QTest::newRow("text without runs") << QByteArray("a note\n") << "";
}

// A file in which no run is found converts nothing, and says what the
// reader looks for and what it saw instead.
void TestHistoryReader::hintWhenNoRunIsFound()
{
    QFETCH(QByteArray, history);
    QFETCH(QString, cause);
    const auto summary = convert(history);
    QVERIFY(summary.ok());
    QCOMPARE(summary.runsRead, 0);
    QVERIFY2(summary.noRunHint.startsWith(
                 QStringLiteral("No run found in \"%1\". A history file holds each element on a "
                                "line of its own, and a run begins with a line \"<Run>\"")
                     .arg(input())),
             qPrintable(summary.noRunHint));
    QVERIFY2(summary.noRunHint.contains(cause), qPrintable(summary.noRunHint));
    if (cause.isEmpty())
        QVERIFY(summary.noRunHint.endsWith(QLatin1String("(after blanks).")));

    QVERIFY(convert(History({Run("2004-10-25T08:00:00Z", {kP1})})).noRunHint.isEmpty());
}

// A byte order mark before the declaration: the declaration is found, and
// the day files begin with the mark and the declaration.
void TestHistoryReader::byteOrderMark()
{
    const QByteArray history = "\xef\xbb\xbf" + History({Run("2004-10-25T08:00:00Z", {kP1})});
    QVERIFY(convert(history).ok());
    QVERIFY(file("20041025_01_Monday.xml")
                .startsWith("\xef\xbb\xbf" + kDeclaration + "\r\n\r\n" + kHistory +
                            "\r\n    <Run>\r\n"));
}

// A run that cannot be named writes nothing and leaves the numbering of the
// runs around it as it was.
void TestHistoryReader::skippedRuns()
{
    QFETCH(QList<QByteArray>, badRun);
    QFETCH(QString, reason);
    const auto history =
        History({Run("2004-10-25T08:00:00Z", {kP1}), badRun, Run("2004-10-25T09:00:00Z", {kP2})});
    const auto summary = convert(history, kEverything, Options(true, false, false, false, 0));
    QVERIFY(summary.ok());
    QCOMPARE(files(), QStringList({"20041025_01_Monday.xml", "20041025_02_Monday.xml"}));
    QCOMPARE(summary.runsRead, 3);
    QCOMPARE(summary.runsConverted, 2);
    QCOMPARE(summary.runsSkipped, 1);
    QCOMPARE(summary.skipped.size(), 1);
    QCOMPARE(summary.skipped.first().line, 3 + Run("", {kP1}).size()); // its <Run> line
    QVERIFY2(summary.skipped.first().reason.contains(reason),
             qPrintable(summary.skipped.first().reason));
    QVERIFY(file("20041025_01_Monday.xml").contains("47.6205"));
    QVERIFY(file("20041025_02_Monday.xml").contains("47.6207"));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files) == QStringList{"history.xml"});
}

void TestHistoryReader::strayRunEndWritesNothing()
{
    auto run = Run("2004-10-25T08:00:00Z", {kP1, kP2});
    auto history = History({run});
    history.replace("</History>", "    </Run>\r\n</History>");
    QVERIFY(convert(history).ok());
    QCOMPARE(file("20041025_01_Monday.txt").count("\r\n"), 3);
    QCOMPARE(file("20041025_01_Monday.xml"), Lines(QList<QByteArray>{kDeclaration, "", kHistory} +
                                                   run + QList<QByteArray>{"</History>"}));
}

void TestHistoryReader::runsOutsideTheWindowStillCarryPointTexts()
{
    auto inside = Run("2004-10-26T08:00:00Z", {{"1", "2", "", "2004-10-26T08:00:00Z"}});
    inside.removeIf([](const QByteArray &line) { return line.contains("<Altitude>"); });
    const auto history = History({Run("2004-10-25T08:00:00Z", {kP1}), inside});
    QVERIFY(convert(history, {QDate(2004, 10, 26), QDate(2004, 10, 26)},
                    Options(false, true, false, false, 0))
                .ok());
    QCOMPARE(files(), QStringList{"20041026_01_Tuesday.txt"});
    QCOMPARE(file("20041026_01_Tuesday.txt"),
             Lines({"Latitude,Longitude,Altitude, Date,Time", "1,2,56.1,2004-10-26,08:00:00"}));
}

// A <Run> line inside a run starts over the search for a start time; when the
// first start time lay outside the window and the second inside, the run's
// earlier lines were not kept, so it is reported instead of written short.
void TestHistoryReader::runInsideAnotherRun()
{
    auto outer = Run("2004-10-25T08:00:00Z", {kP1});
    outer.removeLast();
    const auto history = History({outer + Run("2004-10-26T08:00:00Z", {kP2})});
    auto summary = convert(history, {QDate(2004, 10, 26), QDate(2004, 10, 26)});
    QVERIFY(summary.ok());
    QVERIFY(files().isEmpty());
    QCOMPARE(summary.runsSkipped, 1);

    // A nested <Run> with no start time of its own keeps the first one's name.
    auto nestedWithoutStart = Run("x", {kP2});
    nestedWithoutStart.removeAt(3);
    summary =
        convert(History({outer + nestedWithoutStart}), {QDate(2004, 10, 25), QDate(2004, 10, 25)});
    QVERIFY(summary.ok());
    QCOMPARE(summary.runsSkipped, 0);
    QCOMPARE(file("20041025_01_Monday.txt").count("\r\n"), 3);

    // Inside the window from its first start time on, the run is written whole.
    summary = convert(history, {QDate(2004, 10, 25), QDate(2004, 10, 26)});
    QVERIFY(summary.ok());
    QCOMPARE(files(), QStringList({"20041025_01_Monday.gpx", "20041025_01_Monday.txt",
                                   "20041025_01_Monday.xml", "20041026_01_Tuesday.gpx",
                                   "20041026_01_Tuesday.txt", "20041026_01_Tuesday.xml"}));
    QCOMPARE(file("20041026_01_Tuesday.txt").count("\r\n"), 3);
}

void TestHistoryReader::formatSwitches_data()
{
    QTest::addColumn<ConversionOptions>("options");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("XML") << ConversionOptions{DayFileKind::OwnFormat, false, 0}
                         << QStringList{"20041025_01_Monday.xml"};
    QTest::newRow("CSV") << ConversionOptions{DayFileKind::Csv, false, 0}
                         << QStringList{"20041025_01_Monday.txt"};
    QTest::newRow("GPX") << ConversionOptions{DayFileKind::Gpx, false, 0}
                         << QStringList{"20041025_01_Monday.gpx"};
    QTest::newRow("none") << ConversionOptions{{}, false, 0} << QStringList();
}

void TestHistoryReader::formatSwitches()
{
    QFETCH(ConversionOptions, options);
    QFETCH(QStringList, written);
    QVERIFY(convert(History({Run("2004-10-25T08:00:00Z", {kP1})}), kEverything, options).ok());
    QCOMPARE(progress.saved, written);
    const bool xml = options.dayFiles.testFlag(DayFileKind::OwnFormat);
    QCOMPARE(progress.calls.contains("ShowFileName 20041025_01_Monday.xml"), xml);
}

void TestHistoryReader::progressReports_data()
{
    QTest::addColumn<QList<QByteArray>>("startTimes");
    QTest::addColumn<QStringList>("calls");

    const int today = daySerial(kToday);
    const int first = daySerial(QDate(2004, 10, 25));
    QTest::newRow("range from the first run to today")
        << QList<QByteArray>{"2004-10-25T08:00:00Z", "2005-01-01T08:00:00Z"}
        << QStringList{QStringLiteral("BeginDays %1 %2").arg(first).arg(today),
                       QStringLiteral("SetDay %1").arg(first),
                       QStringLiteral("SetDay %1").arg(daySerial(QDate(2005, 1, 1)))};
    QTest::newRow("first run today starts the bar yesterday")
        << QList<QByteArray>{"2026-12-07T08:00:00Z"}
        << QStringList{QStringLiteral("BeginDays %1 %2").arg(today - 1).arg(today),
                       QStringLiteral("SetDay %1").arg(today)};
    QTest::newRow("days outside the range are clamped")
        << QList<QByteArray>{"2004-10-25T08:00:00Z", "2001-01-01T08:00:00Z", "2030-01-01T08:00:00Z"}
        << QStringList{QStringLiteral("BeginDays %1 %2").arg(first).arg(today),
                       QStringLiteral("SetDay %1").arg(first),
                       QStringLiteral("SetDay %1").arg(first),
                       QStringLiteral("SetDay %1").arg(today)};
    QTest::newRow("first run in the future")
        << QList<QByteArray>{"2030-01-01T08:00:00Z"}
        << QStringList{QStringLiteral("BeginDays %1 %2").arg(today - 1).arg(today),
                       QStringLiteral("SetDay %1").arg(today)};
}

// Runs outside the window move the bar too; only runs inside it show a name.
void TestHistoryReader::progressReports()
{
    QFETCH(QList<QByteArray>, startTimes);
    QFETCH(QStringList, calls);
    QList<QList<QByteArray>> runs;
    for (const QByteArray &start : startTimes)
        runs << Run(start);
    QVERIFY(convert(History(runs), {QDate(1900, 1, 1), QDate(1900, 1, 1)}).ok());
    QCOMPARE(progress.calls, calls);
}

void TestHistoryReader::notesConversionReachesXmlOnly()
{
    const auto run = Run("2004-10-25T08:00:00Z", {kP1}, "Caf\xe9 & cake");
    QVERIFY(convert(History({run}), kEverything, Options(true, true, false, true, 0)).ok());
    const QByteArray xml = file("20041025_01_Monday.xml");
    QVERIFY(xml.contains("\r\n        &#60;Notes>Caf&#233; &#38; cake&#60;/Notes>\r\n"));
    QCOMPARE(xml.count("&#"), 4); // nothing else of the run was touched
    QCOMPARE(file("20041025_01_Monday.txt").count("\r\n"), 2);

    QVERIFY(convert(History({run}), kEverything, Options(true, false, false, false, 0)).ok());
    QVERIFY(file("20041025_01_Monday.xml").contains("<Notes>Caf\xe9 & cake</Notes>"));
}

void TestHistoryReader::xmlFrameWithoutDeclarationOrHistory()
{
    const auto run = Run("2004-10-25T08:00:00Z");
    QVERIFY(convert(Lines(run)).ok());
    QCOMPARE(file("20041025_01_Monday.xml"),
             Lines(QList<QByteArray>{"", "", ""} + run + QList<QByteArray>{"</History>"}));

    // Cut out of a larger history by hand: the end of the run before comes first.
    QFile::remove(QDir(out()).filePath("20041025_01_Monday.xml"));
    const auto cut = convert(Lines(QList<QByteArray>{"</Run>"} + run));
    QVERIFY2(cut.ok(), qPrintable(cut.error));
    QCOMPARE(file("20041025_01_Monday.xml"),
             Lines(QList<QByteArray>{"", "", ""} + run + QList<QByteArray>{"</History>"}));
}

void TestHistoryReader::laterRunWithFewerPointsRepeatsNone()
{
    QVERIFY(convert(History({Run("2004-10-25T08:00:00Z", {kP1, kP2, kP1}),
                             Run("2004-10-26T08:00:00Z", {kP2})}))
                .ok());
    QCOMPARE(file("20041026_01_Tuesday.txt"),
             Lines({"Latitude,Longitude,Altitude, Date,Time",
                    "47.6207,-122.3490,57.0,2004-10-25,13:45:15"}));
    QCOMPARE(file("20041026_01_Tuesday.gpx").count("\r\n"), 4 * 1 + 7);
    QCOMPARE(file("20041025_01_Monday.gpx").count("\r\n"), 4 * 3 + 7);
}

void TestHistoryReader::existingFileIsReplaced()
{
    QVERIFY(WriteFile(QDir(out()).filePath("20041025_01_Monday.txt"), QByteArray(10000, 'x')));
    QVERIFY(convert(History({Run("2004-10-25T08:00:00Z")})).ok());
    QCOMPARE(file("20041025_01_Monday.txt"), Lines({"Latitude,Longitude,Altitude, Date,Time"}));
    QCOMPARE(files().size(), 3); // no temporary file left beside them
}

void TestHistoryReader::runsLongerThanAnyTable()
{
    const int count = 100001;
    QByteArray history =
        Lines({kDeclaration, kHistory, "<Run>", "<StartTime>2004-10-25T08:00:00Z</StartTime>"});
    for (int i = 0; i < count; ++i)
        history += "<Trackpoint>\r\n<Latitude>" + QByteArray::number(i) +
                   "</Latitude>\r\n</Trackpoint>\r\n";
    history += "</Run>\r\n</History>\r\n";
    QVERIFY(convert(history).ok());
    QCOMPARE(file("20041025_01_Monday.txt").count("\r\n"), count + 1);
    QVERIFY(file("20041025_01_Monday.txt").endsWith("\r\n100000,,,,\r\n"));
    QCOMPARE(file("20041025_01_Monday.xml").count("\r\n"), 3 * count + 4 + 3);
}

// The texts one point gives all later ones must survive the reader moving on
// through megabytes of points that lack them.
void TestHistoryReader::carriedTextsOutlastTheReadBuffer()
{
    const int count = 60000; // about 3 MB of points
    QByteArray history =
        Lines({kDeclaration, kHistory, "<Run>", "<StartTime>2004-10-25T08:00:00Z</StartTime>",
               "<Trackpoint>", "<Latitude>47.6205</Latitude>", "<Longitude>-122.3493</Longitude>",
               "<Altitude>56.1</Altitude>", "<Time>2004-10-25T13:45:10Z</Time>", "</Trackpoint>"});
    for (int i = 0; i < count; ++i)
        history += "<Trackpoint>\r\n<Latitude>" + QByteArray::number(i) +
                   "</Latitude>\r\n</Trackpoint>\r\n";
    history += "</Run>\r\n</History>\r\n";
    QVERIFY(convert(history, kEverything, Options(false, true, false, false, 0)).ok());
    const QList<QByteArray> rows = file("20041025_01_Monday.txt").split('\n');
    QCOMPARE(rows.size(), count + 3); // header, first point, the others, and after the last CR LF
    for (int i = 0; i < count; ++i)
        QCOMPARE(rows[i + 2], QByteArray::number(i) + ",-122.3493,56.1,2004-10-25,13:45:10\r");
}

void TestHistoryReader::badRequests_data()
{
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<bool>("inputExists");
    QTest::addColumn<QString>("message");

    QTest::newRow("no first day") << QDate() << kToday << true << "first day";
    QTest::newRow("no last day") << kToday << QDate() << true << "last day";
    QTest::newRow("missing input") << kToday << kToday << false << "history.xml\": No such file";
}

// Nothing is read or written when the request itself is wrong.
void TestHistoryReader::badRequests()
{
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(bool, inputExists);
    QFETCH(QString, message);
    QFile::remove(input());
    if (inputExists)
        QVERIFY(WriteFile(input(), History({Run("2026-12-07T08:00:00Z")})));
    const auto summary =
        makeDayFiles({input(), out(), {first, last}, AllFormats(), kToday}, progress);
    QVERIFY(!summary.ok());
    QVERIFY2(summary.error.contains(message), qPrintable(summary.error));
    QCOMPARE(summary.runsRead, 0);
    QVERIFY(files().isEmpty());
    QVERIFY(progress.calls.isEmpty());
}

void TestHistoryReader::emptyInputWritesNothing()
{
    const auto summary = convert(QByteArray());
    QVERIFY(summary.ok());
    QCOMPARE(summary.runsRead, 0);
    QCOMPARE(summary.noRunHint, QStringLiteral("\"%1\" is empty").arg(input()));
    QVERIFY(files().isEmpty());
    QVERIFY(progress.calls.isEmpty());
}

QTEST_GUILESS_MAIN(TestHistoryReader)
#include "test_history_reader.moc"
