#pragma once

// Runs to draw, made of numbers: for the picture's Qt test and for the program
// that writes pictures for the browser test.

#include "write/run_picture.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace picture_runs {

using kelvane::PicturePoint;
using Points = std::vector<PicturePoint>;

constexpr double kStart = 1717225920; // 2024-06-01 07:12:00 UTC

// A pseudo-random number in [-1, 1), the same on every machine.
inline double Jitter(std::uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return double(state >> 8) / double(1u << 23) - 1;
}

// A loop of about 10 km around a point, a second apart, with hills and a heart
// rate that climbs with them; no distances, so the picture measures them.
inline Points Loop(int count = 3000, double latitude = 47.37, double longitude = 8.54)
{
    Points points;
    std::uint32_t state = 7;
    for (int i = 0; i < count; ++i) {
        const double turn = 2 * M_PI * i / count;
        const double radius = 0.012 * (1 + 0.35 * std::sin(3 * turn));
        PicturePoint p;
        p.time = kStart + i;
        p.latitude = latitude + radius * std::sin(turn) + 0.00003 * Jitter(state);
        p.longitude = longitude + 1.5 * radius * std::cos(turn) + 0.00003 * Jitter(state);
        p.elevation = 410 + 60 * std::sin(2 * turn) + 15 * std::sin(7 * turn) + Jitter(state);
        p.heartRate = 135 + 20 * std::sin(2 * turn + 0.4) + 3 * Jitter(state);
        points.push_back(p);
    }
    return points;
}

// A run on a treadmill: time and heart rate, no position, no elevation.
inline Points Treadmill(int count = 1800)
{
    Points points;
    std::uint32_t state = 11;
    for (int i = 0; i < count; ++i) {
        PicturePoint p;
        p.time = kStart + 2 * i;
        p.heartRate = 110 + 50.0 * i / count + 2 * Jitter(state);
        points.push_back(p);
    }
    return points;
}

// A run on the spot: COUNT points a minute apart at one place, climbing.
inline Points OnePlace(int count = 30)
{
    Points points;
    for (int i = 0; i < count; ++i) {
        PicturePoint p;
        p.time = kStart + 60 * i;
        p.latitude = 51.5;
        p.longitude = -0.12;
        p.elevation = 11 + i / 3.0;
        points.push_back(p);
    }
    return points;
}

// A walk over the antimeridian on Taveuni, from 179.99 east to 179.99 west.
inline Points OverTheAntimeridian()
{
    Points points;
    for (int i = 0; i <= 200; ++i) {
        PicturePoint p;
        p.time = kStart + 5 * i;
        p.latitude = -16.80 + 0.002 * std::sin(i / 20.0);
        double longitude = 179.99 + 0.0001 * i;
        p.longitude = longitude > 180 ? longitude - 360 : longitude;
        p.elevation = 20 + i / 10.0;
        points.push_back(p);
    }
    return points;
}

// An ultra of 100,000 points a second apart, wandering over 150 km.
inline Points Ultra(int count = 100000)
{
    Points points;
    points.reserve(std::size_t(count));
    std::uint32_t state = 3;
    double latitude = 45.9, longitude = 6.87, heading = 0.3;
    for (int i = 0; i < count; ++i) {
        heading += 0.02 * Jitter(state);
        latitude += 0.000012 * std::cos(heading) + 0.000003 * Jitter(state);
        longitude += 0.000017 * std::sin(heading) + 0.000003 * Jitter(state);
        PicturePoint p;
        p.time = kStart + i;
        p.latitude = latitude;
        p.longitude = longitude;
        p.elevation = 1500 + 900 * std::sin(i / 9000.0) + 2 * Jitter(state);
        p.heartRate = 130 + 15 * std::sin(i / 5000.0) + 4 * Jitter(state);
        p.distance = 1.5 * i;
        points.push_back(p);
    }
    return points;
}

} // namespace picture_runs
