#pragma once

// Builds GPX 1.1 files for tests the way apps write them: two-blank
// indentation, LF line ends, the elements in the order of the GPX schema.

#include <QByteArray>
#include <QList>

namespace gpx_text {

// A track point; an empty time: no time element.
inline QByteArray Point(const QByteArray &time, const QByteArray &lat = "47.6",
                        const QByteArray &lon = "-122.3")
{
    QByteArray text = "      <trkpt lat=\"" + lat + "\" lon=\"" + lon + "\">\n";
    if (!time.isEmpty())
        text += "        <time>" + time + "</time>\n";
    return text + "      </trkpt>\n";
}

// A track of one segment.
inline QByteArray Track(const QList<QByteArray> &points, const QByteArray &name = "Ride")
{
    QByteArray text = "  <trk>\n    <name>" + name + "</name>\n    <trkseg>\n";
    for (const QByteArray &point : points)
        text += point;
    return text + "    </trkseg>\n  </trk>\n";
}

// A whole file holding the waypoints, routes and tracks given.
inline QByteArray Gpx(const QList<QByteArray> &content)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"test\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const QByteArray &part : content)
        text += part;
    return text + "</gpx>\n";
}

inline const QByteArray kWaypoint = "  <wpt lat=\"47.6\" lon=\"-122.3\"/>\n";
inline const QByteArray kRoute = "  <rte><rtept lat=\"47.6\" lon=\"-122.3\"/></rte>\n";

} // namespace gpx_text
