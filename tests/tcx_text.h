#pragma once

// Builds Training Center files for tests the way devices and their programs
// write them: two-blank indentation, LF line ends, the elements in the order
// of the TCX schema.

#include <QByteArray>
#include <QList>

namespace tcx_text {

struct TcxPoint {
    QByteArray time;     // as written in <Time>; empty: no Time element
    QByteArray lat, lon; // empty lat: no Position
    QByteArray alt;      // empty: no AltitudeMeters
    QByteArray extra;    // further children, as written (heart rate, extensions)
};

inline QByteArray Trackpoint(const TcxPoint &p)
{
    QByteArray text = "          <Trackpoint>\n";
    if (!p.time.isEmpty())
        text += "            <Time>" + p.time + "</Time>\n";
    if (!p.lat.isEmpty())
        text += "            <Position>\n"
                "              <LatitudeDegrees>" +
                p.lat +
                "</LatitudeDegrees>\n"
                "              <LongitudeDegrees>" +
                p.lon +
                "</LongitudeDegrees>\n"
                "            </Position>\n";
    if (!p.alt.isEmpty())
        text += "            <AltitudeMeters>" + p.alt + "</AltitudeMeters>\n";
    return text + p.extra + "          </Trackpoint>\n";
}

// An activity of one lap, which starts at lapStart (at the Id when null).
inline QByteArray Activity(const QByteArray &id, const QList<TcxPoint> &points = {},
                           const QByteArray &lapStart = QByteArray(),
                           const QByteArray &sport = "Running")
{
    QByteArray text = "    <Activity Sport=\"" + sport + "\">\n      <Id>" + id +
                      "</Id>\n      <Lap StartTime=\"" + (lapStart.isNull() ? id : lapStart) +
                      "\">\n"
                      "        <TotalTimeSeconds>60</TotalTimeSeconds>\n"
                      "        <DistanceMeters>100.5</DistanceMeters>\n"
                      "        <Calories>7</Calories>\n"
                      "        <Intensity>Active</Intensity>\n"
                      "        <TriggerMethod>Manual</TriggerMethod>\n"
                      "        <Track>\n";
    for (const TcxPoint &point : points)
        text += Trackpoint(point);
    return text + "        </Track>\n      </Lap>\n    </Activity>\n";
}

inline const QByteArray kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
inline const QByteArray kRoot =
    "<TrainingCenterDatabase "
    "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
inline const QByteArray kAuthor = "  <Author xsi:type=\"Application_t\">\n"
                                  "    <Name>Test</Name>\n"
                                  "    <Build>\n"
                                  "      <Version>\n"
                                  "        <VersionMajor>1</VersionMajor>\n"
                                  "        <VersionMinor>0</VersionMinor>\n"
                                  "      </Version>\n"
                                  "    </Build>\n"
                                  "    <LangID>en</LangID>\n"
                                  "    <PartNumber>000-00000-00</PartNumber>\n"
                                  "  </Author>\n";

// A whole file holding the activities.
inline QByteArray Tcx(const QList<QByteArray> &activities, const QByteArray &author = kAuthor)
{
    QByteArray text = kDeclaration + "\n" + kRoot + "\n  <Activities>\n";
    for (const QByteArray &activity : activities)
        text += activity;
    return text + "  </Activities>\n" + author + "</TrainingCenterDatabase>\n";
}

} // namespace tcx_text
