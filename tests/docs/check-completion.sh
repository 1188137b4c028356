#!/usr/bin/env bash
# Drives the bash completions of orvexctl and orvex-config as bash itself would (COMP_WORDS,
# COMP_CWORD) in a fresh bash with bash-completion loaded, and checks what they offer: the
# commands and options that the programs' --help lists, the device numbers, and file names with
# the configuration files first.
# Usage: check-completion.sh <folder of the programs> <folder of the completions>
set -uo pipefail
. "$(dirname "$0")/help-words.sh"

bin=$(realpath "$1")
completions=$(realpath "$2")
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# What a Tab at the end of the line offers, one candidate a line, in the order given; the
# completion of the line's program answers.
offers() {
    (
        cd "$work/files" || exit 1
        program=${1%% *}
        LC_ALL=C bash --norc --noprofile -c '
            source /usr/share/bash-completion/bash_completion || exit 1
            source "$1" || exit 1
            registration=$(complete -p "$3") || exit 1
            function=${registration#*-F }
            function=${function%% *}
            COMP_LINE=$2
            COMP_POINT=${#COMP_LINE}
            read -ra COMP_WORDS <<<"$COMP_LINE"
            [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMPREPLY=()
            "$function" "$3" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s\n" "${COMPREPLY[@]}"' completion "$completions/$program" "$1" "$program"
    )
}

# The candidates for a line must be exactly these, in this order.
expect_offers() {
    local line=$1 expected actual
    shift
    expected=$(printf '%s\n' "$@")
    actual=$(offers "$line")
    [ "$actual" = "$expected" ] || fail "\"$line\" offers [$(echo $actual)], not [$(echo $expected)]"
}

# The candidates for a line must include these.
expect_among() {
    local line=$1 actual word
    shift
    actual=$(offers "$line")
    for word in "$@"; do
        grep -qxF -- "$word" <<<"$actual" || fail "\"$line\" does not offer $word"
    done
}

mkdir -p "$work/files/Folder"
touch "$work/files/"{Config.ORV,pedals.orv,notes.txt,backup.json,'Left pedal.orv'}

if [ ! -f /usr/share/bash-completion/bash_completion ]; then
    echo "FAIL: bash-completion is not installed (scripts/setup installs it)" >&2
    exit 1
fi
for program in orvexctl orvex-config; do
    if ! offers "$program " >/dev/null; then
        echo "FAIL: the completion of $program does not load into bash" >&2
        exit 1
    fi
done

# Everything that --help lists is offered.
help=$("$bin/orvexctl" --help)
mapfile -t commands < <(help_commands <<<"$help" | awk '{ print $1 }')
((${#commands[@]} >= 5)) || fail "no commands read from orvexctl --help"
expect_among 'orvexctl ' "${commands[@]}"
expect_among 'orvexctl -' $(help_options <<<"$help" | grep -- '^--')
for command in "${commands[@]}"; do
    expect_among "orvexctl $command -" \
        $("$bin/orvexctl" "$command" --help | help_options | grep -- '^--')
done

# Commands and option values.
expect_offers 'orvexctl mo' monitor
expect_offers 'orvexctl read Config.ORV --device ' 1 2
expect_offers 'orvexctl monitor --device=' 1 2
expect_offers 'orvexctl monitor --polls '

# File names: the configuration files first (either case), then folders and the rest; a JSON
# argument prefers .json files and takes "-" for standard input; a command whose arguments are
# all given offers its options.
expect_offers 'orvexctl show ' Config.ORV 'Left pedal.orv' pedals.orv Folder backup.json notes.txt
expect_offers 'orvexctl write p' pedals.orv
expect_offers 'orvexctl compose ' - backup.json Config.ORV Folder 'Left pedal.orv' notes.txt \
    pedals.orv
expect_offers 'orvexctl compose - ' Config.ORV 'Left pedal.orv' pedals.orv Folder backup.json \
    notes.txt
expect_offers 'orvexctl read --device 2 ' Config.ORV 'Left pedal.orv' pedals.orv Folder \
    backup.json notes.txt
expect_offers 'orvexctl show Config.ORV ' --json --help

# orvex-config: its options, and one FILE, configuration files first.
expect_among 'orvex-config -' $(help_options <<<"$("$bin/orvex-config" --help)" | grep -- '^--')
expect_offers 'orvex-config ' Config.ORV 'Left pedal.orv' pedals.orv Folder backup.json notes.txt
expect_offers 'orvex-config --emulator sock --simulate p' pedals.orv
# The word for the emulator's default socket, in both programs.
expect_offers 'orvexctl devices --emulator de' default
expect_offers 'orvex-config --emulator de' default
expect_offers 'orvex-config pedals.orv '

if ((failures)); then
    echo "$failures completion check(s) failed" >&2
    exit 1
fi
echo "the completions offer every command, option and file as expected"
