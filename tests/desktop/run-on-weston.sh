#!/usr/bin/env bash
# Runs a program on a Wayland compositor of its own: a headless Weston with a private runtime
# folder, which starts the program once it is ready and ends with it.  The program's status is
# this script's.  Where Weston or Qt's Wayland platform is not installed it exits with 77, which
# CTest counts as skipped, except on CI (CI set), where scripts/setup installs both and their
# absence fails.  Usage: run-on-weston.sh PROGRAM [ARGUMENT...]
set -uo pipefail

missing=()
command -v weston >/dev/null || missing+=(weston)
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
    missing+=(qt6-wayland)
if ((${#missing[@]})); then
    if [ -n "${CI:-}" ]; then
        echo "FAIL: not installed: ${missing[*]} (scripts/setup installs them)" >&2
        exit 1
    fi
    echo "SKIP: not installed: ${missing[*]}"
    exit 77
fi

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"

# Weston starts the program once its socket is up (and sets WAYLAND_DISPLAY for it), and quits
# when the program ends; the program's status goes through a file.
{
    echo '#!/bin/sh'
    printf 'QT_QPA_PLATFORM=wayland %s\n' "$(printf '%q ' "$@")"
    printf 'echo $? >%q\n' "$runtime/status"
} >"$runtime/program"
chmod +x "$runtime/program"
printf '[autolaunch]\npath=%s\nwatch=true\n' "$runtime/program" >"$runtime/weston.ini"

XDG_RUNTIME_DIR=$runtime timeout 300 weston --backend=headless-backend.so --use-pixman \
    --socket=orvex-wayland --idle-time=0 --config="$runtime/weston.ini" \
    --log="$runtime/weston.log"
if [ ! -s "$runtime/status" ]; then
    echo "FAIL: the program did not run to its end on Weston; its log:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
fi
exit "$(cat "$runtime/status")"
