#include "history_text.h"
#include "input/file_source.h"
#include "input/line_reader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;

namespace {

// Tiny buffers make every line cross their edge somewhere.
constexpr std::size_t kBufferSizes[] = {1, 16, 1 << 20};

QByteArray Join(const MarkedBytes &marked, std::size_t from, std::size_t to)
{
    std::vector<std::string_view> pieces;
    marked.slice(from, to, pieces);
    QByteArray bytes;
    for (const std::string_view piece : pieces)
        bytes.append(piece.data(), qsizetype(piece.size()));
    return bytes;
}

} // namespace

class TestLineReader : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    // Writes bytes as the input file and returns its path.
    QString input(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("in.xml"));
        return history_text::WriteFile(path, bytes) ? path : QString();
    }

  private Q_SLOTS:
    void lines_data();
    void lines();
    void markKeepsLinesInPlace_data();
    void markKeepsLinesInPlace();
    void folderIsNoFile();
    void lineLongerThanTheBound_data();
    void lineLongerThanTheBound();
};

void TestLineReader::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("LF alone") << QByteArray("a\nb\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\r\n") << QList<QByteArray>{"a", "b", "c"};
    QTest::newRow("last line without end") << QByteArray("a\r\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("empty lines kept")
        << QByteArray("\r\n\n\r\nx") << QList<QByteArray>{"", "", "", "x"};
    QTest::newRow("lone CR stays in the line")
        << QByteArray("a\rb\r\n") << QList<QByteArray>{"a\rb"};
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n", 5)
                               << QList<QByteArray>{QByteArray("a\0b", 3)};
    QTest::newRow("line longer than the buffer")
        << QByteArray(100, 'x') + "\r\ny" << QList<QByteArray>{QByteArray(100, 'x'), "y"};
    QTest::newRow("CR and LF split by the buffer edge")
        << QByteArray(15, 'x') + "\r\n" + QByteArray(15, 'y') + "\r\n"
        << QList<QByteArray>{QByteArray(15, 'x'), QByteArray(15, 'y')};
}

void TestLineReader::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    const QString path = input(bytes);
    QVERIFY(!path.isEmpty());
    for (const std::size_t bufferSize : kBufferSizes) {
        FileSource file(path);
        QVERIFY(file.open());
        LineReader reader(InputBuffer(file, bufferSize));
        QList<QByteArray> read;
        std::string_view line;
        while (reader.next(line))
            read << QByteArray(line.data(), qsizetype(line.size()));
        QVERIFY(reader.errorString().isEmpty());
        QCOMPARE(read, lines);
        QCOMPARE(reader.lineNumber(), lines.size());
    }
}

void TestLineReader::markKeepsLinesInPlace_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("markAt"); // 0-based line

    const QByteArray run = "<Run>\r\n  <Lap>\r\n" + QByteArray(40, 'x') + "\n\r\n</Run>\r\n";
    QTest::newRow("from the first line") << run << 0;
    QTest::newRow("from a later line") << "before\r\n" + run + "after" << 1;
    QTest::newRow("far longer than the buffer") << "a\n" + run.repeated(50) << 1;
}

// Every line read after the mark is found again by its offset in the marked
// bytes, which hold the input from the marked line on, line ends included,
// however often the tiny buffers had to be refilled.
void TestLineReader::markKeepsLinesInPlace()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, markAt);
    const QString path = input(bytes);
    QVERIFY(!path.isEmpty());
    for (const std::size_t bufferSize : kBufferSizes) {
        FileSource file(path);
        QVERIFY(file.open());
        LineReader reader(InputBuffer(file, bufferSize));
        std::string_view line;
        qsizetype markedFrom = 0;
        QList<std::pair<std::size_t, QByteArray>> kept; // offset from the mark, line
        for (int index = 0; reader.next(line); ++index) {
            if (index < markAt) {
                markedFrom += qsizetype(reader.lineWithEnd().size());
                continue;
            }
            if (index == markAt)
                reader.markLine();
            QVERIFY(reader.hasMark());
            kept.append(
                {reader.offsetFromMark(line), QByteArray(line.data(), qsizetype(line.size()))});
        }
        const MarkedBytes marked = reader.markedBytes();
        QCOMPARE(Join(marked, 0, marked.size()), bytes.mid(markedFrom));
        for (const auto &[offset, text] : kept)
            QCOMPARE(Join(marked, offset, offset + std::size_t(text.size())), text);
        reader.clearMark();
        QCOMPARE(reader.markedBytes().size(), std::size_t(0));
    }
}

void TestLineReader::folderIsNoFile()
{
    FileSource file(dir.path());
    QVERIFY(!file.open());
    QVERIFY(file.errorString().contains(dir.path()));
}

void TestLineReader::lineLongerThanTheBound_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("read");
    const qsizetype bound = qsizetype(LineReader::kMaxLineBytes);
    QTest::newRow("just within") << QByteArray(bound - 2, 'x') + "\r\n" << true;
    QTest::newRow("beyond, with a line end") << QByteArray(bound, 'x') + "\r\n" << false;
    QTest::newRow("beyond, without a line end") << QByteArray(bound + 10, 'x') << false;
}

// Lines before the long one are read; the long one ends the reading with
// an error naming the file, the line and the bound.
void TestLineReader::lineLongerThanTheBound()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, read);
    const QString path = input("a\r\nb\r\n" + bytes + "c\r\n");
    FileSource file(path);
    QVERIFY(file.open());
    LineReader reader{InputBuffer(file)};
    std::string_view line;
    int lines = 0;
    while (reader.next(line))
        ++lines;
    if (read) {
        QCOMPARE(lines, 4);
        QVERIFY(reader.errorString().isEmpty());
    } else {
        QCOMPARE(lines, 2);
        QCOMPARE(reader.errorString(),
                 QStringLiteral("Cannot read \"%1\": line 3 is longer than 4 MiB, which no line "
                                "of a history file is")
                     .arg(path));
    }
}

QTEST_GUILESS_MAIN(TestLineReader)
#include "test_line_reader.moc"
