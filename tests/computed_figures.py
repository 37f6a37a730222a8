#!/usr/bin/env python3
"""The figures kelvane-split computes from a run's points, against the same
rules computed here on their own: distance by haversine on a sphere of
6,371,008.8 m, moving time from the intervals at 0.5 m/s or more, ascent and
descent past a 5 m reference, the mean heart rate. The runs are the sample
history and a generated ride of stops, climbs and noise, written both as GPX
1.1 and as a logbook history; every figure must agree to 0.1 %.

Usage: computed_figures.py KELVANE_SPLIT SAMPLE_HISTORY
"""
import calendar
import math
import os
import random
import re
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

SPLIT, SAMPLE = sys.argv[1:3]
RADIUS = 6371008.8
failures = []


def haversine(a, b):
    (lat1, lon1), (lat2, lon2) = [(math.radians(p[0]), math.radians(p[1])) for p in (a, b)]
    h = (math.sin((lat2 - lat1) / 2) ** 2 +
         math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2)
    return 2 * RADIUS * math.asin(math.sqrt(h))


def figures(points):
    """points: (seconds, lat, lon, elevation or None, heart rate or None)."""
    distance = moving = ascent = descent = 0.0
    reference = None
    for before, after in zip(points, points[1:]):
        step = haversine(before[1:3], after[1:3])
        distance += step
        seconds = after[0] - before[0]
        if seconds > 0 and step / seconds >= 0.5:
            moving += seconds
    for point in points:
        elevation = point[3]
        if elevation is None:
            continue
        if reference is None or abs(elevation - reference) > 5:
            if reference is not None:
                ascent += max(0, elevation - reference)
                descent += max(0, reference - elevation)
            reference = elevation
    rates = [p[4] for p in points if p[4] is not None]
    return {"elapsed_s": points[-1][0] - points[0][0], "moving_s": moving,
            "distance_m": distance, "ascent_m": ascent, "descent_m": descent,
            "heart_rate_avg_bpm": sum(rates) / len(rates) if rates else None}


def seconds_of(text):
    return calendar.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%SZ"))


def instant(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


def history_runs(path):
    """The runs of a logbook history, read as XML."""
    text = open(path, encoding="windows-1252").read()
    text = re.sub(r'\sxmlns="[^"]*"', "", text, count=1)
    runs = []
    for run in ElementTree.fromstring(text.encode("utf-8")).iter("Run"):
        points = []
        for point in run.iter("Trackpoint"):
            altitude = point.findtext("Position/Altitude")
            points.append((seconds_of(point.findtext("Time")),
                           float(point.findtext("Position/Latitude")),
                           float(point.findtext("Position/Longitude")),
                           float(altitude) if altitude else None, None))
        runs.append(points)
    return runs


def generated_ride():
    """Two hours a point every 1 to 9 s: rolling, stopping, climbing, with noise."""
    rng = random.Random(20261209)
    points, t, lat, lon, ele = [], seconds_of("2026-06-01T08:00:00Z"), 46.5, 7.9, 600.0
    while len(points) < 3000:
        speed = 0 if rng.random() < 0.08 else rng.uniform(0.2, 14)
        heading = rng.uniform(0, 2 * math.pi)
        lat += speed * 4 * math.cos(heading) / 111195
        lon += speed * 4 * math.sin(heading) / (111195 * math.cos(math.radians(lat)))
        ele += rng.uniform(-2.5, 3.5)
        points.append((t, round(lat, 7), round(lon, 7), round(ele, 1), rng.randint(95, 175)))
        t += rng.randint(1, 9)
    return points


def write_gpx(path, points):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="tests" '
                'xmlns="http://www.topografix.com/GPX/1/1" xmlns:gpxtpx='
                '"http://www.garmin.com/xmlschemas/TrackPointExtension/v1">\n<trk><trkseg>\n')
        for t, lat, lon, ele, hr in points:
            f.write(f'<trkpt lat="{lat}" lon="{lon}"><ele>{ele}</ele><time>{instant(t)}</time>'
                    f'<extensions><gpxtpx:TrackPointExtension><gpxtpx:hr>{hr}</gpxtpx:hr>'
                    '</gpxtpx:TrackPointExtension></extensions></trkpt>\n')
        f.write("</trkseg></trk>\n</gpx>\n")


def write_history(path, points):
    with open(path, "w", encoding="windows-1252", newline="\r\n") as f:
        f.write('<?xml version="1.0" encoding="windows-1252" ?>\n<History xmlns='
                '"http://www.garmin.com/xmlschemas/ForerunnerLogbook" version="1">\n<Run>\n'
                f"<Lap>\n<StartTime>{instant(points[0][0])}</StartTime>\n</Lap>\n<Track>\n")
        for t, lat, lon, ele, _ in points:
            f.write(f"<Trackpoint>\n<Position>\n<Latitude>{lat}</Latitude>\n"
                    f"<Longitude>{lon}</Longitude>\n<Altitude>{ele}</Altitude>\n</Position>\n"
                    f"<Time>{instant(t)}</Time>\n</Trackpoint>\n")
        f.write("</Track>\n</Run>\n</History>\n")


def listed(*inputs):
    result = subprocess.run([SPLIT, "--list", *inputs], capture_output=True, text=True)
    lines = result.stdout.splitlines()
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def compare(name, listing, expected):
    for column, value in expected.items():
        shown = listing.get(column, "")
        if value is None:
            ok = shown == ""
        else:
            ok = shown != "" and abs(float(shown) - value) <= max(0.001 * abs(value), 0.01)
        if not ok:
            failures.append(f"{name}: {column} is {shown!r}, computed {value}")


with tempfile.TemporaryDirectory() as work:
    ride = generated_ride()
    gpx, history = os.path.join(work, "ride.gpx"), os.path.join(work, "ride.xml")
    write_gpx(gpx, ride)
    write_history(history, ride)
    runs = [("ride.gpx", ride), ("ride.xml", [p[:4] + (None,) for p in ride])]
    runs += [(f"sample run {i + 1}", run) for i, run in enumerate(history_runs(SAMPLE))]
    listings = listed(gpx, history, SAMPLE)
    if len(listings) != len(runs):
        failures.append(f"{len(listings)} runs listed, {len(runs)} read")
    for (name, points), listing in zip(runs, listings):
        compare(name, listing, figures(points))

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
