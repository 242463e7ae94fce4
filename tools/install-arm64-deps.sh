#!/usr/bin/env bash
# Sets up this Debian machine to cross-build Quado for arm64 and to run the
# arm64 programs under user-mode emulation: the arm64 architecture, the cross
# toolchain and arm64 libraries, a qemu user emulator new enough for Qt's
# QProcess, and the binfmt_misc entry that lets the kernel start arm64 programs.
# Quick when everything is present.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  crossbuild-essential-arm64
  qt6-base-dev:arm64 libgl-dev:arm64 libsdl2-dev:arm64 libudev-dev:arm64
  qt6-charts-dev:arm64 libqt6opengl6-dev:arm64 libqt6sql6-sqlite:arm64
  libmosquitto-dev:arm64 libsystemd-dev:arm64
  qt6-tools-dev:arm64
  qt6-speech-dev:arm64 qt6-declarative-dev:arm64 qt6-speech-speechd-plugin:arm64
  libgtest-dev:arm64 libgmock-dev:arm64 libfaketime:arm64
  lintian help2man
)

. "$(dirname "${BASH_SOURCE[0]}")/apt-wait.sh"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# qemu 7.2 (Debian 12) rejects the clone flags Qt 6.4's QProcess uses, so every
# test that starts a helper program fails under it; 8.0 and later accept them.
QEMU_MIN=8
qemu_ok() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
  [ -n "$v" ] || return 1
  v=${v#*:}
  [ "${v%%.*}" -ge "$QEMU_MIN" ] 2>/dev/null
}

missing=()
for p in "${PACKAGES[@]}"; do installed "$p" || missing+=("$p"); done

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
  need_update=1
fi

# The backports suite of this release, from the same mirror the system already
# uses (the mirror is read from the existing sources at run time).
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
BACKPORTS_LIST=/etc/apt/sources.list.d/quado-backports.sources
if ! qemu_ok && [ -n "$codename" ] && [ ! -e "$BACKPORTS_LIST" ] \
   && ! grep -rqs -- "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  mirror=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    mirror=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  fi
  if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
    mirror=$(awk '$1 == "deb" && $0 !~ /security/ && $0 ~ /debian/ {for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' /etc/apt/sources.list)
  fi
  if [ -n "$mirror" ]; then
    echo "Adding $codename-backports from $mirror"
    printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$mirror" "$codename" | $SUDO tee "$BACKPORTS_LIST" >/dev/null
    need_update=1
  fi
fi

if [ ${#missing[@]} -gt 0 ] || ! qemu_ok || [ -n "${need_update:-}" ]; then
  apt_locked_retry $SUDO apt-get $APT_WAIT update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get $APT_WAIT install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! qemu_ok; then
  policy=$(apt-cache policy qemu-user-static)
  if grep -q -- "$codename-backports" <<<"$policy"; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get $APT_WAIT install -y -qq --no-install-recommends \
      -t "$codename-backports" qemu-user-static
    qemu_changed=1
  else
    echo "warning: no qemu user emulator >= $QEMU_MIN available; tests that start programs may fail" >&2
    installed qemu-user-static || $SUDO env DEBIAN_FRONTEND=noninteractive apt-get $APT_WAIT install -y -qq \
      --no-install-recommends qemu-user-static
  fi
fi

# Let the kernel start arm64 programs through the emulator (tests start quado
# and the tools as ordinary programs). Containers without systemd-binfmt need
# this done by hand. Where it cannot be done (an unprivileged container), the
# build and the .deb still work: tools/arm64-can-run.sh tells make to skip the
# emulated suite, so this part only warns.
register_binfmt() {
  local BINFMT=/proc/sys/fs/binfmt_misc
  if [ ! -e "$BINFMT/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null || return 1
  fi
  # A registration made for an emulator that has since been replaced keeps the
  # old binary open (flag F): drop it so the new one is registered.
  if [ -e "$BINFMT/qemu-aarch64" ] && [ -n "${qemu_changed:-}" ]; then
    echo -1 | $SUDO tee "$BINFMT/qemu-aarch64" >/dev/null || return 1
  fi
  if [ ! -e "$BINFMT/qemu-aarch64" ]; then
    local conf=/usr/lib/binfmt.d/qemu-aarch64.conf line
    [ -f "$conf" ] || return 1
    # The static emulator with the F flag: the kernel opens it once at
    # registration, so it works inside chroots and for setuid-free sandboxes.
    line=$(grep -v '^#' "$conf" | head -n1)
    echo "$line" | $SUDO tee "$BINFMT/register" >/dev/null 2>&1 || return 1
  fi
  if [ "$(head -n1 "$BINFMT/qemu-aarch64")" != "enabled" ]; then
    echo 1 | $SUDO tee "$BINFMT/qemu-aarch64" >/dev/null 2>&1 || return 1
  fi
}
register_binfmt || echo "warning: could not register qemu-aarch64 with binfmt_misc" >&2
