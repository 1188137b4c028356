#!/usr/bin/env bash
# Checks the relative links of every Markdown file of the project: each names a file that is
# there and, after a "#", a heading of that file (as the anchor a Markdown host makes of it:
# lower case, punctuation dropped, spaces as hyphens).  Links with a scheme (https:) are not
# followed; code blocks are skipped.
# Usage: check-links.sh <source folder>
set -uo pipefail

source=$(realpath "$1")
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Every link target of a Markdown file, one a line.
links() {
    awk '
        /^```/ { fenced = !fenced; next }
        fenced || /^    / { next }
        {
            line = $0
            while (match(line, /\]\([^)[:space:]]+\)/)) {
                print substr(line, RSTART + 2, RLENGTH - 3)
                line = substr(line, RSTART + RLENGTH)
            }
        }' "$1"
}

# The anchors of a Markdown file's headings, one a line.
anchors() {
    awk '
        /^```/ { fenced = !fenced; next }
        !fenced && /^#+ / {
            heading = tolower($0)
            sub(/^#+ /, "", heading)
            gsub(/[^a-z0-9 _-]/, "", heading)
            gsub(/ /, "-", heading)
            print heading
        }' "$1"
}

count=0
while IFS= read -r -d '' file; do
    folder=$(dirname "$file")
    while IFS= read -r link; do
        case $link in [a-z]*:*) continue ;; esac
        count=$((count + 1))
        target=${link%%#*}
        anchor=
        [[ $link == *"#"* ]] && anchor=${link#*#}
        path=$file
        [ -n "$target" ] && path="$folder/$target"
        where="${file#"$source"/}: $link"
        if [ ! -e "$path" ]; then
            fail "$where: no such file"
        elif [ -n "$anchor" ] && ! anchors "$path" | grep -qxF -- "$anchor"; then
            fail "$where: no heading for #$anchor"
        fi
    done < <(links "$file")
done < <(find "$source" \( -name '.git' -o -name 'build*' \) -prune -o -name '*.md' -print0)

[ "$count" -gt 0 ] || fail "no relative links found under $source"
[ "$failures" -eq 0 ] && echo "$count relative links lead where they say."
exit $((failures > 0))
