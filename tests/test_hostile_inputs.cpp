// History files as they come from other programs and editors: NUL bytes, a
// file cut off in the middle of a run, Windows-1252, UTF-8 and UTF-16 text.
// kelvane-split reads each to its end and exits 0, converting what it
// recognises and carrying every byte it does not unchanged.

#include "gpx_text.h"
#include "history_text.h"
#include "split_process.h"
#include "tcx_text.h"
#include "xml_check.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace history_text;
using split_process::Split;

namespace {

QByteArray Utf16(const QByteArray &latin1, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xfe\xff") : QByteArray("\xff\xfe");
    for (const char c : latin1) {
        const char pair[2] = {bigEndian ? '\0' : c, bigEndian ? c : '\0'};
        bytes.append(pair, 2);
    }
    return bytes;
}

const QByteArray kCutOff =
    "    <Run>\r\n        <Lap>\r\n            <StartTime>2026-11-04T08:00:00Z</StartTime>\r\n"
    "        <Track>\r\n            <Trackpoint>\r\n                <Lati";

} // namespace

class TestHostileInputs : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString out() const { return dir.filePath(QStringLiteral("out")); }
    QString history() const { return dir.filePath(QStringLiteral("history.xml")); }

  private Q_SLOTS:
    void init() { QVERIFY(EmptyFolder(out())); }
    void strangeText_data();
    void strangeText();
    void trainingCenterAndGpxFiles_data();
    void trainingCenterAndGpxFiles();
};

void TestHostileInputs::strangeText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("files");
    QTest::addColumn<QByteArray>("inDayFiles"); // bytes that one of the day files holds
    QTest::addColumn<QByteArray>("summary");

    const QStringList all = {QStringLiteral("--xml"), QStringLiteral("--csv"),
                             QStringLiteral("--gpx")};
    const QStringList escaping = {QStringLiteral("--xml"), QStringLiteral("--high-ascii")};
    const Point nulPoint{QByteArray("47.6\0x", 6), "-122.3", "40", "2026-11-02T08:00:00Z"};
    const QByteArray twoRuns = History({Run("2026-11-02T08:00:00Z"), Run("2026-11-03T08:00:00Z")});

    QTest::newRow("NUL bytes in a note and a latitude")
        << History({Run("2026-11-02T08:00:00Z", {nulPoint}, QByteArray("a\0b", 3))}) << all << 3
        << QByteArray("<Notes>a\0b</Notes>", 18) << QByteArray("1 run read, 1 converted");
    QList<QByteArray> nestedNul = Run("2026-11-02T08:00:00Z");
    nestedNul.insert(1, QByteArray("<Ru\0n>", 6)); // opens no second run
    QTest::newRow("NUL byte inside a Run tag")
        << History({nestedNul}) << all << 3 << QByteArray("<Ru\0n>", 6)
        << QByteArray("1 run read, 1 converted");
    QTest::newRow("file cut off in a run")
        << twoRuns.left(twoRuns.lastIndexOf("</History>")) + kCutOff << QStringList() << 2
        << QByteArray() << QByteArray("the file ends before the run's </Run> line");
    QTest::newRow("Windows-1252 note")
        << History({Run("2026-11-02T08:00:00Z", {}, "Caf\xe9 cr\xe8me")}) << escaping << 1
        << QByteArray("&#60;Notes>Caf&#233; cr&#232;me&#60;/Notes>")
        << QByteArray("1 run read, 1 converted");
    QTest::newRow("UTF-8 note") << History({Run("2026-11-02T08:00:00Z", {}, "Caf\xc3\xa9")})
                                << escaping << 1
                                << QByteArray("&#60;Notes>Caf&#195;&#169;&#60;/Notes>")
                                << QByteArray("1 run read, 1 converted");
    QTest::newRow("UTF-8 with a byte order mark")
        << "\xef\xbb\xbf" + twoRuns << QStringList() << 2
        << "\xef\xbb\xbf" + kDeclaration + "\r\n\r\n<History"
        << QByteArray("2 runs read, 2 converted");
    QTest::newRow("UTF-16 little endian") << Utf16(twoRuns, false) << all << 0 << QByteArray()
                                          << QByteArray("This file is UTF-16 text");
    QTest::newRow("UTF-16 big endian") << Utf16(twoRuns, true) << all << 0 << QByteArray()
                                       << QByteArray("This file is UTF-16 text");
    QByteArray crOnly = twoRuns;
    crOnly.replace("\r\n", "\r");
    QTest::newRow("line ends of CR alone")
        << crOnly << all << 0 << QByteArray() << QByteArray("lines end in CR alone");
}

void TestHostileInputs::strangeText()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, switches);
    QFETCH(int, files);
    QFETCH(QByteArray, inDayFiles);
    QFETCH(QByteArray, summary);
    QVERIFY(WriteFile(history(), text));

    const auto result = Split(switches + QStringList{QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 0);
    QVERIFY2(result.err.contains(summary), result.err.constData());
    const auto written =
        QDir(out()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(written.size(), files);
    QByteArray all;
    for (const QFileInfo &file : written)
        all += ReadFile(file.filePath());
    QVERIFY(all.contains(inDayFiles));
}

// Training Center and GPX files made to hurt: whatever they hold, nothing is
// written outside the output folder, and what is written is complete.
void TestHostileInputs::trainingCenterAndGpxFiles_data()
{
    using namespace tcx_text;
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("names"); // the day files, in the order saved
    QTest::addColumn<QByteArray>("inDayFiles");
    QTest::addColumn<QByteArray>("message"); // on stderr

    const TcxPoint point{"2026-11-02T08:00:00Z", "47.6", "-122.3", "40", {}};
    const QStringList monday = {QStringLiteral("20261102_01_Monday.tcx"),
                                QStringLiteral("20261102_01_Monday.txt"),
                                QStringLiteral("20261102_01_Monday.gpx")};

    // 48 MiB of notes, references among them, in an activity of one point.
    QByteArray notes(48 << 20, 'n');
    for (qsizetype at = 0; at + 5 < notes.size(); at += 4096)
        notes.replace(at, 5, "&amp;");
    QByteArray huge = Activity("2026-11-02T07:00:00Z", {point});
    huge.replace("    </Activity>", "      <Notes>" + notes + "</Notes>\n    </Activity>");
    QTest::newRow("an activity with huge notes")
        << Tcx({huge}) << 0 << monday << notes.right(100) << QByteArray("1 run read, 1 converted");
    QTest::newRow("an Id crafted as a path")
        << Tcx({Activity("../../../../tmp/evil", {point}, "2026-11-02T07:00:00Z")}) << 0 << monday
        << QByteArray("<Id>../../../../tmp/evil</Id>") << QByteArray("1 run read, 1 converted");
    QTest::newRow("an Id with a date and a path")
        << Tcx({Activity("2026-11-02/../../../evil", {point})}) << 0 << monday
        << QByteArray("<Id>2026-11-02/../../../evil</Id>") << QByteArray("1 run read, 1 converted");
    // Each attribute checked against all before it would take hours.
    QByteArray attributes;
    for (int i = 0; i < 300000; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"\"";
    QByteArray crowded = Activity("2026-11-02T07:00:00Z", {point});
    crowded.replace("<Activity Sport=\"Running\">",
                    "<Activity Sport=\"Running\"" + attributes + ">");
    QTest::newRow("an activity tag of 300 000 attributes")
        << Tcx({crowded}) << 0 << monday << QByteArray(" a299999=\"\">")
        << QByteArray("1 run read, 1 converted");
    QByteArray wide = "\xfe\xff";
    for (const char c : Tcx({Activity("2026-11-02T07:00:00Z", {point})}))
        wide.append('\0').append(c);
    QTest::newRow("UTF-16") << wide << 1 << QStringList() << QByteArray()
                            << QByteArray("in UTF-16, which Kelvane does not read");

    // A device writing Windows-1252 into a UTF-8 file: the day files are UTF-8.
    QByteArray windows1252 = Activity("2026-11-02T07:00:00Z", {point}, {}, "Caf\xe9");
    windows1252.replace("    </Activity>", "      <Notes>cr\xe8me \x80</Notes>\n    </Activity>");
    QTest::newRow("bytes that are not UTF-8")
        << Tcx({windows1252}) << 0 << monday
        << QByteArray("Sport=\"Caf\xc3\xa9\">\n      <Id>2026-11-02T07:00:00Z</Id>")
        << QByteArray("holds bytes that are not UTF-8, the first at line 4, column 25: they are "
                      "read as Windows-1252");
    QByteArray control = Activity("2026-11-02T07:00:00Z", {point});
    control.replace("<Calories>7<", "<Calories>7\x01<");
    QTest::newRow("a control character")
        << Tcx({control}) << 1 << QStringList() << QByteArray()
        << QByteArray("line 9, column 20: the character U+0001, which XML does not allow");
    QTest::newRow("a real file of courses only")
        << ReadFile(xml_check::Reference(QStringLiteral("tcx/dblock_brighton-beach.tcx"))) << 0
        << QStringList() << QByteArray()
        << QByteArray("it holds 1 course (a planned route, not a recorded run) and no Activity.");
    QTest::newRow("Training Center v1")
        << QByteArray("<TrainingCenterDatabase><History><Running><Run/></Running></History>"
                      "</TrainingCenterDatabase>")
        << 0 << QStringList() << QByteArray()
        << QByteArray("it holds 1 run in the older layout of Training Center v1 (History/Run)");

    // A GPX run's own day file and its GPX day file are one.
    using gpx_text::Gpx, gpx_text::Point, gpx_text::Track;
    const QStringList gpxMonday = {QStringLiteral("20261102_01_Monday.gpx"),
                                   QStringLiteral("20261102_01_Monday.txt")};
    const QByteArray gpx = Gpx({Track({Point("2026-11-02T08:00:00Z")}, "Caf\xe9")});
    QByteArray wideGpx = "\xff\xfe";
    for (const char c : gpx)
        wideGpx.append(c).append('\0');
    QTest::newRow("GPX in UTF-16")
        << wideGpx << 1 << QStringList() << QByteArray() << QByteArray("is a GPX file in UTF-16");
    QTest::newRow("GPX: bytes that are not UTF-8")
        << gpx << 0 << gpxMonday << QByteArray("<name>Caf\xc3\xa9</name>")
        << QByteArray("holds bytes that are not UTF-8, the first at line 4, column 14");
    // Cut off after the first point of a track's second day: the first day is saved.
    QByteArray twoDays =
        Gpx({Track({Point("2026-11-02T23:59:00Z"), Point("2026-11-03T00:01:00Z")})});
    twoDays.truncate(twoDays.lastIndexOf("</trkpt>") + 8);
    QTest::newRow("GPX cut off in a track's second day")
        << twoDays << 1 << gpxMonday << QByteArray("<time>2026-11-02T23:59:00Z</time>")
        << QByteArray("is not well-formed XML: line 11, column 15: the file ends");
}

void TestHostileInputs::trainingCenterAndGpxFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(int, status);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, inDayFiles);
    QFETCH(QByteArray, message);
    const QString input = dir.filePath(QStringLiteral("activities.tcx"));
    QVERIFY(WriteFile(input, text));
    const QStringList beside =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const auto result = Split({QStringLiteral("--xml"), QStringLiteral("--csv"),
                               QStringLiteral("--gpx"), QStringLiteral("-C"), out(), input});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QCOMPARE(QString::fromLocal8Bit(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             names);
    QStringList written =
        QDir(out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList expected = names;
    written.sort();
    expected.sort();
    QCOMPARE(written, expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             beside);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/evil")));
    QByteArray all;
    for (const QString &name : written)
        all += ReadFile(QDir(out()).filePath(name));
    QVERIFY(all.contains(inDayFiles));
}

QTEST_GUILESS_MAIN(TestHostileInputs)
#include "test_hostile_inputs.moc"
