// Every seed of the fuzz corpus and every input the fuzzer once broke the
// engine with, run through the same checks as in the fuzz target.

#include "conversion_check.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;

class TestFuzzCases : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void fuzzCase_data();
    void fuzzCase();

  private:
    QTemporaryDir scratch;
};

void TestFuzzCases::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(scratch.isValid());
}

void TestFuzzCases::fuzzCase_data()
{
    QTest::addColumn<QString>("path");
    const QDir source(QStringLiteral(KELVANE_SOURCE_DIR));
    for (const char *folder : {"fuzz/corpus", "tests/fuzz_regressions"}) {
        const QDir dir(source.filePath(QLatin1String(folder)));
        const auto files = dir.entryInfoList(QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), folder);
        for (const QFileInfo &file : files)
            QTest::newRow(qPrintable(QLatin1String(folder) + QLatin1Char('/') + file.fileName()))
                << file.filePath();
    }
}

void TestFuzzCases::fuzzCase()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString problem = CheckConversion(bytes, scratch.filePath(QStringLiteral("case")));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestFuzzCases)
#include "test_fuzz_cases.moc"
