#include "write/run_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kelvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180;

// The layout, in pixels of the picture.
constexpr double kMargin = 16;
constexpr double kHeaderHeight = 60;
constexpr double kMapHeight = 328;     // the track's box and its scale bar beneath
constexpr double kProfileHeight = 156; // the legend, the plot and its labels
constexpr double kNoPointsHeight = 104;
constexpr double kPlotLeft = 64, kPlotRight = RunPicture::kWidth - 64;

// One palette for light and dark backgrounds alike, the picture itself having
// none: each colour stands out from white and from black by about the same
// contrast, 4.3:1 or more.
constexpr std::string_view kText = "#767676";
constexpr std::string_view kTrack = "#d9480f";
constexpr std::string_view kElevation = "#0c8599";
constexpr std::string_view kHeartRate = "#d6336c";
constexpr std::string_view kStart = "#2b8a3e";
constexpr std::string_view kEnd = "#4c6ef5";
constexpr std::string_view kFont = "font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\"";

// The outline keeps at most this many points, each series of the profile this
// many: more cannot be told apart at the picture's size.
constexpr std::size_t kMostOutlinePoints = 1200;
constexpr std::size_t kMostProfilePoints = 500;
// Douglas-Peucker runs within pieces of this many points, whose ends it keeps:
// a long track that folds on itself (laps of a stadium) then costs no more
// than the pieces' squares.
constexpr std::size_t kPiece = 4096;
// The profile's columns, in pixels (the factor 0.5 below).
constexpr double kColumn = 2;

// A value no run holds (1e300 metres up) counts as none: the picture's sums
// and differences then stay finite.
bool has(double value)
{
    return std::abs(value) <= 1e12;
}
bool hasPosition(const PicturePoint &point)
{
    return has(point.latitude) && has(point.longitude) && std::abs(point.latitude) <= 90 &&
           std::abs(point.longitude) <= 360;
}
bool hasHeartRate(const PicturePoint &point)
{
    return has(point.heartRate) && point.heartRate > 0;
}

// The distance between a and b, with the cosines of their latitudes given
// (each point's is taken once, for the step before it and the one after).
double haversine(const PicturePoint &a, double cosA, const PicturePoint &b, double cosB)
{
    const double sinLat = std::sin((b.latitude - a.latitude) * kRadians / 2);
    const double sinLon = std::sin((b.longitude - a.longitude) * kRadians / 2);
    const double h = sinLat * sinLat + cosA * cosB * sinLon * sinLon;
    return 2 * RunPicture::kEarthRadius * std::asin(std::sqrt(std::min(1.0, h)));
}

// Web Mercator's y of a latitude, for latitudes the projection shows.
double mercatorY(double latitude)
{
    // ln(tan(pi/4 + latitude/2)), with a sine in place of the dearer tangent.
    const double sine = std::sin(std::clamp(latitude, -85.05113, 85.05113) * kRadians);
    return 0.5 * std::log((1 + sine) / (1 - sine));
}

// Appends an integer.
void appendInteger(std::string &out, long long value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// Appends tenths as a decimal number of at most one decimal: 123 as "12.3",
// 120 as "12", never in exponent form.
void appendTenths(std::string &out, long long tenths)
{
    if (tenths < 0) {
        out += '-';
        tenths = -tenths;
    }
    appendInteger(out, tenths / 10);
    if (tenths % 10) {
        out += '.';
        out += char('0' + tenths % 10);
    }
}

// A value rounded to a whole number, held where a long long can hold it.
long long rounded(double value)
{
    return std::llround(std::clamp(value, -1e15, 1e15));
}
long long tenths(double value)
{
    return rounded(value * 10);
}

void appendNumber(std::string &out, double value, int decimals = 1)
{
    if (decimals == 1) {
        appendTenths(out, tenths(value));
        return;
    }
    const long long scale = decimals == 2 ? 100 : 1;
    long long scaled = rounded(value * double(scale));
    if (scaled < 0) {
        out += '-';
        scaled = -scaled;
    }
    appendInteger(out, scaled / scale);
    if (scale == 100) {
        out += '.';
        out += char('0' + scaled / 10 % 10);
        out += char('0' + scaled % 10);
    }
}

// Appends UTF-8 text as XML character data or an attribute's value, showing
// at most `most` characters (the last of them "…" where it is cut). Bytes that
// are no UTF-8 become U+FFFD and control characters spaces, which XML 1.0
// cannot hold.
void appendText(std::string &out, std::string_view text, std::size_t most = 1000)
{
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (shown + 1 == most && text.size() - i > 0) {
            // Cut only where more than one character remains.
            std::size_t rest = 0;
            for (std::size_t j = i; j < text.size() && rest < 2; ++j)
                rest += (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80;
            if (rest > 1) {
                out += "\xE2\x80\xA6";
                return;
            }
        }
        const auto c = static_cast<unsigned char>(text[i]);
        ++shown;
        if (c < 0x80) {
            ++i;
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c < 0x20 || c == 0x7F ? ' ' : char(c);
            }
            continue;
        }
        // The length of a well-formed sequence starting here, or 0.
        std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        if (length && i + length <= text.size()) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            const bool secondFits =
                (c == 0xE0 && second >= 0xA0) || (c == 0xED && second <= 0x9F) ||
                (c == 0xF0 && second >= 0x90) || (c == 0xF4 && second <= 0x8F) ||
                (c != 0xE0 && c != 0xED && c != 0xF0 && c != 0xF4);
            bool continued = secondFits;
            for (std::size_t k = 1; k < length && continued; ++k)
                continued = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            // U+FFFE and U+FFFF are no XML characters either.
            if (continued && c == 0xEF && second == 0xBF &&
                static_cast<unsigned char>(text[i + 2]) >= 0xBE)
                continued = false;
            if (!continued)
                length = 0;
        } else {
            length = 0;
        }
        if (length) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
}

// Hours, minutes and seconds: "1:02:03", or "2:03" under an hour.
void appendDuration(std::string &out, double seconds)
{
    const long long whole = std::max(0LL, rounded(seconds));
    const auto twoDigits = [&out](long long value) {
        out += char('0' + value / 10);
        out += char('0' + value % 10);
    };
    if (whole >= 3600) {
        appendInteger(out, whole / 3600);
        out += ':';
        twoDigits(whole / 60 % 60);
    } else {
        appendInteger(out, whole / 60);
    }
    out += ':';
    twoDigits(whole % 60);
}

// Kilometres of a distance in metres: two decimals, one from 100 km.
void appendKilometres(std::string &out, double metres)
{
    appendNumber(out, metres / 1000, metres < 100000 ? 2 : 1);
    out += " km";
}

// The distance from p to the segment from a to b, squared.
double squaredDistance(RunPicture::Pixel p, RunPicture::Pixel a, RunPicture::Pixel b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    double t = length > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

struct Facts {
    std::string_view sport;
    std::string_view start;
    double distance, movingTime, ascent;
};

// "Running, 2024-06-01 07:12": the sport, and the start where known.
void appendHeading(std::string &out, const Facts &facts, std::size_t most)
{
    appendText(out, facts.sport.empty() ? std::string_view("Run") : facts.sport, most);
    if (!facts.start.empty()) {
        out += ", ";
        appendText(out, facts.start, 40);
    }
}

// "10.02 km, 52:13 moving, 85 m ascent", of the facts known.
void appendFigures(std::string &out, const Facts &facts)
{
    const std::size_t before = out.size();
    const auto separate = [&] {
        if (out.size() > before)
            out += ", ";
    };
    if (has(facts.distance)) {
        appendKilometres(out, facts.distance);
    }
    if (has(facts.movingTime)) {
        separate();
        appendDuration(out, facts.movingTime);
        out += " moving";
    }
    if (has(facts.ascent)) {
        separate();
        appendInteger(out, rounded(facts.ascent));
        out += " m ascent";
    }
}

// Opens a text element at x, y.
void openText(std::string &svg, double x, double y, int size, std::string_view colour,
              std::string_view anchor = "start", bool bold = false)
{
    svg += "<text x=\"";
    appendNumber(svg, x);
    svg += "\" y=\"";
    appendNumber(svg, y);
    svg += "\" font-size=\"";
    appendInteger(svg, size);
    svg += "\" fill=\"";
    svg += colour;
    svg += '"';
    if (anchor != "start") {
        svg += " text-anchor=\"";
        svg += anchor;
        svg += '"';
    }
    if (bold)
        svg += " font-weight=\"bold\"";
    svg += '>';
}

} // namespace

void RunPicture::draw(std::span<const PicturePoint> points, const PictureFacts &given,
                      std::string &svg)
{
    svg.clear();

    // The profile's axis: the points' own distance, else the distance between
    // their positions, else their time.
    along.assign(points.size(), kNoValue);
    alongDistance = std::any_of(points.begin(), points.end(),
                                [](const PicturePoint &p) { return has(p.distance); });
    // Positions all at one place (within a metre) make no track to draw.
    std::size_t positioned = 0;
    double south = INFINITY, north = -INFINITY, west = INFINITY, east = -INFINITY;
    for (const PicturePoint &point : points) {
        if (!hasPosition(point))
            continue;
        ++positioned;
        south = std::min(south, point.latitude);
        north = std::max(north, point.latitude);
        west = std::min(west, point.longitude);
        east = std::max(east, point.longitude);
    }
    const double metresPerDegree = kEarthRadius * kRadians;
    const bool onePlace = positioned > 0 && (north - south) * metresPerDegree < 1 &&
                          (east - west) * metresPerDegree * std::cos(south * kRadians) < 1;
    const bool positions = positioned > 0 && !onePlace;
    const bool onePoint = points.size() == 1;
    alongTime = false;
    pointsDistance = kNoValue;
    if (alongDistance) {
        for (std::size_t i = 0; i < points.size(); ++i)
            along[i] = points[i].distance;
    } else if (positions) {
        alongDistance = true;
        double covered = 0, lastCos = 0;
        const PicturePoint *last = nullptr;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (hasPosition(points[i])) {
                const double cos = std::cos(points[i].latitude * kRadians);
                if (last)
                    covered += haversine(*last, lastCos, points[i], cos);
                last = &points[i];
                lastCos = cos;
            }
            if (last)
                along[i] = covered;
        }
    } else if (std::any_of(points.begin(), points.end(),
                           [](const PicturePoint &p) { return has(p.time); })) {
        alongTime = true;
        for (std::size_t i = 0; i < points.size(); ++i)
            along[i] = points[i].time;
    } else {
        for (std::size_t i = 0; i < points.size(); ++i)
            along[i] = double(i);
    }
    bool elevations = false, heartRates = false;
    double least = INFINITY, most = -INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!has(along[i]))
            continue;
        least = std::min(least, along[i]);
        most = std::max(most, along[i]);
        elevations = elevations || has(points[i].elevation);
        heartRates = heartRates || hasHeartRate(points[i]);
    }
    if (alongDistance && least <= most)
        pointsDistance = most - least;

    Facts facts{given.sport, given.start, given.distance, given.movingTime, given.ascent};
    if (!has(facts.distance) && has(pointsDistance))
        facts.distance = pointsDistance;

    const double height = points.empty() || onePoint ? kNoPointsHeight
                          : positions                ? kHeaderHeight + kMapHeight + kProfileHeight
                                                     : kHeaderHeight + kProfileHeight;

    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    appendInteger(svg, kWidth);
    svg += "\" height=\"";
    appendNumber(svg, height);
    svg += "\" viewBox=\"0 0 ";
    appendInteger(svg, kWidth);
    svg += ' ';
    appendNumber(svg, height);
    svg += "\" ";
    svg += kFont;
    svg += ">\n<title>";
    appendHeading(svg, facts, 1000);
    const std::size_t figuresAt = svg.size();
    appendFigures(svg, facts);
    if (svg.size() > figuresAt)
        svg.insert(figuresAt, ": ");
    svg += "</title>\n<desc>";
    if (points.empty())
        svg += "No points were recorded in this run.";
    else if (onePoint)
        svg += "One point was recorded in this run.";
    else if (onePlace)
        svg += "All its positions were recorded at one place: no track is drawn.";
    else if (positions)
        svg += "The track drawn north up, its start a circle and its end a square, with a "
               "scale bar in kilometres.";
    else
        svg += "No positions were recorded in this run.";
    if (!points.empty() && !onePoint) {
        svg += elevations && heartRates ? " Below, elevation and heart rate over "
               : elevations             ? " Below, elevation over "
               : heartRates             ? " Below, heart rate over "
                                        : " No elevation or heart rate was recorded.";
        if (elevations || heartRates)
            svg += alongDistance ? "distance." : alongTime ? "time." : "the points.";
    }
    svg += "</desc>\n";

    openText(svg, kMargin, 28, 16, kText, "start", true);
    appendHeading(svg, facts, 30);
    svg += "</text>\n";
    const std::size_t before = svg.size();
    openText(svg, kMargin, 48, 13, kText);
    const std::size_t figuresStart = svg.size();
    appendFigures(svg, facts);
    if (onePlace && !onePoint)
        svg += svg.size() > figuresStart ? ", all at one place" : "All at one place";
    if (svg.size() == figuresStart)
        svg.resize(before);
    else
        svg += "</text>\n";

    if (points.empty() || onePoint) {
        openText(svg, kWidth / 2.0, 84, 13, kText, "middle");
        svg += points.empty() ? "No points recorded</text>\n" : "One point recorded</text>\n";
    } else {
        if (positions)
            drawOutline(points, kHeaderHeight, svg);
        drawProfile(points, positions ? kHeaderHeight + kMapHeight : kHeaderHeight, svg);
    }
    svg += "</svg>\n";
}

void RunPicture::drawOutline(std::span<const PicturePoint> points, double top, std::string &svg)
{
    // Mercator's x and y, longitudes carried on across the antimeridian so a
    // track crossing it stays whole.
    line.clear();
    double lastLongitude = kNoValue;
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (const PicturePoint &point : points) {
        if (!hasPosition(point))
            continue;
        // The turn of the longitude nearest the last.
        double longitude = point.longitude;
        if (has(lastLongitude))
            longitude -= 360 * std::round((longitude - lastLongitude) / 360);
        lastLongitude = longitude;
        const Pixel p{longitude * kRadians, mercatorY(point.latitude)};
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        line.push_back(p);
    }

    // Fitted into its box with its aspect kept, and at least 200 m across so
    // a run on the spot is no single dot blown up.
    const double left = kMargin + 8, right = kWidth - kMargin - 8;
    const double boxTop = top + 8, boxBottom = top + kMapHeight - 36;
    const double centreLatitude = 2 * std::atan(std::exp((minY + maxY) / 2)) - kPi / 2;
    const double metresPerUnit = kEarthRadius * std::cos(centreLatitude);
    const double least = 200 / metresPerUnit;
    const double scale = std::min((right - left) / std::max(maxX - minX, least),
                                  (boxBottom - boxTop) / std::max(maxY - minY, least));
    const double offsetX = left + ((right - left) - (maxX - minX) * scale) / 2;
    const double offsetY = boxTop + ((boxBottom - boxTop) - (maxY - minY) * scale) / 2;
    for (Pixel &p : line)
        p = {offsetX + (p.x - minX) * scale, offsetY + (maxY - p.y) * scale};
    const Pixel start = line.front(), end = line.back();

    simplify(line, 0.5, kMostOutlinePoints);
    svg += "<path id=\"track\" fill=\"none\" stroke=\"";
    svg += kTrack;
    svg += "\" stroke-width=\"3\" stroke-linejoin=\"round\" stroke-linecap=\"round\" d=\"";
    writePath(line, svg);
    // The end beneath the start, so a loop shows both.
    svg += "\"/>\n<rect id=\"end\" width=\"12\" height=\"12\" fill=\"";
    svg += kEnd;
    svg += "\" x=\"";
    appendNumber(svg, end.x - 6);
    svg += "\" y=\"";
    appendNumber(svg, end.y - 6);
    svg += "\"><title>end</title></rect>\n<circle id=\"start\" r=\"4.5\" fill=\"";
    svg += kStart;
    svg += "\" cx=\"";
    appendNumber(svg, start.x);
    svg += "\" cy=\"";
    appendNumber(svg, start.y);
    svg += "\"><title>start</title></circle>\n";

    // The scale bar: the longest round length (1, 2 or 5 times a power of
    // ten metres) of at most 120 pixels at the track's middle latitude.
    const double pixelsPerMetre = scale / metresPerUnit;
    double length = std::pow(10.0, std::floor(std::log10(120 / pixelsPerMetre)));
    for (const double step : {5.0, 2.0, 1.0})
        if (length * step * pixelsPerMetre <= 120) {
            length *= step;
            break;
        }
    const double barY = top + kMapHeight - 14, barLeft = kMargin + 8;
    const double barRight = barLeft + length * pixelsPerMetre;
    svg += "<path id=\"scale\" fill=\"none\" stroke=\"";
    svg += kText;
    svg += "\" stroke-width=\"1.5\" d=\"M";
    appendNumber(svg, barLeft);
    svg += ' ';
    appendNumber(svg, barY - 5);
    svg += "V";
    appendNumber(svg, barY);
    svg += "H";
    appendNumber(svg, barRight);
    svg += "V";
    appendNumber(svg, barY - 5);
    svg += "\"/>\n";
    openText(svg, barRight + 6, barY + 1, 12, kText);
    const double kilometres = length / 1000;
    appendNumber(svg, kilometres, kilometres >= 1 ? 0 : kilometres >= 0.1 ? 1 : 2);
    svg += " km</text>\n";
}

void RunPicture::drawProfile(std::span<const PicturePoint> points, double top, std::string &svg)
{
    double first = INFINITY, last = -INFINITY;
    double lowest = INFINITY, highest = -INFINITY, slowest = INFINITY, fastest = -INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!has(along[i]))
            continue;
        const bool elevation = has(points[i].elevation), heartRate = hasHeartRate(points[i]);
        if (elevation) {
            lowest = std::min(lowest, points[i].elevation);
            highest = std::max(highest, points[i].elevation);
        }
        if (heartRate) {
            slowest = std::min(slowest, points[i].heartRate);
            fastest = std::max(fastest, points[i].heartRate);
        }
        if (elevation || heartRate) {
            first = std::min(first, along[i]);
            last = std::max(last, along[i]);
        }
    }
    const bool elevations = lowest <= highest, heartRates = slowest <= fastest;
    if (!elevations && !heartRates) {
        openText(svg, kWidth / 2.0, top + 40, 13, kText, "middle");
        svg += "No elevation or heart rate recorded</text>\n";
        return;
    }

    const double plotTop = top + 28, plotBottom = top + kProfileHeight - 28;
    const double xScale = (kPlotRight - kPlotLeft) / (last > first ? last - first : 1);
    // One series over the plot's width, filling its height; but a flat one is
    // drawn flat: at least 20 m or 20 beats a minute from bottom to top. Its
    // lowest and highest values are labelled where they are drawn, beside the
    // plot at labelX.
    const auto series = [&](double PicturePoint::*value, bool positive, double lowestValue,
                            double highestValue, std::string_view colour, std::string_view id,
                            bool area, double labelX, std::string_view anchor,
                            std::string_view unit) {
        const double middle = (lowestValue + highestValue) / 2;
        const double low = std::min(lowestValue, middle - 10);
        const double high = std::max(highestValue, middle + 10);
        const double yScale = (plotBottom - plotTop) / (high - low);
        // Averaged over columns two pixels wide first: a second's noise in a
        // long run is no line the picture can show.
        bins.assign(std::size_t((kPlotRight - kPlotLeft) / kColumn) + 1, Bin{});
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double v = points[i].*value;
            if (!has(along[i]) || !has(v) || (positive && v <= 0))
                continue;
            const double x = kPlotLeft + (along[i] - first) * xScale;
            const double column = std::clamp((x - kPlotLeft) * 0.5, 0.0, double(bins.size() - 1));
            Bin &bin = bins[std::size_t(column)];
            bin.x += x;
            bin.y += plotBottom - (v - low) * yScale;
            ++bin.count;
        }
        line.clear();
        for (const Bin &bin : bins)
            if (bin.count)
                line.push_back({bin.x / bin.count, bin.y / bin.count});
        simplify(line, 0.5, kMostProfilePoints);
        if (area) {
            svg += "<path fill=\"";
            svg += colour;
            svg += "\" fill-opacity=\"0.2\" stroke=\"none\" d=\"";
            writePath(line, svg);
            svg += 'V';
            appendNumber(svg, plotBottom);
            svg += 'H';
            appendNumber(svg, line.front().x);
            svg += "Z\"/>\n";
        }
        svg += "<path id=\"";
        svg += id;
        svg += "\" fill=\"none\" stroke=\"";
        svg += colour;
        svg += "\" stroke-width=\"1.5\" stroke-linejoin=\"round\" stroke-linecap=\"round\" d=\"";
        writePath(line, svg);
        svg += "\"/>\n";

        const double highY = plotBottom - (highestValue - low) * yScale;
        const double lowY = plotBottom - (lowestValue - low) * yScale;
        openText(svg, labelX, highY + 4, 11, colour, anchor);
        appendInteger(svg, rounded(highestValue));
        svg += unit;
        svg += "</text>\n";
        if (lowY - highY >= 14) {
            openText(svg, labelX, lowY + 4, 11, colour, anchor);
            appendInteger(svg, rounded(lowestValue));
            svg += unit;
            svg += "</text>\n";
        }
    };

    // The plot's base line.
    svg += "<path fill=\"none\" stroke=\"";
    svg += kText;
    svg += "\" stroke-opacity=\"0.5\" d=\"M";
    appendNumber(svg, kPlotLeft);
    svg += ' ';
    appendNumber(svg, plotBottom + 0.5);
    svg += 'H';
    appendNumber(svg, kPlotRight);
    svg += "\"/>\n";

    if (elevations) {
        series(&PicturePoint::elevation, false, lowest, highest, kElevation, "elevation", true,
               kPlotLeft - 6, "end", " m");
        openText(svg, kPlotLeft, top + 14, 12, kElevation);
        svg += "elevation</text>\n";
    }
    if (heartRates) {
        series(&PicturePoint::heartRate, true, slowest, fastest, kHeartRate, "heart-rate", false,
               kPlotRight + 6, "start", " bpm");
        openText(svg, kPlotRight, top + 14, 12, kHeartRate, "end");
        svg += "heart rate</text>\n";
    }

    // The axis: from the start to the end of the distance or the time.
    if (alongDistance || alongTime) {
        openText(svg, kPlotLeft, plotBottom + 18, 11, kText);
        svg += alongDistance ? "0 km" : "0:00";
        svg += "</text>\n";
        openText(svg, kPlotRight, plotBottom + 18, 11, kText, "end");
        if (alongDistance)
            appendKilometres(svg, last - first);
        else
            appendDuration(svg, last - first);
        svg += "</text>\n";
        openText(svg, kWidth / 2.0, plotBottom + 18, 11, kText, "middle");
        svg += alongDistance ? "distance" : "time";
        svg += "</text>\n";
    }
}

void RunPicture::simplify(std::vector<Pixel> &points, double tolerance, std::size_t most)
{
    for (;;) {
        const std::size_t count = points.size();
        if (count <= 2)
            return;
        keep.assign(count, 0);
        const double squared = tolerance * tolerance;
        for (std::size_t from = 0; from + 1 < count; from += kPiece) {
            const std::size_t to = std::min(from + kPiece, count - 1);
            keep[from] = keep[to] = 1;
            spans.clear();
            spans.emplace_back(std::uint32_t(from), std::uint32_t(to));
            while (!spans.empty()) {
                const auto [a, b] = spans.back();
                spans.pop_back();
                double farthest = 0;
                std::uint32_t at = a;
                for (std::uint32_t i = a + 1; i < b; ++i) {
                    const double d = squaredDistance(points[i], points[a], points[b]);
                    if (d > farthest) {
                        farthest = d;
                        at = i;
                    }
                }
                if (farthest > squared) {
                    keep[at] = 1;
                    spans.emplace_back(a, at);
                    spans.emplace_back(at, b);
                }
            }
        }
        kept.clear();
        for (std::size_t i = 0; i < count; ++i)
            if (keep[i])
                kept.push_back(points[i]);
        points.swap(kept);
        if (points.size() <= most)
            return;
        tolerance *= 2;
    }
}

void RunPicture::writePath(const std::vector<Pixel> &points, std::string &svg)
{
    // Relative steps between coordinates rounded to tenths: short, and free
    // of the rounding errors a sum of rounded steps would gather.
    long long x = tenths(points.front().x), y = tenths(points.front().y);
    svg += 'M';
    appendTenths(svg, x);
    svg += ' ';
    appendTenths(svg, y);
    bool stepped = false;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const long long nextX = tenths(points[i].x), nextY = tenths(points[i].y);
        if (nextX == x && nextY == y)
            continue;
        svg += stepped ? ' ' : 'l';
        stepped = true;
        appendTenths(svg, nextX - x);
        if (nextY - y >= 0)
            svg += ' ';
        appendTenths(svg, nextY - y);
        x = nextX;
        y = nextY;
    }
    // A single point still draws: a round cap of no length.
    if (!stepped)
        svg += "l0 0";
}

} // namespace kelvane
