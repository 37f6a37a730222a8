#!/usr/bin/env python3
"""kelvane-split --library: one output folder taking export after export.

Two exports hold the same activities, one as FIT and TCX files and one as
the GPX files kelvane-split makes of them. Converted into one library in either
order, each activity is there once and each duplicate is named; the same
export twice changes no byte; a day file of another activity is never
replaced; a conversion killed half-way and run again ends as one never
stopped; runs.csv reads back with the csv module (and pandas, if installed)
with the columns the manual page documents; a runs.csv not ours is refused.

Usage: library_folder.py KELVANE_SPLIT DATA_FOLDER MANUAL_PAGE
"""
import csv
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

SPLIT, DATA, MANUAL = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def split(folder, *inputs, env=None):
    os.makedirs(folder, exist_ok=True)
    return subprocess.run([SPLIT, "--library", "-C", folder, *inputs],
                          capture_output=True, text=True, env=env)


def contents(folder):
    """Every file below the folder, by its path there, with its bytes."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


def rows(folder):
    with open(os.path.join(folder, "runs.csv"), newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f))


work = tempfile.mkdtemp()
recorded = [os.path.join(DATA, "fit", "fitparse_nick.fit")] + sorted(
    os.path.join(DATA, "tcx", n) for n in os.listdir(os.path.join(DATA, "tcx")))
garmin = os.path.join(work, "garmin.zip")
with zipfile.ZipFile(garmin, "w") as z:
    for path in recorded:
        z.write(path, "activities/" + os.path.basename(path))
made = os.path.join(work, "gpx")
os.makedirs(made)
subprocess.run([SPLIT, "-q", "--gpx-version", "1.1", "-C", made, *recorded], check=True,
               stdout=subprocess.DEVNULL)
strava = os.path.join(work, "strava.zip")
with zipfile.ZipFile(strava, "w") as z:
    for name in sorted(os.listdir(made)):
        z.write(os.path.join(made, name), "activities/" + name)
# One file holds the same activity twice: the library holds it once.
activities = len(os.listdir(made)) - 1

# Either order: each activity once, each duplicate named, nothing written for it.
for first, second in ((garmin, strava), (strava, garmin)):
    folder = os.path.join(work, "both-" + os.path.basename(first))
    check(split(folder, first).returncode == 0, f"{first} converted")
    before = contents(folder)
    done = split(folder, second)
    check(done.returncode == 0, f"{second} converted after {first}: {done.stderr}")
    check(len(rows(folder)) == activities, f"{first} then {second}: every activity once")
    named = [line for line in done.stderr.splitlines() if "is already in the library as" in line]
    read = int(re.search(r"(\d+) runs read", done.stderr).group(1))
    check(len(named) == read, f"{first} then {second}: every duplicate named")
    after = contents(folder)
    check({k: v for k, v in after.items() if k != "runs.csv"} ==
          {k: v for k, v in before.items() if k != "runs.csv"},
          f"{first} then {second}: no day file written or replaced")

# The same export twice changes no byte.
folder = os.path.join(work, "twice")
split(folder, garmin)
once = contents(folder)
check(split(folder, garmin).returncode == 0, "the export converted again")
check(contents(folder) == once, "the same export twice changes no byte")
check(".kelvane/runs-journal.csv" not in once, "no journal is left")

# runs.csv as a spreadsheet or pandas reads it, with the documented columns.
table = rows(folder)
with open(MANUAL, encoding="utf-8") as f:
    manual = f.read().split(".SH LIBRARY")[1].split(".SH ")[0]
columns = list(table[0].keys())
check(columns[:3] == ["base_name", "day_files", "start"], "runs.csv begins with its names")
for column in columns:
    check(f" {column}" in manual, f"the manual page documents column {column}")
check(all(row["input"].startswith(garmin + ": activities/") for row in table),
      "each row names its input")
check(all(float(row["distance_m"]) > 0 and float(row["elapsed_s"]) > 0 for row in table),
      "each row has its distance and elapsed time")
try:
    import pandas
    frame = pandas.read_csv(os.path.join(folder, "runs.csv"))
    check(list(frame.columns) == columns and len(frame) == len(table), "pandas reads runs.csv")
except ImportError:
    print("pandas is not installed: runs.csv read with the csv module alone")

# A day file of another activity keeps its number: new runs go after it.
folder = os.path.join(work, "taken")
os.makedirs(folder)
for row in table:
    with open(os.path.join(folder, row["base_name"] + ".notes"), "w") as f:
        f.write("mine")
split(folder, garmin)
check(all(contents(folder)[row["base_name"] + ".notes"] == b"mine" for row in table),
      "a file of the folder is left alone")
check(not {r["base_name"] for r in rows(folder)} & {r["base_name"] for r in table},
      "new runs are numbered after the folder's files")

# Killed half-way, after every number of runs, and run again: as never stopped.
for killed_after in range(1, activities + 1):
    folder = os.path.join(work, f"killed-{killed_after}")
    env = dict(os.environ, KELVANE_TEST_KILLED_AFTER_ROWS=str(killed_after))
    check(split(folder, garmin, env=env).returncode < 0, f"killed after {killed_after} rows")
    again = split(folder, garmin)
    check(again.returncode == 0, f"converted again after the kill: {again.stderr}")
    check(contents(folder) == once, f"killed after {killed_after} rows: as never stopped")

# A runs.csv that is not ours is refused, and nothing is written.
folder = os.path.join(work, "not-ours")
os.makedirs(folder)
with open(os.path.join(folder, "runs.csv"), "w") as f:
    f.write("name,date\r\nmine,2020-01-01\r\n")
refused = split(folder, garmin)
check(refused.returncode == 1 and "runs.csv" in refused.stderr and "line 1" in refused.stderr,
      f"a runs.csv not ours is refused with its line: {refused.stderr}")
check(sorted(os.listdir(folder)) == ["runs.csv"], "nothing is written beside a runs.csv not ours")

# A history converted again with --high-ascii (the notes of its document
# change): the same runs, their day files written again under their names,
# none named a duplicate.
folder = os.path.join(work, "high-ascii")
history = os.path.join(os.path.dirname(DATA), "..", "examples", "walk.xml")
split(folder, "--xml", history)
before = contents(folder)
again = split(folder, "--xml", "--high-ascii", history)
check("already in the library" not in again.stderr, "a run read again is no duplicate")
after = contents(folder)
check(after.keys() == before.keys() and after != before,
      "its day files written again with --high-ascii under their names")

# A run too long to be held whole, its document written as it is read: its
# day file as without --library, its fingerprint that of its bytes (as for
# the runs held whole); the same activity from another input leaves no file.
points = "".join(
    f'<trkpt lat="47.{i:06d}" lon="8.{i:06d}"><ele>400.0</ele>'
    f"<time>2020-01-01T{i // 3600:02d}:{i // 60 % 60:02d}:{i % 60:02d}Z</time></trkpt>\n"
    for i in range(600, 80000))
for name in ("long.gpx", "other.gpx"):
    with open(os.path.join(work, name), "w") as f:
        f.write(f'<?xml version="1.0"?>\n<gpx version="1.1" creator="{name}" '
                f'xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>\n{points}'
                "</trkseg></trk></gpx>\n")
plain = os.path.join(work, "long-plain")
os.makedirs(plain)
subprocess.run([SPLIT, "-q", "-C", plain, os.path.join(work, "long.gpx")], check=True,
               stdout=subprocess.DEVNULL)
folder = os.path.join(work, "long")
split(folder, os.path.join(work, "long.gpx"))
(row,) = rows(folder)
day_file = contents(folder)[row["base_name"] + ".gpx"]
check(day_file == contents(plain)[row["base_name"] + ".gpx"], "a long run's day file as without")
for library in (folder, os.path.join(work, "twice")):
    files = contents(library)
    for checked in rows(library):
        own = checked["base_name"] + os.path.splitext(checked["input"])[1]
        if own in files:
            check(hashlib.sha256(files[own]).hexdigest() ==
                  checked["fingerprint"], f"the fingerprint of {own} is of its bytes")
# A library written before fingerprints were SHA-256 holds BLAKE2b-160: its
# run, read from another input (held whole, or written as read), is still that
# run, and keeps the fingerprint it had.
for name in ("three_days.gpx", "long.gpx"):
    source = os.path.join(DATA, "gpx", name) if name == "three_days.gpx" else os.path.join(work, name)
    earlier = os.path.join(work, "earlier-" + name)
    split(earlier, source)
    csv_path = os.path.join(earlier, "runs.csv")
    with open(csv_path, "rb") as f:
        text = f.read()
    files = contents(earlier)
    prints = {}
    for checked in rows(earlier):
        own = files[checked["base_name"] + ".gpx"]
        prints[checked["base_name"]] = hashlib.blake2b(own, digest_size=20).hexdigest()
        text = text.replace(checked["fingerprint"].encode(), prints[checked["base_name"]].encode())
    with open(csv_path, "wb") as f:
        f.write(text)
    copy = os.path.join(work, "copy-" + name)
    with open(source, "rb") as f, open(copy, "wb") as g:
        g.write(f.read())
    again = split(earlier, copy)
    check(again.returncode == 0 and "already in the library" not in again.stderr,
          f"{name}: an earlier library's runs known by their bytes")
    check({r["base_name"]: r["fingerprint"] for r in rows(earlier)} == prints,
          f"{name}: an earlier library's runs keep their fingerprints")

before = contents(folder)
duplicate = split(folder, os.path.join(work, "other.gpx"))
check("already in the library" in duplicate.stderr, "the long run's other recording is named")
check({k: v for k, v in contents(folder).items() if k != "runs.csv"} ==
      {k: v for k, v in before.items() if k != "runs.csv"},
      "the long run's other recording leaves no file")

sys.exit(1 if failures else 0)
