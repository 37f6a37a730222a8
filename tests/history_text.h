#pragma once

// Builds history files for tests the way a logbook program writes them:
// space indentation, CR LF line ends; and the files and folders of the tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

namespace history_text {

struct Point {
    QByteArray lat, lon, alt, time; // time as written in <Time>, e.g. 2004-10-25T13:45:10Z
};

inline QByteArray Lines(const QList<QByteArray> &lines, const QByteArray &end = "\r\n")
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + end;
    return text;
}

inline QList<QByteArray> Run(const QByteArray &startTime, const QList<Point> &points = {},
                             const QByteArray &note = QByteArray())
{
    QList<QByteArray> lines = {"    <Run>",
                               "        <Notes>" + note + "</Notes>",
                               "        <Lap>",
                               "            <StartTime>" + startTime + "</StartTime>",
                               "            <Duration>PT60.000S</Duration>",
                               "        </Lap>",
                               "        <Track>"};
    for (const Point &p : points) {
        lines << "            <Trackpoint>"
              << "                <Position>"
              << "                    <Latitude>" + p.lat + "</Latitude>"
              << "                    <Longitude>" + p.lon + "</Longitude>"
              << "                    <Altitude>" + p.alt + "</Altitude>"
              << "                </Position>"
              << "                <Time>" + p.time + "</Time>"
              << "            </Trackpoint>";
    }
    lines << "        </Track>"
          << "    </Run>";
    return lines;
}

inline const QByteArray kDeclaration = "<?xml version=\"1.0\" ?>";
inline const QByteArray kHistory =
    "<History xmlns=\"http://www.garmin.com/xmlschemas/ForerunnerLogbook\" version=\"1\">";

// A whole history file holding the given runs' lines.
inline QByteArray History(const QList<QList<QByteArray>> &runs, const QByteArray &end = "\r\n")
{
    QList<QByteArray> lines = {kDeclaration, kHistory};
    for (const auto &run : runs)
        lines += run;
    lines << "</History>";
    return Lines(lines, end);
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes the folder, or empties it where it is there.
inline bool EmptyFolder(const QString &path)
{
    return QDir(path).removeRecursively() && QDir().mkpath(path);
}

} // namespace history_text
