#!/usr/bin/env bash
# Installs the Debian packages Quado needs: to build and run it, or, with
# --tests, to build and run its tests too (test frameworks, the fuzzing
# compiler, the X server and screenshot tools, the kernel test's emulator,
# the package checkers). Quick when everything is present: apt is only
# touched when something is missing.
set -euo pipefail

RUN_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite
  libsdl2-dev libudev-dev
  libmosquitto-dev libsystemd-dev
  libxcb-dpms0-dev
  fonts-liberation2
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  qt6-speech-dev qt6-declarative-dev
  qt6-speech-speechd-plugin qt6-speech-flite-plugin speech-dispatcher speech-dispatcher-espeak-ng
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libfuzzer-14-dev libclang-rt-14-dev
  xvfb xauth imagemagick libxcb1-dev
  qemu-system-x86 busybox-static xz-utils
  desktop-file-utils appstream dpkg-dev lintian devscripts
  mosquitto mosquitto-clients prometheus openssl sqlite3 faketime
  espeak-ng
  dbus-daemon at-spi2-core python3-pyatspi
)

PACKAGES=("${RUN_PACKAGES[@]}")
case "${1:-}" in
  --tests) PACKAGES+=("${TEST_PACKAGES[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac
if [ "${QUADO_DEPS_EXTRA:-}" != "" ]; then
  read -r -a extra <<<"$QUADO_DEPS_EXTRA"
  PACKAGES+=("${extra[@]}")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

. "$(dirname "${BASH_SOURCE[0]}")/apt-wait.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
apt_locked_retry $SUDO apt-get $APT_WAIT update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get $APT_WAIT install -y -qq --no-install-recommends "${missing[@]}"
