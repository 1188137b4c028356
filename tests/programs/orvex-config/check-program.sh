#!/usr/bin/env bash
# orvex-config as the user starts it, the real built program with its own timers and event loop.
# Usage: check-program.sh <orvex-config>
set -uo pipefail

program=$1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# On virtual devices the program's own search finds device 1 after start-up, and the exit
# procedure ends the event loop with success.
shown=$(QT_QPA_PLATFORM=offscreen timeout 10 "$program" --simulate --quit-when-viewing)
status=$?
[ "$status" -eq 0 ] || fail "--quit-when-viewing ended with status $status"
[ "$shown" = "Viewing device 1" ] || fail "--quit-when-viewing printed '$shown'"

# The smoke test it suggests without a display runs to the end of its first paint.
QT_QPA_PLATFORM=offscreen timeout 10 "$program" --simulate --quit-after-show ||
    fail "--quit-after-show ended with status $?"

# --version and --help answer without a display; a bad option is said under the program's name.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$program" --version)
[[ "$version" =~ ^orvex-config\ [0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"
described=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$program" --help | sed -n 2p)
[ "$described" = "ORVEX Configuration Utility" ] || fail "--help describes it as '$described'"
said=$(QT_QPA_PLATFORM=offscreen timeout 10 "$program" --simulate --emulator x 2>&1 >/dev/null)
grep -qFx "orvex-config: --simulate and --emulator cannot be used together." <<<"$said" ||
    fail "two device options were said as '$said'"

said=$(QT_QPA_PLATFORM=offscreen timeout 10 "$program" --simulate a.orv b.orv 2>&1 >/dev/null)
grep -qFx "orvex-config: only one configuration file can be opened at a time (2 were named)." \
    <<<"$said" || fail "two files were said as '$said'"

# Without a display, none named or one that is not there, it says what it needs in one line.
expected='orvex-config needs a desktop session, and no display was found; without one, run it as "xvfb-run -a orvex-config", or with QT_QPA_PLATFORM=offscreen for a smoke test'
for display in "" ":4242"; do
    said=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DISPLAY ${display:+DISPLAY=$display} \
        timeout 10 "$program" --simulate 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 1 ] || fail "without a display ('$display') it ended with status $status"
    [ "$said" = "$expected" ] || fail "without a display ('$display') it said: $said"
done

exit $((failures > 0))
