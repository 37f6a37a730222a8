#include "archive_text.h"
#include "fit_file.h"
#include "gpx_text.h"
#include "history_text.h"
#include "tcx_text.h"

#include <kelvane/input_formats.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace history_text;

namespace {

const QString kProgram = QStringLiteral(KELVANE_BINARY_DIR "/cli/kelvane-split");

QByteArray StartOn(QDate day, const char *time = "T08:00:00Z")
{
    return day.toString(Qt::ISODate).toLatin1() + time;
}

struct Result {
    int status = -1;
    QByteArray out, err;
};

} // namespace

class TestKelvaneSplit : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    const QDate today = QDate::currentDate();

    QString outDir() const { return dir.filePath(QStringLiteral("out")); }
    QString history() const { return dir.filePath(QStringLiteral("walk.xml")); }
    QStringList written() const { return QDir(outDir()).entryList(QDir::Files, QDir::Name); }

    QString many(const QString &name) const { return dir.filePath("many/" + name); }
    void writeInputs();

    Result split(const QStringList &arguments, const QString &stdoutFile = QString(),
                 const QByteArray &standardInput = QByteArray())
    {
        QProcess process;
        if (!stdoutFile.isEmpty())
            process.setStandardOutputFile(stdoutFile);
        process.start(kProgram, arguments);
        process.write(standardInput);
        process.closeWriteChannel();
        Result result;
        if (!process.waitForFinished(30000))
            return result;
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

  private Q_SLOTS:
    void initTestCase()
    {
        // Runs today, yesterday, a week ago and in 1949, and one tomorrow.
        QVERIFY(WriteFile(
            history(), History({Run(StartOn(QDate(1949, 8, 24))), Run(StartOn(QDate(1949, 8, 25))),
                                Run(StartOn(today.addDays(-7))), Run(StartOn(today.addDays(-1))),
                                Run(StartOn(today)), Run(StartOn(today, "T20:00:00Z")),
                                Run(StartOn(today.addDays(1)))})));
        writeInputs();
    }
    void init() { QVERIFY(EmptyFolder(outDir())); }

    void windows_data();
    void windows();
    void namesOnStdoutSummaryOnStderr();
    void helpAndVersion_data();
    void helpAndVersion();
    void completionOffersTheFilesRead();
    void usageErrors_data();
    void usageErrors();
    void failures_data();
    void failures();
    void inputThroughAPipe_data();
    void inputThroughAPipe();
    void summary_data();
    void summary();
    void namesThatCannotBeWritten();
    void historyWithoutRuns();
    void borrowedPositionIsNoPlace();
    void listOfRuns_data();
    void listOfRuns();
    void listNamesTheFilesOfAConversion();
    void manyInputs_data();
    void manyInputs();
};

// Inputs of every kind, with a run on each day of June 2010 from the 1st,
// and three on 28 May.
void TestKelvaneSplit::writeInputs()
{
    using namespace archive_text;
    const auto tcx = [](const char *day) {
        return tcx_text::Tcx({tcx_text::Activity(QByteArray(day) + "T08:00:00Z")});
    };
    const auto history = [](const char *day) {
        return History({Run(QByteArray(day) + "T08:00:00Z")});
    };
    const QByteArray jpeg = "\xff\xd8\xff\xe0" + QByteArray(600, '\x01');
    // A FIT file of that type (32: monitoring, 49: sleep), holding its file_id alone.
    const auto fit = [](int type) {
        return FitFile().define(0, 0, {{0, 1, kEnum}}).data(0, {type}).bytes();
    };
    const QByteArray cut = Gzipped(tcx("2010-06-20"));
    const QList<std::pair<QString, QByteArray>> files = {
        {"a.xml", History({Run("2010-05-28T08:00:00Z"), Run("2010-05-28T09:00:00Z")})},
        {"b.tcx", tcx("2010-05-28")},
        {"export.zip", Zipped({{"activities/", {}},
                               {"activities/1.tcx.gz", Gzipped(tcx("2010-06-01"))},
                               {"activities/2.xml", history("2010-06-02")},
                               {"activities.csv", "id,name\n1,Morning Run\n"},
                               {"media/photo.jpg", jpeg},
                               {"monitor/1.fit", fit(32)},
                               {"monitor/2.fit", fit(32)},
                               {"sleep/3.fit", fit(49)}})},
        {"export.tar.gz",
         Packed(ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP,
                {{"./b.tcx", tcx("2010-06-03")}, {"./c.tcx.gz", Gzipped(tcx("2010-06-04"))}})},
        {"ride.tcx.gz", Gzipped(tcx("2010-06-05"))},
        {"tree/x.tcx", tcx("2010-06-06")},
        {"tree/.y.tcx", tcx("2010-06-10")},
        {"tree/notes.txt", "a note"},
        {"tree/sub/y.xml.bz2",
         Packed(ARCHIVE_FORMAT_RAW, ARCHIVE_FILTER_BZIP2, {{"data", history("2010-06-07")}})},
        {"broken.zip", Zipped({{"1.tcx", tcx("2010-06-08")},
                               {"2.tcx.gz", cut.left(cut.size() / 2)},
                               {"3.tcx", tcx("2010-06-09")}})},
        {"photo.jpg", jpeg},
        {"photo.jpg.gz", Gzipped(jpeg)},
        {"kept/20100528_01_Friday.tcx", tcx("2010-07-01")},
        {"sports/two.tcx",
         tcx_text::Tcx({tcx_text::Activity("2010-06-11T08:00:00Z"),
                        tcx_text::Activity("2010-06-11T09:00:00Z", {}, {}, "Biking"),
                        tcx_text::Activity("2010-06-11T10:00:00Z", {}, {}, "Other")})},
        {"sports/walk.xml", history("2010-06-12")},
    };
    for (const auto &[name, bytes] : files) {
        QVERIFY(QDir().mkpath(QFileInfo(many(name)).path()));
        QVERIFY(WriteFile(many(name), bytes));
    }
}

void TestKelvaneSplit::windows_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QDate>>("days");

    const QList<QDate> all = {QDate(1949, 8, 25), today.addDays(-7), today.addDays(-1), today,
                              today};
    QTest::newRow("default is all") << QStringList() << all;
    QTest::newRow("all") << QStringList{"--all"} << all;
    QTest::newRow("today") << QStringList{"--today"} << QList<QDate>{today, today};
    QTest::newRow("last 1") << QStringList{"--last", "1"} << QList<QDate>{today, today};
    QTest::newRow("last 2") << QStringList{"--last", "2"}
                            << QList<QDate>{today.addDays(-1), today, today};
    QTest::newRow("last 8") << QStringList{"--last", "8"}
                            << QList<QDate>{today.addDays(-7), today.addDays(-1), today, today};
    QTest::newRow("day") << QStringList{"--day", today.addDays(-7).toString(Qt::ISODate)}
                         << QList<QDate>{today.addDays(-7)};
    QTest::newRow("range") << QStringList{"--from", "1949-01-01", "--to",
                                          today.addDays(-7).toString(Qt::ISODate)}
                           << QList<QDate>{QDate(1949, 8, 24), QDate(1949, 8, 25),
                                           today.addDays(-7)};
}

void TestKelvaneSplit::windows()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QDate>, days);
    const Result result = split(arguments + QStringList{"-q", "-C", outDir(), history()});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    QStringList dayPrefixes;
    for (const QString &name : written())
        dayPrefixes << name.left(8);
    QStringList expected;
    for (const QDate &day : days)
        expected << day.toString(QStringLiteral("yyyyMMdd"));
    expected.sort();
    QCOMPARE(dayPrefixes, expected);
}

void TestKelvaneSplit::namesOnStdoutSummaryOnStderr()
{
    const Result result = split({"--today", "--csv", "--gpx", "--xml", "-C", outDir(), history()});
    QCOMPARE(result.status, 0);
    const QString base =
        today.toString(QStringLiteral("yyyyMMdd_'%1_'")) + QLocale().dayName(today.dayOfWeek());
    QStringList names;
    for (const char *nn : {"01", "02"})
        for (const char *extension : {".xml", ".txt", ".gpx"})
            names << base.arg(QLatin1String(nn)) + QLatin1String(extension);
    QCOMPARE(QString::fromLocal8Bit(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             names);
    QCOMPARE(result.err,
             QByteArray("kelvane-split: 7 runs read, 2 converted, 6 files written, 0 skipped\n"));
}

void TestKelvaneSplit::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("printed");

    const QByteArray help = "--directory <DIR>";
    const QByteArray helpEnd = "Exit status:\n  0    every input was read\n";
    const QByteArray version = "kelvane-split " KELVANE_VERSION "\n";
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--help before a history file") << QStringList{"--help", history()} << help;
    QTest::newRow("--help tells the default")
        << QStringList{"--help"} << QByteArray("What to write (none given: --xml)");
    QTest::newRow("--help lists the exit codes") << QStringList{"--help"} << helpEnd;
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v") << QStringList{"-v", history()} << version;
}

// Help and version go to stdout, and nothing is read or written.
void TestKelvaneSplit::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, printed);
    const Result result = split(arguments + QStringList{"-C", outDir()});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains(printed), result.out.constData());
    QCOMPARE(result.err, QByteArray());
    QVERIFY(written().isEmpty());
}

// The bash completion is a static script: its inputs are the names the
// engine's tables of formats and packed files give.
void TestKelvaneSplit::completionOffersTheFilesRead()
{
    QFile script(QStringLiteral(KELVANE_SOURCE_DIR "/packaging/kelvane-split.bash"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch offered =
        QRegularExpression(QStringLiteral("_filedir '@\\(([^)]*)\\)'"))
            .match(QString::fromUtf8(script.readAll()));
    QVERIFY(offered.hasMatch());
    QStringList extensions = offered.captured(1).split(QLatin1Char('|'));
    QStringList read;
    for (const QString &pattern : kelvane::inputFilePatterns())
        read << pattern.mid(2); // "*.tcx"
    extensions.sort();
    read.sort();
    QCOMPARE(extensions, read);
}

void TestKelvaneSplit::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("unknown option") << QStringList{"--bogus", history()} << QByteArray("bogus");
    QTest::newRow("no input") << QStringList{"--all"} << QByteArray("no input given");
    QTest::newRow("bad day") << QStringList{"--day", "2026-02-30", history()}
                             << QByteArray("--day");
    QTest::newRow("offset too large")
        << QStringList{"--offset", "13", history()} << QByteArray("--offset");
    QTest::newRow("offset not a number")
        << QStringList{"--offset", "2.5", history()} << QByteArray("--offset");
    QTest::newRow("last 0") << QStringList{"--last", "0", history()} << QByteArray("--last");
    QTest::newRow("from without to")
        << QStringList{"--from", "2026-01-01", history()} << QByteArray("--to");
    QTest::newRow("two windows") << QStringList{"--today", "--all", history()}
                                 << QByteArray("one of");
    QTest::newRow("day with a time")
        << QStringList{"--day", "2026-02-03T10:00", history()} << QByteArray("--day");
    QTest::newRow("day with more text")
        << QStringList{"--day", "2026-02-03junk", history()} << QByteArray("--day");
    QTest::newRow("from with a time")
        << QStringList{"--from", "2026-02-03T10:00", "--to", "2026-02-04", history()}
        << QByteArray("--from and --to need dates");
    // Qt's parser offers --help-all beside --help; this program's help does not.
    QTest::newRow("--help-all, which --help does not offer")
        << QStringList{"--help-all"} << QByteArray("Unknown option 'help-all'");
    QTest::newRow("reversed range")
        << QStringList{"--from", "2026-02-03", "--to", "2026-02-01", history()}
        << QByteArray("--from 2026-02-03 comes after --to 2026-02-01");
    QTest::newRow("unknown time zone") << QStringList{"--timezone", "Mars/Olympus_Mons", history()}
                                       << QByteArray("unknown time zone \"Mars/Olympus_Mons\"");
    // A word Qt would take for a rule of a zone at UTC, and the name it is likely meant for.
    QTest::newRow("a city, not a zone") << QStringList{"--timezone", "berlin", history()}
                                        << QByteArray("unknown time zone \"berlin\": did you "
                                                      "mean Europe/Berlin?");
    QTest::newRow("a zone's name in other case")
        << QStringList{"--timezone", "utc", history()}
        << QByteArray("unknown time zone \"utc\": did you mean UTC?");
    QTest::newRow("time zone and offset")
        << QStringList{"--timezone", "Europe/Berlin", "--offset", "1", history()}
        << QByteArray("--timezone and --offset");
    QTest::newRow("unknown sport")
        << QStringList{"--sport", "running,ride", history()}
        << QByteArray("unknown sport \"ride\" in --sport (give names from running, cycling, "
                      "swimming, walking, hiking, rowing, skiing, multisport, other, separated "
                      "by commas)");
    QTest::newRow("GPX version 2")
        << QStringList{"--gpx-version", "2.0", history()} << QByteArray("--gpx-version");
    QTest::newRow("map tiles from a file")
        << QStringList{"--map-tiles", "file:///tiles/{z}/{x}/{y}.png", history()}
        << QByteArray("--map-tiles: the map tile address \"file:///tiles/{z}/{x}/{y}.png\" is "
                      "no http or https address");
}

// Bad usage reads and writes nothing.
void TestKelvaneSplit::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const Result result = split(arguments + QStringList{"-C", outDir()});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(result.err.contains("Usage: kelvane-split"));
    QVERIFY(written().isEmpty());
    QCOMPARE(result.out, QByteArray());
}

void TestKelvaneSplit::failures_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("missing history") << dir.filePath("nowhere.xml") << outDir()
                                     << QByteArray("nowhere.xml\": No such file or directory");
    QTest::newRow("history is the output folder")
        << outDir() << outDir() << QByteArray("is the folder the day files are written to");
    QTest::newRow("missing output folder")
        << history() << dir.filePath("gone") << QByteArray("gone\": no such folder");
    // A name that would retitle the terminal and clear its screen is shown, not sent.
    QTest::newRow("terminal commands in a file name")
        << dir.filePath("a\x1b]0;TITLE\x07\x1b[2J.xml") << outDir()
        << QByteArray("a\\x1b]0;TITLE\\x07\\x1b[2J.xml\": No such file");
    // Nor one shown reversed, "walk\u202elmx.gpx" looking like "walkxpg.xml".
    QTest::newRow("a right-to-left override in a file name")
        << dir.filePath(QString::fromUtf8("walk\u202elmx.gpx")) << outDir()
        << QByteArray("walk\\u202elmx.gpx\": No such file");

    // Files of other kinds are told by their content, whatever their name.
    const auto file = [this](const char *name, const QByteArray &bytes) {
        const QString path = dir.filePath(QLatin1String(name));
        return WriteFile(path, bytes) ? path : QString();
    };
    QByteArray noise(4096, '\0');
    QRandomGenerator(17).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    noise[0] = 'x';
    QTest::newRow("damaged gzip") << file("history.xml.gz", "\x1f\x8b\x08" + noise) << outDir()
                                  << QByteArray("history.xml.gz: starts as a compressed file or "
                                                "an archive does, but cannot be read as one");
    QTest::newRow("damaged zip") << file("export.zip", "PK\x03\x04" + noise) << outDir()
                                 << QByteArray("export.zip: ");
    QTest::newRow("gzip of zeros")
        << file("zeros.gpx.gz", archive_text::Gzipped(QByteArray(4096, '\0'))) << outDir()
        << QByteArray("zeros.gpx.gz\" holds binary data, not a GPS file");
    QTest::newRow("empty zip") << file("empty.zip", archive_text::Zipped({})) << outDir()
                               << QByteArray("empty.zip\" is an archive that holds no files");
    QTest::newRow("zip entry named in bytes that are not UTF-8")
        << file("names.zip", archive_text::Zipped({{"caf\xe9.fit.gz", "\x1f\x8b\x08" + noise}}))
        << outDir() << QByteArray("names.zip: entry 1 (its name is not UTF-8): starts as");
    QTest::newRow("7-Zip") << file("export.7z", "7z\xbc\xaf\x27\x1c" + noise) << outDir()
                           << QByteArray("export.7z\" is a 7-Zip archive, which Kelvane does "
                                         "not read: unpack it");
    QTest::newRow("PNG") << file("walk.xml.png", "\x89PNG\r\n\x1a\n" + noise) << outDir()
                         << QByteArray("walk.xml.png\" is a PNG image, not a GPS file");
    QTest::newRow("random bytes") << file("noise.tcx", noise) << outDir()
                                  << QByteArray("noise.tcx\" holds binary data, not a GPS file");
    const QByteArray activity = tcx_text::Activity(StartOn(today));
    QTest::newRow("a comment before the root that never ends")
        << file("open-comment.tcx", tcx_text::kDeclaration + "\n<!-- from the watch\n" +
                                        tcx_text::Tcx({activity}).mid(39))
        << outDir()
        << QByteArray("open-comment.tcx\" is not well-formed XML: line 2, column 1: the file "
                      "ends inside a tag or other markup");
}

void TestKelvaneSplit::failures()
{
    QFETCH(QString, input);
    QFETCH(QString, folder);
    QFETCH(QByteArray, message);
    const Result result = split({"-C", folder, input});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(!result.err.contains('\x1b'));
    QVERIFY(written().isEmpty());
}

void TestKelvaneSplit::inputThroughAPipe_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("notRepeated"); // of the file's day files, through a pipe

    QTest::newRow("a history") << ReadFile(history()) << QByteArray();
    const QByteArray activity =
        tcx_text::Activity(StartOn(today), {{StartOn(today), "47.6", "-122.3", "40", {}}});
    // The Author comes after the activities: a short file is read whole
    // before them, a long one from a pipe cannot be read first.
    const QByteArray file = tcx_text::Tcx({activity, activity});
    QTest::newRow("a Training Center file") << file << QByteArray();
    QByteArray longFile = file;
    longFile.insert(longFile.indexOf("</Activities>") + 13, QByteArray(5 << 20, ' '));
    QTest::newRow("a long Training Center file") << longFile << tcx_text::kAuthor;
}

// Read through a pipe, as `<(cat file)` hands it over, a file converts as it
// does from the disk.
void TestKelvaneSplit::inputThroughAPipe()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, notRepeated);
    const QString file = dir.filePath(QStringLiteral("piped"));
    QVERIFY(WriteFile(file, text));
    const QStringList kinds = {"--xml", "--csv", "--gpx"};
    const Result fromFile = split(kinds + QStringList{"-C", outDir(), file});
    QCOMPARE(fromFile.status, 0);
    QMap<QString, QByteArray> expected;
    for (const QString &name : written())
        expected[name] = ReadFile(QDir(outDir()).filePath(name)).replace(notRepeated, "");
    QVERIFY(!expected.isEmpty());
    init();

    QProcess shell;
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("f=$1; shift; \"$0\" \"$@\" <(cat \"$f\")"),
                 kProgram, file, "--own-format", "--csv", "--gpx", "-C", outDir()});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(shell.readAllStandardOutput(), fromFile.out);
    // What is left out is said once.
    QCOMPARE(shell.readAllStandardError().count("have no Author"), int(!notRepeated.isEmpty()));
    QMap<QString, QByteArray> piped;
    for (const QString &name : written())
        piped[name] = ReadFile(QDir(outDir()).filePath(name));
    QCOMPARE(piped, expected);
}

void TestKelvaneSplit::summary_data()
{
    using gpx_text::Gpx, gpx_text::kRoute, gpx_text::kWaypoint;
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("one run") << History({Run(StartOn(today))})
                             << QByteArray("1 run read, 1 converted, 1 file written, 0 skipped");
    const QByteArray track = gpx_text::Track({gpx_text::Point(StartOn(today))});
    QTest::newRow("waypoints and routes of a GPX file")
        << Gpx({kWaypoint, kWaypoint, kRoute, track})
        << QByteArray("1 run read, 1 converted, 1 file written, 0 skipped, 2 waypoints and 1 "
                      "route not converted");
    QTest::newRow("a route alone") << Gpx({kRoute, track})
                                   << QByteArray("1 run read, 1 converted, 1 file written, 0 "
                                                 "skipped, 1 route not converted");
}

// The last line on stderr counts what was read and written; what a file held
// besides runs is named only when there was some.
void TestKelvaneSplit::summary()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, line);
    const QString one = dir.filePath(QStringLiteral("one.xml"));
    QVERIFY(WriteFile(one, text));
    const Result result = split({"-C", outDir(), one});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, "kelvane-split: " + line + "\n");
}

// A conversion whose names cannot reach stdout does not end as a success.
void TestKelvaneSplit::namesThatCannotBeWritten()
{
    const Result result = split({"--today", "-C", outDir(), history()}, "/dev/full");
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(
                 "Cannot write the names of the day files to standard output: No space left"),
             result.err.constData());
    QCOMPARE(written().size(), 2); // the day files themselves are saved
}

// A file in which no run is found says what was looked for and what was seen.
// A history carries a point's texts from run to run: a run whose first point
// has no position shows the earlier run's place in its CSV day file, as the
// format always did, but that place is no part of its distance or its GPX 1.1
// day file.
void TestKelvaneSplit::borrowedPositionIsNoPlace()
{
    QList<QByteArray> second =
        Run("2026-11-02T08:00:00Z", {{"10", "20", "5", "2026-11-02T08:00:10Z"},
                                     {"10.001", "20", "5", "2026-11-02T08:00:20Z"}});
    // The first point has neither a position nor an altitude; the second
    // has a position of its own, and the altitude of the earlier run.
    second.insert(second.indexOf("        <Track>") + 1,
                  "<Trackpoint>\r\n<Time>2026-11-02T08:00:00Z</Time>\r\n</Trackpoint>");
    second.removeAt(second.indexOf("                    <Altitude>5</Altitude>"));
    const QString file = dir.filePath(QStringLiteral("borrowed.xml"));
    QVERIFY(WriteFile(
        file, History({Run("2026-11-01T08:00:00Z", {{"50", "8", "1", "2026-11-01T08:00:00Z"}}),
                       second})));
    const Result list = split({"--list", "-q", file});
    const QStringList run = QString::fromUtf8(list.out).split(QLatin1Char('\n'))[2].split('\t');
    QCOMPARE(run[0], QStringLiteral("20261102_01_Monday"));
    QCOMPARE(run[6], QStringLiteral("2"));      // positioned points
    QCOMPARE(run[12], QStringLiteral("111.2")); // metres
    QCOMPARE(run[15], QStringLiteral("5"));     // lowest metres, not the earlier run's

    QCOMPARE(split({"--csv", "--gpx-version", "1.1", "--geojson", "-C", outDir(), file}).status, 0);
    const QString day = QDir(outDir()).filePath(QStringLiteral("20261102_01_Monday"));
    QVERIFY(ReadFile(day + ".txt").contains("\r\n50,8,1,2026-11-02,08:00:00\r\n"));
    QVERIFY(ReadFile(day + ".txt").contains("\r\n10,20,1,2026-11-02,08:00:10\r\n"));
    const QByteArray gpx = ReadFile(day + ".gpx");
    QVERIFY(!gpx.contains("lat=\"50\"") && !gpx.contains("<ele>1</ele>"));
    QVERIFY(ReadFile(day + ".geojson").contains("\n[20,10],"));
}

void TestKelvaneSplit::historyWithoutRuns()
{
    const QString tabs = dir.filePath(QStringLiteral("tabs.xml"));
    QByteArray text = History({Run(StartOn(today))});
    text.replace("    <Run>", "\t<Run>");
    QVERIFY(WriteFile(tabs, text));
    const Result result = split({"-C", outDir(), tabs});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.err.contains("No run found in \"" + tabs.toLocal8Bit() + "\""),
             result.err.constData());
    QVERIFY2(result.err.contains("indented with tabs"), result.err.constData());
    QVERIFY(result.err.endsWith("0 runs read, 0 converted, 0 files written, 0 skipped\n"));
}

void TestKelvaneSplit::listOfRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("footer");

    const QString header = QStringLiteral(
        "day files\tstart\tduration\tkm\tpoints\tnote\tpositioned\tUTC start\tsport\tinput\t"
        "elapsed_s\tmoving_s\tdistance_m\tascent_m\tdescent_m\tlowest_m\thighest_m\t"
        "average_speed_m_s\tmaximum_speed_m_s\theart_rate_avg_bpm\theart_rate_max_bpm\t"
        "cadence_avg_rpm\tpower_avg_w\tpower_max_w\tcalories_kcal\ttemperature_avg_c\tsport_name\t"
        "device");
    const QString sample =
        QStringLiteral(KELVANE_SOURCE_DIR "/../shared/reference/logbook_sample.xml");
    const QString walk = QStringLiteral(KELVANE_SOURCE_DIR "/examples/walk.xml");
    // Three laps of 1259.4, 3352.85 and 1680.72 seconds; 6067.921, 110755.828 and 28240.844 m.
    if (QFile::exists(sample))
        QTest::newRow("a real history file")
            << QStringList{sample}
            << QStringList{header, "20041221_01_Tuesday\t2004-12-21T15:14:32Z\t1:44:53\t145."
                                   "065\t250\t\t250\t2004-12-21T15:14:32Z\t\t" +
                                       sample}
            << QByteArray("kelvane-split: 1 run, 1:44:53, 145.065 km, 250 points, 250 with a "
                          "position\n");
    QTest::newRow("an empty window")
        << QStringList{"--day", "1990-01-01", walk} << QStringList{header}
        << QByteArray("kelvane-split: 0 runs, 0:00:00, 0.000 km, 0 points, 0 with a position\n");
    // The local days of Los Angeles: the run at 06:55 UTC on 3 December was on the 2nd there.
    QTest::newRow("in a time zone")
        << QStringList{"--timezone", "America/Los_Angeles", "--from", "2026-12-01",
                       "--to",       "2026-12-03",          walk}
        << QStringList{header,
                       "20261201_01_Tuesday\t2026-12-01T09:40:30-08:00\t0:04:56\t0.492\t8\tRain, "
                       "short walk with Bruno\t8\t2026-12-01T17:40:30Z\t\t" +
                           walk,
                       "20261202_01_Wednesday\t2026-12-02T22:55:00-08:00\t0:06:10\t0."
                       "615\t10\tCaf\u00e9 stop at the pier \u2013 "
                       "lovely\t10\t2026-12-03T06:55:00Z\t\t" +
                           walk,
                       "20261203_01_Thursday\t2026-12-03T07:20:45-08:00\t0:03:42\t0.369\t6\t\t6\t"
                       "2026-12-03T15:20:45Z\t\t" +
                           walk}
        << QByteArray("kelvane-split: 3 runs, 0:14:48, 1.476 km, 24 points, 24 with a position\n");

    // An Id of a date alone: the run starts with its first lap, 01:30 in Berlin
    // on 1 July. The note is CDATA and a reference in ISO-8859-1.
    using namespace tcx_text;
    const TcxPoint positioned{"2021-06-30T23:30:00Z", "47.6", "-122.3", "40", {}};
    const TcxPoint treadmill{"2021-06-30T23:30:30Z", {}, {}, {}, {}};
    QByteArray latin1 =
        Tcx({Activity("2021-06-30", {positioned, treadmill}, "2021-06-30T23:30:00Z")})
            .replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"")
            .replace("    </Activity>", "<Notes><![CDATA[Caf\xe9 <b>]]> &#00000000065;</Notes>"
                                        "</Activity>");
    const QString latin1File = dir.filePath(QStringLiteral("latin1.tcx"));
    QVERIFY(WriteFile(latin1File, latin1));
    QTest::newRow("a Training Center run")
        << QStringList{"--timezone", "Europe/Berlin", latin1File}
        << QStringList{header,
                       "20210701_01_Thursday\t2021-07-01T01:30:00+02:00\t0:01:00\t0.101\t2\t"
                       "Caf\u00e9 <b> A\t1\t2021-06-30T23:30:00Z\tRunning\t" +
                           latin1File}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.101 km, 2 points, 1 with a position\n");
    // Three points a minute and 111.195 m apart, 10 m up and 8 m down: the
    // lap's time, distance and calories stand, the rest comes from the points.
    const auto hr = [](const char *bpm, const char *cadence) {
        return "<HeartRateBpm><Value>" + QByteArray(bpm) + "</Value></HeartRateBpm>" +
               (*cadence ? "<Cadence>" + QByteArray(cadence) + "</Cadence>" : QByteArray());
    };
    const QString figuresFile = dir.filePath(QStringLiteral("figures.tcx"));
    QVERIFY(
        WriteFile(figuresFile,
                  Tcx({Activity("2021-06-30T08:00:00Z",
                                {{"2021-06-30T08:00:00Z", "0", "0", "10", hr("100", "80")},
                                 {"2021-06-30T08:01:00Z", "0.001", "0", "20", hr("120", "90")},
                                 {"2021-06-30T08:02:00Z", "0.002", "0", "12", hr("140", "")}})})));
    QTest::newRow("the figures of a run")
        << QStringList{figuresFile}
        << QStringList{header, "20210630_01_Wednesday\t2021-06-30T08:00:00Z\t0:01:00\t0.101\t3\t"
                               "\t3\t2021-06-30T08:00:00Z\tRunning\t" +
                                   figuresFile +
                                   "\t120\t60\t100.5\t10\t8\t10\t20\t1.675\t\t120\t140\t85"
                                   "\t\t\t7\t\trunning\t"}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.101 km, 3 points, 3 with a position\n");
    // Two sessions: totals summed, averages weighted by the timer times (500
    // and 1500 s), maxima the highest, the enhanced maximum speed over the plain.
    constexpr qint64 T = 1000000030, kNone = 0xFFFFFFFF; // 2021-09-08T01:47:10Z
    const QString sessionsFile = dir.filePath(QStringLiteral("sessions.fit"));
    QVERIFY(WriteFile(sessionsFile, FitFile()
                                        .define(0, 0, {{0, 1, kEnum}})
                                        .define(1, 18,
                                                {{2, 4, kUint32},
                                                 {5, 1, kEnum},
                                                 {7, 4, kUint32},
                                                 {8, 4, kUint32},
                                                 {9, 4, kUint32},
                                                 {11, 2, kUint16},
                                                 {22, 2, kUint16},
                                                 {23, 2, kUint16},
                                                 {16, 1, kUint8},
                                                 {17, 1, kUint8},
                                                 {15, 2, kUint16},
                                                 {125, 4, kUint32},
                                                 {20, 2, kUint16},
                                                 {21, 2, kUint16},
                                                 {57, 1, kSint8}})
                                        .data(0, {4})
                                        .data(1, {T, 1, 600000, 500000, 150000, 100, 20, 10, 140,
                                                  170, 4000, kNone, 200, 400, 10})
                                        .data(1, {T + 600, 2, 1200000, 1500000, 1000000, 300, 100,
                                                  90, 120, 180, 5000, 6500, 100, 300, 20})
                                        .bytes()));
    QTest::newRow("the totals of a FIT file's sessions")
        << QStringList{sessionsFile}
        << QStringList{header, "20210908_01_Wednesday\t2021-09-08T01:47:10Z\t\t\t0\t\t0\t"
                               "2021-09-08T01:47:10Z\tmultisport\t" +
                                   sessionsFile +
                                   "\t1800\t2000\t11500\t120\t100\t\t\t5.75\t6.5\t125\t180"
                                   "\t\t125\t400\t400\t17.5\tmultisport\t"}
        << QByteArray("kelvane-split: 1 run, 0:00:00, 0.000 km, 0 points, 0 with a position\n");
    // A character of two UTF-16 units where the note is cut.
    const QString wideFile = dir.filePath(QStringLiteral("wide.tcx"));
    QVERIFY(WriteFile(wideFile, Tcx({Activity("2021-06-30T08:00:00Z", {positioned}, {}, "biking")})
                                    .replace("    </Activity>", "<Notes>" + QByteArray(39, 'a') +
                                                                    "\xF0\x9F\x98\x80"
                                                                    "b</Notes></Activity>")));
    // A history note is not checked as XML: a "<" of its own is text.
    const QString lessThan = dir.filePath(QStringLiteral("less.xml"));
    QVERIFY(WriteFile(lessThan, History({Run("2021-06-30T08:00:00Z", {}, "1 < 2 &amp; 3")})));
    QTest::newRow("a history note holding a \"<\"")
        << QStringList{lessThan}
        << QStringList{header,
                       "20210630_01_Wednesday\t2021-06-30T08:00:00Z\t0:01:00\t\t0\t1 < 2 & 3\t0\t"
                       "2021-06-30T08:00:00Z\t\t" +
                           lessThan}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.000 km, 0 points, 0 with a position\n");
    // A note that would retitle the terminal, reverse the line and start a command.
    const QString commands = dir.filePath(QStringLiteral("commands.xml"));
    QVERIFY(WriteFile(commands, History({Run("2021-06-30T08:00:00Z", {},
                                             "a\x1b]0;T\x07 \xe2\x80\xae b \xc2\x9b"
                                             "2J")})));
    QTest::newRow("terminal commands in a note")
        << QStringList{commands}
        << QStringList{header, "20210630_01_Wednesday\t2021-06-30T08:00:00Z\t0:01:00\t\t0\t"
                               "a\\x1b]0;T\\x07 \\u202e b \\x9b2J\t0\t2021-06-30T08:00:00Z\t\t" +
                                   commands}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.000 km, 0 points, 0 with a position\n");
    // A track of three days and one without times: a line for each track and day.
    const QString days = QStringLiteral(KELVANE_SOURCE_DIR "/tests/data/gpx/three_days.gpx");
    QTest::newRow("a GPX file")
        << QStringList{days}
        << QStringList{header,
                       "20260327_01_Friday\t2026-03-27T14:50:00Z\t9:00:00\t0.026\t3\tTour & "
                       "back\t3\t2026-03-27T14:50:00Z\tcycling\t" +
                           days,
                       "20260328_01_Saturday\t2026-03-28T00:10:00Z\t8:50:00\t0.026\t3\tTour & "
                       "back\t3\t2026-03-28T00:10:00Z\tcycling\t" +
                           days,
                       "20260329_01_Sunday\t2026-03-29T09:00:00.500Z\t0:00:00\t0.013\t2\tTour "
                       "& back\t2\t2026-03-29T09:00:00.500Z\tcycling\t" +
                           days,
                       "20260327_02_Friday\t2026-03-27T20:00:00Z\t\t0.000\t1\tWithout "
                       "times\t1\t2026-03-27T20:00:00Z\t\t" +
                           days}
        << QByteArray("kelvane-split: 4 runs, 17:50:00, 0.065 km, 9 points, 9 with a position\n");
    // A GPX file's creator names the device of its runs.
    const QString creatorFile = dir.filePath(QStringLiteral("creator.gpx"));
    QVERIFY(WriteFile(creatorFile,
                      gpx_text::Gpx({gpx_text::Track({gpx_text::Point("2021-06-30T08:00:00Z")})})
                          .replace("creator=\"test\"", "creator=\"Garmin Connect\"")));
    QTest::newRow("the device of a GPX file")
        << QStringList{creatorFile}
        << QStringList{header, "20210630_01_Wednesday\t2021-06-30T08:00:00Z\t0:00:00\t0.000\t1\t"
                               "Ride\t1\t2021-06-30T08:00:00Z\t\t" +
                                   creatorFile + "\t0\t\t0" + QString(14, u'\t') +
                                   "\tGarmin Connect"}
        << QByteArray("kelvane-split: 1 run, 0:00:00, 0.000 km, 1 point, 1 with a position\n");
    QTest::newRow("a note cut between characters")
        << QStringList{wideFile}
        << QStringList{header, "20210630_01_Wednesday\t2021-06-30T08:00:00Z\t0:01:00\t0.101\t1\t" +
                                   QString(39, QLatin1Char('a')) +
                                   "...\t1\t2021-06-30T08:00:00Z\tbiking\t" + wideFile}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.101 km, 1 point, 1 with a position\n");
    // A FIT file's local time, three hours ahead of 22:30 UTC: the next day.
    const QString localFile = dir.filePath(QStringLiteral("local.fit"));
    QVERIFY(WriteFile(localFile, FitFile()
                                     .define(0, 0, {{0, 1, kEnum}})
                                     .data(0, {4})
                                     .define(1, 20, {{253, 4, kUint32}})
                                     .data(1, {1137450600})
                                     .define(2, 34, {{253, 4, kUint32}, {5, 4, kUint32}})
                                     .data(2, {1137450600, 1137450600 + 3 * 3600})
                                     .bytes()));
    QTest::newRow("the local time a FIT file recorded")
        << QStringList{"--timezone", "recorded", localFile}
        << QStringList{header, "20260116_01_Friday\t2026-01-16T01:30:00+03:00\t\t0.000\t1\t\t0\t"
                               "2026-01-15T22:30:00Z\tgeneric\t" +
                                   localFile}
        << QByteArray("kelvane-split: 1 run, 0:00:00, 0.000 km, 1 point, 0 with a position\n");
    QTest::newRow("a sport alone")
        << QStringList{"--sport", "cycling", many("sports")}
        << QStringList{header, "20100611_02_Friday\t2010-06-11T09:00:00Z\t0:01:00\t0.101\t0\t\t0\t"
                               "2010-06-11T09:00:00Z\tBiking\t" +
                                   many("sports/two.tcx")}
        << QByteArray("kelvane-split: 1 run, 0:01:00, 0.101 km, 0 points, 0 with a position, 3 "
                      "left out for their sport; 2 inputs, 0 failed, 0 not GPS files\n");
    // The runs of all inputs, each with its input's name: an archive's entries
    // under the archive's.
    QTest::newRow("several inputs")
        << QStringList{many("b.tcx"), many("export.tar.gz")}
        << QStringList{header,
                       "20100528_01_Friday\t2010-05-28T08:00:00Z\t0:01:00\t0.101\t0\t\t0\t"
                       "2010-05-28T08:00:00Z\tRunning\t" +
                           many("b.tcx"),
                       "20100603_01_Thursday\t2010-06-03T08:00:00Z\t0:01:00\t0.101\t0\t\t0\t"
                       "2010-06-03T08:00:00Z\tRunning\t" +
                           many("export.tar.gz: ./b.tcx"),
                       "20100604_01_Friday\t2010-06-04T08:00:00Z\t0:01:00\t0.101\t0\t\t0\t"
                       "2010-06-04T08:00:00Z\tRunning\t" +
                           many("export.tar.gz: ./c.tcx.gz")}
        << QByteArray("kelvane-split: 3 runs, 0:03:00, 0.301 km, 0 points, 0 with a position; "
                      "3 inputs, 0 failed, 0 not GPS files\n");
}

// --list prints a line for each run in the window and writes no file.
void TestKelvaneSplit::listOfRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, footer);
    const Result result = split(QStringList{"--list", "--xml", "-C", outDir()} + arguments);
    QCOMPARE(result.status, 0);
    // A line given with fewer fields is checked on those: the figures stand after them.
    QStringList out = QString::fromUtf8(result.out).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::min(out.size(), lines.size()); ++i)
        out[i] = out[i].section(QLatin1Char('\t'), 0, int(lines[i].count(QLatin1Char('\t'))));
    QCOMPARE(out, lines + QStringList{""});
    QCOMPARE(result.err, footer);
    QVERIFY(written().isEmpty());
}

// The list names a run as a conversion with the same options names its day
// files, days that come back later and local days included.
void TestKelvaneSplit::listNamesTheFilesOfAConversion()
{
    const QString input = dir.filePath(QStringLiteral("returning.xml"));
    QVERIFY(WriteFile(input, History({Run("2004-10-25T08:00:00Z"), Run("2004-10-25T23:30:00Z"),
                                      Run("2004-10-26T08:00:00Z"), Run("2004-10-25T20:00:00Z"),
                                      Run("2004-10-25T21:00:00Z")})));
    // Asia/Calcutta: a link of the zone database, which Qt does not list.
    for (const QStringList &options : {QStringList{}, QStringList{"--timezone", "Europe/Berlin"},
                                       QStringList{"--timezone", "Asia/Calcutta"}}) {
        init();
        const Result list = split(options + QStringList{"--list", "-q", input});
        const Result conversion = split(options + QStringList{"-q", "-C", outDir(), input});
        QCOMPARE(list.status, 0);
        QCOMPARE(conversion.status, 0);
        QStringList listed;
        for (const QString &line :
             QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
            listed << line.section(QLatin1Char('\t'), 0, 0) + QStringLiteral(".xml");
        listed.sort();
        QCOMPARE(listed, written());
        QCOMPARE(listed.size(), 5);
    }
}

void TestKelvaneSplit::manyInputs_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArray>("standardInput");
    QTest::addColumn<QString>("folder"); // of the day files; empty: the test's output folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("dayFiles");
    QTest::addColumn<QByteArrayList>("said"); // each on stderr

    const QString none;
    const QStringList friday = {"20100528_01_Friday.xml", "20100528_02_Friday.xml",
                                "20100528_03_Friday.tcx"};
    // Files that are no runs are counted by kind, and named only when asked
    // ("!": not said).
    QTest::newRow("a zip: every entry, counting what is no GPS file or no activity")
        << QStringList{many("export.zip")} << QByteArray() << none << 0
        << QStringList{"20100601_01_Tuesday.tcx", "20100602_01_Wednesday.xml"}
        << QByteArrayList{"kelvane-split: 3 FIT files: 0 activities converted; 3 not activities: "
                          "2 monitoring, 1 sleep\n",
                          "kelvane-split: 2 files of other kinds passed over: 1 JPEG image, 1 "
                          "text file\n",
                          "2 runs read, 2 converted, 2 files written, 0 skipped; 7 inputs, 0 "
                          "failed, 2 not GPS files\n",
                          "!photo.jpg", "!3.fit"};
    QTest::newRow("a zip, each file passed over named")
        << QStringList{"--verbose", many("export.zip")} << QByteArray() << none << 0
        << QStringList{"20100601_01_Tuesday.tcx", "20100602_01_Wednesday.xml"}
        << QByteArrayList{"export.zip: media/photo.jpg\" is a JPEG image, not a GPS file",
                          "export.zip: activities.csv\" is text, not a GPS file",
                          "export.zip: sleep/3.fit: byte 0: not an activity: it is a FIT sleep "
                          "file\n",
                          "2 runs read, 2 converted, 2 files written, 0 skipped; 7 inputs"};
    QTest::newRow("a tar.gz holding a gzipped file")
        << QStringList{many("export.tar.gz")} << QByteArray() << none << 0
        << QStringList{"20100603_01_Thursday.tcx", "20100604_01_Friday.tcx"}
        << QByteArrayList{"2 runs read, 2 converted, 2 files written, 0 skipped; 2 inputs"};
    QTest::newRow("a gzipped file alone, as a file")
        << QStringList{many("ride.tcx.gz")} << QByteArray() << none << 0
        << QStringList{"20100605_01_Saturday.tcx"}
        << QByteArrayList{"kelvane-split: 1 run read, 1 converted, 1 file written, 0 skipped\n"};
    QTest::newRow("a folder, its subfolders, no hidden file")
        << QStringList{many("tree")} << QByteArray() << none << 0
        << QStringList{"20100606_01_Sunday.tcx", "20100607_01_Monday.xml"}
        << QByteArrayList{"1 file of another kind passed over: 1 text file\n",
                          "3 inputs, 0 failed, 1 not a GPS file"};
    QTest::newRow("several files: a day's runs counted on")
        << QStringList{many("a.xml"), many("b.tcx")} << QByteArray() << none << 0 << friday
        << QByteArrayList{"3 runs read, 3 converted, 3 files written, 0 skipped; 2 inputs"};
    QTest::newRow("standard input, gzipped, and a file")
        << QStringList{"-", many("b.tcx")} << archive_text::Gzipped(ReadFile(many("a.xml"))) << none
        << 0 << friday << QByteArrayList{"; 2 inputs, 0 failed, 0 not GPS files\n"};
    QTest::newRow("a broken entry costs that entry alone")
        << QStringList{many("broken.zip")} << QByteArray() << none << 1
        << QStringList{"20100608_01_Tuesday.tcx", "20100609_01_Wednesday.tcx"}
        << QByteArrayList{"broken.zip: 2.tcx.gz: truncated gzip input",
                          "2 runs read, 2 converted, 2 files written, 0 skipped; 3 inputs, 1 "
                          "failed, 0 not GPS files\n"};
    QTest::newRow("a file of another kind named with others")
        << QStringList{many("b.tcx"), many("photo.jpg")} << QByteArray() << none << 1
        << QStringList{"20100528_01_Friday.tcx"}
        << QByteArrayList{"photo.jpg\" is a JPEG image, not a GPS file", "2 inputs, 1 failed"};
    QTest::newRow("a file of another kind named alone, gzipped")
        << QStringList{many("photo.jpg.gz")} << QByteArray() << none << 1 << QStringList{}
        << QByteArrayList{"kelvane-split: \"" + many("photo.jpg.gz").toLocal8Bit() +
                          "\" is a JPEG image, not a GPS file\n"};
    // A run left out keeps its number, so the others are named as without
    // --sport; a history's runs name no sport.
    QTest::newRow("runs of the sports asked for")
        << QStringList{"--sport", "cycling,Other", many("sports")} << QByteArray() << none << 0
        << QStringList{"20100611_02_Friday.tcx", "20100611_03_Friday.tcx"}
        << QByteArrayList{"4 runs read, 2 converted, 2 files written, 0 skipped, 2 left out for "
                          "their sport; 2 inputs"};
    // The second input bears the name of the first one's day file.
    QTest::newRow("an input is never replaced by an earlier input's day file")
        << QStringList{many("b.tcx"), many("kept/20100528_01_Friday.tcx")} << QByteArray()
        << many("kept") << 1 << QStringList{"20100528_01_Friday.tcx"}
        << QByteArrayList{"20100528_01_Friday.tcx\": it is an input being read"};
}

void TestKelvaneSplit::manyInputs()
{
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, standardInput);
    QFETCH(QString, folder);
    QFETCH(int, status);
    QFETCH(QStringList, dayFiles);
    QFETCH(QByteArrayList, said);
    const QString out = folder.isEmpty() ? outDir() : folder;
    const QByteArray kept = ReadFile(many("kept/20100528_01_Friday.tcx"));
    const Result result = split(QStringList{"-C", out} + inputs, {}, standardInput);
    QCOMPARE(result.status, status);
    for (const QByteArray &text : said)
        QVERIFY2(text.startsWith('!') ? !result.err.contains(text.mid(1))
                                      : result.err.contains(text),
                 result.err.constData());
    QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), dayFiles);
    QCOMPARE(ReadFile(many("kept/20100528_01_Friday.tcx")), kept);
    // The Author stands after the activities: a compressed or archived file is
    // read once more for it.
    for (const QString &name : dayFiles)
        if (name.endsWith(QLatin1String(".tcx")))
            QVERIFY2(ReadFile(QDir(out).filePath(name)).contains(tcx_text::kAuthor),
                     qPrintable(name));
}

QTEST_GUILESS_MAIN(TestKelvaneSplit)
#include "test_kelvane_split.moc"
