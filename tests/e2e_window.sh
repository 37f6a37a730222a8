#!/usr/bin/env bash
# Drives the built window as a user would: kelvane starts in a scratch folder
# under a virtual X server, a real mouse click lands on "Last 7 Days", and the
# day files and the program's exit are checked; then once more on a Training
# Center file chosen in the window's file list.
# Usage: e2e_window.sh PATH_TO_KELVANE VERSION. Exit 77 (skipped) without Xvfb or xdotool.
set -euo pipefail

kelvane=$(realpath "$1")
title="Kelvane $2"
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    ls -l "$work/folder" || true
    exit 1
}

# Runs 10 days ago, 3 days ago and this morning: "Last 7 Days" keeps the last two.
run() {
    printf '    <Run>\r\n        <Lap>\r\n            <StartTime>%sT06:30:00Z</StartTime>\r\n' "$1"
    printf '        </Lap>\r\n        <Track>\r\n            <Trackpoint>\r\n'
    printf '                <Position>\r\n                    <Latitude>47.6</Latitude>\r\n'
    printf '                    <Longitude>-122.3</Longitude>\r\n                    <Altitude>40</Altitude>\r\n'
    printf '                </Position>\r\n                <Time>%sT06:30:00Z</Time>\r\n' "$1"
    printf '            </Trackpoint>\r\n        </Track>\r\n    </Run>\r\n'
}
day() { date -d "$1" +%F; }
name() { echo "$(date -d "$1" +%Y%m%d)_01_$(LC_ALL=C date -d "$1" +%A).xml"; }
mkdir "$work/folder"
{
    printf '<?xml version="1.0" ?>\r\n<History version="1">\r\n'
    run "$(day '10 days ago')"
    run "$(day '3 days ago')"
    run "$(day today)"
    printf '</History>\r\n'
} >"$work/folder/walk.xml"

# A free display of Xvfb's own choosing.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
# No session bus: without an address, Qt's D-Bus library would start one for
# this display (dbus-launch --autolaunch) that outlives the test.
export DBUS_SESSION_BUS_ADDRESS=disabled:

# Starts kelvane in a folder and waits for its window.
start_kelvane() {
    (cd "$1" && QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8 exec "$kelvane") \
        >"$work/kelvane.log" 2>&1 &
    app_pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${title//./\\.}\$" | head -n1) ||
        fail "the window did not appear: $(cat "$work/kelvane.log")"
    sleep 1 # let the window finish its start-up before the first click
}
# Waits for kelvane to end after a conversion, with status 0.
wait_for_end() {
    for _ in $(seq 200); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null && fail "kelvane did not end after the conversion"
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "kelvane ended with status $status: $(cat "$work/kelvane.log")"
}

start_kelvane "$work/folder"
# A closed pipe or a file-size limit fails a write, which the window reports;
# neither signal may end it (SIGPIPE is bit 12 of SigIgn, SIGXFSZ bit 24).
ignored=$((16#$(awk '/^SigIgn:/ { print $2 }' "/proc/$app_pid/status")))
((ignored >> 12 & 1 && ignored >> 24 & 1)) || fail "kelvane does not ignore SIGPIPE and SIGXFSZ"
# The middle of cmdPast7 (left 311, top 132, 181 x 33 pixels in the client area).
xdotool mousemove --window "$window" 401 148 click 1
wait_for_end

expected=$(printf '%s\n' "$(name '3 days ago')" "$(name today)" | sort)
actual=$(cd "$work/folder" && ls -1 | grep '_' | sort || true)
[ "$actual" = "$expected" ] || fail "day files: expected [$expected], found [$actual]"
[ -s "$work/folder/test.txt" ] || fail "no self-test file"
echo "PASS: Last 7 Days wrote $(echo "$actual" | tr '\n' ' ')and kelvane ended"

# A Training Center file chosen in the file list: its activities of 10 days
# ago and of today become day files of their own format.
activity() {
    printf '    <Activity Sport="Running">\n      <Id>%sT06:30:00Z</Id>\n' "$1"
    printf '      <Lap StartTime="%sT06:30:00Z">\n        <TotalTimeSeconds>60</TotalTimeSeconds>\n' "$1"
    printf '        <DistanceMeters>100</DistanceMeters>\n        <Calories>7</Calories>\n'
    printf '        <Intensity>Active</Intensity>\n        <TriggerMethod>Manual</TriggerMethod>\n'
    printf '        <Track>\n          <Trackpoint>\n            <Time>%sT06:30:00Z</Time>\n' "$1"
    printf '            <Position>\n              <LatitudeDegrees>47.6</LatitudeDegrees>\n'
    printf '              <LongitudeDegrees>-122.3</LongitudeDegrees>\n            </Position>\n'
    printf '          </Trackpoint>\n        </Track>\n      </Lap>\n    </Activity>\n'
}
mkdir "$work/tcx"
cp "$work/folder/walk.xml" "$work/tcx/walk.xml"
{
    printf '<?xml version="1.0" encoding="UTF-8"?>\n'
    printf '<TrainingCenterDatabase xmlns="http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2">\n'
    printf '  <Activities>\n'
    activity "$(day '10 days ago')"
    activity "$(day today)"
    printf '  </Activities>\n</TrainingCenterDatabase>\n'
} >"$work/tcx/Rides.tcx"

start_kelvane "$work/tcx"
# cmdSelFile (left 312, top 352, 181 x 33) opens the list File1 (left 488, top
# 188), whose first name, Rides.tcx, is chosen; then cmdAll (left 311, top 279).
xdotool mousemove --window "$window" 402 368 click 1
sleep 0.5
xdotool mousemove --window "$window" 530 198 click 1
sleep 0.5
xdotool mousemove --window "$window" 401 295 click 1
wait_for_end

tcxName() { echo "$(date -d "$1" +%Y%m%d)_01_$(LC_ALL=C date -d "$1" +%A).tcx"; }
expected=$(printf '%s\n' "$(tcxName '10 days ago')" "$(tcxName today)" | sort)
actual=$(cd "$work/tcx" && ls -1 | grep '_' | sort || true)
[ "$actual" = "$expected" ] || fail "TCX day files: expected [$expected], found [$actual]"
echo "PASS: All on Rides.tcx wrote $(echo "$actual" | tr '\n' ' ')and kelvane ended"
