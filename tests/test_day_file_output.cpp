#include "history_text.h"
#include "save/day_file_output.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace kelvane;

// Renames onto a name ending in this fail, as a failing disk would make them.
static QByteArray failingRenameTarget;

static bool RenameFails(const char *to)
{
    return !failingRenameTarget.isEmpty() && QByteArray(to).endsWith(failingRenameTarget);
}

// Both ways the output renames go through here before the system's own call.
extern "C" int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    if (RenameFails(to)) {
        errno = EIO;
        return -1;
    }
    using Call = int (*)(int, const char *, int, const char *);
    static const auto system = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "renameat"));
    return system(fromFolder, from, toFolder, to);
}

extern "C" int rename(const char *from, const char *to)
{
    if (RenameFails(to)) {
        errno = EIO;
        return -1;
    }
    using Call = int (*)(const char *, const char *);
    static const auto system = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "rename"));
    return system(from, to);
}
using history_text::EmptyFolder;
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
    void init() { QVERIFY(EmptyFolder(dir.path())); }
    void filesAppearOnlyAtCommit_data();
    void filesAppearOnlyAtCommit();
    void existingFileIsReplaced_data() { filesAppearOnlyAtCommit_data(); }
    void existingFileIsReplaced();
    void folderInTheWayKeepsTheRunOut_data() { filesAppearOnlyAtCommit_data(); }
    void folderInTheWayKeepsTheRunOut();
    void discardLeavesNothing_data() { filesAppearOnlyAtCommit_data(); }
    void discardLeavesNothing();
    void replacedFileKeepsItsMode_data();
    void replacedFileKeepsItsMode();
    void inputIsNeverReplaced_data() { filesAppearOnlyAtCommit_data(); }
    void inputIsNeverReplaced();
    void failedReplacementPutsEverythingBack_data() { filesAppearOnlyAtCommit_data(); }
    void failedReplacementPutsEverythingBack();
    void leftoversOfOursAreRemoved();
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

// What stands at the name is a file of that mode, or a link to one in
// another folder (to /usr/bin/su, say); the umask is 027.
void TestDayFileOutput::replacedFileKeepsItsMode_data()
{
    QTest::addColumn<DayFileOutput::Naming>("naming");
    QTest::addColumn<bool>("link");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("expected");
    const std::pair<const char *, DayFileOutput::Naming> namings[] = {
#ifndef KELVANE_PORTABLE_OUTPUT
        {"by descriptor", DayFileOutput::Naming::UnnamedByDescriptor},
        {"through /proc", DayFileOutput::Naming::UnnamedThroughProc},
#endif
        {"temporary name", DayFileOutput::Naming::TemporaryName}};
    for (const auto &[name, naming] : namings) {
        QTest::addRow("%s, file 0440", name) << naming << false << 0440 << 0440;
        QTest::addRow("%s, set-ID file", name) << naming << false << 06755 << 0755;
        QTest::addRow("%s, link to a set-ID file", name) << naming << true << 06755 << 0640;
    }
}

void TestDayFileOutput::replacedFileKeepsItsMode()
{
    QFETCH(DayFileOutput::Naming, naming);
    QFETCH(bool, link);
    QFETCH(int, mode);
    QFETCH(int, expected);
    QTemporaryDir elsewhere;
    const QString path = dir.filePath("a.xml");
    const QString target = link ? elsewhere.filePath("su") : path;
    QVERIFY(WriteFile(target, "old"));
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode_t(mode)), 0);
    if (link)
        QVERIFY(QFile::link(target, path));
    const mode_t umask = ::umask(027);
    DayFileOutput output(dir.path(), naming);
    QVERIFY(output.add("a.xml", {"new"}));
    const bool committed = output.commit();
    ::umask(umask);
    QVERIFY2(committed, qPrintable(output.error()));
    QCOMPARE(ReadFile(path), QByteArray("new"));
    struct stat info;
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &info), 0);
    QVERIFY(S_ISREG(info.st_mode));
    QCOMPARE(int(info.st_mode & 07777), expected);
    QCOMPARE(ReadFile(target), QByteArray(link ? "old" : "new"));
    QCOMPARE(entries(), QStringList({"a.xml"}));
}

void TestDayFileOutput::inputIsNeverReplaced()
{
    QFETCH(DayFileOutput::Naming, naming);
    QVERIFY(WriteFile(dir.filePath("b.xml"), "the history"));
    DayFileOutput output(dir.path(), naming);
    output.protect({dir.filePath("b.xml")});
    QVERIFY(output.add("a.txt", {"a"}));
    QVERIFY(output.add("b.xml", {"b"}));
    QVERIFY(!output.commit());
    QVERIFY2(output.error().contains(dir.filePath("b.xml") + "\": it is an input being read"),
             qPrintable(output.error()));
    QCOMPARE(entries(), QStringList({"b.xml"}));
    QCOMPARE(ReadFile(dir.filePath("b.xml")), QByteArray("the history"));
}

// The second of a run's replacements fails: the first replaced file comes
// back, the new file goes, and nothing hidden stays.
void TestDayFileOutput::failedReplacementPutsEverythingBack()
{
    QFETCH(DayFileOutput::Naming, naming);
    QVERIFY(WriteFile(dir.filePath("a.xml"), "old a"));
    QVERIFY(WriteFile(dir.filePath("c.gpx"), "old c"));
    DayFileOutput output(dir.path(), naming);
    QVERIFY(output.add("a.xml", {"new a"}));
    QVERIFY(output.add("b.txt", {"new b"}));
    QVERIFY(output.add("c.gpx", {"new c"}));
    failingRenameTarget = "c.gpx";
    const bool committed = output.commit();
    failingRenameTarget.clear();
    QVERIFY(!committed);
    QVERIFY2(output.error().contains(dir.filePath("c.gpx")), qPrintable(output.error()));
    QCOMPARE(entries(), QStringList({"a.xml", "c.gpx"}));
    QCOMPARE(ReadFile(dir.filePath("a.xml")), QByteArray("old a"));
    QCOMPARE(ReadFile(dir.filePath("c.gpx")), QByteArray("old c"));

    // The same run saves once the fault is gone.
    QVERIFY(output.add("a.xml", {"new a"}));
    QVERIFY(output.add("c.gpx", {"new c"}));
    QVERIFY(output.commit());
    QCOMPARE(ReadFile(dir.filePath("c.gpx")), QByteArray("new c"));
    QCOMPARE(entries(), QStringList({"a.xml", "c.gpx"}));
}

void TestDayFileOutput::leftoversOfOursAreRemoved()
{
    const QStringList ours = {".20041221_01_Tuesday.xml.0123abcd.part",
                              ".20041221_01_Tuesday.gpx.ffffffff.old",
                              ".20041221_103_Dienstag.fit.00c0ffee.part",
                              ".20041221_01_Tuesday.svg.0123abcd.part",
                              ".runs.csv.0123abcd.part",
                              ".index.html.0123abcd.old"};
    const QStringList others = {".hidden.part",
                                ".notes.0123abcd.txt",
                                "a.0123abcd.part",
                                "20041221_01_Tuesday.xml",
                                ".bashrc.20240101.old",
                                ".thesis.tex.20231130.part",
                                ".20041221_01_Tuesday.doc.0123abcd.part"};
    for (const QString &name : ours + others)
        QVERIFY(WriteFile(dir.filePath(name), "x"));
    DayFileOutput::removeLeftovers(dir.path());
    QStringList left = others;
    left.sort();
    QCOMPARE(entries(), left);
}

QTEST_GUILESS_MAIN(TestDayFileOutput)
#include "test_day_file_output.moc"
