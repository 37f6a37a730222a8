# bash completion for kelvane-split                        -*- shell-script -*-
#
# The options, and which of them take a value, are read from the program's own
# --help, so a new option completes with no change here. An option whose value
# can be offered adds one line to _kelvane_split_value; a line for an option
# that the program does not list is never used.

# Prints every option of the program $1, one a line, with "=" after those that
# take a value: "  -C, --directory <DIR>  Write ..." gives "-C=" and "--directory=".
_kelvane_split_options()
{
    LC_ALL=C "$1" --help 2>/dev/null | awk '
        /^ +-/ {
            sub(/^ +/, "")
            end = index($0, "  ")
            names = end ? substr($0, 1, end - 1) : $0
            value = names ~ />$/ ? "=" : ""
            sub(/ <[^>]*>$/, "", names)
            count = split(names, name, ", ")
            for (i = 1; i <= count; i++)
                print name[i] value
        }'
}

# Prints the names of the time zones that the system holds.
_kelvane_split_zones()
{
    local zoneinfo=${TZDIR:-/usr/share/zoneinfo} zone
    [[ -r $zoneinfo/tzdata.zi ]] || return
    # Zones ("Z NAME ...") and links to them ("L TARGET NAME"), UTC among
    # them; the list may name links that the system leaves out.
    while read -r zone; do
        [[ -f $zoneinfo/$zone ]] && printf '%s\n' "$zone"
    done < <(awk '$1 == "Z" { print $2 } $1 == "L" { print $3 }' "$zoneinfo/tzdata.zi")
}

# Completes the value of option $1 into COMPREPLY; one line an option.
_kelvane_split_value()
{
    case $1 in
        -C | --directory) _filedir -d ;;
        --offset) COMPREPLY=($(compgen -W '-12 -11 -10 -9 -8 -7 -6 -5 -4 -3 -2 -1 0
                                           1 2 3 4 5 6 7 8 9 10 11 12' -- "$cur")) ;;
        --day | --from | --to) COMPREPLY=($(compgen -W "$(date +%F)" -- "$cur")) ;;
        --last | --map-tiles) ;;
        --gpx-version) COMPREPLY=($(compgen -W '1.0 1.1' -- "$cur")) ;;
        --timezone) COMPREPLY=($(compgen -W "local recorded $(_kelvane_split_zones)" -- "$cur")) ;;
        --sport) # a list: the name after the last comma
            COMPREPLY=($(compgen -P "${cur%"${cur##*,}"}" -W 'running cycling swimming walking
                hiking rowing skiing multisport other' -- "${cur##*,}")) ;;
        *) _filedir ;;
    esac
}

_kelvane_split()
{
    local cur prev words cword split
    _init_completion -s || return

    local program=${1/#\~/$HOME} name
    local -a options=() valued=()
    while read -r name; do
        options+=("${name%=}")
        [[ $name == *= ]] && valued+=("${name%=}")
    done < <(_kelvane_split_options "$program")

    local option
    for option in "${valued[@]}"; do
        if [[ $prev == "$option" ]]; then
            _kelvane_split_value "$prev"
            return
        fi
    done
    # --opt=VALUE for an option that takes none: nothing fits.
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '${options[*]}' -- "$cur"))
        return
    fi
    # The inputs, one or more: the files of the formats read, compressed
    # files and archives, and folders.
    _filedir '@(xml|tcx|gpx|fit|gz|bz2|xz|zst|zip|tar|tgz|tbz2|txz)'
} &&
    complete -F _kelvane_split kelvane-split

# ex: filetype=sh
