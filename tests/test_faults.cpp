// What kelvane-split does when the input or the disk fails: it stops with
// status 1 and a message naming the file and the reason, the day files of
// earlier conversions and of runs finished earlier stay as they were, and no
// half-written day file or temporary file is left behind.

#include "history_text.h"
#include "split_process.h"
#include "tcx_text.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace history_text;
using split_process::Split;

namespace {

using Contents = QMap<QString, QByteArray>; // file name -> bytes; folders map to "<folder>"

QList<Point> Points(int count, const QByteArray &day)
{
    QList<Point> points;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        points.append({"47.6" + n, "-122.3" + n, "40." + n,
                       day + "T10:" + QByteArray::number(10 + i % 50) + ":00Z"});
    }
    return points;
}

Contents Snapshot(const QString &folder)
{
    Contents contents;
    const auto entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries)
        contents.insert(entry.fileName(),
                        entry.isDir() ? QByteArray("<folder>") : ReadFile(entry.filePath()));
    return contents;
}

QStringList Names(const QByteArray &stdoutText)
{
    return QString::fromLocal8Bit(stdoutText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QString out() const { return path("out"); }
    QString earlierHistory() const { return path("earlier.xml"); }
    QString currentHistory() const { return path("current.xml"); }

    Contents earlierFiles;  // what an earlier conversion left in out()
    Contents currentFiles;  // what a clean conversion of currentHistory() writes
    QStringList runX, runY; // the day file names of the current history's first two runs

  private Q_SLOTS:
    void initTestCase();
    void init();
    void requestFaults_data();
    void requestFaults();
    void faultsWhileWriting_data();
    void faultsWhileWriting();
    void trainingCenterFaults_data();
    void trainingCenterFaults();
};

// The earlier history holds runs on 2 and 3 November; the current one a short
// run on 5 November (X), a long one on 3 November (Y) whose day files take the
// names of the earlier conversion's second run, and one on 6 November.
void TestFaults::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(WriteFile(earlierHistory(),
                      History({Run("2026-11-02T08:00:00Z", Points(3, "2026-11-02")),
                               Run("2026-11-03T08:00:00Z", Points(3, "2026-11-03"))})));
    QVERIFY(WriteFile(currentHistory(),
                      History({Run("2026-11-05T08:00:00Z", Points(3, "2026-11-05")),
                               Run("2026-11-03T09:00:00Z", Points(2000, "2026-11-03")),
                               Run("2026-11-06T08:00:00Z", Points(3, "2026-11-06"))})));
    const QString reference = path("reference");
    QVERIFY(QDir().mkpath(reference));
    const auto clean =
        Split({QStringLiteral("--xml"), QStringLiteral("--csv"), QStringLiteral("--gpx"),
               QStringLiteral("-C"), reference, currentHistory()});
    QCOMPARE(clean.status, 0);
    const QStringList names = Names(clean.out);
    QCOMPARE(names.size(), 9);
    runX = names.mid(0, 3);
    runY = names.mid(3, 3);
    currentFiles = Snapshot(reference);
}

// Every test starts from the day files of an earlier conversion.
void TestFaults::init()
{
    QVERIFY(EmptyFolder(out()));
    const auto earlier =
        Split({QStringLiteral("--xml"), QStringLiteral("--csv"), QStringLiteral("--gpx"),
               QStringLiteral("-C"), out(), earlierHistory()});
    QCOMPARE(earlier.status, 0);
    earlierFiles = Snapshot(out());
    QCOMPARE(earlierFiles.size(), 6);
    for (const QString &name : std::as_const(runY))
        QVERIFY2(earlierFiles.contains(name), "run Y must take the names of an earlier day file");
}

void TestFaults::requestFaults_data()
{
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QByteArray>("reason");

    const QString folderAsHistory = path("out");
    QTest::newRow("history is the output folder")
        << folderAsHistory << out() << folderAsHistory
        << QByteArray("is the folder the day files are written to");
    QTest::newRow("history missing") << path("nowhere.xml") << out() << path("nowhere.xml")
                                     << QByteArray("No such file or directory");
    const QString throughFile = earlierHistory() + QStringLiteral("/walk.xml");
    QTest::newRow("history path runs through a file")
        << throughFile << out() << throughFile << QByteArray("Not a directory");
    // Opens for anyone, root included, and fails on the first read.
    QTest::newRow("history unreadable")
        << QStringLiteral("/proc/self/mem") << out() << QStringLiteral("/proc/self/mem")
        << QByteArray("Input/output error");
    // A device without end is told by its first bytes; it is not read on.
    QTest::newRow("history without end")
        << QStringLiteral("/dev/zero") << out() << QStringLiteral("/dev/zero")
        << QByteArray("holds binary data, not a GPS file");
    QTest::newRow("output folder missing")
        << currentHistory() << path("gone") << path("gone") << QByteArray("no such folder");
    QTest::newRow("output folder is a file")
        << currentHistory() << earlierHistory() << earlierHistory() << QByteArray("not a folder");
}

void TestFaults::requestFaults()
{
    QFETCH(QString, history);
    QFETCH(QString, folder);
    QFETCH(QString, named);
    QFETCH(QByteArray, reason);
    const QByteArray historyBefore = ReadFile(earlierHistory());

    const auto result = Split({QStringLiteral("--xml"), QStringLiteral("--csv"),
                               QStringLiteral("--gpx"), QStringLiteral("-C"), folder, history});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(named.toLocal8Bit()), result.err.constData());
    QVERIFY2(result.err.contains(reason), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(Snapshot(out()), earlierFiles);
    QCOMPARE(ReadFile(earlierHistory()), historyBefore);
}

void TestFaults::faultsWhileWriting_data()
{
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<QString>("blocked");   // extension of run Y's day file taken by a folder
    QTest::addColumn<QString>("failing");   // extension of run Y's day file that cannot be saved
    QTest::addColumn<QString>("fillsUpAt"); // extension of the first file too big for the disk
    QTest::addColumn<QByteArray>("reason");

    const QStringList all = {QStringLiteral("--xml"), QStringLiteral("--csv"),
                             QStringLiteral("--gpx")};
    QTest::newRow("first day file name taken by a folder")
        << all << ".xml"
        << ".xml" << QString() << QByteArray("a folder of that name is in the way");
    QTest::newRow("last day file name taken by a folder")
        << all << ".gpx"
        << ".gpx" << QString() << QByteArray("a folder of that name is in the way");
    QTest::newRow("disk full at a run's first day file") << all << QString() << ".xml"
                                                         << ".xml" << QByteArray("File too large");
    QTest::newRow("disk full at a run's last day file")
        << QStringList{QStringLiteral("--csv"), QStringLiteral("--gpx")} << QString() << ".gpx"
        << ".gpx" << QByteArray("File too large");
}

// Run X is saved, run Y fails, run Z is never reached.
void TestFaults::faultsWhileWriting()
{
    QFETCH(QStringList, formats);
    QFETCH(QString, blocked);
    QFETCH(QString, failing);
    QFETCH(QString, fillsUpAt);
    QFETCH(QByteArray, reason);

    // The day files of `names` that the switches ask for.
    const auto withExtension = [](const QStringList &names, const QStringList &formats) {
        const QMap<QString, QString> extensionOf = {
            {QStringLiteral("--xml"), QStringLiteral(".xml")},
            {QStringLiteral("--csv"), QStringLiteral(".txt")},
            {QStringLiteral("--gpx"), QStringLiteral(".gpx")}};
        QStringList kept;
        for (const QString &name : names)
            for (const QString &format : formats)
                if (name.endsWith(extensionOf.value(format)))
                    kept << name;
        return kept;
    };
    const auto nameOf = [](const QStringList &names, const QString &extension) {
        for (const QString &name : names)
            if (name.endsWith(extension))
                return name;
        return QString();
    };

    Contents expected = earlierFiles;
    if (!blocked.isEmpty()) {
        const QString name = nameOf(runY, blocked);
        QVERIFY(QFile::remove(QDir(out()).filePath(name)));
        QVERIFY(QDir(out()).mkdir(name));
        expected.insert(name, "<folder>");
    }
    split_process::Limits limits;
    if (!fillsUpAt.isEmpty()) {
        // Room for every file of run X and for run Y's files saved before the
        // failing one (they are saved in the order XML, CSV, GPX).
        qint64 room = 0;
        for (const QString &name : withExtension(runX, formats))
            room = std::max<qint64>(room, currentFiles.value(name).size());
        for (const QString &name : withExtension(runY, formats)) {
            if (name.endsWith(fillsUpAt))
                break;
            room = std::max<qint64>(room, currentFiles.value(name).size());
        }
        const qint64 tooBig = currentFiles.value(nameOf(runY, fillsUpAt)).size();
        QVERIFY2(room < tooBig, "run Y's failing file must be the largest so far");
        limits.fileSize = rlim_t((room + tooBig) / 2);
    }
    const QStringList savedX = withExtension(runX, formats);
    for (const QString &name : savedX)
        expected.insert(name, currentFiles.value(name));

    auto result =
        Split(formats + QStringList{QStringLiteral("-C"), out(), currentHistory()}, limits);
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 1);
    const QString failedPath = QDir(out()).filePath(nameOf(runY, failing));
    QVERIFY2(result.err.contains(failedPath.toLocal8Bit()), result.err.constData());
    QVERIFY2(result.err.contains(reason), result.err.constData());
    QCOMPARE(Names(result.out), savedX);
    // Run X complete, run Y's earlier files untouched (none replaced by a part
    // of the failed run), run Z absent, and no temporary file anywhere.
    QCOMPARE(Snapshot(out()), expected);

    // Once the fault is gone the same conversion completes.
    if (!blocked.isEmpty())
        QVERIFY(QDir(out()).rmdir(nameOf(runY, blocked)));
    result = Split(formats + QStringList{QStringLiteral("-C"), out(), currentHistory()});
    QCOMPARE(result.status, 0);
    const Contents after = Snapshot(out());
    for (const QString &name : withExtension(runX + runY, formats))
        QCOMPARE(after.value(name), currentFiles.value(name));
}

// A Training Center file that breaks off, or a disk that fills up, in its
// second activity: the first activity's day files are saved, the message
// names the file and the place, nothing of the second is left behind.
void TestFaults::trainingCenterFaults_data()
{
    QTest::addColumn<int>("cutAt");      // bytes of the file kept; 0: all of it
    QTest::addColumn<bool>("diskFills"); // at the second activity's XML day file
    QTest::addColumn<QByteArray>("reason");

    QTest::newRow("cut off inside an activity")
        << 2000 << false
        << QByteArray("is not well-formed XML: line 53, column 15: the file ends inside a tag");
    QTest::newRow("disk full") << 0 << true << QByteArray("File too large");
}

void TestFaults::trainingCenterFaults()
{
    using namespace tcx_text;
    QFETCH(int, cutAt);
    QFETCH(bool, diskFills);
    QFETCH(QByteArray, reason);
    const auto points = [](int count, const QByteArray &day) {
        QList<TcxPoint> list;
        for (int i = 0; i < count; ++i)
            list.append({day + "T10:" + QByteArray::number(10 + i % 50) + ":00Z",
                         "47.6" + QByteArray::number(i),
                         "-122.3",
                         "40",
                         {}});
        return list;
    };
    const QByteArray whole = Tcx({Activity("2026-11-05T08:00:00Z", points(3, "2026-11-05")),
                                  Activity("2026-11-03T09:00:00Z", points(2000, "2026-11-03")),
                                  Activity("2026-11-06T08:00:00Z", points(3, "2026-11-06"))});
    const QString input = path("activities.tcx");
    QVERIFY(WriteFile(input, cutAt ? whole.left(cutAt) : whole));
    const QStringList formats = {QStringLiteral("--xml"), QStringLiteral("--csv"),
                                 QStringLiteral("--gpx")};

    // What a clean conversion writes for the first activity.
    const QString reference = path("reference-tcx");
    QVERIFY(EmptyFolder(reference));
    QVERIFY(WriteFile(path("whole.tcx"), whole));
    QCOMPARE(
        Split(formats + QStringList{QStringLiteral("-C"), reference, path("whole.tcx")}).status, 0);
    const Contents clean = Snapshot(reference);
    const QStringList first = {QStringLiteral("20261105_01_Thursday.tcx"),
                               QStringLiteral("20261105_01_Thursday.txt"),
                               QStringLiteral("20261105_01_Thursday.gpx")};
    Contents expected = earlierFiles;
    for (const QString &name : first)
        expected.insert(name, clean.value(name));
    // The Author comes after the activities: a file cut off has none to repeat.
    if (cutAt)
        expected[first[0]].replace(kAuthor, "");

    split_process::Limits limits;
    if (diskFills) {
        qint64 room = 0;
        for (const QString &name : first)
            room = std::max<qint64>(room, clean.value(name).size());
        limits.fileSize = rlim_t(room + 1);
    }
    const auto result = Split(formats + QStringList{QStringLiteral("-C"), out(), input}, limits);
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 1);
    QVERIFY2(
        result.err.contains(
            (diskFills ? QDir(out()).filePath(QStringLiteral("20261103_01_Tuesday.tcx")) : input)
                .toLocal8Bit()),
        result.err.constData());
    QVERIFY2(result.err.contains(reason), result.err.constData());
    QCOMPARE(Names(result.out), first);
    QCOMPARE(Snapshot(out()), expected);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "test_faults.moc"
