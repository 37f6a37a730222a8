#!/usr/bin/env bash
# Completes kelvane-split command lines in bash as Tab would, through the
# bash-completion loader, and checks what is offered.
# Usage: bash_completion.sh COMPLETION_SCRIPT KELVANE_SPLIT
# Exit 77 (skipped) without the bash-completion package.
set -uo pipefail

script=$(realpath "$1")
program=$(realpath "$2")
framework=/usr/share/bash-completion/bash_completion
if [ ! -r "$framework" ]; then
    echo "SKIPPED: $framework is missing (scripts/setup.sh installs bash-completion)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The script where the loader looks for it once installed, by the command's name.
mkdir -p "$work/share/bash-completion/completions" "$work/bin" "$work/folder/days" \
    "$work/folder/maps" "$work/stub"
ln -s "$script" "$work/share/bash-completion/completions/kelvane-split"
ln -s "$program" "$work/bin/kelvane-split"
touch "$work/folder/walk.xml" "$work/folder/march.tcx" "$work/folder/OLD.XML" "$work/folder/ride.fit" \
    "$work/folder/notes.txt" "$work/folder/days/inside.xml" "$work/folder/export.zip" \
    "$work/folder/ride.tcx.gz"

# A program whose --help lists options that kelvane-split may gain: their
# values complete once it lists them.
cat >"$work/stub/kelvane-split" <<'EOF'
#!/bin/sh
cat <<'HELP'
Usage: kelvane-split [options] HISTORY_FILE

Options:
  --gpx                  Write the GPX day file of each run.
  --gpx-version <VERSION>  GPX version of the GPX day files, 1.0 or 1.1.
  --timezone <ZONE>      Time zone of the day files.
  --tcx                  Write the TCX day file of each run.
  -C, --directory <DIR>  Write the day files into DIR (default: the current
                         folder).
HELP
EOF
chmod +x "$work/stub/kelvane-split"

failures=0
passes=0

# complete_line EXPECTED LINE: presses Tab at the end of LINE and compares the
# sorted offers with EXPECTED. The words are split as bash splits them, "=" a
# word of its own.
complete_line() {
    local expected=$1 line=$2
    local got
    got=$(cd "$work/folder" && HOME="$work" XDG_DATA_DIRS="$work/share" \
        PATH="$work/bin:/usr/bin:/bin" bash --norc --noprofile -c '
        source "$0"
        line=$1
        __load_completion kelvane-split || { echo "no completion loaded"; exit; }
        registered=$(complete -p kelvane-split) || exit
        [[ $registered == *"-F _kelvane_split "* ]] || { echo "wrong completion: $registered"; exit; }
        read -ra parts <<<"$line"
        COMP_WORDS=()
        for part in "${parts[@]}"; do
            if [[ $part == *=* ]]; then
                COMP_WORDS+=("${part%%=*}" "=")
                [[ -n ${part#*=} ]] && COMP_WORDS+=("${part#*=}")
            else
                COMP_WORDS+=("$part")
            fi
        done
        [[ $line == *" " || $line == *= ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE=$line
        COMP_POINT=${#line}
        COMPREPLY=()
        _kelvane_split "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd " " -
    ' "$framework" "$line" 2>&1)
    if [ "$got" == "$expected" ]; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        echo "FAIL: [$line] offered \"$got\", expected \"$expected\""
    fi
}

# Options, from the program's --help.
complete_line "--gpx --gpx-version" "kelvane-split --gp"
complete_line "--directory" "kelvane-split --dir"
complete_line "--help --high-ascii" "kelvane-split --h"
complete_line "-C" "kelvane-split -C"
# Folders alone for -C and --directory, in each of their spellings.
complete_line "days maps" "kelvane-split -C "
complete_line "days" "kelvane-split --xml --directory d"
complete_line "maps" "kelvane-split --directory=m"
# Inputs: .xml, .tcx and .fit in any case, compressed files and archives,
# and folders, one after another.
complete_line "OLD.XML days export.zip maps march.tcx ride.fit ride.tcx.gz walk.xml" "kelvane-split "
complete_line "walk.xml" "kelvane-split --quiet w"
complete_line "maps march.tcx" "kelvane-split walk.xml export.zip m"
complete_line "days/inside.xml" "kelvane-split --all days/"
# Values of options that take one.
complete_line "-1 -10 -11 -12" "kelvane-split --offset -1"
complete_line "$(date +%F)" "kelvane-split --day "
complete_line "" "kelvane-split --last "
# A value given to an option that takes none completes nothing.
complete_line "" "kelvane-split --xml="
# A program called by its path finds its options the same way.
complete_line "--gpx --gpx-version" "$work/bin/kelvane-split --gp"

# Values of options the program lists in its --help.
complete_line "1.0 1.1" "kelvane-split --gpx-version "
complete_line "Europe/Berlin" "kelvane-split --timezone Europe/Berl"
complete_line "recorded" "kelvane-split --timezone rec"
complete_line "cycling,rowing cycling,running" "kelvane-split --sport cycling,r"
stub=$work/stub/kelvane-split
complete_line "--gpx --gpx-version" "$stub --gp"
complete_line "1.0 1.1" "$stub --gpx-version "
complete_line "1.1" "$stub --gpx-version=1.1"
complete_line "Europe/Berlin" "$stub --timezone Europe/Berl"
complete_line "UTC" "$stub --timezone UT"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
