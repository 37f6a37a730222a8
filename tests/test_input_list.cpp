#include "archive_text.h"
#include "input/input_list.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#include <vector>

using namespace archive_text;
using namespace kelvane;

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Each input as "name = bytes", or "name ! error" when it cannot be read
// (to its end).
QStringList readAll(InputList &inputs)
{
    QStringList seen;
    while (const Input *input = inputs.next()) {
        if (!input->source) {
            seen << input->name + QStringLiteral(" ! ") + input->error;
            continue;
        }
        QByteArray bytes;
        std::vector<char> buffer(1 << 20);
        qint64 got;
        while ((got = input->source->read(buffer.data(), qint64(buffer.size()))) > 0)
            if (bytes.size() < 4096) // a bomb's gigabytes are read, not kept
                bytes.append(buffer.data(), got);
        seen << input->name + (got < 0 ? QStringLiteral(" ! ") + input->source->errorString()
                                       : QStringLiteral(" = ") + QString::fromLatin1(bytes));
    }
    return seen;
}

// Standard input taken from a pipe holding `bytes` while it lives.
class PipedStandardInput {
  public:
    explicit PipedStandardInput(const QByteArray &bytes) : saved(::dup(0))
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        // The bytes fit the pipe's buffer, so no writer needs to wait.
        (void)!::write(ends[1], bytes.constData(), std::size_t(bytes.size()));
        ::close(ends[1]);
        ::dup2(ends[0], 0);
        ::close(ends[0]);
    }
    ~PipedStandardInput()
    {
        ::dup2(saved, 0);
        ::close(saved);
    }

  private:
    int saved;
};

} // namespace

class TestInputList : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void inputs_data();
    void inputs();
    void plainFileIsReadStraight();
    void progressCoversAllInputs();

  private:
    QTemporaryDir scratch;
};

void TestInputList::initTestCase()
{
    QVERIFY(scratch.isValid());
    QVERIFY(QDir::setCurrent(scratch.path()));
    write("plain.gpx", "plain");
    write("ride.gpx.gz", Gzipped("ride"));
    write("ride.tcx.bz2", Packed(ARCHIVE_FORMAT_RAW, ARCHIVE_FILTER_BZIP2, {{"data", "bz"}}));
    write("ride.fit.xz", Packed(ARCHIVE_FORMAT_RAW, ARCHIVE_FILTER_XZ, {{"data", "xz"}}));
    const QByteArray inner = Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, {{"a.gpx", "a"}});
    write("export.zip", Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE,
                               {{"activities/", {}},
                                {"activities/1.fit.gz", Gzipped("one")},
                                {"activities/2.gpx", "two"},
                                {"activities/.3.gpx", "hidden"},
                                {"__MACOSX/activities/._2.gpx", "apple"},
                                {"inner.zip", inner}}));
    write("export.tar.gz",
          Packed(ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP,
                 {{"./", {}}, {"./b.tcx", "bee"}, {"./c.gpx.gz", Gzipped("sea")}}));
    write("deep.zip", Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE,
                             {{"mid.zip", Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE,
                                                 {{"x.gpx.gz", Gzipped("deep")}})}}));
    const QByteArray cut = Gzipped(QByteArray(100000, 'x'));
    write("cut.gpx.gz", cut.left(cut.size() / 2));
    write("fake.bz2", "BZh9, a text that starts as bzip2 data does");
    write("broken.zip",
          Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE,
                 {{"1.gpx", "one"}, {"2.fit.gz", cut.left(cut.size() / 2)}, {"3.gpx", "three"}}));
    QByteArray noise(400000, '\0');
    QRandomGenerator(18).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QByteArray tar = Packed(ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP,
                                  {{"a.gpx", noise}, {"b.gpx", "bee"}});
    write("cut.tar.gz", tar.left(tar.size() / 2));
    QByteArray damaged =
        Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE,
               {{"inner.tar", Packed(ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_NONE,
                                     {{"a.gpx", QByteArray(2000, 'a')}})},
                {"b.gpx", "bee"}});
    damaged[damaged.size() / 3] = ~damaged[damaged.size() / 3];
    write("damaged.zip", damaged);
    write("tree/b.gpx", "b");
    write("tree/a/z.gpx", "z");
    write("tree/a/y.zip",
          Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, {{"w.gpx", "w"}, {"x.gpx", "x"}}));
    write("tree/.hidden/h.gpx", "h");
    write("tree/.h.gpx", "h");
    write("tree/out/20100528_01_Friday.gpx", "day");
    write("tree/B.gpx", "B");
    // An entry that claims fewer bytes than it unpacks to, in every size it gives.
    QByteArray wrongSize = Zipped({{"a.gpx", QByteArray(5000, ' ')}});
    for (qsizetype at = 0; (at = wrongSize.indexOf(QByteArrayView("\x88\x13\0\0", 4), at)) >= 0;)
        wrongSize.replace(at++, 2, QByteArray("\x64\0", 2)); // 5000 becomes 100
    write("wrong-size.zip", wrongSize);
    write("twice.gpx.gz", Gzipped(Gzipped("twice")));
    write("thrice.gpx.gz", Gzipped(Gzipped(Gzipped("thrice"))));
    // 1100 zstd frames of 1 MiB of blanks each, gzipped: 1.1 GiB from a few KB.
    write("bomb.gpx.gz", Gzipped(Packed(ARCHIVE_FORMAT_RAW, ARCHIVE_FILTER_ZSTD,
                                        {{"data", QByteArray(1 << 20, ' ')}})
                                     .repeated(1100)));
    write("linked/a.gpx", "a");
    QVERIFY(QFile::link("..", "linked/up"));
    QVERIFY(QFile::link(scratch.filePath("tree"), "linked/tree"));
    QVERIFY(QFile::link("../plain.gpx", "linked/file.gpx"));
}

void TestInputList::inputs_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("standardInput");
    QTest::addColumn<QStringList>("expected");
    const QByteArray none;

    QTest::newRow("plain and compressed files, told by their bytes")
        << QStringList{"plain.gpx", "ride.gpx.gz", "ride.tcx.bz2", "ride.fit.xz"} << none
        << QStringList{"plain.gpx = plain", "ride.gpx.gz = ride", "ride.tcx.bz2 = bz",
                       "ride.fit.xz = xz"};
    QTest::newRow("zip: folders and hidden entries passed over, entries unpacked once more")
        << QStringList{"export.zip"} << none
        << QStringList{"export.zip: activities/1.fit.gz = one",
                       "export.zip: activities/2.gpx = two", "export.zip: inner.zip: a.gpx = a"};
    QTest::newRow("tar.gz") << QStringList{"export.tar.gz"} << none
                            << QStringList{"export.tar.gz: ./b.tcx = bee",
                                           "export.tar.gz: ./c.gpx.gz = sea"};
    QTest::newRow("folder: byte order, hidden and output folder passed over")
        << QStringList{"tree"} << none
        << QStringList{"tree/B.gpx = B", "tree/a/y.zip: w.gpx = w", "tree/a/y.zip: x.gpx = x",
                       "tree/a/z.gpx = z", "tree/b.gpx = b"};
    QTest::newRow("folder: links to folders passed over and counted, a link to a file read")
        << QStringList{"linked"} << none
        << QStringList{"linked/a.gpx = a", "linked/file.gpx = plain",
                       "\"linked\": 2 links to folders passed over: links to folders inside a "
                       "folder are not followed"};
    QTest::newRow("missing input, then the next")
        << QStringList{"missing.gpx", "plain.gpx"} << none
        << QStringList{"missing.gpx ! Cannot open \"missing.gpx\": No such file or directory",
                       "plain.gpx = plain"};
    QTest::newRow("broken entry in a zip costs that entry")
        << QStringList{"broken.zip"} << none
        << QStringList{"broken.zip: 1.gpx = one",
                       "broken.zip: 2.fit.gz ! broken.zip: 2.fit.gz: truncated gzip input",
                       "broken.zip: 3.gpx = three"};
    QTest::newRow("damaged zip entry that holds an archive")
        << QStringList{"damaged.zip"} << none
        << QStringList{"damaged.zip: inner.tar ! damaged.zip: inner.tar: ZIP decompression failed "
                       "(-3); the entries after it cannot be read"};
    QTest::newRow("libarchive's reason, without its line break")
        << QStringList{"wrong-size.zip"} << none
        << QStringList{"wrong-size.zip: a.gpx ! wrong-size.zip: a.gpx: ZIP uncompressed data is "
                       "wrong size (read 5000, expected 100)"};
    QTest::newRow("truncated gzip, false bzip2, then the next")
        << QStringList{"cut.gpx.gz", "fake.bz2", "plain.gpx"} << none
        << QStringList{"cut.gpx.gz ! cut.gpx.gz: truncated gzip input",
                       "fake.bz2 ! fake.bz2: starts as a compressed file or an archive does, but "
                       "cannot be read as one",
                       "plain.gpx = plain"};
    QTest::newRow("truncated tar.gz: what follows is lost")
        << QStringList{"cut.tar.gz"} << none
        << QStringList{"cut.tar.gz: a.gpx ! cut.tar.gz: a.gpx: truncated gzip input; the entries "
                       "after it cannot be read"};
    QTest::newRow("packed three deep")
        << QStringList{"deep.zip"} << none
        << QStringList{"deep.zip: mid.zip: x.gpx.gz ! deep.zip: mid.zip: x.gpx.gz: an archive or "
                       "compressed file inside 2 others, deeper than Kelvane unpacks"};
    QTest::newRow("compressed twice over, and three times: too deep")
        << QStringList{"twice.gpx.gz", "thrice.gpx.gz"} << none
        << QStringList{"twice.gpx.gz = twice",
                       "thrice.gpx.gz ! thrice.gpx.gz: an archive or compressed file inside 2 "
                       "others, deeper than Kelvane unpacks"};
    QTest::newRow("decompression bomb stopped, then the next")
        << QStringList{"bomb.gpx.gz", "plain.gpx"} << none
        << QStringList{"bomb.gpx.gz ! bomb.gpx.gz: a decompression bomb (over 1 GiB unpacked "
                       "from 229 bytes); not read further",
                       "plain.gpx = plain"};
    QTest::newRow("standard input, compressed, read once")
        << QStringList{"-", "plain.gpx", "-"} << Gzipped("piped")
        << QStringList{"standard input = piped", "plain.gpx = plain",
                       "standard input ! Standard input is read once only"};
}

void TestInputList::inputs()
{
    QFETCH(QStringList, names);
    QFETCH(QByteArray, standardInput);
    QFETCH(QStringList, expected);
    PipedStandardInput piped(standardInput);
    InputList inputs(names, QStringLiteral("tree/out"));
    // The notices of the folders walked come last.
    QCOMPARE(readAll(inputs) + inputs.notices(), expected);
    QCOMPARE(inputs.bytesRead(), inputs.totalBytes());
}

// Bytes that need no unpacking come from the file as they are: no
// decompressor, no buffer between the file and the reader.
void TestInputList::plainFileIsReadStraight()
{
    const QByteArray bytes(3 << 20, 'p');
    write("big.gpx", bytes);
    InputList inputs({QStringLiteral("big.gpx")}, {});
    const Input *input = inputs.next();
    QVERIFY(input && input->source);
    QCOMPARE(input->source->size(), bytes.size());
    QCOMPARE(input->file.path, QStringLiteral("big.gpx"));
    std::vector<char> buffer(1 << 20);
    QVERIFY(input->source->read(buffer.data(), qint64(buffer.size())) > 0);
    QCOMPARE(input->source->read(buffer.data(), qint64(buffer.size())), qint64(buffer.size()));
    std::string end;
    QVERIFY(input->source->readEnd(4, end));
    QCOMPARE(end, std::string("pppp"));
}

// A conversion's progress runs over the bytes of all its inputs, from none to
// all, never back: compressed bytes for what is compressed.
void TestInputList::progressCoversAllInputs()
{
    struct Recorder final : ProgressSink {
        void beginDays(int, int) override {}
        void setDay(int) override {}
        void showFileName(const QString &) override {}
        void bytesRead(qint64 done, qint64 total) override { reports.append({done, total}); }
        QList<std::pair<qint64, qint64>> reports;
    } progress;
    ConversionRequest request;
    request.inputs = {QStringLiteral("export.zip"), QStringLiteral("tree"),
                      QStringLiteral("ride.gpx.gz")};
    request.outputFolder = QStringLiteral("tree/out");
    request.window = {earliestDay(), QDate::currentDate()};
    makeDayFiles(request, progress);

    qint64 total = 0;
    for (const char *file :
         {"export.zip", "ride.gpx.gz", "tree/B.gpx", "tree/a/y.zip", "tree/a/z.gpx", "tree/b.gpx"})
        total += QFileInfo(QLatin1String(file)).size();
    QVERIFY(progress.reports.size() > 1);
    using Report = std::pair<qint64, qint64>;
    QCOMPARE(progress.reports.first(), Report(0, total));
    QCOMPARE(progress.reports.last(), Report(total, total));
    for (qsizetype i = 1; i < progress.reports.size(); ++i)
        QVERIFY(progress.reports[i].first >= progress.reports[i - 1].first);
}

QTEST_GUILESS_MAIN(TestInputList)
#include "test_input_list.moc"
