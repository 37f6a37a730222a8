#!/usr/bin/env bash
# Checks the desktop entry and the AppStream metadata with the desktop's own
# validators, and that they, the Debian changelog and the build agree on the
# program's id and version.
# Usage: desktop_metadata.sh PACKAGING_FOLDER VERSION
# Exit 77 (skipped) without the validators.
set -uo pipefail

folder=$1
version=$2
id=org.example.kelvane
desktop=$folder/$id.desktop
metainfo=$folder/$id.metainfo.xml
for tool in desktop-file-validate appstreamcli xmllint; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done

source "$(dirname "$0")/../scripts/checks.sh"
value() { xmllint --xpath "string($1)" "$metainfo"; }
same() { [ "$1" == "$2" ]; }

check "desktop-file-validate rejects $desktop" desktop-file-validate "$desktop"
check "appstreamcli rejects $metainfo" appstreamcli validate --no-net --pedantic "$metainfo"
check "the metainfo's id is not $id" same "$(value /component/id)" "$id"
check "the metainfo does not launch $id.desktop" \
    same "$(value '/component/launchable[@type="desktop-id"]')" "$id.desktop"
check "$desktop does not show the icon kelvane" same "$(sed -n 's/^Icon=//p' "$desktop")" kelvane
newest=$(value '/component/releases/release[1]/@version')
check "the newest release in $metainfo is $newest, the build's version $version: add a <release>" \
    same "$newest" "$version"
logged=$(sed -n '1s/^kelvane (\([^)]*\)).*/\1/p' "$folder/changelog")
check "the newest entry of $folder/changelog is \"$logged\", the build's version $version: add one" \
    same "$logged" "$version"

checks_done
