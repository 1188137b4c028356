#!/usr/bin/env bash
# Starts of orvex-config in one desktop session, on a private session bus: a second start on the
# same devices hands its file to the running window and ends with status 0, and the window opens
# it; a --simulate start is a program of its own.  Real programs: orvex-config against an
# orvex-emulator, offscreen.  Usage: check-session-bus.sh <folder of the programs>
set -uo pipefail

bin=$(realpath "$1")
if [ -z "${ORVEX_ON_PRIVATE_BUS:-}" ]; then
    if ! command -v dbus-run-session >/dev/null; then
        echo "FAIL: dbus-run-session is not installed (scripts/setup installs dbus-daemon)" >&2
        exit 1
    fi
    ORVEX_ON_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

work=$(mktemp -d)
started=()
cleanup() {
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$work/runtime # the device locks of this test alone
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/first" "$work/second"
socket=$work/emulator.sock

# Configuration files that tell themselves apart by their power-on delay (byte 508).
configuration() {
    head -c 512 /dev/zero >"$1"
    printf "\\x$(printf %02x "$2")" | dd of="$1" bs=1 seek=508 conv=notrunc status=none
}
configuration "$work/first/first.orv" 5
configuration "$work/second/Second.ORV" 9

# Each program's standard output is read a line at a time as it comes, through a FIFO.
mkfifo "$work/emulator.out" "$work/first.out"
"$bin/orvex-emulator" --socket "$socket" --devices 1 >"$work/emulator.out" &
started+=($!)
exec 3<"$work/emulator.out"
read -r -t 30 -u 3 line || fail "orvex-emulator did not start"

# The first start opens its own file once start-up is done; its current folder names it.
(cd "$work/first" && exec "$bin/orvex-config" --emulator "$socket" --print-opened-files \
    first.orv >"$work/first.out") &
first=$!
started+=($first)
exec 4<"$work/first.out"
read -r -t 30 -u 4 line
[ "$line" = "Opened $work/first/first.orv: 5 sec" ] || fail "the first start said: '$line'"

# A second start on the same emulator, from another folder and through another spelling of the
# socket's path, hands its file over and ends at once, and the first window opens it.
(cd "$work/second" && exec timeout 30 "$bin/orvex-config" --emulator ../first/../emulator.sock \
    Second.ORV)
status=$?
[ "$status" -eq 0 ] || fail "the second start ended with status $status"
read -r -t 30 -u 4 line
[ "$line" = "Opened $work/second/Second.ORV: 9 sec" ] || fail "the first window said: '$line'"

# Without a file a start only brings the window to the front.
timeout 30 "$bin/orvex-config" --emulator "$socket"
status=$?
[ "$status" -eq 0 ] || fail "a start without a file ended with status $status"

# A simulation has a device of its own: it runs its own window while the first one runs.
shown=$(timeout 30 "$bin/orvex-config" --simulate --quit-when-viewing)
status=$?
[ "$status" -eq 0 ] && [ "$shown" = "Viewing device 1" ] ||
    fail "a --simulate start ended with status $status after '$shown'"

kill -0 "$first" 2>/dev/null || fail "the first window is gone"
if ((failures)); then
    echo "$failures session check(s) failed" >&2
    exit 1
fi
echo "a second start hands its file to the running window"
