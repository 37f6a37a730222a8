// kelvane-split stopped halfway, or sharing its output folder: a run's day
// files are all of one conversion, nothing hidden is left behind, and the
// names printed are those of the files saved.

#include "archive_text.h"
#include "gpx_text.h"
#include "history_text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace history_text;

namespace {

const QString kProgram = QStringLiteral(KELVANE_BINARY_DIR "/cli/kelvane-split");
constexpr int kRuns = 1500;

// Runs on consecutive days; `mark` makes the day files of two histories differ.
// Their files are several times what the saving holds at once, so that a stop
// comes before the reading's end.
QByteArray ManyRuns(const QByteArray &mark)
{
    QList<QList<QByteArray>> runs;
    const QDate first(2010, 1, 1);
    for (int i = 0; i < kRuns; ++i) {
        const QByteArray day = first.addDays(i).toString(Qt::ISODate).toLatin1();
        const Point point{mark, "-122.3493", "56.1", day + "T08:00:10Z"};
        runs << Run(day + "T08:00:00Z", QList<Point>(16, point), mark);
    }
    return History(runs);
}

using Contents = QMap<QString, QByteArray>;

Contents FilesIn(const QString &folder)
{
    Contents contents;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot))
        contents.insert(entry.fileName(), ReadFile(entry.filePath()));
    return contents;
}

QStringList Lines(const QByteArray &text)
{
    return QString::fromLocal8Bit(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Holds the lock a conversion takes on its output folder.
class FolderLock {
  public:
    explicit FolderLock(const QString &folder)
#ifdef KELVANE_PORTABLE_OUTPUT
        : file(QDir(folder).filePath(QStringLiteral(".kelvane.lock")))
    {
        locked = file.tryLock(0);
    }
    void release()
    {
        file.unlock();
    }
    bool held() const
    {
        return locked;
    }

  private:
    QLockFile file;
    bool locked = false;
#else
        : fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~FolderLock()
    {
        release();
    }
    void release()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool held() const
    {
        return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    }

  private:
    int fd;
#endif
};

} // namespace

class TestInterruptions : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString oldHistory() const { return dir.filePath(QStringLiteral("old.xml")); }
    QString newHistory() const { return dir.filePath(QStringLiteral("new.xml")); }
    QString out() const { return dir.filePath(QStringLiteral("out")); }
    Contents oldFiles, newFiles; // every day file of each history

    Contents convertAlone(const QString &history)
    {
        const QString folder = dir.filePath(QStringLiteral("alone"));
        EmptyFolder(folder);
        QProcess process;
        process.start(kProgram, {"--xml", "--csv", "--gpx", "-q", "-C", folder, history});
        process.waitForFinished(120000);
        const Contents files = FilesIn(folder);
        QDir(folder).removeRecursively();
        return files;
    }

    // Every run has its three files from one history, and every file is a
    // day file of one of them.
    void checkRunsAreWhole(const Contents &files, QStringList *newNames)
    {
        QMap<QString, QStringList> origins; // base name -> history of each file
        for (auto file = files.cbegin(); file != files.cend(); ++file) {
            const QString &name = file.key();
            QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
            const bool isNew = newFiles.value(name) == file.value();
            QVERIFY2(isNew || oldFiles.value(name) == file.value(), qPrintable(name));
            origins[name.chopped(4)] << (isNew ? QStringLiteral("new") : QStringLiteral("old"));
            if (isNew && newNames)
                *newNames << name;
        }
        for (auto run = origins.cbegin(); run != origins.cend(); ++run) {
            QCOMPARE(run.value().size(), 3);
            QVERIFY2(run.value().count(run.value().first()) == 3, qPrintable(run.key()));
        }
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(WriteFile(oldHistory(), ManyRuns("1.0")));
        QVERIFY(WriteFile(newHistory(), ManyRuns("2.0")));
        oldFiles = convertAlone(oldHistory());
        newFiles = convertAlone(newHistory());
        QCOMPARE(oldFiles.size(), 3 * kRuns);
        QCOMPARE(newFiles.size(), 3 * kRuns);
    }
    void init() { QVERIFY(EmptyFolder(out())); }

    void stoppedBySignal_data();
    void stoppedBySignal();
    void stoppedWhileAFifoWaitsForItsWriter();
    void stoppedWithinARun();
    void namesToAClosedPipe();
    void conversionsTakeTurns();
    void waitsForTheFolder();
    void leftoversAreRemoved();
};

void TestInterruptions::stoppedBySignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("Ctrl-C") << int(SIGINT) << QByteArray("SIGINT");
    QTest::newRow("terminate") << int(SIGTERM) << QByteArray("SIGTERM");
    QTest::newRow("hang-up") << int(SIGHUP) << QByteArray("SIGHUP");
}

// Stopped among older day files: each run is old or new as a whole, nothing
// hidden stays, and stdout names exactly the files of the new conversion.
void TestInterruptions::stoppedBySignal()
{
    QFETCH(int, signal);
    QFETCH(QByteArray, name);
    for (auto file = oldFiles.cbegin(); file != oldFiles.cend(); ++file)
        QVERIFY(WriteFile(QDir(out()).filePath(file.key()), file.value()));

    QProcess process;
    process.start(kProgram, {"--xml", "--csv", "--gpx", "-C", out(), newHistory()});
    QVERIFY(process.waitForReadyRead(60000)); // the first run is saved
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("stopped by " + name), err.constData());

    QStringList saved;
    checkRunsAreWhole(FilesIn(out()), &saved);
    QStringList printed = Lines(process.readAllStandardOutput());
    QVERIFY(saved.size() < 3 * kRuns); // stopped before the end
    saved.sort();
    printed.sort();
    QCOMPARE(printed, saved);
}

// A FIFO that never gets a writer leaves the reading waiting for its first
// bytes; the first signal ends that wait as it ends any conversion.
void TestInterruptions::stoppedWhileAFifoWaitsForItsWriter()
{
    const QString fifo = dir.filePath(QStringLiteral("fifo.xml"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QProcess process;
    process.start(kProgram, {"--xml", "--csv", "--gpx", "-C", out(), fifo});
    QVERIFY(process.waitForStarted());
    // Once the FIFO is open, the signals are handled by the program.
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(process.processId()));
    const auto fifoOpen = [&] {
        for (const QFileInfo &fd : descriptors.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
            if (fd.symLinkTarget() == QFileInfo(fifo).absoluteFilePath())
                return true;
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!fifoOpen()) {
        QVERIFY(waited.elapsed() < 30000);
        QThread::msleep(10);
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("stopped by SIGTERM: 0 runs read"), err.constData());
    QCOMPARE(FilesIn(out()), Contents());
}

// Ctrl-C in the middle of a run of gigabytes (the stacked members of a small
// gzip): the reading ends at once, and the run read before it is saved.
void TestInterruptions::stoppedWithinARun()
{
    using gpx_text::Gpx, gpx_text::Track;
    const auto Point = [](const char *time) { return gpx_text::Point(time); };
    const QByteArray blanks = archive_text::Gzipped(QByteArray(64 << 20, ' '));
    QByteArray packed =
        archive_text::Gzipped(Gpx({Track({Point("2010-01-01T08:00:00Z")}),
                                   "  <trk>\n    <trkseg>\n" + Point("2010-01-02T08:00:00Z")})
                                  .chopped(7)); // without "</gpx>"
    for (int i = 0; i < 64; ++i)
        packed += blanks;
    const QString input = dir.filePath(QStringLiteral("blanks.gpx.gz"));
    QVERIFY(WriteFile(input, packed));

    QProcess process;
    process.start(kProgram, {"--csv", "-C", out(), input});
    QVERIFY(process.waitForStarted());
    // Once the input is open, the signals are handled by the program.
    const QString opened = QFileInfo(input).absoluteFilePath();
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(process.processId()));
    const auto inputOpen = [&] {
        for (const QFileInfo &fd :
             descriptors.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            if (fd.symLinkTarget() == opened)
                return true;
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!inputOpen()) {
        QVERIFY(waited.elapsed() < 30000);
        QThread::msleep(10);
    }
    QThread::msleep(200); // into the blanks
    ::kill(pid_t(process.processId()), SIGINT);
    QElapsedTimer stopping;
    stopping.start();
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(stopping.elapsed() < 2000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(process.exitCode(), 128 + SIGINT);
    QCOMPARE(Lines(process.readAllStandardOutput()), QStringList{"20100101_01_Friday.txt"});
    QCOMPARE(FilesIn(out()).keys(), QStringList{"20100101_01_Friday.txt"});
}

// A reader that closes standard output early (`| head`, a pager quit) stops
// the names, not the conversion: every day file is saved, and it is said once.
void TestInterruptions::namesToAClosedPipe()
{
    QProcess shell;
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" \"$@\" | head -c 0; exit ${PIPESTATUS[0]}"), kProgram,
                 "--xml", "--csv", "--gpx", "-C", out(), newHistory()});
    QVERIFY(shell.waitForFinished(120000));
    QCOMPARE(shell.exitCode(), 0);
    const QByteArray err = shell.readAllStandardError();
    QCOMPARE(err.count("Standard output was closed"), 1);
    QVERIFY2(err.contains("1500 runs read, 1500 converted, 4500 files written"), err.constData());
    QCOMPARE(FilesIn(out()), newFiles);
}

// Two conversions into one folder at once: the second waits for the first,
// so no run mixes files of both.
void TestInterruptions::conversionsTakeTurns()
{
    QProcess first, second;
    // Names are not read here: they must not fill a pipe and block a conversion.
    first.setStandardOutputFile(QProcess::nullDevice());
    second.setStandardOutputFile(QProcess::nullDevice());
    first.start(kProgram, {"--xml", "--csv", "--gpx", "-q", "-C", out(), oldHistory()});
    second.start(kProgram, {"--xml", "--csv", "--gpx", "-q", "-C", out(), newHistory()});
    QVERIFY(first.waitForFinished(120000));
    QVERIFY(second.waitForFinished(120000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    const Contents files = FilesIn(out());
    QCOMPARE(files.size(), 3 * kRuns);
    // One of them ended last and replaced every file of the other.
    QVERIFY(files == oldFiles || files == newFiles);
    const QByteArray waited = first.readAllStandardError() + second.readAllStandardError();
    QVERIFY2(waited.isEmpty() || waited.contains("Waiting for another conversion into"),
             waited.constData());
}

void TestInterruptions::waitsForTheFolder()
{
    FolderLock lock(out());
    QVERIFY(lock.held());
    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    process.start(kProgram, {"--csv", "-C", out(), oldHistory()});
    QVERIFY(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    QByteArray err;
    while (!err.contains("kelvane-split: Waiting for another conversion into \"" +
                         out().toLocal8Bit() + "\" to end\n")) {
        QVERIFY(waited.elapsed() < 30000 && process.waitForReadyRead(30000));
        err += process.readAllStandardError();
    }
    QVERIFY(!process.waitForFinished(300));
    // Nothing but the lock (a lock file in the portable build) is there yet.
    QStringList present = FilesIn(out()).keys();
    present.removeAll(QStringLiteral(".kelvane.lock"));
    QCOMPARE(present, QStringList());

    lock.release();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(FilesIn(out()).size(), kRuns);
}

// Hidden files of ours that a killed conversion left are removed; the
// user's own stay.
void TestInterruptions::leftoversAreRemoved()
{
    const QStringList ours = {".20100101_01_Friday.xml.0123abcd.part",
                              ".20100102_01_Saturday.gpx.0000ffff.old"};
    const QStringList users = {".notes.part", "draft.0123abcd.part"};
    for (const QString &name : ours + users)
        QVERIFY(WriteFile(QDir(out()).filePath(name), "left"));
    QProcess process;
    process.start(kProgram, {"--day", "2010-01-01", "-q", "-C", out(), oldHistory()});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QStringList expected = users + QStringList{QStringLiteral("20100101_01_Friday.xml")};
    expected.sort();
    QCOMPARE(FilesIn(out()).keys(), expected);
}

QTEST_GUILESS_MAIN(TestInterruptions)
#include "test_interruptions.moc"
