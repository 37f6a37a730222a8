#include "library/library_folder.h"
#include "library/run_catalogue.h"
#include "library/run_fingerprint.h"
#include "library/runs_csv.h"
#include "library/taken_numbers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace kelvane;

Q_DECLARE_METATYPE(CatalogueRow)

namespace {

const QByteArray kFingerprint = runFingerprint("a run's bytes");

// A run of 2020-09-23 with every figure.
CatalogueRow fullRow()
{
    CatalogueRow row;
    row.baseName = QStringLiteral("20200923_01_Wednesday");
    row.dayFiles = QStringList{QStringLiteral(".gpx"), QStringLiteral(".xml")};
    RunFigures &f = row.figures;
    f.start = 1600845120.25; // 2020-09-23T07:12:00.25Z
    f.utcOffset = 3 * 3600;
    f.sport = Sport::Cycling;
    f.sportWord = QStringLiteral("Biking");
    f.elapsed = 3600.5;
    f.moving = 3550.125;
    f.distance = 25000.5;
    f.ascent = 120;
    f.descent = 118.2;
    f.lowest = -3.5;
    f.highest = 210.4;
    f.averageSpeed = 7.042;
    f.maximumSpeed = 15.5;
    f.heartRateAverage = 141.25;
    f.heartRateMaximum = 171;
    f.cadenceAverage = 88.5;
    f.powerAverage = 201.75;
    f.powerMaximum = 612;
    f.calories = 820;
    f.temperatureAverage = -2.5;
    f.device = QStringLiteral("Garmin Edge 530");
    f.points = 3601;
    f.positionedPoints = 3590;
    row.input = QStringLiteral("export.zip: activities/123.fit.gz");
    row.fingerprint = kFingerprint;
    return row;
}

CatalogueRow bareRow(const QString &baseName = QStringLiteral("20041221_01_Tuesday"))
{
    CatalogueRow row;
    row.baseName = baseName;
    row.dayFiles = QStringList{QStringLiteral(".xml")};
    row.input = QStringLiteral("history.xml");
    row.fingerprint = runFingerprint(baseName.toStdString());
    return row;
}

QByteArray csvOf(std::initializer_list<QByteArray> lines)
{
    QByteArray text =
        QByteArray(runsCsvHeader().data(), qsizetype(runsCsvHeader().size())) + "\r\n";
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

QByteArray lineOf(const CatalogueRow &row)
{
    std::string out;
    appendRunsCsvRow(out, row);
    return QByteArray::fromStdString(out).chopped(2);
}

CatalogueRow timedRow(const QString &baseName, double start, double elapsed)
{
    CatalogueRow row = bareRow(baseName);
    row.figures.start = start;
    row.figures.elapsed = elapsed;
    return row;
}

} // namespace

class TestRunCatalogue : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void refusals_data();
    void refusals();
    void duplicates_data();
    void duplicates();
    void dayFilesAndNumbers();
    void journalOfAStoppedConversion();
    void savedWhole();
    void readByPython();
    void manyRows();
};

void TestRunCatalogue::roundTrip_data()
{
    QTest::addColumn<CatalogueRow>("row");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("exact"); // read back as it was

    QTest::newRow("every figure")
        << fullRow()
        << "20200923_01_Wednesday,.gpx .xml,2020-09-23T07:12:00.25Z,2020-09-23T10:12:00.25+03:00,"
           "cycling,Biking,3600.5,3550.125,25000.5,120,118.2,-3.5,210.4,7.042,15.5,141.25,171,"
           "88.5,201.75,612,820,-2.5,Garmin Edge 530,3601,3590,export.zip: activities/123.fit.gz," +
               kFingerprint
        << true;
    QTest::newRow("unknown figures empty")
        << bareRow()
        << "20041221_01_Tuesday,.xml,,,,,,,,,,,,,,,,,,,,,,0,0,history.xml," + bareRow().fingerprint
        << true;
    CatalogueRow quoted = bareRow();
    quoted.figures.device = QStringLiteral("Wahoo, \"BOLT\"");
    quoted.input = QStringLiteral("a\r\nb.gpx");
    quoted.figures.sportWord = QStringLiteral("Läufe");
    CatalogueRow earlier = bareRow();
    earlier.fingerprint = QByteArray(40, 'e');
    QTest::newRow("a fingerprint of an earlier library")
        << earlier
        << "20041221_01_Tuesday,.xml,,,,,,,,,,,,,,,,,,,,,,0,0,history.xml," + earlier.fingerprint
        << true;
    QTest::newRow("texts that need quotes")
        << quoted
        << "20041221_01_Tuesday,.xml,,,,Läufe,,,,,,,,,,,,,,,,,\"Wahoo, \"\"BOLT\"\"\",0,0,"
           "\"a\r\nb.gpx\"," +
               quoted.fingerprint
        << true;
    // Before 1970 the seconds count down: the date and time must not be a second off.
    CatalogueRow early = bareRow();
    early.figures.start = -0.5;
    early.figures.utcOffset = -(5 * 3600 + 30 * 60);
    QTest::newRow("before 1970, west of UTC")
        << early
        << "20041221_01_Tuesday,.xml,1969-12-31T23:59:59.5Z,1969-12-31T18:29:59.5-05:30,,"
           ",,,,,,,,,,,,,,,,,,0,0,history.xml," +
               early.fingerprint
        << true;
    // Numbers rounded to what devices record, and read back as written.
    CatalogueRow rounded = bareRow();
    rounded.figures.distance = 1234.5678901;
    rounded.figures.moving = 0.0001;
    QTest::newRow("figures rounded")
        << rounded
        << "20041221_01_Tuesday,.xml,,,,,,0,1234.57,,,,,,,,,,,,,,,0,0,history.xml," +
               rounded.fingerprint
        << false;
    // A start that ISO 8601's four-digit years cannot hold is left out, and
    // an offset of a day or more with it: what is written must be read back.
    CatalogueRow far = bareRow();
    far.figures.start = 1e12;
    CatalogueRow offset = bareRow();
    offset.figures.start = 0;
    offset.figures.utcOffset = 100 * 3600;
    QTest::newRow("a start past the year 9999") << far << lineOf(bareRow()) << false;
    QTest::newRow("an offset of days")
        << offset
        << "20041221_01_Tuesday,.xml,1970-01-01T00:00:00Z,,,,,,,,,,,,,,,,,,,,,0,0,history.xml," +
               offset.fingerprint
        << false;
}

void TestRunCatalogue::roundTrip()
{
    QFETCH(CatalogueRow, row);
    QFETCH(QByteArray, line);
    QFETCH(bool, exact);
    const std::string text = runsCsvText(std::span(&row, 1));
    QCOMPARE(QByteArray::fromStdString(text), csvOf({line}));
    std::vector<CatalogueRow> read;
    RunsCsvRefusal refusal;
    QVERIFY2(readRunsCsv(text, read, refusal), qPrintable(refusal.reason));
    QCOMPARE(read.size(), std::size_t(1));
    // What is read back is written again byte for byte.
    QCOMPARE(runsCsvText(read), text);
    QCOMPARE(read.front() == row, exact);
}

void TestRunCatalogue::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<QString>("reason");

    const QByteArray good = lineOf(fullRow());
    const QByteArray other = lineOf(bareRow());
    const auto with = [&](const char *from, const char *to) {
        return QByteArray(good).replace(from, to);
    };
    QTest::newRow("another program's file")
        << QByteArray("date,distance\r\n2020-09-23,10\r\n") << qint64(1)
        << "its first line is not the header of a library's runs.csv";
    QTest::newRow("empty file") << QByteArray() << qint64(1)
                                << "its first line is not the header of a library's runs.csv";
    QTest::newRow("a field short") << csvOf({other, good.left(good.lastIndexOf(','))}) << qint64(3)
                                   << "26 fields where the header has 27";
    QTest::newRow("a quote left open")
        << csvOf({other, with("Garmin Edge 530", "\"Garmin Edge 530")}) << qint64(3)
        << "a quoted field is not closed";
    QTest::newRow("a quote in a field not quoted")
        << csvOf({with("Garmin Edge 530", "Garmin \"Edge\" 530")}) << qint64(2)
        << "a quote inside a field that is not quoted";
    QTest::newRow("text after a closing quote")
        << csvOf({with("Garmin Edge 530", "\"Garmin\" Edge 530")}) << qint64(2)
        << "a character after the closing quote";
    QTest::newRow("a decimal comma") << csvOf({with(",25000.5,", ",\"25000,5\",")}) << qint64(2)
                                     << "distance_m \"25000,5\" is not a number such as 1234.5";
    QTest::newRow("a thousands separator")
        << csvOf({with(",3601,", ",\"3,601\",")}) << qint64(2) << "points \"3,601\" is not a count";
    QTest::newRow("a start without zone")
        << csvOf({with("07:12:00.25Z", "07:12:00.25")}) << qint64(2)
        << "the start \"2020-09-23T07:12:00.25\" is not an instant such as 2020-09-23T07:12:00Z";
    QTest::newRow("a local start of another instant")
        << csvOf({with("10:12:00.25+03:00", "10:12:00.25+02:00")}) << qint64(2)
        << "the local start \"2020-09-23T10:12:00.25+02:00\" is not the start in a zone, such as "
           "2020-09-23T10:12:00+03:00";
    QTest::newRow("an unknown sport") << csvOf({with(",cycling,", ",Cycling,")}) << qint64(2)
                                      << "the sport \"Cycling\" is none of ours";
    QTest::newRow("a base name not ours")
        << csvOf({with("20200923_01_", "20200931_01_")}) << qint64(2)
        << "the base name \"20200931_01_Wednesday\" is not "
           "YYYYMMDD_NN_Weekday";
    QTest::newRow("a base name with a folder")
        << csvOf({with("_Wednesday,", "_../x,")}) << qint64(2)
        << "the base name \"20200923_01_../x\" is not YYYYMMDD_NN_Weekday";
    QTest::newRow("day files not extensions") << csvOf({with(".gpx .xml", "gpx")}) << qint64(2)
                                              << "the day files \"gpx\" are not extensions such "
                                                 "as \".xml .gpx\"";
    QTest::newRow("bytes not UTF-8")
        << csvOf({with("Edge", "Ed\xe9")}) << qint64(2) << "bytes that are not UTF-8";
    QTest::newRow("a fingerprint cut short")
        << csvOf({good.chopped(1)}) << qint64(2)
        << QString::fromLatin1("the fingerprint \"" + kFingerprint.chopped(1) +
                               "\" is not 64 hexadecimal digits");
    QTest::newRow("a base name twice")
        << csvOf({good, other, with("export.zip", "b.zip")}) << qint64(4)
        << "the base name 20200923_01_Wednesday is also on line 2";
    QTest::newRow("an empty line") << csvOf({other, "", good}) << qint64(3) << "an empty line";
    // A quoted line break is a line of the file.
    CatalogueRow twoLines = bareRow();
    twoLines.input = QStringLiteral("a\nb");
    QTest::newRow("lines counted across a quoted line break")
        << csvOf({lineOf(twoLines), with(",cycling,", ",cyclist,")}) << qint64(4)
        << "the sport \"cyclist\" is none of ours";
}

void TestRunCatalogue::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, line);
    QFETCH(QString, reason);
    std::vector<CatalogueRow> rows;
    RunsCsvRefusal refusal;
    QVERIFY(!readRunsCsv(std::string_view(text.data(), std::size_t(text.size())), rows, refusal));
    QCOMPARE(refusal.reason, reason);
    QCOMPARE(refusal.line, line);
}

void TestRunCatalogue::duplicates_data()
{
    // The library holds a run starting at 1000 s lasting 1000 s (a), and
    // one starting at 1100 s lasting 1040 s (b).
    QTest::addColumn<QByteArray>("fingerprint"); // empty: a new one
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("row");

    const int none = int(RunCatalogue::Match::Kind::None);
    const int sameRun = int(RunCatalogue::Match::Kind::SameRun);
    const int sameActivity = int(RunCatalogue::Match::Kind::SameActivity);
    QTest::newRow("same fingerprint, whatever the figures")
        << runFingerprint("a") << 5000.0 << 10.0 << sameRun << "20200101_01_a";
    QTest::newRow("60 s later, elapsed 9 % shorter")
        << QByteArray() << 1060.0 << 910.0 << sameActivity << "20200101_01_a";
    QTest::newRow("60 s earlier, elapsed 10 % longer")
        << QByteArray() << 940.0 << 1110.0 << sameActivity << "20200101_01_a";
    QTest::newRow("61 s away") << QByteArray() << 939.0 << 1000.0 << none << "";
    QTest::newRow("elapsed more than 10 % shorter")
        << QByteArray() << 1000.0 << 899.0 << none << "";
    QTest::newRow("the one of nearest start")
        << QByteArray() << 1055.0 << 1020.0 << sameActivity << "20200101_02_b";
}

void TestRunCatalogue::duplicates()
{
    QFETCH(QByteArray, fingerprint);
    QFETCH(double, start);
    QFETCH(double, elapsed);
    QFETCH(int, kind);
    QFETCH(QString, row);
    RunCatalogue catalogue;
    CatalogueRow a = timedRow(QStringLiteral("20200101_01_a"), 1000, 1000);
    a.fingerprint = runFingerprint("a");
    catalogue.put(a);
    catalogue.put(timedRow(QStringLiteral("20200101_02_b"), 1100, 1040));
    RunFigures figures;
    figures.start = start;
    figures.elapsed = elapsed;
    const RunCatalogue::Match match =
        catalogue.match(fingerprint.isEmpty() ? runFingerprint("new") : fingerprint, figures);
    QCOMPARE(int(match.kind), kind);
    QCOMPARE(match.row ? match.row->baseName : QString(), row);
}

void TestRunCatalogue::dayFilesAndNumbers()
{
    RunCatalogue catalogue;
    CatalogueRow late = timedRow(QStringLiteral("20200102_01_Thursday"), 2000, 10);
    late.dayFiles = QStringList{QStringLiteral(".gpx"), QStringLiteral(".xml")};
    catalogue.put(late);
    catalogue.put(timedRow(QStringLiteral("20200101_01_Wednesday"), 1000, 10));
    catalogue.put(bareRow(QStringLiteral("20200101_02_Wednesday")));
    // Put again under its name: the row is replaced, not added.
    late.figures.elapsed = 20;
    catalogue.put(late);
    // Rows in start order, those without a start last.
    QStringList order;
    for (const QString &line :
         QString::fromStdString(catalogue.text()).split(QStringLiteral("\r\n")))
        order << line.section(QLatin1Char(','), 0, 0);
    QCOMPARE(order,
             (QStringList{QStringLiteral("base_name"), QStringLiteral("20200101_01_Wednesday"),
                          QStringLiteral("20200102_01_Thursday"),
                          QStringLiteral("20200101_02_Wednesday"), QString()}));
    QCOMPARE(catalogue.rows().size(), std::size_t(3));
    QCOMPARE(catalogue.rows().front().figures.elapsed, std::optional(20.0));

    // One of its files gone: the row stays, without it; all gone: dropped.
    catalogue.keepRowsWithDayFiles(
        {QStringLiteral("20200102_01_Thursday.xml"), QStringLiteral("20200101_01_Wednesday.xml")});
    QCOMPARE(catalogue.rows().size(), std::size_t(2));
    QCOMPARE(catalogue.rows().front().dayFiles, QStringList{QStringLiteral(".xml")});
    QCOMPARE(catalogue.match(bareRow(QStringLiteral("20200101_02_Wednesday")).fingerprint, {}).kind,
             RunCatalogue::Match::Kind::None);

    // Numbered after every day file in the folder, ours or not, in any language.
    const TakenNumbers taken(
        {QStringLiteral("20200101_01_Wednesday.xml"), QStringLiteral("20200101_07_Mittwoch.gpx"),
         QStringLiteral("20200102_100_Thursday.csv"), QStringLiteral("20200103_1_Friday.xml"),
         QStringLiteral("runs.csv"), QStringLiteral("20200104_02.xml")});
    QCOMPARE(taken.next(QDate(2020, 1, 1)), 8);
    QCOMPARE(taken.next(QDate(2020, 1, 2)), 101);
    QCOMPARE(taken.next(QDate(2020, 1, 3)), 1);
    QCOMPARE(taken.next(QDate(2020, 1, 4)), 1);
}

// A conversion killed while it saved left the rows it journalled, the last
// one cut short: the rows whose day files were saved are listed, numbered
// on after, and the journal is gone once runs.csv is written.
void TestRunCatalogue::journalOfAStoppedConversion()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral(".kelvane")));
    const CatalogueRow saved = timedRow(QStringLiteral("20200101_01_Wednesday"), 1000, 10);
    const CatalogueRow unsaved = timedRow(QStringLiteral("20200101_02_Wednesday"), 5000, 10);
    const QByteArray cut = lineOf(timedRow(QStringLiteral("20200101_03_Wednesday"), 9000, 10));
    QFile journal(folder.filePath(QLatin1StringView(LibraryFolder::kJournalName)));
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write(csvOf({lineOf(saved), lineOf(unsaved)}) + cut.left(cut.size() / 2));
    journal.close();
    QFile dayFile(folder.filePath(QStringLiteral("20200101_01_Wednesday.xml")));
    QVERIFY(dayFile.open(QIODevice::WriteOnly));
    dayFile.close();

    LibraryFolder library(folder.path());
    QString error;
    QVERIFY2(library.load(error), qPrintable(error));
    QCOMPARE(library.catalogue().rows(), std::vector<CatalogueRow>{saved});
    QCOMPARE(library.place(runFingerprint("new"), {}, QDate(2020, 1, 1), {}).baseName,
             QStringLiteral("20200101_02_Wednesday"));
    QCOMPARE(library.place(saved.fingerprint, {}, QDate(2020, 1, 1), {}).baseName, saved.baseName);
    QVERIFY2(library.save(error), qPrintable(error));
    QVERIFY(!journal.exists());
    RunCatalogue listed;
    QVERIFY(listed.load(folder.path(), error));
    QCOMPARE(listed.rows(), std::vector<CatalogueRow>{saved});
}

void TestRunCatalogue::savedWhole()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    RunCatalogue catalogue;
    QString error;
    QVERIFY(catalogue.load(folder.path(), error)); // no runs.csv: an empty library
    QVERIFY(catalogue.rows().empty());
    catalogue.put(fullRow());
    QVERIFY2(catalogue.save(folder.path(), error), qPrintable(error));
    catalogue.put(bareRow());
    QVERIFY2(catalogue.save(folder.path(), error), qPrintable(error));

    RunCatalogue again;
    QVERIFY2(again.load(folder.path(), error), qPrintable(error));
    QCOMPARE(again.text(), catalogue.text());

    // A damaged file is refused with its name, the line and the reason, and left as it is.
    const QString path = folder.filePath(QStringLiteral("runs.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("20200101_01_x,.xml\r\n");
    file.close();
    const QByteArray damaged = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(!again.load(folder.path(), error));
    QCOMPARE(error, QStringLiteral("\"%1\" is not a library's runs.csv as kelvane-split writes "
                                   "it, line 4: 2 fields where the header has 27")
                        .arg(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), damaged);
}

void TestRunCatalogue::readByPython()
{
    // As a spreadsheet or a script reads it: Python's csv module (and pandas
    // where it is installed) sees our columns and values.
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    QTemporaryDir folder;
    RunCatalogue catalogue;
    CatalogueRow quoted = bareRow();
    quoted.figures.device = QStringLiteral("Wahoo, \"BOLT\"");
    quoted.input = QStringLiteral("a\r\nb.gpx");
    catalogue.put(fullRow());
    catalogue.put(quoted);
    QString error;
    QVERIFY2(catalogue.save(folder.path(), error), qPrintable(error));
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import csv, sys\n"
             "rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
             "for r in rows: print(len(r), r['local_start'], r['distance_m'], "
             "repr(r['device']), repr(r['input']))\n"
             "try: import pandas\n"
             "except ImportError: sys.exit(0)\n"
             "frame = pandas.read_csv(sys.argv[1])\n"
             "print(list(frame.columns) == list(rows[0].keys()), "
             "frame['distance_m'].dtype, frame['temperature_avg_c'][0])\n"),
         folder.filePath(QStringLiteral("runs.csv"))});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 2),
             (QStringList{QStringLiteral("27 2020-09-23T10:12:00.25+03:00 25000.5 'Garmin Edge "
                                         "530' 'export.zip: activities/123.fit.gz'"),
                          QStringLiteral("27   'Wahoo, \"BOLT\"' 'a\\r\\nb.gpx'")}));
    if (lines.size() > 3)
        QCOMPARE(lines[2], QStringLiteral("True float64 -2.5"));
}

void TestRunCatalogue::manyRows()
{
    // A library of 20,000 runs read and rewritten; the time is shown, the
    // benchmark holds it to its bound.
    RunCatalogue catalogue;
    for (int i = 0; i < 20000; ++i) {
        CatalogueRow row = fullRow();
        row.baseName = QStringLiteral("20200101_%1_Day").arg(i + 1, 2, 10, QLatin1Char('0'));
        row.figures.start = *row.figures.start + i * 3600.0;
        row.fingerprint = runFingerprint(row.baseName.toStdString());
        catalogue.put(std::move(row));
    }
    const std::string text = catalogue.text();
    QElapsedTimer timer;
    timer.start();
    const std::clock_t processor = std::clock();
    RunCatalogue read;
    QString error;
    QVERIFY2(read.read(text, QStringLiteral("runs.csv"), error), qPrintable(error));
    const std::string again = read.text();
    const qint64 elapsed = timer.nsecsElapsed();
    const double processorSeconds = double(std::clock() - processor) / CLOCKS_PER_SEC;
    QCOMPARE(read.rows().size(), std::size_t(20000));
    QCOMPARE(again, text);
    qInfo("20,000 rows (%.1f MB) read and rewritten in %.3f s (%.3f s of processor time)",
          double(text.size()) / 1e6, double(elapsed) / 1e9, processorSeconds);
}

QTEST_GUILESS_MAIN(TestRunCatalogue)
#include "test_run_catalogue.moc"
