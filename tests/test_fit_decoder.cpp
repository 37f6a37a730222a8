// The FIT decoder: small files made here for each thing a file may hold or
// get wrong, the real files of the reference folder against another reader
// (gpsbabel), and the values as the day files will write them.

#include "fit/fit_crc.h"
#include "fit/fit_decoder.h"
#include "fit/fit_values.h"
#include "fit_decoding_check.h"
#include "fit_file.h"
#include "history_text.h"
#include "run/track_points.h"
#include "split_process.h"
#include "text/number_text.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <string>
#include <vector>

using namespace kelvane;

namespace {

const QString kFitFolder = QStringLiteral(KELVANE_SOURCE_DIR "/../shared/reference/fit");

constexpr qint64 T = 1000000030; // 2021-09-08T01:47:10Z; its low five bits are 30

FitFile OneRecord()
{
    return std::move(
        FitFile().define(0, 20, {{253, 4, kUint32}, {3, 1, kUint8}}).data(0, {T, 120}));
}

// The positioned points of a FIT file as gpsbabel reads them.
struct Point {
    QString time;
    double latitude, longitude;
};

std::vector<Point> GpsbabelPoints(const QString &path)
{
    QProcess gpsbabel;
    gpsbabel.start(QStringLiteral("gpsbabel"),
                   {"-i", "garmin_fit", "-f", path, "-o", "gpx", "-F", "-"});
    gpsbabel.waitForFinished(120000);
    std::vector<Point> points;
    QXmlStreamReader xml(gpsbabel.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("trkpt"))
            points.push_back({{},
                              xml.attributes().value(QLatin1String("lat")).toDouble(),
                              xml.attributes().value(QLatin1String("lon")).toDouble()});
        else if (xml.name() == QLatin1String("time") && !points.empty())
            points.back().time = xml.readElementText();
    }
    return points;
}

// Counts what a real file holds and keeps its positioned points.
class Counter final : public FitHandler {
  public:
    void fileId(const FitFileId &m, qint64) override
    {
        productName = QString::fromUtf8(m.productName.data(), qsizetype(m.productName.size()));
    }
    void record(const FitRecord &r, qint64) override
    {
        ++records;
        if (r.latitude && r.longitude)
            points.push_back(r);
    }
    void lap(const FitLap &, qint64) override { ++laps; }
    void session(const FitSession &, qint64) override { ++sessions; }
    void problem(const FitProblem &p) override { problems += fitProblemText(p.kind); }

    int records = 0, laps = 0, sessions = 0;
    std::vector<FitRecord> points;
    QString productName;
    QStringList problems;
};

} // namespace

class TestFitDecoder : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void handMadeFile_data();
    void handMadeFile();
    void realFile_data();
    void realFile();
    void checksHold_data();
    void checksHold();
    void converted_data();
    void converted();
    void valueText_data();
    void valueText();
};

void TestFitDecoder::handMadeFile_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("events");
    const FitFile compressed = std::move(FitFile()
                                             .define(0, 20, {{253, 4, kUint32}, {3, 1, kUint8}})
                                             .define(1, 20, {{3, 1, kUint8}})
                                             .data(1, {99}, 5)
                                             .data(0, {T, 100})
                                             .data(1, {101}, 31)
                                             .data(1, {102}, 2));
    QTest::newRow("compressed timestamps, one before any time, one rolling over")
        << compressed.bytes()
        << "file 0\nrecord@35 hr=99\nrecord@37 t=1000000030 hr=100\n"
           "record@43 t=1000000031 hr=101\nrecord@45 t=1000000034 hr=102\nend 0-49";
    const std::vector<Field> position = {
        {253, 4, kUint32}, {0, 4, kSint32}, {1, 4, kSint32}, {2, 2, kUint16}};
    QTest::newRow("big-endian definition")
        << FitFile().define(0, 20, position, true).data(0, {T, -123456789, 987654321, 3000}).bytes()
        << "file 0\nrecord@32 t=1000000030 lat=-123456789 lon=987654321 alt=3000\nend 0-49";
    QTest::newRow("local type redefined")
        << OneRecord()
               .define(0, 19, {{253, 4, kUint32}, {7, 4, kUint32}})
               .data(0, {T + 600, 600000})
               .define(0, 20, {{3, 1, kUint8}, {253, 4, kUint32}})
               .data(0, {130, T + 601})
               .bytes()
        << "file 0\nrecord@26 t=1000000030 hr=120\nlap@44 t=1000000630 elapsed=600000\n"
           "record@65 t=1000000631 hr=130\nend 0-73";
    QTest::newRow("developer fields, unknown fields and messages read past")
        << FitFile()
               .define(0, 20, {{99, 7, kByte}, {253, 4, kUint32}, {3, 1, kUint8}}, false, {3, 5})
               .data(0, {0, T, 140})
               .define(1, 21, {{253, 4, kUint32}, {0, 1, kEnum}, {1, 1, kEnum}})
               .data(1, {T + 100, 0, 0})
               .define(2, 20, {{3, 1, kUint8}})
               .data(2, {141}, 5)
               .bytes()
        << "file 0\nrecord@36 t=1000000030 hr=140\nrecord@88 t=1000000133 hr=141\nend 0-92";
    const std::vector<Field> all = {
        {253, 4, kUint32}, {0, 4, kSint32}, {1, 4, kSint32}, {2, 2, kUint16}, {3, 1, kUint8},
        {4, 1, kUint8},    {5, 4, kUint32}, {6, 2, kUint16}, {7, 2, kUint16}, {13, 1, kSint8}};
    const std::vector<Field> enhanced = {
        {3, 1, kUint8z}, {78, 4, kUint32}, {2, 2, kUint16}, {73, 4, kUint32}, {6, 2, kUint16}};
    QTest::newRow("invalid values absent, enhanced values preferred")
        << FitFile()
               .define(0, 20, all)
               .data(0, {0xFFFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0xFFFF, 0xFF, 0xFF, 0xFFFFFFFF, 0xFFFF,
                         0xFFFF, 0x7F})
               .data(0, {1000, 0x50000000, 5, 0xFFFF, 0, 0, 0, 0, 0, -5})
               .define(1, 20, enhanced)
               .data(1, {0, 0xFFFFFFFF, 2600, 5000, 4000})
               .bytes()
        << "file 0\nrecord@50\nrecord@76 device=1000 lon=5 hr=0 cad=0 dist=0 speed=0 power=0 "
           "temp=-5\n"
           "record@123 alt=2600 speed=5000\nend 0-139";
    QTest::newRow("file_id, lap, session and activity")
        << FitFile()
               .define(0, 0, {{0, 1, kEnum}, {1, 2, kUint16}, {2, 2, kUint16}, {4, 4, kUint32}})
               .data(0, {4, 1, 1932, T})
               .define(1, 19,
                       {{2, 4, kUint32},
                        {9, 4, kUint32},
                        {11, 2, kUint16},
                        {16, 1, kUint8},
                        {24, 1, kEnum},
                        {25, 1, kEnum}})
               .data(1, {T, 100000, 71, 160, 2, 1})
               .define(2, 18, {{5, 1, kEnum}, {6, 1, kEnum}, {25, 2, kUint16}, {26, 2, kUint16}})
               .data(2, {2, 7, 0, 1})
               .define(3, 34, {{253, 4, kUint32}, {5, 4, kUint32}, {1, 2, kUint16}})
               .data(3, {T + 900, T + 4500, 1})
               .bytes()
        << "file 0\nid@32 type=4 manufacturer=1 product=1932 created=1000000030\n"
           "lap@66 start=1000000030 dist=100000 kcal=71 maxHr=160 trigger=2 sport=1\n"
           "session@98 sport=2 subSport=7 firstLap=0 laps=1\n"
           "activity@120 t=1000000930 local=1000004530 sessions=1\nend 0-133";
    const QByteArray one = OneRecord().bytes();
    QTest::newRow("chained files") << one + one
                                   << "file 0\nrecord@26 t=1000000030 hr=120\nend 0-34\n"
                                      "file 34\nrecord@60 t=1000000030 hr=120\nend 34-68";
    const QByteArray two = OneRecord().data(0, {T + 1, 121}).bytes();
    QTest::newRow("ends in the middle of a record")
        << two.left(35)
        << "file 0\nrecord@26 t=1000000030 hr=120\nwarning endsMidRecord@32\nend 0-35";
    QTest::newRow("ends before its CRC")
        << one.left(32) << "file 0\nrecord@26 t=1000000030 hr=120\nwarning endsEarly@32\nend 0-32";
    QTest::newRow("wrong CRC")
        << WithByte(one, -1, 0)
        << "file 0\nrecord@26 t=1000000030 hr=120\nwarning crcWrong@32\nend 0-34";
    QTest::newRow("wrong header CRC")
        << WithByte(one, 12, 0)
        << "file 0\nwarning headerCrcWrong@12\n"
           "record@26 t=1000000030 hr=120\nwarning crcWrong@32\nend 0-34";
    QTest::newRow("data size past the file's end")
        << OneRecord().bytes(10)
        << "file 0\nrecord@26 t=1000000030 hr=120\nwarning dataSizeWrong@32\nend 0-34";
    QTest::newRow("no data size")
        << OneRecord().bytes(-18)
        << "file 0\nrecord@26 t=1000000030 hr=120\nwarning dataSizeWrong@32\nend 0-34";
    QTest::newRow("data size inside a record")
        << OneRecord().bytes(-3) << "file 0\nwarning recordPastEnd@26\nend 0-31";
    QTest::newRow("undefined local type, then a chained file")
        << OneRecord().data(3, {}).bytes() + one
        << "file 0\nrecord@26 t=1000000030 hr=120\nwarning undefinedLocalType@32\n"
           "end 0-35\nfile 35\nrecord@61 t=1000000030 hr=120\nend 35-69";
    QTest::newRow("definition past the end")
        << FitFile().raw(QByteArray::fromHex("40000014 00ff fd0486")).bytes()
        << "file 0\nwarning definitionPastEnd@14\nend 0-25";
    QTest::newRow("stored heart rate, a device time and its correlation")
        << FitFile()
               .define(0, 132,
                       {{253, 4, kUint32}, {0, 2, kUint16}, {6, 1, kUint8}, {9, 4, kUint32}})
               .data(0, {T, 16384, 100, 2048})
               .define(1, 132, {{6, 2, kUint8}, {10, 3, kByte}})
               .data(1, {0x6564, 0x123456})
               .define(2, 20, {{253, 4, kUint32}})
               .data(2, {1005})
               .define(3, 162, {{253, 4, kUint32}, {1, 4, kUint32}})
               .data(3, {T, 1000})
               .bytes()
        << "file 0\nhr@32 t=1000000030 fraction=16384 bpm=64 events=00080000\n"
           "hr@56 bpm=6465 events12=563412\nrecord@71 device=1005\n"
           "correlation@88 t=1000000030 system=1000\nend 0-99";
    QTest::newRow("no FIT file") << QByteArray("hello, world") << "error notFit@0";
    QTest::newRow("no FIT file after one") << one + "hello, world"
                                           << "file 0\nrecord@26 t=1000000030 hr=120\nend 0-34\n"
                                              "warning notFitAfterward@34";
}

void TestFitDecoder::handMadeFile()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, events);
    QCOMPARE(FitDecodingLog(input), events);
    QCOMPARE(CheckFitDecoding(input), QString());
}

void TestFitDecoder::realFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("positioned");
    QTest::addColumn<int>("laps");
    QTest::addColumn<int>("sessions");
    QTest::addColumn<QString>("product");
    QTest::newRow("run") << "gc_10kUNLP2014-Garmin15.fit" << 686 << 686 << 11 << 1 << "";
    QTest::newRow("ride, Sigma") << "gc_SigmaRox11_1.fit" << 7259 << 7257 << 5 << 1
                                 << "ROX 11.1 EVO";
    QTest::newRow("ride, Wahoo") << "gpsbabel_wahoo-element-bolt.fit" << 1101 << 1101 << 1 << 1
                                 << "";
    QTest::newRow("triathlon") << "gc_MultiSport-2019-11-24.fit" << 45805 << 44944 << 112 << 5
                               << "";
}

// Every positioned point as gpsbabel reads it: same time, same position to
// gpsbabel's nine decimals, and the text for day files reads back exactly.
void TestFitDecoder::realFile()
{
    QFETCH(QString, name);
    QFETCH(int, records);
    QFETCH(int, positioned);
    QFETCH(int, laps);
    QFETCH(int, sessions);
    QFETCH(QString, product);
    QFile file(QDir(kFitFolder).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        QSKIP("the reference FIT files are not there");
    const QByteArray bytes = file.readAll();
    Counter counter;
    FitDecoder decoder(counter);
    QCOMPARE(decoder.decode(std::string_view(bytes.data(), std::size_t(bytes.size())), true),
             std::size_t(bytes.size()));
    QCOMPARE(counter.problems, QStringList());
    QCOMPARE(counter.records, records);
    QCOMPARE(int(counter.points.size()), positioned);
    QCOMPARE(counter.laps, laps);
    QCOMPARE(counter.sessions, sessions);
    QCOMPARE(counter.productName, product);
    if (QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty())
        QSKIP("gpsbabel is not installed (Debian package gpsbabel)");
    const std::vector<Point> read = GpsbabelPoints(file.fileName());
    QCOMPARE(read.size(), counter.points.size());
    constexpr double kDegree = 180.0 / 2147483648.0; // of a semicircle
    for (std::size_t i = 0; i < read.size(); ++i) {
        const FitRecord &point = counter.points[i];
        NumberText text;
        QCOMPARE(QString::fromLatin1(instantText(fitUnixSeconds(*point.timestamp), text)),
                 read[i].time);
        const std::pair<qint32, double> coordinates[] = {{*point.latitude, read[i].latitude},
                                                         {*point.longitude, read[i].longitude}};
        for (const auto &[semicircles, theirs] : coordinates) {
            QVERIFY(std::abs(semicircles * kDegree - theirs) <= 0.5e-9 + 1e-12);
            const double ours =
                QByteArray::fromStdString(std::string(degreesText(fitDegrees(semicircles), text)))
                    .toDouble();
            QCOMPARE(std::llround(ours / kDegree), semicircles);
        }
    }
}

void TestFitDecoder::checksHold_data()
{
    QTest::addColumn<QByteArray>("input");
    const QDir source(QStringLiteral(KELVANE_SOURCE_DIR));
    for (const QString &folder : {source.filePath(QStringLiteral("fuzz/corpus_fit")), kFitFolder}) {
        for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
            QFile file(info.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(info.fileName())) << file.readAll();
        }
    }
    // Random records behind a header, with and without a data size.
    QRandomGenerator random(17);
    for (const qint64 dataSize : {0, 300, 70000}) {
        QByteArray noise(2000, 0);
        random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::addRow("random bytes, data size %lld", dataSize)
            << FitFile().raw(noise).bytes(dataSize - noise.size());
    }
    // The most a file can define: 16 local types of 255 fields of 255 bytes.
    FitFile widest;
    const std::vector<Field> fields(255, Field{1, 255, kByte});
    for (int local = 0; local < 16; ++local)
        widest.define(local, 20, fields, false, std::vector<int>(255, 255)).data(local, {});
    QTest::newRow("widest definitions") << widest.bytes();
}

void TestFitDecoder::checksHold()
{
    QFETCH(QByteArray, input);
    QCOMPARE(CheckFitDecoding(input), QString());
}

// Hand-made files through kelvane-split: what becomes of damage, stored
// heart rate, device times and files of no type, told by the TCX day file's
// track point times and heart rates and by the messages.
void TestFitDecoder::converted_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("points"); // time and heart rate of each TCX track point
    QTest::addColumn<QByteArray>("message");
    const std::vector<Field> id = {{0, 1, kEnum}, {4, 4, kUint32}};
    const std::vector<Field> record = {{253, 4, kUint32}, {3, 1, kUint8}};
    const QByteArray one = OneRecord().bytes();
    QTest::newRow("damaged in the middle: the records before it kept")
        << OneRecord().data(3, {}).data(0, {T + 1, 121}).bytes() + one
        << "2021-09-08T01:47:10Z 120\n2021-09-08T01:47:10Z 120"
        << QByteArray("byte 32: a FIT data message of a local type without definition; every "
                      "whole record is read\nkelvane-split: 1 run read, 1 converted");
    // Beats at T, T+1 and T+2 s, each carried on for 5 steps of 250 ms: the
    // second record gets the mean of 150, 150, 150, 160; the last keeps its
    // own, as no sample after it closes its range.
    const QByteArray activity = FitFile()
                                    .define(0, 0, id)
                                    .data(0, {4, T})
                                    .define(1, 20, record)
                                    .data(1, {T, 100})
                                    .data(1, {T + 1, 100})
                                    .data(1, {T + 2, 100})
                                    .bytes();
    const QByteArray storedHeartRate = FitFile()
                                           .define(0, kHrMessage, kHrFields)
                                           .data(0, {T, 150, 0})
                                           .define(1, 132, {{6, 2, kUint8}, {10, 3, kByte}})
                                           .data(1, {160 | 170 << 8, 0x800400})
                                           .bytes();
    QTest::newRow("stored heart rate in a part of its own")
        << activity + storedHeartRate
        << "2021-09-08T01:47:10Z 150\n2021-09-08T01:47:11Z 153\n2021-09-08T01:47:12Z 100"
        << QByteArray("1 run read, 1 converted, 1 file written, 0 skipped");
    QTest::newRow("a device's seconds since power-on, dated by a correlation after them")
        << FitFile()
               .define(0, 0, id)
               .data(0, {4, T - 3 * 86400})
               .define(1, 20, record)
               .data(1, {1000, 90})
               .define(3, 20, {{3, 1, kUint8}})
               .data(3, {91}, 9)
               .define(2, 162, {{253, 4, kUint32}, {1, 4, kUint32}})
               .data(2, {T, 1000})
               .data(1, {1002, 92})
               .bytes()
        << "2021-09-08T01:47:10Z 90\n2021-09-08T01:47:11Z 91\n2021-09-08T01:47:12Z 92"
        << QByteArray("1 run read, 1 converted");
    QTest::newRow("no file type, records with a time")
        << FitFile()
               .define(0, 0, {{4, 4, kUint32}})
               .data(0, {T})
               .define(1, 20, record)
               .data(1, {T, 120})
               .bytes()
        << "2021-09-08T01:47:10Z 120" << QByteArray();
    QTest::newRow("no file type, records with no time")
        << FitFile().define(0, 20, record).data(0, {0xFFFFFFFF, 120}).bytes() << ""
        << QByteArray("byte 0: run skipped: it is a FIT file that names no type and holds no "
                      "record with a time (it holds 1 record without a time)");
    QTest::newRow("a monitoring file named alone")
        << FitFile()
               .define(0, 0, id)
               .data(0, {32, T})
               .define(1, 20, record)
               .data(1, {T, 80})
               .bytes()
        << ""
        << QByteArray("in.fit: byte 0: not an activity: it is a FIT monitoring file (a day's steps "
                      "and heart rate)\nkelvane-split: 1 FIT file: 0 activities converted; 1 not "
                      "an activity: 1 monitoring\nkelvane-split: 0 runs read, 0 converted, 0 files "
                      "written, 0 skipped\n");
    QByteArray noise(4096, '\0');
    QRandomGenerator(17).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes after a header")
        << QByteArray("\x0e\x10\x6c\x00\x10\x00\x00\x00.FIT", 12) + noise << ""
        << QByteArray("in.fit: byte 0: run skipped: it is a FIT file that names no type and "
                      "holds no record with a time (it holds no records, sessions or heart rate)");
}

void TestFitDecoder::converted()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, points);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.fit"));
    QVERIFY(history_text::WriteFile(path, input));
    const split_process::Result result = split_process::Split({"--tcx", "-C", dir.path(), path});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QStringList shown;
    for (const QString &name :
         QString::fromLocal8Bit(result.out).split(u'\n', Qt::SkipEmptyParts)) {
        QXmlStreamReader tcx(split_process::ReadBack(dir.filePath(name)));
        while (!tcx.atEnd()) {
            if (tcx.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (tcx.name() == QLatin1String("Time"))
                shown << tcx.readElementText();
            else if (tcx.name() == QLatin1String("HeartRateBpm") && tcx.readNextStartElement())
                shown.last() += u' ' + tcx.readElementText();
        }
    }
    if (!points.isEmpty())
        QCOMPARE(shown.join(u'\n'), points);
}

void TestFitDecoder::valueText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    NumberText t;
    const auto row = [](const char *name, std::string_view text, const char *expected) {
        QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(expected);
    };
    // Degrees as a recorded point keeps them, its latitude.
    const auto degrees = [&](std::int32_t semicircles) {
        RecordedPoint point;
        point.setPosition(fitDegrees(semicircles), 0);
        return degreesText(point.latitude(), t);
    };
    row("degrees of 0", degrees(0), "0");
    row("degrees of a pole", degrees(1 << 30), "90");
    row("degrees of the date line", degrees(-2147483647 - 1), "-180");
    row("degrees of one semicircle", degrees(-1), "-0.0000001");
    row("degrees, seven decimals", degrees(-416450448), "-34.9064733");
    row("degrees, eight decimals", degrees(-3), "-0.00000025");
    row("degrees, eight decimals south", degrees(-616746228), "-51.69507165");
    row("altitude", decimalText(fitDecimetres(3117), 1, t), "123.4");
    row("altitude, whole metres", decimalText(fitDecimetres(2500), 1, t), "0");
    row("altitude, below the sea", decimalText(fitDecimetres(0), 1, t), "-500");
    row("distance", decimalText(123450, 2, t), "1234.5");
    row("speed, below one", decimalText(-5, 3, t), "-0.005");
    row("instant", instantText(fitUnixSeconds(T), t), "2021-09-08T01:47:10Z");
    row("date", dateText(fitUnixSeconds(T), t), "2021-09-08");
    row("time", timeText(fitUnixSeconds(T), t), "01:47:10");
}

void TestFitDecoder::valueText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestFitDecoder)
#include "test_fit_decoder.moc"
