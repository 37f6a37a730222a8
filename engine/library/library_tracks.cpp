#include "library/library_tracks.h"

#include "save/day_file_output.h"
#include "text/number_text.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace kelvane {

namespace {

constexpr std::string_view kHeader = "kelvane tracks 1";
// About five metres of latitude.
constexpr double kTolerance = 0.00005;

std::optional<double> degrees(std::string_view text)
{
    double value = 0;
    return readNumber(text, value) ? std::optional(value) : std::nullopt;
}

void appendEscaped(std::string &out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

bool unescape(std::string_view text, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

// Google's polyline alphabet: every character from '?' to '~'.
bool isPolyline(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 63 && c <= 126; });
}

QString fileIn(const QString &folder)
{
    return QDir(folder).filePath(
        QStringLiteral("%1/%2").arg(QLatin1StringView(LibraryTracks::kFolderName),
                                    QLatin1StringView(LibraryTracks::kFileName)));
}

} // namespace

void appendPolylineValue(std::string &out, long long value)
{
    unsigned long long v = value < 0 ? ~(static_cast<unsigned long long>(value) << 1)
                                     : static_cast<unsigned long long>(value) << 1;
    while (v >= 0x20) {
        out += char((0x20 | (v & 0x1f)) + 63);
        v >>= 5;
    }
    out += char(v + 63);
}

bool LibraryTracks::load(const QString &folder, QString &error)
{
    entries.clear();
    const QString path = fileIn(folder);
    QFile file(path);
    if (!file.exists())
        return true;
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    QString reason;
    if (!read(std::string_view(bytes.data(), std::size_t(bytes.size())), reason)) {
        error = QStringLiteral("\"%1\" is damaged (%2); it is written again").arg(path, reason);
        return false;
    }
    return true;
}

bool LibraryTracks::read(std::string_view text, QString &reason)
{
    entries.clear();
    std::size_t lineNumber = 1;
    const auto refuse = [&](const char *why) {
        entries.clear();
        reason = QStringLiteral("line %1: %2").arg(lineNumber).arg(QLatin1StringView(why));
        return false;
    };
    std::size_t end = text.find('\n');
    if (text.substr(0, end) != kHeader)
        return refuse("not a list of tracks kelvane-split writes");
    std::string note;
    while (end != std::string_view::npos && end + 1 < text.size()) {
        ++lineNumber;
        const std::size_t begin = end + 1;
        end = text.find('\n', begin);
        if (end == std::string_view::npos)
            return refuse("the last line is cut short");
        const std::string_view line = text.substr(begin, end - begin);
        const std::size_t first = line.find('\t');
        const std::size_t second = first == line.npos ? line.npos : line.find('\t', first + 1);
        if (second == line.npos || line.find('\t', second + 1) != line.npos)
            return refuse("not three fields");
        const QString name = QString::fromUtf8(line.substr(0, first));
        const std::string_view track = line.substr(second + 1);
        if (name.isEmpty() || entries.contains(name))
            return refuse("a base name empty or twice");
        if (!unescape(line.substr(first + 1, second - first - 1), note))
            return refuse("a note with a stray backslash");
        if (!isPolyline(track))
            return refuse("a track that is no encoded polyline");
        entries.insert(name, {std::string(track), note});
    }
    return true;
}

void LibraryTracks::put(const QString &baseName, const TrackPoints &points, std::string_view note)
{
    entries.insert(baseName, {encode(points), std::string(note)});
}

const LibraryTracks::Entry *LibraryTracks::find(const QString &baseName) const
{
    const auto it = entries.constFind(baseName);
    return it == entries.cend() ? nullptr : &*it;
}

void LibraryTracks::keepOnly(const QSet<QString> &baseNames)
{
    entries.removeIf([&](const auto &entry) { return !baseNames.contains(entry.key()); });
}

std::string LibraryTracks::text() const
{
    QStringList names = entries.keys();
    names.sort();
    std::string out(kHeader);
    out += '\n';
    for (const QString &name : names) {
        const Entry &entry = entries[name];
        out += name.toStdString();
        out += '\t';
        appendEscaped(out, entry.note);
        out += '\t';
        out += entry.track;
        out += '\n';
    }
    return out;
}

bool LibraryTracks::save(const QString &folder, QString &error) const
{
    const QString assets = QDir(folder).filePath(QLatin1StringView(kFolderName));
    if (!QDir().mkpath(assets)) {
        error = QStringLiteral("Cannot make the folder \"%1\"").arg(assets);
        return false;
    }
    const std::string bytes = text();
    DayFileOutput output(assets);
    if (!output.add(QLatin1StringView(kFileName), {std::string_view(bytes)}) || !output.commit()) {
        error = output.error();
        return false;
    }
    return true;
}

std::string LibraryTracks::encode(const TrackPoints &points)
{
    positions.clear();
    const int count = points.size();
    if (points.textsArePlain()) {
        for (int i = 0; i < count; ++i) {
            const RecordedPoint &p = points.recordedAt(i);
            if (p.has & RecordedPoint::kPosition)
                positions.emplace_back(double(p.latitude()) / 1e8, double(p.longitude()) / 1e8);
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const TrackPoint p = points.at(i, TrackPoints::kPlaceTexts | TrackPoints::kOwnPlace);
            if (!p.hasPosition)
                continue;
            const auto latitude = degrees(p.latitude), longitude = degrees(p.longitude);
            if (latitude && longitude && std::abs(*latitude) <= 90 && std::abs(*longitude) <= 180)
                positions.emplace_back(*latitude, *longitude);
        }
    }
    std::string out;
    if (positions.empty())
        return out;

    // Douglas-Peucker on a plane of degrees, longitudes shrunk by the
    // cosine of the track's first latitude; spans kept on a stack.
    const double shrink = std::cos(positions.front().first * M_PI / 180);
    const std::size_t last = positions.size() - 1;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t keptCount = 0;
    for (double tolerance = kTolerance;; tolerance *= 2) {
        kept.assign(positions.size(), 0);
        kept[0] = kept[last] = 1;
        spans.assign(1, {0, last});
        while (!spans.empty()) {
            const auto [from, to] = spans.back();
            spans.pop_back();
            const double ax = positions[from].second * shrink, ay = positions[from].first;
            const double dx = positions[to].second * shrink - ax, dy = positions[to].first - ay;
            const double length2 = dx * dx + dy * dy;
            double farthest = 0;
            std::size_t at = from;
            for (std::size_t i = from + 1; i < to; ++i) {
                const double px = positions[i].second * shrink - ax, py = positions[i].first - ay;
                double d2;
                if (length2 == 0) {
                    d2 = px * px + py * py;
                } else {
                    const double t = std::clamp((px * dx + py * dy) / length2, 0.0, 1.0);
                    const double ex = px - t * dx, ey = py - t * dy;
                    d2 = ex * ex + ey * ey;
                }
                if (d2 > farthest) {
                    farthest = d2;
                    at = i;
                }
            }
            if (farthest > tolerance * tolerance) {
                kept[at] = 1;
                spans.emplace_back(from, at);
                spans.emplace_back(at, to);
            }
        }
        keptCount = std::size_t(std::count(kept.begin(), kept.end(), 1));
        if (keptCount <= kMostPoints)
            break;
    }

    out.reserve(keptCount * 6);
    long long lastLatitude = 0, lastLongitude = 0;
    bool first = true;
    for (std::size_t i = 0; i <= last; ++i) {
        if (!kept[i])
            continue;
        const long long latitude = std::llround(positions[i].first * 1e5);
        const long long longitude = std::llround(positions[i].second * 1e5);
        if (!first && latitude == lastLatitude && longitude == lastLongitude)
            continue;
        appendPolylineValue(out, latitude - lastLatitude);
        appendPolylineValue(out, longitude - lastLongitude);
        lastLatitude = latitude;
        lastLongitude = longitude;
        first = false;
    }
    return out;
}

} // namespace kelvane
