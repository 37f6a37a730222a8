#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need, and
# with --bench those the benchmark compares against (make bench).
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
    build-essential cmake make
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    fonts-comic-neue fontconfig
    xvfb xdotool
    libxml2-utils python3 gpsbabel
    # Compressed files and archives are read with libarchive.
    libarchive-dev
    tzdata
    clang libclang-rt-14-dev
    # The Debian package and its checks (make package, make package-check).
    dpkg-dev lintian desktop-file-utils appstream bash-completion man-db groff-base tzdata
)
# Another converter of Training Center files, timed beside kelvane-split.
[ "${1:-}" = "--bench" ] && packages+=(gpsbabel)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
