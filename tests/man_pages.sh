#!/usr/bin/env bash
# Keeps the manual pages and the programs together: every option that
# `kelvane-split --help` lists has an entry under OPTIONS in kelvane-split(1),
# with the value name that --help shows, and the page lists no option that
# the program lacks. Both pages format without a warning.
# Usage: man_pages.sh KELVANE_SPLIT KELVANE_SPLIT_PAGE OTHER_PAGE...
set -uo pipefail

program=$1
page=$2
shift 2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for each in "$page" "$@"; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$each" 2>&1)
    [ -z "$warnings" ] || fail "$each formats with warnings:"$'\n'"$warnings"
done

# "NAME VALUE" lines, VALUE empty for an option without one, sorted.
# --help: "  -C, --directory <DIR>  Write ..." gives "-C DIR" and "--directory DIR".
help_options=$(LC_ALL=C "$program" --help | awk '
    /^ +-/ {
        sub(/^ +/, "")
        end = index($0, "  ")
        names = end ? substr($0, 1, end - 1) : $0
        value = ""
        if (match(names, / <[^>]*>$/)) {
            value = substr(names, RSTART + 2, RLENGTH - 3)
            names = substr(names, 1, RSTART - 1)
        }
        count = split(names, name, ", ")
        for (i = 1; i <= count; i++)
            print name[i] " " value
    }' | LC_ALL=C sort)

# The page: the tags of the OPTIONS section, formatted on lines long enough
# to keep each paragraph whole, indented by 7 and starting with "-". A tag
# "-C, --directory DIR" gives "-C DIR" and "--directory DIR".
page_options=$(LC_ALL=C groff -man -Tascii -P-cbou -rLL=250n "$page" 2>/dev/null | awk '
    /^[A-Z]/ { in_options = ($0 == "OPTIONS") ; next }
    in_options && /^       -/ {
        sub(/^ +/, "")
        end = index($0, "  ")
        tag = end ? substr($0, 1, end - 1) : $0
        count = split(tag, piece, ", ")
        value = ""
        if (split(piece[count], last, " ") > 1)
            value = last[2]
        for (i = 1; i <= count; i++) {
            split(piece[i], word, " ")
            print word[1] " " value
        }
    }' | LC_ALL=C sort)

[ -n "$help_options" ] || fail "$program --help lists no option"
[ -n "$page_options" ] || fail "$page lists no option under OPTIONS"

while read -r name value; do
    [ -n "$name" ] || continue
    entry=$(grep -E -- "^$name( |\$)" <<<"$page_options")
    if [ -z "$entry" ]; then
        fail "$name (from --help) has no entry under OPTIONS in $page"
    elif [ "$(cut -s -d' ' -f2- <<<"$entry")" != "$value" ]; then
        fail "$name takes \"$value\" in --help but \"$(cut -s -d' ' -f2- <<<"$entry")\" in $page"
    fi
done <<<"$help_options"

while read -r name value; do
    [ -n "$name" ] || continue
    grep -qE -- "^$name( |\$)" <<<"$help_options" ||
        fail "$name is documented in $page but not listed by $program --help"
done <<<"$page_options"

echo "$(wc -l <<<"$help_options") options checked, $failures failed"
[ "$failures" -eq 0 ]
