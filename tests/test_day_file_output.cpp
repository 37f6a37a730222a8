#include "day_file_output.h"
#include "history_text.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;
using history_text::ReadFile;
using history_text::WriteFile;

// Every way of creating a file before it gets its name: without any name
// (linked by descriptor, or through /proc where the system allows only that),
// and under a hidden temporary name where the file system cannot do without one.
class TestDayFileOutput : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QStringList entries() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

  private Q_SLOTS:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir.path()));
    }
    void filesAppearOnlyAtCommit_data();
    void filesAppearOnlyAtCommit();
    void existingFileIsReplaced_data() { filesAppearOnlyAtCommit_data(); }
    void existingFileIsReplaced();
    void folderInTheWayKeepsTheRunOut_data() { filesAppearOnlyAtCommit_data(); }
    void folderInTheWayKeepsTheRunOut();
    void discardLeavesNothing_data() { filesAppearOnlyAtCommit_data(); }
    void discardLeavesNothing();
};

void TestDayFileOutput::filesAppearOnlyAtCommit_data()
{
    QTest::addColumn<DayFileOutput::Naming>("naming");
#ifndef KELVANE_PORTABLE_OUTPUT
    QTest::newRow("unnamed, by descriptor") << DayFileOutput::Naming::UnnamedByDescriptor;
    QTest::newRow("unnamed, through /proc") << DayFileOutput::Naming::UnnamedThroughProc;
#endif
    QTest::newRow("temporary name") << DayFileOutput::Naming::TemporaryName;
}

void TestDayFileOutput::filesAppearOnlyAtCommit()
{
    QFETCH(DayFileOutput::Naming, naming);
    DayFileOutput output(dir.path(), naming);
    QVERIFY(output.add("a.xml", {"one\r\n", "two\r\n"}));
    QVERIFY(output.add("a.txt", {}));
    QVERIFY(!entries().contains("a.xml"));
    QVERIFY(output.commit());
    QCOMPARE(entries(), QStringList({"a.txt", "a.xml"}));
    QCOMPARE(ReadFile(dir.filePath("a.xml")), QByteArray("one\r\ntwo\r\n"));
    QCOMPARE(ReadFile(dir.filePath("a.txt")), QByteArray());
}

void TestDayFileOutput::existingFileIsReplaced()
{
    QFETCH(DayFileOutput::Naming, naming);
    QVERIFY(WriteFile(dir.filePath("a.xml"), QByteArray(5000, 'x')));
    DayFileOutput output(dir.path(), naming);
    QVERIFY(output.add("a.xml", {"new"}));
    QVERIFY(output.add("b.xml", {"b"}));
    QVERIFY(output.commit());
    QCOMPARE(ReadFile(dir.filePath("a.xml")), QByteArray("new"));
    QCOMPARE(entries(), QStringList({"a.xml", "b.xml"}));
}

void TestDayFileOutput::folderInTheWayKeepsTheRunOut()
{
    QFETCH(DayFileOutput::Naming, naming);
    QVERIFY(QDir(dir.path()).mkdir("c.gpx"));
    QVERIFY(WriteFile(dir.filePath("b.txt"), "old"));
    DayFileOutput output(dir.path(), naming);
    QVERIFY(output.add("a.xml", {"a"}));
    QVERIFY(output.add("b.txt", {"b"}));
    QVERIFY(output.add("c.gpx", {"c"}));
    QVERIFY(!output.commit());
    QVERIFY2(output.error().contains(dir.filePath("c.gpx") + "\": a folder"),
             qPrintable(output.error()));
    // Neither the new file nor the replacement of the old one appeared.
    QCOMPARE(entries(), QStringList({"b.txt", "c.gpx"}));
    QCOMPARE(ReadFile(dir.filePath("b.txt")), QByteArray("old"));
}

void TestDayFileOutput::discardLeavesNothing()
{
    QFETCH(DayFileOutput::Naming, naming);
    {
        DayFileOutput output(dir.path(), naming);
        QVERIFY(output.add("a.xml", {"a"}));
        output.discard();
        QVERIFY(output.add("b.xml", {"b"}));
    } // never committed
    QCOMPARE(entries(), QStringList());
}

QTEST_GUILESS_MAIN(TestDayFileOutput)
#include "test_day_file_output.moc"
