#!/bin/sh
# Installs what the build and the tests need on Debian 12. Quiet and quick when
# everything is already there.
set -eu

PACKAGES="cmake ninja-build g++ make pkg-config clang libclang-rt-14-dev clang-format clang-tidy \
libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev \
qt6-base-dev qt6-base-dev-tools qt6-translations-l10n \
xauth xvfb python3 \
dbus-daemon at-spi2-core python3-pyatspi python3-xlib imagemagick \
help2man file dpkg-dev lintian desktop-file-utils appstream xdotool strace \
g++-mingw-w64-x86-64 wine64 googletest"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
