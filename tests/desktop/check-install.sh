#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a Linux desktop expects to find
# there: programs, udev rule and helper, menu entry, icons, the file type of configuration files
# and the program that opens them, the session bus service, AppStream data, manual pages, shell
# completions and documentation.  Usage: check-install.sh <build folder>
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
expect_file share/applications/com.orvex.Config.desktop
expect_file share/icons/hicolor/scalable/apps/orvex-config.svg
expect_file share/icons/hicolor/scalable/mimetypes/application-x-orvex-configuration.svg
expect_file share/mime/packages/orvex-config.xml
expect_file share/dbus-1/services/com.orvex.Config.service
expect_file share/metainfo/com.orvex.Config.metainfo.xml
for page in orvex-config orvexctl orvex-emulator; do
    expect_file "share/man/man1/$page.1.gz"
    [ -f "$prefix/share/man/man1/$page.1.gz" ] && ! gzip -t "$prefix/share/man/man1/$page.1.gz" &&
        fail "share/man/man1/$page.1.gz is not a gzip file"
done
expect_file share/bash-completion/completions/orvexctl
expect_file share/bash-completion/completions/orvex-config
expect_file share/doc/orvex-config/copyright
expect_file share/doc/orvex-config/changelog.gz
expect_file share/doc/orvex-config/user-guide.md
expect_file share/doc/orvex-config/emulator-protocol.md

# Nothing the tests, benchmarks or the screenshot tour build belongs in the installation.
unexpected=$(find "$prefix" -type f -printf '%P\n' | grep -Ei 'test|bench|screenshot' || true)
[ -z "$unexpected" ] || fail "test files installed: $unexpected"

desktop=$prefix/share/applications/com.orvex.Config.desktop
if [ -f "$desktop" ]; then
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop file"
    fi
    grep -qx 'Exec=orvex-config %f' "$desktop" || fail "desktop file does not start orvex-config"
    grep -qx 'DBusActivatable=true' "$desktop" || fail "desktop file is not D-Bus activatable"
    grep -qx 'Icon=orvex-config' "$desktop" || fail "desktop file does not name the icon"
    grep -qx 'Categories=Settings;HardwareSettings;' "$desktop" ||
        fail "desktop file has other categories"
fi

metainfo=$prefix/share/metainfo/com.orvex.Config.metainfo.xml
if [ -f "$metainfo" ]; then
    grep -q '@[A-Z_]*@' "$metainfo" && fail "metainfo has unreplaced placeholders"
    grep -q '<launchable type="desktop-id">com.orvex.Config.desktop</launchable>' "$metainfo" ||
        fail "metainfo does not launch the desktop file"
    grep -q '<mediatype>application/x-orvex-configuration</mediatype>' "$metainfo" ||
        fail "metainfo does not say the program opens configuration files"
    # The licence software centres show is the one in LICENSE ("MIT License" gives "MIT").
    licence=$(head -n 1 "$(dirname "$0")/../../LICENSE")
    grep -q "<project_license>${licence% License}</project_license>" "$metainfo" ||
        fail "metainfo does not name the licence of LICENSE (${licence% License})"
    # appstreamcli only counts when it works without the network.
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
    fi
fi

# The bus starts the installed program under the name of the desktop file.
service=$prefix/share/dbus-1/services/com.orvex.Config.service
if [ -f "$service" ]; then
    [ "$(cat "$service")" = "[D-BUS Service]
Name=com.orvex.Config
Exec=$prefix/bin/orvex-config" ] || fail "the bus service reads: $(cat "$service")"
fi

# The desktop's own tools on the installed tree, as its package triggers run them: a
# configuration file is known by its name in any letter case, and the utility is the program
# that opens it.  The user's own settings stay out of it.
if ! update-mime-database "$prefix/share/mime" || ! update-desktop-database "$prefix/share/applications"
then
    fail "the desktop's databases could not be built"
fi
home=$prefix/home
mkdir -p "$home/data" "$home/config"
touch "$home/x.ORV" "$home/pedals.orv"
query() {
    XDG_DATA_DIRS=$prefix/share XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
        XDG_CONFIG_DIRS=$home/config XDG_CURRENT_DESKTOP=X-Generic xdg-mime query "$@"
}
for file in "$home/x.ORV" "$home/pedals.orv"; do
    type=$(query filetype "$file")
    [ "$type" = application/x-orvex-configuration ] || fail "$(basename "$file") is of type '$type'"
done
default=$(query default application/x-orvex-configuration)
[ "$default" = com.orvex.Config.desktop ] || fail "configuration files open with '$default'"
grep -q '<comment>ORVEX configuration</comment>' \
    "$prefix/share/mime/application/x-orvex-configuration.xml" 2>/dev/null ||
    fail "the file type is not called \"ORVEX configuration\""

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
