#pragma once

// The picture of a run as SVG 1.1: its track's outline above, its profile
// (elevation and heart rate) below, and its facts as a title. It reads plain
// numbers, so it draws a run of any input format.

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane {

// Not a number: a value the run does not have.
inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// One point of the run; each value kNoValue where the point has none.
struct PicturePoint {
    double time = kNoValue;      // seconds since the Unix epoch
    double latitude = kNoValue;  // degrees, north positive
    double longitude = kNoValue; // degrees, east positive
    double elevation = kNoValue; // metres
    double heartRate = kNoValue; // beats a minute; 0 counts as none
    double distance = kNoValue;  // metres from the start
};

// What the picture's title says of the run. Texts are shown as given (UTF-8;
// escaped here), empty where absent; numbers kNoValue where absent.
struct PictureFacts {
    std::string_view sport;
    std::string_view start;       // the start's date and time, as the title shows it
    double distance = kNoValue;   // metres; taken from the points where absent
    double movingTime = kNoValue; // seconds
    double ascent = kNoValue;     // metres
};

// Draws pictures one after another, reusing its buffers: after the first few
// runs, drawing one allocates nothing but what the SVG text outgrows.
class RunPicture {
  public:
    static constexpr int kWidth = 480;

    // Replaces svg with the picture of the run: 480 pixels wide, as tall as
    // what it shows (544 with an outline, 216 with the profile alone, 104
    // without points). The outline is drawn in Web Mercator, north up, fitted
    // with its aspect kept; the profile over the points' distance, else the
    // distance between their positions (haversine), else their time, averaged
    // over columns two pixels wide. Lines are simplified to half a pixel
    // (Douglas-Peucker), and coarser where a line still holds too many points
    // for a picture of a few kilobytes. Points are read in their order.
    void draw(std::span<const PicturePoint> points, const PictureFacts &facts, std::string &svg);

    // The mean Earth radius the distances between positions are taken with.
    static constexpr double kEarthRadius = 6371008.8;

    struct Pixel {
        double x, y;
    };

  private:
    void drawOutline(std::span<const PicturePoint> points, double top, std::string &svg);
    void drawProfile(std::span<const PicturePoint> points, double top, std::string &svg);
    // Simplifies `line` in place to `tolerance` pixels, and coarser while it
    // keeps more than `most` points.
    void simplify(std::vector<Pixel> &line, double tolerance, std::size_t most);
    void writePath(const std::vector<Pixel> &line, std::string &svg);

    std::vector<Pixel> line, kept;
    std::vector<double> along; // each point's place on the profile's axis
    std::vector<char> keep;
    struct Bin {
        double x = 0, y = 0;
        int count = 0;
    };
    std::vector<Bin> bins;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans;
    double pointsDistance = kNoValue; // the distance the points span, for the title
    bool alongDistance = false;
    bool alongTime = false;
};

} // namespace kelvane
