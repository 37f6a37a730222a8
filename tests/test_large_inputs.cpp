// Very large history files through kelvane-split: a run of two million track
// points, two hundred thousand runs, a line of 100 MB without a line end
// (which is refused), a Training Center file of 150 000 activities on one line,
// and Training Center files whose markup never ends or nests ever deeper.
// None may crash or hang, and memory follows the largest run, not the file.
// The files are generated in a scratch folder; this test carries the label
// "heavy".

#include "history_text.h"
#include "split_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using history_text::EmptyFolder;
using split_process::Split;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false; // AddressSanitizer's own bookkeeping swamps the figures
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
#else
constexpr bool kMeasuresMemory = true;
#endif

constexpr qint64 kMiB = 1024 * 1024;

// Writes a file piece by piece, so that generating it takes little memory.
bool Generate(const QString &path, const std::function<bool(QByteArray &piece)> &next)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray piece;
    bool more = true;
    while (more) {
        piece.clear();
        more = next(piece);
        if (file.write(piece) != piece.size())
            return false;
    }
    return true;
}

qint64 CountLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!file.atEnd())
        lines += file.read(4 * kMiB).count('\n');
    return lines;
}

QByteArray Repeated(char c, qint64 size)
{
    return QByteArray(qsizetype(size), c);
}

} // namespace

class TestLargeInputs : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    long baselineKb = 0; // peak memory of kelvane-split converting a small history

    QString out() const { return dir.filePath(QStringLiteral("out")); }
    QString history() const { return dir.filePath(QStringLiteral("large.xml")); }
    QStringList written() const
    {
        return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The child's peak memory beyond the baseline stays under `limit` bytes.
    void checkMemory(const split_process::Result &result, qint64 limit, const char *what)
    {
        if (!kMeasuresMemory)
            return;
        const qint64 extra = (qint64(result.maxRssKb) - baselineKb) * 1024;
        qInfo("%s: peak memory %lld MiB beyond the baseline (limit %lld MiB)", what, extra / kMiB,
              limit / kMiB);
        QVERIFY2(extra < limit,
                 qPrintable(QStringLiteral("%1: %2 MiB beyond the baseline, limit %3 MiB")
                                .arg(QLatin1String(what))
                                .arg(extra / kMiB)
                                .arg(limit / kMiB)));
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(Generate(history(), [](QByteArray &piece) {
            piece = "<History>\n<Run>\n<StartTime>2026-11-02T08:00:00Z</StartTime>\n</Run>\n</"
                    "History>\n";
            return false;
        }));
        QVERIFY(QDir().mkpath(out()));
        const auto small = Split({QStringLiteral("--csv"), QStringLiteral("-C"), out(), history()});
        QCOMPARE(small.status, 0);
        baselineKb = small.maxRssKb;
    }
    void init() { QVERIFY(EmptyFolder(out())); }
    void cleanup() { QFile::remove(history()); }

    void twoMillionTrackPoints();
    void twoHundredThousandRuns();
    void hundredMegabyteLine_data();
    void hundredMegabyteLine();
    void trainingCenterOnOneLine();
    void markupThatNeverEnds_data();
    void markupThatNeverEnds();
    void hugeRunThroughAPipe_data();
    void hugeRunThroughAPipe();
};

// One run far beyond any fixed table: every point reaches the CSV day file.
void TestLargeInputs::twoMillionTrackPoints()
{
    constexpr int kPoints = 2'000'000;
    constexpr int kPerPiece = 10'000;
    int done = 0;
    QVERIFY(Generate(history(), [&](QByteArray &piece) {
        if (done == 0)
            piece += "<History>\n<Run>\n<StartTime>2026-11-02T08:00:00Z</StartTime>\n"
                     "<Trackpoint>\n<Latitude>47.6</Latitude>\n<Time>2026-11-02T08:00:00Z</Time>\n";
        // The first point is open; each step closes one and opens the next.
        for (int i = 0; i < kPerPiece && done < kPoints - 1; ++i, ++done)
            piece += "</Trackpoint>\n<Trackpoint>\n";
        if (done < kPoints - 1)
            return true;
        piece += "</Trackpoint>\n</Run>\n</History>\n";
        return false;
    }));
    const qint64 runBytes = QFileInfo(history()).size();

    const auto result = Split(
        {QStringLiteral("--csv"), QStringLiteral("-q"), QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 0);
    QCOMPARE(written(), QStringList{QStringLiteral("20261102_01_Monday.txt")});
    const QString csv = QDir(out()).filePath(written().constFirst());
    QCOMPARE(CountLines(csv), qint64(kPoints) + 1);
    // The run's lines, its points (a few words each, however short their texts)
    // and the day file are held at once: several times the run's size, never more.
    checkMemory(result, 10 * runBytes, "two million track points");
}

// Memory does not grow with the number of runs: each run is dropped at its end.
void TestLargeInputs::twoHundredThousandRuns()
{
    constexpr int kRuns = 200'000;
    constexpr int kPerPiece = 1'000;
    const QDate first(1500, 1, 1);
    const QByteArray padding = "<Notes>" + Repeated('n', 300) + "</Notes>\n";
    int done = 0;
    QVERIFY(Generate(history(), [&](QByteArray &piece) {
        if (done == 0)
            piece += "<?xml version=\"1.0\"?>\n<History>\n";
        for (int i = 0; i < kPerPiece && done < kRuns; ++i, ++done) {
            piece += "<Run>\n";
            if (done % 1000 != 999) // every thousandth run has no start time and is skipped
                piece += "<StartTime>" + first.addDays(done).toString(Qt::ISODate).toLatin1() +
                         "T08:00:00Z</StartTime>\n";
            piece += padding;
            piece += "<Trackpoint>\n<Latitude>1.5</Latitude>\n</Trackpoint>\n</Run>\n";
        }
        if (done < kRuns)
            return true;
        piece += "</History>\n";
        return false;
    }));
    const qint64 fileBytes = QFileInfo(history()).size();
    QVERIFY(fileBytes > 64 * kMiB);

    const QString from = first.addDays(10).toString(Qt::ISODate);
    const QString to = first.addDays(12).toString(Qt::ISODate);
    const auto result = Split({QStringLiteral("--from"), from, QStringLiteral("--to"), to,
                               QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 0);
    QCOMPARE(written().size(), 3);
    QVERIFY2(result.err.contains("200000 runs read, 3 converted, 3 files written, 200 skipped"),
             result.err.right(200).constData());
    checkMemory(result, 32 * kMiB, "two hundred thousand runs");
}

void TestLargeInputs::hundredMegabyteLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("saved");

    QTest::newRow("outside any run") << QByteArray() << 1 << 0;
    QTest::newRow("a note of a run")
        << QByteArray("<History>\n<Run>\n<StartTime>2026-11-02T08:00:00Z</StartTime>\n<Notes>") << 4
        << 0;
    QTest::newRow("after a whole run")
        << QByteArray("<History>\n<Run>\n<StartTime>2026-11-02T08:00:00Z</StartTime>\n</Run>\n")
        << 5 << 1;
}

// No history file has such a line: the reading stops there with a message,
// after the runs before it were saved, and memory stays bounded.
void TestLargeInputs::hundredMegabyteLine()
{
    QFETCH(QByteArray, before);
    QFETCH(int, line);
    QFETCH(int, saved);
    constexpr qint64 kLine = 100 * kMiB;
    qint64 done = 0;
    QVERIFY(Generate(history(), [&](QByteArray &piece) {
        if (done == 0)
            piece += before;
        const qint64 size = std::min<qint64>(4 * kMiB, kLine - done);
        piece += Repeated('a', size);
        done += size;
        return done < kLine;
    }));

    const auto result = Split({QStringLiteral("--xml"), QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 1);
    QCOMPARE(written().size(), saved);
    const QString message =
        QStringLiteral("\"%1\": line %2 is longer than 4 MiB").arg(history()).arg(line);
    QVERIFY2(result.err.contains(message.toLocal8Bit()), result.err.constData());
    checkMemory(result, 32 * kMiB, "a line of 100 MB");
}

// A Training Center file as some sites export it, all on one line: memory
// follows the activities, not the file or its one line.
void TestLargeInputs::trainingCenterOnOneLine()
{
    constexpr int kActivities = 150'000;
    constexpr int kPerPiece = 1'000;
    const QDate first(1600, 1, 1);
    const QByteArray points = [] {
        QByteArray text;
        for (int i = 0; i < 8; ++i)
            text += "<Trackpoint><Time>T</Time><Position><LatitudeDegrees>47.6" +
                    QByteArray::number(i) +
                    "</LatitudeDegrees><LongitudeDegrees>-122.3</LongitudeDegrees></Position>"
                    "<AltitudeMeters>40</AltitudeMeters><HeartRateBpm><Value>130</Value>"
                    "</HeartRateBpm></Trackpoint>";
        return text;
    }();
    int done = 0;
    QVERIFY(Generate(history(), [&](QByteArray &piece) {
        if (done == 0)
            piece += "<?xml version=\"1.0\"?><TrainingCenterDatabase xmlns=\"http://www.garmin."
                     "com/xmlschemas/TrainingCenterDatabase/v2\"><Activities>";
        for (int i = 0; i < kPerPiece && done < kActivities; ++i, ++done) {
            const QByteArray day = first.addDays(done).toString(Qt::ISODate).toLatin1();
            piece += "<Activity Sport=\"Running\"><Id>" + day + "T08:00:00Z</Id><Lap StartTime=\"" +
                     day + "T08:00:00Z\"><Track>" +
                     QByteArray(points).replace("<Time>T<", "<Time>" + day + "T08:00:00Z<") +
                     "</Track></Lap></Activity>";
        }
        if (done < kActivities)
            return true;
        piece += "</Activities></TrainingCenterDatabase>";
        return false;
    }));
    const qint64 fileBytes = QFileInfo(history()).size();
    QVERIFY(fileBytes > 100 * kMiB);
    QCOMPARE(CountLines(history()), qint64(0));

    const QString from = first.addDays(70'000).toString(Qt::ISODate);
    const QString to = first.addDays(70'002).toString(Qt::ISODate);
    const auto result = Split({QStringLiteral("--xml"), QStringLiteral("--csv"),
                               QStringLiteral("--gpx"), QStringLiteral("--from"), from,
                               QStringLiteral("--to"), to, QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 0);
    QCOMPARE(written().size(), 9);
    QVERIFY2(result.err.contains("150000 runs read, 3 converted, 9 files written, 0 skipped"),
             result.err.right(200).constData());
    const QString csv = QDir(out()).filePath(written().constFirst().chopped(4) + ".txt");
    QCOMPARE(CountLines(csv), qint64(9));
    checkMemory(result, 32 * kMiB, "Training Center file on one line");
}

void TestLargeInputs::markupThatNeverEnds_data()
{
    QTest::addColumn<QByteArray>("before"); // the activities follow
    QTest::addColumn<QByteArray>("message");

    const QByteArray root = "<TrainingCenterDatabase>\n";
    QTest::newRow("a comment left open")
        << root + "<!-- "
        << QByteArray("line 2, column 1: a comment that does not end within 8 MiB");
    QTest::newRow("a quote left open")
        << root + "<Folders name='"
        << QByteArray("line 2, column 1: a tag (or a quoted value in it) "
                      "that does not end within 8 MiB");
    QTest::newRow("a CDATA section left open")
        << root + "<Author><![CDATA["
        << QByteArray("line 2, column 9: a CDATA section that does not end within 8 MiB");
    QTest::newRow("nesting ever deeper") << root + QByteArray("<a>").repeated(5'000'000)
                                         << QByteArray("elements nested more than 4096 deep");
}

// Memory stays bounded however far the markup goes on: the reading stops
// with the place where it began.
void TestLargeInputs::markupThatNeverEnds()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, message);
    int done = 0;
    QVERIFY(Generate(history(), [&](QByteArray &piece) {
        if (done == 0)
            piece += before + "<Activities>\n";
        for (int i = 0; i < 1000; ++i)
            piece += "<Activity Sport=\"Running\"><Id>2026-11-02T08:00:00Z</Id><Lap StartTime=\""
                     "2026-11-02T08:00:00Z\"><Track><Trackpoint><Time>2026-11-02T08:00:00Z</Time>"
                     "</Trackpoint></Track></Lap></Activity>\n";
        return ++done < 150;
    }));
    QVERIFY(QFileInfo(history()).size() > 24 * kMiB);

    const auto result = Split({QStringLiteral("--xml"), QStringLiteral("-C"), out(), history()});
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QCOMPARE(written().size(), 0);
    checkMemory(result, 32 * kMiB, "markup that never ends");
}

void TestLargeInputs::hugeRunThroughAPipe_data()
{
    QTest::addColumn<QString>("kind"); // of day file
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("filler"); // repeated to 192 MiB
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("file"); // written, as large as the input

    const QByteArray point = "<Trackpoint>\n<Latitude>47.6</Latitude>\n<Longitude>8.5</Longitude>\n"
                             "<Time>2026-11-02T08:00:00Z</Time>\n</Trackpoint>\n";
    const QByteArray history = "<History>\n<Run>\n<StartTime>2026-11-02T08:00:00Z</StartTime>\n";
    const QByteArray blanks = QByteArray(4095, ' ') + '\n';
    QTest::newRow("a history run")
        << QStringLiteral("--xml") << history + point << blanks << point + "</Run>\n</History>\n"
        << QStringLiteral("20261102_01_Monday.xml");
    const QByteArray gpx = "<gpx version=\"1.1\" creator=\"t\"><trk><trkseg>\n";
    const QByteArray trkpt =
        "<trkpt lat=\"47.6\" lon=\"8.5\"><time>2026-11-02T08:00:00Z</time></trkpt>";
    QTest::newRow("a GPX run") << QStringLiteral("--xml") << gpx << trkpt + blanks
                               << QByteArray("</trkseg></trk></gpx>\n")
                               << QStringLiteral("20261102_01_Monday.gpx");
    QTest::newRow("blanks between two GPX points, CSV")
        << QStringLiteral("--csv") << gpx + trkpt << blanks << trkpt + "</trkseg></trk></gpx>\n"
        << QString();
    const QByteArray tcx = "<TrainingCenterDatabase><Activities><Activity Sport=\"Running\">"
                           "<Id>2026-11-02T08:00:00Z</Id><Lap StartTime=\"2026-11-02T08:00:00Z\">"
                           "<TotalTimeSeconds>60</TotalTimeSeconds><Track>\n";
    const QByteArray trackpoint = "<Trackpoint><Time>2026-11-02T08:00:00Z</Time><Position>"
                                  "<LatitudeDegrees>47.6</LatitudeDegrees><LongitudeDegrees>8.5"
                                  "</LongitudeDegrees></Position></Trackpoint>";
    const QByteArray tcxTail = "</Track></Lap></Activity></Activities></TrainingCenterDatabase>\n";
    QTest::newRow("a TCX activity") << QStringLiteral("--xml") << tcx << trackpoint + blanks
                                    << tcxTail << QStringLiteral("20261102_01_Monday.tcx");
    QTest::newRow("blanks between two TCX points, CSV")
        << QStringLiteral("--csv") << tcx + trackpoint << blanks << trackpoint + tcxTail
        << QString();
}

// A run of 192 MiB, fed through a pipe, takes memory for its points, not for
// its bytes: its own day file is written as it is read.
void TestLargeInputs::hugeRunThroughAPipe()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, filler);
    QFETCH(QByteArray, tail);
    QFETCH(QString, file);
    constexpr qint64 kRunBytes = 192 * kMiB;
    const QByteArray piece = filler.repeated(qsizetype(kMiB / filler.size()));
    qint64 fed = 0;
    split_process::Limits limits;
    limits.input = [&](QByteArray &next) {
        if (fed == 0)
            next = head;
        else if (fed >= kRunBytes)
            return next = tail, false;
        next += piece;
        fed += piece.size();
        return true;
    };
    const auto result = Split(
        {kind, QStringLiteral("-q"), QStringLiteral("-C"), out(), QStringLiteral("-")}, limits);
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.status, 0);
    QCOMPARE(written().size(), 1);
    if (!file.isEmpty())
        QVERIFY(QFileInfo(QDir(out()).filePath(file)).size() > kRunBytes);
    checkMemory(result, 32 * kMiB, "a huge run through a pipe");
}

QTEST_GUILESS_MAIN(TestLargeInputs)
#include "test_large_inputs.moc"
