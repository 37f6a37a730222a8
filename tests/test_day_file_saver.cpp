#include "day_file_kinds.h"
#include "history_text.h"
#include "save/day_file_saver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

using namespace kelvane;
using history_text::EmptyFolder;
using history_text::ReadFile;

namespace {

// Run n has two files: "n.xml" of ten bytes, and "n.txt", which the CSV
// writer makes of its one point, whose latitude is n: on the saving thread
// from a copy of the run when the run is batched, at once otherwise. Its
// prelude's bytes are "n".
struct SavedRun {
    QString xml, txt;
    std::string_view bytes = "0123456789";
    std::string latitude;
    std::string_view preludeBytes = latitude;
    DayFileSaver::Prelude prelude{{&preludeBytes, 1}};
    TrackPoints points;
    Run run;
    DayFileSaver::DayFile files[2];

    SavedRun(int n, DayFileWriter *csv)
        : xml(QString::number(n) + ".xml"), txt(QString::number(n) + ".txt"),
          latitude(std::to_string(n)), files{{xml, {&bytes, 1}}, {txt, {}, csv}}
    {
        points.append({latitude, "2", "3", "2004-10-25", "08:00:00", {}, {}, {}});
        run.points = &points;
    }
};

} // namespace

// Runs are queued in batches or, when larger than a batch, saved at once; the
// batch sizes below give every run its own batch, three runs a batch, and all
// runs one batch.
class TestDayFileSaver : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QStringList saved;
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    std::function<void(const QStringList &)> record()
    {
        return [this](const QStringList &files) { saved << files.join('+'); };
    }

  private Q_SLOTS:
    void init()
    {
        saved.clear();
        QVERIFY(EmptyFolder(dir.path()));
    }
    void runsAreSavedInOrder_data();
    void runsAreSavedInOrder();
    void failureStopsLaterRuns_data();
    void failureStopsLaterRuns();
    void largeMadeFileIsWrittenInParts_data();
    void largeMadeFileIsWrittenInParts();
};

void TestDayFileSaver::runsAreSavedInOrder_data()
{
    QTest::addColumn<int>("batchBytes");
    QTest::newRow("each run at once") << 5;
    QTest::newRow("three runs a batch") << 55;
    QTest::newRow("one batch") << (1 << 20);
}

// Each run's prelude is done before its files are saved, with its bytes and
// the run (copied when batched).
void TestDayFileSaver::runsAreSavedInOrder()
{
    QFETCH(int, batchBytes);
    QStringList preludes;
    {
        const auto csv = makeDayFileWriter(DayFileKind::Csv);
        DayFileSaver saver(dir.path(), record(), std::size_t(batchBytes));
        saver.setPrelude([&](const Run &run, const DayFileSaver::Prelude &prelude, QString &) {
            const QString n = QString::fromStdString(std::string(prelude.bytes[0]));
            preludes << n + ':' + QString::fromStdString(std::string(run.points->at(0).latitude)) +
                            (QFile::exists(dir.filePath(n + ".xml")) ? " after" : "");
            return true;
        });
        for (int n = 1; n <= 7; ++n) {
            const SavedRun run(n, csv.get());
            QVERIFY(saver.saveRun(run.files, run.run, &run.prelude));
        }
        QVERIFY(saver.finish());
    }
    QCOMPARE(preludes, QStringList({"1:1", "2:2", "3:3", "4:4", "5:5", "6:6", "7:7"}));
    QCOMPARE(saved, QStringList({"1.xml+1.txt", "2.xml+2.txt", "3.xml+3.txt", "4.xml+4.txt",
                                 "5.xml+5.txt", "6.xml+6.txt", "7.xml+7.txt"}));
    QCOMPARE(entries().size(), 14);
    QCOMPARE(ReadFile(dir.filePath("7.xml")), QByteArray("0123456789"));
    for (int n = 1; n <= 7; ++n)
        QCOMPARE(ReadFile(dir.filePath(QString::number(n) + ".txt")),
                 "Latitude,Longitude,Altitude, Date,Time\r\n" + QByteArray::number(n) +
                     ",2,3,2004-10-25,08:00:00\r\n");
}

void TestDayFileSaver::failureStopsLaterRuns_data()
{
    QTest::addColumn<int>("batchBytes");
    QTest::addColumn<bool>("inPrelude");
    for (const bool inPrelude : {false, true}) {
        const char *where = inPrelude ? ", its prelude" : ", a file";
        QTest::addRow("each run at once%s", where) << 5 << inPrelude;
        QTest::addRow("three runs a batch%s", where) << 55 << inPrelude;
        QTest::addRow("one batch%s", where) << (1 << 20) << inPrelude;
    }
}

// A folder in the way of run 4's second file, or run 4's prelude failing:
// runs 1 to 3 are saved and reported, nothing of run 4 or a later run appears.
void TestDayFileSaver::failureStopsLaterRuns()
{
    QFETCH(int, batchBytes);
    QFETCH(bool, inPrelude);
    if (!inPrelude)
        QVERIFY(QDir(dir.path()).mkdir("4.txt"));
    bool failed = false;
    QString error;
    {
        const auto csv = makeDayFileWriter(DayFileKind::Csv);
        DayFileSaver saver(dir.path(), record(), std::size_t(batchBytes));
        saver.setPrelude([&](const Run &, const DayFileSaver::Prelude &prelude, QString &why) {
            why = QStringLiteral("no room for run 4's row");
            return !inPrelude || prelude.bytes[0] != "4";
        });
        for (int n = 1; n <= 7 && !failed; ++n) {
            const SavedRun run(n, csv.get());
            failed = !saver.saveRun(run.files, run.run, &run.prelude);
        }
        failed = !saver.finish() || failed;
        error = saver.error();
    }
    QVERIFY(failed);
    QVERIFY2(error.contains(inPrelude ? QStringLiteral("no room for run 4's row")
                                      : dir.filePath("4.txt")),
             qPrintable(error));
    QCOMPARE(saved, QStringList({"1.xml+1.txt", "2.xml+2.txt", "3.xml+3.txt"}));
    QCOMPARE(entries(), QStringList({"1.txt", "1.xml", "2.txt", "2.xml", "3.txt", "3.xml"}));
}

// A run larger than a batch is saved at once; its CSV file, of several
// parts, is written by the saving thread part after part, whole and in order.
// Where the system takes no file beyond 2 MiB, a later part fails: the run
// fails, named by its file, and none of its files appears.
void TestDayFileSaver::largeMadeFileIsWrittenInParts_data()
{
    QTest::addColumn<bool>("limited");
    QTest::newRow("whole") << false;
    QTest::newRow("a part cannot be written") << true;
}

void TestDayFileSaver::largeMadeFileIsWrittenInParts()
{
    QFETCH(bool, limited);
    SavedRun run(1, nullptr);
    const std::string latitude = "51.12345678901234567890";
    for (int n = 0; n < 100000; ++n)
        run.points.append({latitude, std::to_string(n), "3", "2004-10-25", "08:00:00", {}, {}, {}});
    const auto csv = makeDayFileWriter(DayFileKind::Csv);
    QByteArray whole;
    for (const std::string_view piece : csv->write(run.run))
        whole.append(piece.data(), qsizetype(piece.size()));
    QVERIFY(whole.size() > 3 << 20);
    run.files[1].writer = csv.get();
    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    if (limited) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit two = before;
        two.rlim_cur = 2 << 20;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &two), 0);
    }
    bool ok = false;
    QString error;
    {
        DayFileSaver saver(dir.path(), record(), 1 << 10);
        ok = saver.saveRun(run.files, run.run) && saver.finish();
        error = saver.error();
    }
    setrlimit(RLIMIT_FSIZE, &before);
    if (limited) {
        QVERIFY(!ok);
        QVERIFY2(error.contains(dir.filePath("1.txt")), qPrintable(error));
        QCOMPARE(entries(), QStringList());
        return;
    }
    QVERIFY(ok);
    QCOMPARE(saved, QStringList({"1.xml+1.txt"}));
    QVERIFY(ReadFile(dir.filePath("1.txt")) == whole);
}

QTEST_GUILESS_MAIN(TestDayFileSaver)
#include "test_day_file_saver.moc"
