#!/usr/bin/env bash
# Walks through the user guide as a reader would: every command of its ```sh blocks and every
# "$ " line of its ```console blocks, in order, in one shell, in an empty folder that stands for
# a source tree after the README's first command (its build/ is the build under test).  A
# console command's output must be the one shown, where a line "..." stands for any lines.
# Indented blocks are left alone: they change the system (sudo) or build the package.
#
# What a reader does by hand, the walk does for them, and no more:
# - A device is an emulator that the walk starts: device commands of orvexctl and orvex-config
#   that name neither --simulate nor --emulator get its socket.
# - orvex-config quits once its window is shown (--quit-after-show), in the foreground, as
#   "orvex-config ... &" would have finished by the time a reader types the next line.
# - "orvex-emulator ... &" is waited for until it listens, as a reader would see it say so.
# - The folder is a git repository with an author, for the version-control recipes.
# The walk runs with a runtime folder (XDG_RUNTIME_DIR) and again without one.  It also checks
# that orvexctl(1) shows the same complete JSON example as the guide.
#
# Usage: check-guide.sh <build folder> <source folder>
set -uo pipefail

build=$(realpath "$1")
source=$(realpath "$2")
guide="$source/docs/user-guide.md"
bin="$build/bin"
failures=0
scratch=$(mktemp -d)
emulator_pid=
trap '[ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The guide as one script: the helpers, then its blocks in order.
walk_script() {
    cat <<'HELPERS'
set -eo pipefail
exec 3<>"$ORVEX_WALK/ready" # the background emulator says here that it listens
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT

has_device_source() {
    local argument
    for argument; do
        case $argument in --simulate | --emulator | --emulator=*) return 0 ;; esac
    done
    return 1
}
orvexctl() {
    case ${1-} in
    read | write | monitor | devices)
        has_device_source "$@" || set -- "$@" --emulator "$ORVEX_WALK_SOCKET" ;;
    esac
    command orvexctl "$@"
}
orvex-config() {
    has_device_source "$@" || set -- "$@" --emulator "$ORVEX_WALK_SOCKET"
    command orvex-config "$@" --quit-after-show
}
# The shown output, "..." for any lines, against what the command printed.
expect_output() {
    local expected=$1 actual=$2 command=$3
    local -a want got
    mapfile -t want < <(printf '%s\n' "$expected" | sed 's/[[:space:]]*$//')
    mapfile -t got < <(printf '%s\n' "$actual" | sed 's/[[:space:]]*$//')
    local w=0 g=0
    while ((w < ${#want[@]})); do
        if [ "${want[w]}" = "..." ]; then
            w=$((w + 1))
            ((w == ${#want[@]})) && return 0
            while ((g < ${#got[@]})) && [ "${got[g]}" != "${want[w]}" ]; do g=$((g + 1)); done
        fi
        if ((g >= ${#got[@]})) || [ "${got[g]}" != "${want[w]}" ]; then
            printf 'FAIL: "%s" printed\n%s\n---- where the guide shows\n%s\n' \
                "$command" "$actual" "$expected" >&2
            return 1
        fi
        w=$((w + 1))
        g=$((g + 1))
    done
    ((g == ${#got[@]})) || {
        printf 'FAIL: "%s" printed more than the guide shows:\n%s\n' "$command" "$actual" >&2
        return 1
    }
}
HELPERS
    awk '
        function flush_command() {
            if (command == "") return
            print "__expected=$(cat <<'"'"'__ORVEX_SHOWN__'"'"'"
            printf "%s", shown
            print "__ORVEX_SHOWN__"
            print ")"
            print "__actual=$( { " command "\n} 2>&1 ) || true"
            gsub(/'"'"'/, "'"'"'\\'"'"''"'"'", command)
            print "expect_output \"$__expected\" \"$__actual\" '"'"'" command "'"'"'"
            command = ""; shown = ""
        }
        /^```sh$/ { block = "sh"; next }
        /^```console$/ { block = "console"; next }
        /^```/ && block != "" { flush_command(); block = ""; next }
        block == "sh" && /^orvex-config .*&$/ { sub(/[ ]*&$/, ""); print; next }
        block == "sh" && /^orvex-emulator .*&$/ {
            sub(/[ ]*&$/, "")
            print $0 " >\"$ORVEX_WALK/ready\" &"
            print "read -r -t 60 __listening <&3"
            next
        }
        block == "sh" { print; next }
        block == "console" && /^\$ / { flush_command(); command = substr($0, 3); next }
        block == "console" { shown = shown $0 "\n" }
    ' "$guide"
}

# The walk in a fresh folder; `runtime` says whether XDG_RUNTIME_DIR is set.
walk() {
    local runtime=$1
    local folder="$scratch/$runtime"
    mkdir -p "$folder/walk/tmp" "$folder/home" "$folder/run"
    chmod 700 "$folder/run"
    ln -s "$build" "$folder/walk/build"
    mkfifo "$folder/ready"
    walk_script >"$folder/walk.sh"

    # The walk's device: an emulator of its own, waited for until it says that it listens.
    mkfifo "$folder/device.out"
    exec 4<>"$folder/device.out"
    "$bin/orvex-emulator" --socket "$folder/device.sock" --devices 1,2 >"$folder/device.out" &
    emulator_pid=$!
    local listening
    read -r -t 60 listening <&4 || { fail "the walk's own emulator did not start"; return; }

    local -a environment=(
        env -i "PATH=$PATH" "HOME=$folder/home" "TMPDIR=$folder/walk/tmp" "LANG=C.UTF-8"
        "QT_QPA_PLATFORM=offscreen" "ORVEX_WALK=$folder" "ORVEX_WALK_SOCKET=$folder/device.sock"
        "GIT_AUTHOR_NAME=Reader" "GIT_AUTHOR_EMAIL=reader@example.org"
        "GIT_COMMITTER_NAME=Reader" "GIT_COMMITTER_EMAIL=reader@example.org"
        "ASAN_OPTIONS=${ASAN_OPTIONS-}" "UBSAN_OPTIONS=${UBSAN_OPTIONS-}"
        "LSAN_OPTIONS=${LSAN_OPTIONS-}")
    [ "$runtime" = with-runtime-folder ] && environment+=("XDG_RUNTIME_DIR=$folder/run")
    (
        cd "$folder/walk" && git init -q . &&
            "${environment[@]}" bash "$folder/walk.sh" </dev/null
    ) >"$folder/walk.log" 2>&1 || {
        fail "the guide's walk stopped ($runtime):"
        cat "$folder/walk.log" >&2
    }
    kill "$emulator_pid" 2>/dev/null
    wait "$emulator_pid" 2>/dev/null
    emulator_pid=
    exec 4<&-
}

walk with-runtime-folder
walk without-runtime-folder

# One complete example of the JSON, the same in the guide and in the manual page.
guide_example=$(awk '/^cat > pedals.json <<.EOF.$/ { on = 1; next } /^EOF$/ { on = 0 } on' "$guide")
page_example=$(awk '/user guide holds the same example/ { mark = 1 } mark && /^\.EX$/ { on = 1; next }
                    on && /^\.EE$/ { exit } on' "$source/data/man/orvexctl.1.in")
[ -n "$guide_example" ] || fail "the guide has no complete JSON example"
[ "$guide_example" = "$page_example" ] || fail "orvexctl(1) and the guide show different JSON examples"

[ "$failures" -eq 0 ] && echo "The guide's commands ran as written, with and without XDG_RUNTIME_DIR."
exit $((failures > 0))
