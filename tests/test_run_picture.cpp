#include "picture_runs.h"
#include "xml_check.h"

#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

using namespace kelvane;
using picture_runs::Points;

namespace {

// What a picture shows, as a reader of its SVG finds it.
struct Drawn {
    QString error;
    QRectF viewBox;
    QStringList children;      // the root's child elements by name, in order
    QString title, desc, text; // the visible texts joined by "|"
    QStringList ids;
    QRectF track;       // the outline's bounding box
    int trackSteps = 0; // the points it is drawn from
    double smallestFont = 1e9;
    QString exponent; // a number written with an exponent, if any
};

// The bounding box of a path written as "Mx y" and relative steps "l dx dy ...".
QRectF PathBox(const QString &d, int &steps)
{
    static const QRegularExpression number(QStringLiteral("-?[0-9]+(\\.[0-9]+)?"));
    QList<double> values;
    for (auto match = number.globalMatch(d); match.hasNext();)
        values.append(match.next().captured().toDouble());
    double x = values.value(0), y = values.value(1);
    double left = x, right = x, top = y, bottom = y;
    steps = 1;
    for (qsizetype i = 2; i + 1 < values.size(); i += 2, ++steps) {
        x += values[i];
        y += values[i + 1];
        left = qMin(left, x);
        right = qMax(right, x);
        top = qMin(top, y);
        bottom = qMax(bottom, y);
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

Drawn Read(const std::string &svg)
{
    Drawn drawn;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    static const QRegularExpression exponent(QStringLiteral("[0-9.][eE][-+]?[0-9]"));
    int depth = 0;
    QString inside;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (depth == 1) {
                if (xml.name() != u"svg" || xml.namespaceUri() != u"http://www.w3.org/2000/svg" ||
                    attributes.value(QLatin1String("version")) != u"1.1")
                    drawn.error = QStringLiteral("the root is no SVG 1.1 element");
                const QStringList box =
                    attributes.value(QLatin1String("viewBox")).toString().split(u' ');
                drawn.viewBox = QRectF(box.value(0).toDouble(), box.value(1).toDouble(),
                                       box.value(2).toDouble(), box.value(3).toDouble());
            }
            if (depth == 2)
                drawn.children.append(xml.name().toString());
            for (const QXmlStreamAttribute &attribute : attributes)
                if (attribute.value().contains(exponent))
                    drawn.exponent = attribute.value().toString();
            if (attributes.hasAttribute(QLatin1String("font-size")))
                drawn.smallestFont = qMin(drawn.smallestFont,
                                          attributes.value(QLatin1String("font-size")).toDouble());
            if (attributes.hasAttribute(QLatin1String("id")))
                drawn.ids.append(attributes.value(QLatin1String("id")).toString());
            if (attributes.value(QLatin1String("id")) == u"track")
                drawn.track =
                    PathBox(attributes.value(QLatin1String("d")).toString(), drawn.trackSteps);
            inside = depth == 2 ? xml.name().toString() : QString();
        } else if (xml.isEndElement()) {
            --depth;
            inside.clear();
        } else if (xml.isCharacters() && !inside.isEmpty()) {
            if (inside == u"title")
                drawn.title += xml.text();
            else if (inside == u"desc")
                drawn.desc += xml.text();
            else if (inside == u"text")
                drawn.text += xml.text().toString() + u'|';
        }
    }
    if (xml.hasError())
        drawn.error = xml.errorString();
    return drawn;
}

// Empty when xmllint reads the SVG as well-formed XML (or is missing).
QString XmllintErrors(const std::string &svg)
{
    if (!xml_check::HaveProgram(QStringLiteral("xmllint")))
        return {};
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("-")});
    xmllint.write(svg.data(), qint64(svg.size()));
    xmllint.closeWriteChannel();
    xmllint.waitForFinished(10000);
    return xmllint.exitCode() ? QString::fromLocal8Bit(xmllint.readAllStandardError()) : QString();
}

} // namespace

class TestRunPicture : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void picture_data();
    void picture();
    void reusedForTheNextRun();
};

void TestRunPicture::picture_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<QByteArray>("sport");
    QTest::addColumn<double>("distance");
    QTest::addColumn<QString>("drawn");     // the ids of the parts drawn
    QTest::addColumn<QStringList>("texts"); // shown, and in the title or the description
    QTest::addColumn<double>("aspect");     // the outline's width over its height
    QTest::addColumn<int>("mostBytes");

    const double none = kNoValue;
    QTest::newRow("positions, elevation and heart rate")
        << picture_runs::Loop() << QByteArray("Running") << 10020.0
        << "track start end scale elevation heart-rate"
        << QStringList{"Running, 2024-06-01 07:12",
                       "10.02 km, 52:13 moving, 85 m ascent",
                       "|1 km|",
                       "|0 km|",
                       "|distance|",
                       "bpm"}
        << 1.1 << 8000;
    // The distance measured from the positions stands in for the one not given.
    QTest::newRow("high latitude, distance from the positions")
        << picture_runs::Loop(3000, 78.22, 15.65) << QByteArray("Hiking") << none
        << "track start end scale elevation heart-rate" << QStringList{"Hiking", "9.72 km"} << 0.33
        << 8000;
    QTest::newRow("over the antimeridian")
        << picture_runs::OverTheAntimeridian() << QByteArray("Walking") << none
        << "track start end scale elevation" << QStringList{"|0.5 km|", "2.65 km"} << 4.8 << 5000;
    QTest::newRow("no positions: heart rate over time")
        << picture_runs::Treadmill() << QByteArray("Treadmill") << none << "heart-rate"
        << QStringList{"|time|", "|59:58|", "No positions"} << 0.0 << 4000;
    QTest::newRow("no points") << Points{} << QByteArray("Running") << 5000.0 << ""
                               << QStringList{"No points recorded", "5.00 km"} << 0.0 << 2000;
    PicturePoint one;
    one.latitude = 51.5;
    one.longitude = -0.12;
    one.elevation = 11;
    QTest::newRow("one point") << Points{one} << QByteArray("") << none << ""
                               << QStringList{"Run, 2024-06-01 07:12", "One point recorded"} << 0.0
                               << 2000;
    QTest::newRow("points at one place")
        << picture_runs::OnePlace() << QByteArray("Running") << none << "elevation"
        << QStringList{"|All at one place|", "at one place: no track", "|time|", "|29:00|"} << 0.0
        << 4000;
    QTest::newRow("100,000 points")
        << picture_runs::Ultra() << QByteArray("Trail running") << none
        << "track start end scale elevation heart-rate" << QStringList{"|150 km|"} << -1.0 << 24000;
    // Values no run holds are left out, and the rest is drawn.
    Points odd(4, one);
    odd[0].latitude = 95;
    odd[1].longitude = 1e300;
    odd[2] = {kNoValue, 47, 8, 1e300, -5, 1e300};
    odd[3] = {INFINITY, 47.001, 8.001, 400, 600, kNoValue};
    QTest::newRow("values out of range")
        << odd << QByteArray("Running") << none << "track start end scale elevation heart-rate"
        << QStringList{"|0.13 km|", "|400 m|", "|600 bpm|"} << 0.0 << 4000;
    // Markup, a control character and a byte that is no UTF-8 in the texts.
    QTest::newRow("texts escaped")
        << Points{one} << QByteArray("Trail & \"hill\" <run>'s\x01\xff") << none << ""
        << QStringList{"Trail & \"hill\" <run>'s \xEF\xBF\xBD"} << 0.0 << 4000;
}

void TestRunPicture::picture()
{
    QFETCH(Points, points);
    QFETCH(QByteArray, sport);
    QFETCH(double, distance);
    QFETCH(QString, drawn);
    QFETCH(QStringList, texts);
    QFETCH(double, aspect);
    QFETCH(int, mostBytes);

    PictureFacts facts;
    facts.sport = std::string_view(sport.constData(), std::size_t(sport.size()));
    facts.start = "2024-06-01 07:12";
    facts.distance = distance;
    if (drawn.startsWith(u"track start end scale elevation heart-rate") && qIsFinite(distance)) {
        facts.movingTime = 3133;
        facts.ascent = 85.4;
    }
    std::string svg;
    RunPicture().draw(points, facts, svg);

    const Drawn read = Read(svg);
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(XmllintErrors(svg), QString());
    QCOMPARE(read.children.mid(0, 2), (QStringList{"title", "desc"}));
    QVERIFY2(read.exponent.isEmpty(), qPrintable(read.exponent));
    QVERIFY(read.smallestFont >= 11);
    QStringList ids = read.ids, parts = drawn.split(u' ', Qt::SkipEmptyParts);
    ids.sort();
    parts.sort();
    QCOMPARE(ids, parts);
    for (const QString &text : texts)
        QVERIFY2(read.text.contains(text) || read.title.contains(text) || read.desc.contains(text),
                 qPrintable(text + QStringLiteral(" in ") + read.title + QStringLiteral(" / ") +
                            read.text));
    // The title and the visible heading say the same.
    QVERIFY2(read.text.startsWith(read.title.section(u':', 0, 0)), qPrintable(read.text));
    QVERIFY2(svg.size() <= std::size_t(mostBytes), qPrintable(QString::number(svg.size())));
    if (drawn.contains(u"track")) {
        QVERIFY2(read.viewBox.contains(read.track.topLeft()) &&
                     read.viewBox.contains(read.track.bottomRight()),
                 qPrintable(QStringLiteral("%1 %2 %3 %4")
                                .arg(read.track.x())
                                .arg(read.track.y())
                                .arg(read.track.width())
                                .arg(read.track.height())));
        // A long track is drawn from a few hundred points.
        QVERIFY2(read.trackSteps <= 1200, qPrintable(QString::number(read.trackSteps)));
    }
    if (aspect > 0) {
        const double drawnAspect = read.track.width() / read.track.height();
        QVERIFY2(qAbs(drawnAspect / aspect - 1) < 0.1, qPrintable(QString::number(drawnAspect)));
    }
}

// A picture drawn after another owes it nothing.
void TestRunPicture::reusedForTheNextRun()
{
    RunPicture picture;
    std::string first, again;
    const Points loop = picture_runs::Loop();
    picture.draw(loop, {}, first);
    picture.draw(picture_runs::Ultra(), {}, again);
    picture.draw(picture_runs::Treadmill(), {}, again);
    picture.draw(loop, {}, again);
    QCOMPARE(again, first);
}

QTEST_GUILESS_MAIN(TestRunPicture)
#include "test_run_picture.moc"
