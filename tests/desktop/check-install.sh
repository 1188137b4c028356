#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a Linux desktop expects to find
# there: programs, udev rule and helper, menu entry, icon, AppStream data, manual pages, shell
# completion and documentation.  Usage: check-install.sh <build folder>
set -uo pipefail

build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

expect_file() {
    [ -f "$prefix/$1" ] || fail "$1 is not installed"
}

expect_executable() {
    [ -f "$prefix/$1" ] && [ -x "$prefix/$1" ] || fail "$1 is not installed as a program"
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log" >&2
    rm -f "$prefix.log"
    fail "cmake --install failed"
    exit 1
fi
rm -f "$prefix.log"

for program in orvex-config orvexctl orvex-emulator; do
    expect_executable "bin/$program"
done
expect_file lib/udev/rules.d/70-orvex.rules
expect_executable libexec/orvex/orvex-udev-setup
expect_file share/applications/orvex-config.desktop
expect_file share/icons/hicolor/scalable/apps/orvex-config.svg
expect_file share/metainfo/com.orvex.Config.metainfo.xml
for page in orvex-config orvexctl orvex-emulator; do
    expect_file "share/man/man1/$page.1.gz"
    [ -f "$prefix/share/man/man1/$page.1.gz" ] && ! gzip -t "$prefix/share/man/man1/$page.1.gz" &&
        fail "share/man/man1/$page.1.gz is not a gzip file"
done
expect_file share/bash-completion/completions/orvexctl
expect_file share/doc/orvex-config/copyright
expect_file share/doc/orvex-config/changelog.gz
expect_file share/doc/orvex-config/user-guide.md

# Nothing the tests, benchmarks or the screenshot tour build belongs in the installation.
unexpected=$(find "$prefix" -type f -printf '%P\n' | grep -Ei 'test|bench|screenshot' || true)
[ -z "$unexpected" ] || fail "test files installed: $unexpected"

desktop=$prefix/share/applications/orvex-config.desktop
if [ -f "$desktop" ]; then
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop file"
    fi
    grep -qx 'Exec=orvex-config' "$desktop" || fail "desktop file does not start orvex-config"
    grep -qx 'Icon=orvex-config' "$desktop" || fail "desktop file does not name the icon"
    grep -qx 'Categories=Settings;HardwareSettings;' "$desktop" ||
        fail "desktop file has other categories"
fi

metainfo=$prefix/share/metainfo/com.orvex.Config.metainfo.xml
if [ -f "$metainfo" ]; then
    grep -q '@[A-Z_]*@' "$metainfo" && fail "metainfo has unreplaced placeholders"
    grep -q '<launchable type="desktop-id">orvex-config.desktop</launchable>' "$metainfo" ||
        fail "metainfo does not launch the desktop file"
    # The licence software centres show is the one in LICENSE ("MIT License" gives "MIT").
    licence=$(head -n 1 "$(dirname "$0")/../../LICENSE")
    grep -q "<project_license>${licence% License}</project_license>" "$metainfo" ||
        fail "metainfo does not name the licence of LICENSE (${licence% License})"
    # appstreamcli only counts when it works without the network.
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
    fi
fi

# The helper, run with stand-ins for install and udevadm, installs the rule of this prefix and
# reloads udev; it never goes through a shell string and refuses arguments.
helper=$prefix/libexec/orvex/orvex-udev-setup
if [ -x "$helper" ]; then
    fake=$prefix/fake-bin
    mkdir -p "$fake"
    for tool in install udevadm; do
        printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "$tool" "$fake" >"$fake/$tool"
        chmod +x "$fake/$tool"
    done
    PATH="$fake:$PATH" "$helper" || fail "the helper failed"
    expected="install -m 0644 $prefix/lib/udev/rules.d/70-orvex.rules /etc/udev/rules.d/70-orvex.rules
udevadm control --reload-rules
udevadm trigger --subsystem-match=hidraw --subsystem-match=usb
udevadm settle --timeout=10"
    [ "$(cat "$fake/calls" 2>/dev/null)" = "$expected" ] ||
        fail "the helper ran: $(cat "$fake/calls" 2>/dev/null)"
    rm -f "$fake/calls"
    if PATH="$fake:$PATH" "$helper" /tmp/other.rules 2>/dev/null; then
        fail "the helper accepted an argument"
    fi
    [ ! -e "$fake/calls" ] || fail "the helper acted on an argument"
fi

if ((failures)); then
    echo "$failures installation check(s) failed" >&2
    exit 1
fi
echo "installation in a temporary prefix is complete"
