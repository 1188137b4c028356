#!/usr/bin/env bash
# Renders the three manual pages and checks them against the programs' --help: every page
# renders without a single groff warning, and every command, argument and option that --help
# lists appears in the page (each orvexctl command under its own heading, with its synopsis).
# Usage: check-manual-pages.sh <folder of the programs> <folder of the pages>
set -uo pipefail
. "$(dirname "$0")/help-words.sh"

bin=$1
pages=$2
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Plain text, one paragraph a line and no hyphenation, so that every word can be found whole.
render() {
    groff -man -Tascii -P-cbou -rLL=1000n -rHY=0 "$pages/$1.1" 2>/dev/null
}

# The lines of a rendered page under a heading, up to the next heading of the same or a
# higher level (headings are flush left, subheadings indented by three spaces).
under_heading() {
    awk -v heading="$1" '
        on && (/^[^ ]/ || (sub_level && /^   [^ ]/)) { exit }
        on { print }
        !on && $0 == heading { on = 1; sub_level = (heading ~ /^   /) }'
}

# Whether an option or argument name stands in the text as a word of its own ("--help" is not
# found in "--help-all").
mentions() {
    grep -qE -- "(^|[^[:alnum:]-])$1([^[:alnum:]-]|$)"
}

expect_words() {
    local text=$1 where=$2 word
    shift 2
    for word in "$@"; do
        mentions "$word" <<<"$text" || fail "$where does not mention $word"
    done
}

for page in orvex-config orvexctl orvex-emulator; do
    if [ ! -f "$pages/$page.1" ]; then
        fail "$page.1 is missing"
        continue
    fi
    warnings=$(groff -man -ww -z "$pages/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
    for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' FILES EXAMPLES 'SEE ALSO'; do
        render "$page" | grep -qx "$section" || fail "$page(1) has no $section section"
    done
done

# orvex-config and orvex-emulator: every option of --help in the OPTIONS section.
for program in orvex-config orvex-emulator; do
    help=$("$bin/$program" --help) || fail "$program --help failed"
    mapfile -t options < <(help_options <<<"$help")
    ((${#options[@]} >= 3)) || fail "no options read from $program --help"
    expect_words "$(render "$program" | under_heading OPTIONS)" "$program(1) OPTIONS" \
        "${options[@]}"
done

# orvexctl: the general options in OPTIONS; each command under a heading that is the synopsis
# of the general help, with the arguments and options of its own --help.
page=$(render orvexctl)
help=$("$bin/orvexctl" --help) || fail "orvexctl --help failed"
general_text=$(under_heading OPTIONS <<<"$page")
mapfile -t general < <(help_options <<<"$help")
((${#general[@]} >= 2)) || fail "no options read from orvexctl --help"
expect_words "$general_text" "orvexctl(1) OPTIONS" "${general[@]}"

mapfile -t commands < <(help_commands <<<"$help")
((${#commands[@]} >= 5)) || fail "no commands read from orvexctl --help"
for synopsis in "${commands[@]}"; do
    command=${synopsis%% *}
    block=$(under_heading "   $synopsis" <<<"$page")
    if [ -z "$block" ]; then
        fail "orvexctl(1) has no heading \"$synopsis\""
        continue
    fi
    command_help=$("$bin/orvexctl" "$command" --help) || fail "orvexctl $command --help failed"
    mapfile -t arguments < <(help_arguments <<<"$command_help")
    expect_words "$(printf '%s\n' "$synopsis" "$block")" "orvexctl(1) $command" "${arguments[@]}"
    for option in $(help_options <<<"$command_help"); do
        if printf '%s\n' "${general[@]}" | grep -qx -- "$option"; then
            continue # -h and --help belong to every command and are told once, under OPTIONS
        fi
        expect_words "$block" "orvexctl(1) $command" "$option"
    done
done

if ((failures)); then
    echo "$failures manual page check(s) failed" >&2
    exit 1
fi
echo "the manual pages render cleanly and document every command and option"
