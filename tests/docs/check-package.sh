#!/usr/bin/env bash
# Builds the Debian package of this build into a temporary folder, checks that it carries the
# manual pages, the completions, the desktop file, the file type, the bus service, the copyright
# file and a changelog of its version, and runs Debian's own package checker on it: any error or
# warning fails.
# Usage: check-package.sh <build folder>
set -uo pipefail

build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! command -v lintian >/dev/null; then
    echo "FAIL: lintian is not installed (scripts/setup installs it)" >&2
    exit 1
fi

if ! (cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
deb=$(find "$work" -maxdepth 1 -name '*.deb')
if [ "$(wc -l <<<"$deb")" != 1 ] || [ -z "$deb" ]; then
    echo "FAIL: cpack made no single package: $deb" >&2
    exit 1
fi

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for file in \
    ./usr/share/man/man1/orvex-config.1.gz \
    ./usr/share/man/man1/orvexctl.1.gz \
    ./usr/share/man/man1/orvex-emulator.1.gz \
    ./usr/share/bash-completion/completions/orvexctl \
    ./usr/share/bash-completion/completions/orvex-config \
    ./usr/share/applications/com.orvex.Config.desktop \
    ./usr/share/mime/packages/orvex-config.xml \
    ./usr/share/dbus-1/services/com.orvex.Config.service \
    ./usr/share/doc/orvex-config/copyright \
    ./usr/share/doc/orvex-config/changelog.gz; do
    grep -qxF "$file" <<<"$contents" || fail "the package has no $file"
done

# The changelog must say what this version is: lintian does not compare the two.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/orvex-config/changelog.gz |
    gunzip >"$work/changelog" 2>/dev/null
version=$(dpkg-deb --field "$deb" Version)
logged=$(dpkg-parsechangelog --file "$work/changelog" --show-field Version 2>/dev/null)
[ "$logged" = "$version" ] ||
    fail "the changelog's latest entry is for version \"$logged\", the package is $version"

# --fail-on makes errors and warnings fail; informational tags are shown but do not count.
if ! lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb"; then
    fail "lintian rejects $(basename "$deb")"
fi

if ((failures)); then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "$(basename "$deb") is complete and lintian reports no error and no warning"
