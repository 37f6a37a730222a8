// The conversion alone, fed by a stand-in reader of its own runs: how runs
// are numbered across inputs, filed in the window or skipped, and what an
// input's reader reports becomes of the summary.

#include "conversion_readers.h"
#include "history_text.h"
#include "read/open_run.h"
#include "test_fixtures.h"

#include <QTest>

using namespace kelvane;
using namespace fixtures;

namespace {

// Hands over a run for each start time of its input's words, its document
// "<START/>"; the word "error" ends the input with a failure, "notice" and
// "hint" give those texts.
class StandInReader final : public RunReader {
  public:
    explicit StandInReader(const QString &name, QStringList words)
        : name(name), words(std::move(words))
    {
    }
    void read(RunSink &sink) override
    {
        for (const QString &word : words) {
            if (word == u"error") {
                error = name + " holds an error";
                return;
            }
            if (word == u"notice" || word == u"hint")
                continue;
            const std::string start = word.toStdString();
            OpenRun run(RunFormat::Tcx);
            run.open(sink);
            if (!run.start(start))
                run.skip(InputLocation(1), QStringLiteral("no real day"));
            const std::string document = "<" + start + "/>";
            const std::string_view piece = document;
            Run kept;
            kept.document = {&piece, 1};
            if (!run.close(kept))
                return;
        }
    }
    QString errorString() const override { return error; }
    QString notice() const override
    {
        return words.contains(QStringLiteral("notice")) ? name + " was read with care" : QString();
    }
    QString noRunHint() const override
    {
        return words.contains(QStringLiteral("hint")) ? name + " holds no run" : QString();
    }

  private:
    const QString name;
    const QStringList words;
    QString error;
};

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

  private Q_SLOTS:
    void standInRuns_data();
    void standInRuns();
};

void TestConversion::standInRuns_data()
{
    QTest::addColumn<QStringList>("inputs"); // each the words of one input
    QTest::addColumn<QString>("expected");   // the files saved, then the summary
    QTest::newRow("a day's runs numbered in order, on across inputs")
        << QStringList{"2026-03-01T10:00:00Z 2026-03-02T08:00:00Z", "2026-03-01T07:00:00Z"}
        << "20260301_01_Sunday.tcx <2026-03-01T10:00:00Z/>\n"
           "20260302_01_Monday.tcx <2026-03-02T08:00:00Z/>\n"
           "20260301_02_Sunday.tcx <2026-03-01T07:00:00Z/>\n"
           "3 read, 3 converted, 0 skipped";
    QTest::newRow("after the window, or on no real day: not written")
        << QStringList{"2026-12-08T10:00:00Z 2026-02-30T10:00:00Z 2026-12-07T23:00:00Z"}
        << "20261207_01_Monday.tcx <2026-12-07T23:00:00Z/>\n"
           "3 read, 1 converted, 1 skipped\n"
           "skipped line 1: no real day";
    QTest::newRow("alone, a failure is the conversion's")
        << QStringList{"2026-03-01T10:00:00Z error"}
        << "20260301_01_Sunday.tcx <2026-03-01T10:00:00Z/>\n"
           "1 read, 1 converted, 0 skipped\nerror: in1 holds an error";
    QTest::newRow("of several, a failure is the input's, and the next is read")
        << QStringList{"error", "2026-03-01T10:00:00Z"}
        << "20260301_01_Sunday.tcx <2026-03-01T10:00:00Z/>\n"
           "1 read, 1 converted, 0 skipped\nfailed: in1 holds an error";
    QTest::newRow("alone, notice and hint are the summary's")
        << QStringList{"notice hint"}
        << "0 read, 0 converted, 0 skipped\n"
           "notice: in1 was read with care\nhint: in1 holds no run";
    QTest::newRow("of several, reported")
        << QStringList{"notice hint", "2026-03-01T10:00:00Z"}
        << "20260301_01_Sunday.tcx <2026-03-01T10:00:00Z/>\n"
           "1 read, 1 converted, 0 skipped\nreport: in1 was read with care\n"
           "report: in1 holds no run";
}

void TestConversion::standInRuns()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, expected);
    QStringList paths;
    QMap<QString, QStringList> words; // by the input's name
    for (const QString &input : inputs) {
        paths << dir.filePath(QStringLiteral("in%1").arg(paths.size() + 1));
        QVERIFY(history_text::WriteFile(paths.last(), "x"));
        words[paths.last()] = input.split(u' ');
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(EmptyFolder(out));
    RecordingProgress progress;
    const ConversionSummary summary = makeDayFilesReadBy(
        {{}, out, {earliestDay(), kToday}, Kinds(DayFileKind::OwnFormat), kToday, nullptr, paths},
        progress, [&](ByteSource &source, bool, const ReadingOptions &, Refusal &) {
            return std::make_unique<StandInReader>(QFileInfo(source.name()).fileName(),
                                                   words.value(source.name()));
        });
    QStringList shown;
    for (const QString &name : progress.saved)
        shown << name + u' ' + history_text::ReadFile(QDir(out).filePath(name));
    shown << QStringLiteral("%1 read, %2 converted, %3 skipped")
                 .arg(summary.runsRead)
                 .arg(summary.runsConverted)
                 .arg(summary.runsSkipped);
    for (const SkippedRun &skipped : summary.skipped)
        shown << QStringLiteral("skipped line %1: ").arg(skipped.line) + skipped.reason;
    for (const InputReport &report : summary.inputReports)
        shown << (report.failed ? "failed: " : "report: ") + report.text;
    const std::pair<const char *, QString> texts[] = {
        {"notice: ", summary.notice}, {"hint: ", summary.noRunHint}, {"error: ", summary.error}};
    for (const auto &[label, text] : texts)
        if (!text.isEmpty())
            shown << label + text;
    QCOMPARE(shown.join(u'\n'), expected);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "test_conversion.moc"
