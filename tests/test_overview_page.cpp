#include "library/library_tracks.h"
#include "library/run_catalogue.h"
#include "library/run_fingerprint.h"
#include "overview/overview_page.h"
#include "test_fixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kelvane;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A library of one run with this note, its page written into dir.
QByteArray pageWithNote(const QTemporaryDir &dir, const std::string &note)
{
    RunCatalogue catalogue;
    CatalogueRow row;
    row.baseName = QStringLiteral("20240105_01_Friday");
    row.dayFiles = {QStringLiteral(".gpx")};
    row.figures.start = 1704439872; // 2024-01-05T07:31:12Z
    row.input = QStringLiteral("a.gpx");
    row.fingerprint = runFingerprint("a run");
    catalogue.put(row);
    LibraryTracks tracks;
    tracks.put(row.baseName, {"_p~iF~ps|U", note});
    QString error;
    if (!catalogue.save(dir.path(), error) || !tracks.save(dir.path(), error) ||
        !writeOverview(dir.path(), {}, error, dir.filePath(QStringLiteral("no-leaflet"))))
        qWarning() << error;
    return readFile(dir.filePath(QStringLiteral("index.html")));
}

} // namespace

class TestOverviewPage : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The file of tracks: what is saved reads back the same; a damaged one is
    // refused whole, and the conversion then writes it again.
    void tracksFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("entries");
        const QByteArray header = "kelvane tracks 1\n";
        QTest::newRow("none") << header << true << 0;
        QTest::newRow("a note with tabs, lines and backslashes")
            << header + "20240105_01_Friday\tone\\ttwo\\nthree\\\\\t_p~iF~ps|U\n"
            << true << 1;
        QTest::newRow("a run without positions") << header + "20240105_01_Friday\t\t\n"
                                                 << true << 1;
        QTest::newRow("another header") << QByteArray("base_name,day_files\n") << false << 0;
        QTest::newRow("two fields") << header + "20240105_01_Friday\t_p~iF\n" << false << 0;
        QTest::newRow("a stray backslash") << header + "20240105_01_Friday\tno\\x\t\n"
                                           << false << 0;
        QTest::newRow("a track with a blank") << header + "20240105_01_Friday\t\t_p ~iF\n"
                                              << false << 0;
        QTest::newRow("a base name twice")
            << header + "20240105_01_Friday\t\t\n20240105_01_Friday\t\t\n"
            << false << 0;
        QTest::newRow("cut short") << header + "20240105_01_Friday\t\t_p~" << false << 0;
    }
    void tracksFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, read);
        QFETCH(int, entries);
        LibraryTracks tracks;
        QString reason;
        QCOMPARE(tracks.read(std::string_view(text.data(), std::size_t(text.size())), reason),
                 read);
        QCOMPARE(tracks.size(), entries);
        if (read)
            QCOMPARE(QByteArray::fromStdString(tracks.text()), text);
        else
            QVERIFY(reason.startsWith(u"line "));
    }

    // A track from its points' texts: the polyline's published example, and
    // a long straight line kept as its two ends.
    void encodedTrack_data()
    {
        QTest::addColumn<QStringList>("points");
        QTest::addColumn<QByteArray>("polyline");
        QTest::newRow("the published example")
            << QStringList{QStringLiteral("38.5,-120.2"), QStringLiteral("40.7,-120.95"),
                           QStringLiteral("43.252,-126.453")}
            << QByteArray("_p~iF~ps|U_ulLnnqC_mqNvxq`@");
        QStringList line;
        for (int i = 0; i <= 1000; ++i)
            line << QStringLiteral("%1,8").arg(47 + i / 10000.0, 0, 'f', 4);
        QTest::newRow("a straight line") << line << QByteArray("_uz}G_oyo@_pR?");
        QTest::newRow("no position") << QStringList{} << QByteArray();
    }
    void encodedTrack()
    {
        QFETCH(QStringList, points);
        QFETCH(QByteArray, polyline);
        TrackPoints track;
        std::vector<std::string> texts;
        for (const QString &point : points)
            for (const QString &value : point.split(u','))
                texts.push_back(value.toStdString());
        for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
            TrackPoint p;
            p.latitude = texts[i];
            p.longitude = texts[i + 1];
            p.date = "2024-01-05";
            p.time = "07:31:12";
            track.append(p);
        }
        LibraryTracks tracks;
        QCOMPARE(QByteArray::fromStdString(tracks.encode(track)), polyline);
    }

    // Whatever a note holds, it stays inside the page's JSON and reads back.
    void noteInPage_data()
    {
        QTest::addColumn<QString>("note");
        QTest::newRow("a script's end") << QStringLiteral("ok </script><script>alert(1)</script>");
        QTest::newRow("a comment's start") << QStringLiteral("<!-- <script>");
        QTest::newRow("quotes, backslashes, lines")
            << QStringLiteral("\"a\\b\"\n\tc\u2028d \u00e9\U0001F600");
    }
    void noteInPage()
    {
        QFETCH(QString, note);
        QTemporaryDir dir;
        const QByteArray page = pageWithNote(dir, note.toStdString());
        const QByteArray open = "<script type=\"application/json\" id=\"kelvane-runs\">";
        const qsizetype begin = page.indexOf(open) + open.size();
        const qsizetype end = page.indexOf("</script>", begin);
        QVERIFY(begin > open.size() && end > begin);
        const QByteArray json = page.mid(begin, end - begin);
        QVERIFY(!json.contains('<'));
        QVERIFY(page.mid(end).startsWith("</script>\n</body>"));
        const QJsonObject data = QJsonDocument::fromJson(json).object();
        const QJsonObject run = data[u"runs"].toArray().at(0).toObject();
        QCOMPARE(run[u"note"].toString(), note);
        QCOMPARE(run[u"start"].toString(), QStringLiteral("2024-01-05T07:31:12"));
        QCOMPARE(run[u"files"].toArray().at(0).toString(), QStringLiteral("gpx"));
        QVERIFY(run[u"distance"].isNull());
        QVERIFY(data[u"tiles"].isNull());
        // Without Leaflet, the page does not ask for it.
        QVERIFY(!page.contains("leaflet"));
    }

    // A conversion with --overview into a library: the page of its runs.csv,
    // with the tracks and notes of the runs converted; the tracks of runs it
    // no longer lists are dropped, as is the row of a run whose files are gone.
    void conversionWritesPage()
    {
        QTemporaryDir dir;
        RunCatalogue catalogue;
        CatalogueRow row;
        row.baseName = QStringLiteral("20190101_01_Tuesday"); // its file is gone
        row.dayFiles = {QStringLiteral(".gpx")};
        row.fingerprint = runFingerprint("a run");
        catalogue.put(row);
        LibraryTracks before;
        before.put(QStringLiteral("20200101_01_Wednesday"), {"_p~iF~ps|U", "gone"});
        QString error;
        QVERIFY(catalogue.save(dir.path(), error) && before.save(dir.path(), error));
        ConversionOptions options;
        options.dayFiles = DayFileKind::Gpx;
        options.overview = true;
        fixtures::RecordingProgress progress;
        const ConversionSummary summary =
            makeDayFiles({QStringLiteral(KELVANE_SOURCE_DIR "/examples/walk.xml"),
                          dir.path(),
                          {earliestDay(), fixtures::kToday},
                          options,
                          fixtures::kToday},
                         progress);
        QVERIFY2(summary.error.isEmpty(), qPrintable(summary.error));
        RunCatalogue after;
        QVERIFY2(after.load(dir.path(), error), qPrintable(error));
        LibraryTracks tracks;
        QVERIFY2(tracks.load(dir.path(), error), qPrintable(error));
        QCOMPARE(tracks.size(), qsizetype(after.rows().size()));
        QVERIFY(!tracks.find(row.baseName) &&
                !tracks.find(QStringLiteral("20200101_01_Wednesday")));
        const QByteArray page = readFile(dir.filePath(QStringLiteral("index.html")));
        const LibraryTracks::Entry *entry = nullptr;
        for (const CatalogueRow &listed : after.rows())
            if (const auto *found = tracks.find(listed.baseName);
                found && found->note == "Harbour loop before breakfast")
                entry = found;
        QVERIFY(entry && !entry->track.empty());
        QVERIFY(page.contains(QByteArray::fromStdString("\"track\":\"" + entry->track + '"')));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral(".kelvane/overview.js"))));
    }

    // An index.html of the user's is left as it is.
    void foreignPageKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.html"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<!DOCTYPE html><title>My page</title>\n");
        file.close();
        QString error;
        QVERIFY(!writeOverview(dir.path(), {}, error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QCOMPARE(readFile(path), QByteArray("<!DOCTYPE html><title>My page</title>\n"));
    }

    void mapTiles_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("usable");
        QTest::newRow("https") << QStringLiteral("https://tile.example.org/{z}/{x}/{y}.png")
                               << true;
        QTest::newRow("http, a subdomain")
            << QStringLiteral("http://{s}.tile.example.org/{z}/{x}/{y}.png") << true;
        QTest::newRow("file") << QStringLiteral("file:///tiles/{z}/{x}/{y}.png") << false;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert('{z}{x}{y}')") << false;
        QTest::newRow("no {y}") << QStringLiteral("https://tile.example.org/{z}/{x}.png") << false;
    }
    void mapTiles()
    {
        QFETCH(QString, url);
        QFETCH(bool, usable);
        QCOMPARE(mapTilesProblem(url).isEmpty(), usable);
    }
};

QTEST_GUILESS_MAIN(TestOverviewPage)
#include "test_overview_page.moc"
