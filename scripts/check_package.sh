#!/usr/bin/env bash
# Checks the Debian package that `make package` built, the way a user meets
# it: lintian finds no error, apt installs it, the installed programs run and
# convert the sample, the manual pages, the completion, the icons and the
# desktop metadata are where the desktop looks for them, and apt removes it
# again. Needs root, or sudo. A kelvane package installed before is replaced
# by this one and removed at the end.
# Usage: scripts/check_package.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$(realpath "$build/kelvane_${version}_$(dpkg --print-architecture).deb")
[ -f "$deb" ] || { echo "FAIL: no package $deb (make package builds it)"; exit 1; }

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
source scripts/checks.sh
same() { [ "$1" == "$2" ]; }

echo "== $deb"
dpkg-deb --info "$deb" control
check "lintian reports errors" lintian --fail-on error "$deb"
check "the package's version is not $version" same "$(dpkg-deb --field "$deb" Version)" "$version"
check "Depends does not name the Qt libraries the programs link to" \
    grep -q 'libqt6widgets6' <<<"$(dpkg-deb --field "$deb" Depends)"

scratch=$(mktemp -d)
installed=""
finish() {
    if [ -n "$installed" ]; then
        echo "== removing kelvane"
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq kelvane >/dev/null ||
            echo "FAIL: apt-get cannot remove kelvane"
    fi
    rm -rf "$scratch"
}
trap finish EXIT

echo "== installing with apt"
installed=yes
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb"

check "kelvane-split --version does not print $version" \
    same "$(/usr/bin/kelvane-split --version)" "kelvane-split $version"

# The sample's six runs, from 28 November to 7 December 2026, all three day
# files of each, named in English whatever today is.
mkdir "$scratch/days"
LC_ALL=C.UTF-8 /usr/bin/kelvane-split -q --xml --csv --gpx --from 2000-01-01 --to 2099-12-31 \
    -C "$scratch/days" examples/walk.xml >"$scratch/names"
check "the installed kelvane-split did not write 18 day files from examples/walk.xml" \
    same "$(find "$scratch/days" -type f | wc -l)" 18
check "the day files written are not the ones printed" \
    same "$(ls "$scratch/days")" "$(sort "$scratch/names")"
check "the second run of 3 December 2026 has no GPX day file" \
    test -s "$scratch/days/20261203_02_Thursday.gpx"

# The window starts (its libraries and plugins are there), writes its
# self-test file and waits for a click until it is stopped.
mkdir "$scratch/window"
status=0
(cd "$scratch/window" && QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/kelvane) || status=$?
check "the installed kelvane did not keep running (status $status)" same "$status" 124
check "the installed kelvane did not write test.txt" test -s "$scratch/window/test.txt"

for page in kelvane kelvane-split; do
    check "man does not find $page(1)" \
        same "$(man -w "$page")" "/usr/share/man/man1/$page.1.gz"
done
check "man kelvane-split does not show --directory" \
    grep -q -- '--directory' <<<"$(MANWIDTH=80 man kelvane-split 2>&1)"

check "bash does not load the completion of kelvane-split" \
    grep -q -- '-F _kelvane_split kelvane-split' <<<"$(bash --norc -c '
        source /usr/share/bash-completion/bash_completion
        __load_completion kelvane-split && complete -p kelvane-split' 2>&1)"

check "desktop-file-validate rejects the installed desktop entry" \
    desktop-file-validate /usr/share/applications/org.example.kelvane.desktop
check "appstreamcli rejects the installed metadata" \
    appstreamcli validate --no-net /usr/share/metainfo/org.example.kelvane.metainfo.xml
check "the scalable icon is missing" test -s /usr/share/icons/hicolor/scalable/apps/kelvane.svg
# Width and height are the two 4-byte numbers after the PNG signature and IHDR.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for size in 16 22 24 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/kelvane.png
    check "$icon is missing or not $size pixels square" \
        same "$(png_size "$icon" 2>/dev/null)" "${size}x${size}"
done

checks_done
