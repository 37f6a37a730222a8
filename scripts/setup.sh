#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need, and
# with --bench those the benchmark compares against (make bench). Works on
# Debian 12 and 13 and Ubuntu 24.04.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
    build-essential cmake make
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    fonts-comic-neue fontconfig
    xvfb xdotool
    libxml2-utils python3 gpsbabel
    # runs.csv is read back as a spreadsheet user's script would.
    python3-pandas
    # Compressed files and archives are read with libarchive.
    libarchive-dev
    # A library's fingerprints are SHA-256, by Nettle.
    pkg-config nettle-dev
    tzdata
    # The fuzzer and the layout check (make fuzz, make format-check).
    clang clang-format
    # The Debian package and its checks (make package, make package-check).
    dpkg-dev lintian desktop-file-utils appstream bash-completion man-db groff-base
    # The overview page's map library, copied beside the page.
    libjs-leaflet
)
# Another converter of Training Center files, timed beside kelvane-split.
[ "${1:-}" = "--bench" ] && packages+=(gpsbabel)

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
updated=""
# install PACKAGE...: installs those of the packages that are missing.
install() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    [ -n "$updated" ] || $sudo apt-get update -qq
    updated=yes
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install "${packages[@]}"
# The sanitizer runtime (make test-sanitize, make fuzz) of the clang installed:
# its package carries clang's major version, 14 on Debian 12, 18 on Ubuntu
# 24.04, 19 on Debian 13.
clang_version=$(clang -dumpversion)
install "libclang-rt-${clang_version%%.*}-dev"

# The browser the overview page is tested in (headless, driven by
# playwright-core): Debian's own. Ubuntu has it only as a snap, so where apt
# offers no such package the browser tests skip.
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q 'install ok installed'; then
    if apt-cache policy chromium 2>/dev/null | grep -q 'Candidate: [^(]'; then
        install chromium || echo "Chromium could not be installed: the browser tests will skip"
    else
        echo "No chromium package here: the browser tests will skip"
    fi
fi

# The independent readers some tests hold the day files against (the FIT SDK
# for JavaScript, a GeoJSON checker, a GPX to GeoJSON converter with its DOM
# parser) and the browser driver, from npm into tests/node; the tests that
# need them skip without them. The driver never downloads a browser of its
# own: it drives the system's chromium.
test_readers="$(cd "$(dirname "$0")/.." && pwd)/tests/node"
# node_packages_present: whether every dependency of tests/node is installed.
node_packages_present() {
    (cd "$test_readers" && node -e '
        const fs = require("fs");
        const wanted = Object.keys(require("./package.json").dependencies);
        process.exit(wanted.every((name) => fs.existsSync(`node_modules/${name}/package.json`)) ? 0 : 1);
    ') 2>/dev/null
}
if command -v npm >/dev/null 2>&1 && ! node_packages_present; then
    echo "Installing the tests' readers and browser driver from npm into tests/node"
    (cd "$test_readers" &&
        PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 \
            npm install --no-audit --no-fund --no-package-lock --loglevel=error) ||
        echo "npm could not install them: the tests that need them will skip"
fi
