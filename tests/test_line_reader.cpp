#include "history_text.h"
#include "line_reader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;

class TestLineReader : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void lines_data();
    void lines();
    void folderIsNoHistoryFile();
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

// A tiny buffer makes every line cross its edge somewhere.
void TestLineReader::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.xml"));
    QVERIFY(history_text::WriteFile(path, bytes));
    for (const std::size_t bufferSize : {std::size_t(1), std::size_t(16), std::size_t(1) << 20}) {
        LineReader reader(bufferSize);
        QVERIFY(reader.open(path));
        QList<QByteArray> read;
        std::string_view line;
        while (reader.next(line))
            read << QByteArray(line.data(), qsizetype(line.size()));
        QVERIFY(reader.errorString().isEmpty());
        QCOMPARE(read, lines);
        QCOMPARE(reader.lineNumber(), lines.size());
    }
}

void TestLineReader::folderIsNoHistoryFile()
{
    QTemporaryDir dir;
    LineReader reader;
    QVERIFY(!reader.open(dir.path()));
    QVERIFY(reader.errorString().contains(dir.path()));
}

QTEST_GUILESS_MAIN(TestLineReader)
#include "test_line_reader.moc"
