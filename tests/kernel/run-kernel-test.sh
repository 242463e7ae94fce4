#!/usr/bin/env bash
# Runs the device test against a real Linux HID stack: boots Debian's stock
# kernel under qemu with a busybox initramfs that holds quado-sim (virtual
# adapters through uhid) and the test binary, and passes or fails with it.
#
#   run-kernel-test.sh --test BIN --sim BIN --work DIR [--timeout S]
#
# The kernel package is fetched with apt-get download (never installed) and
# its vmlinuz and HID modules are kept under $QUADO_KERNEL_CACHE, by default
# ${XDG_CACHE_HOME:-$HOME/.cache}/quado-kernel. Exits 77 (skipped) only when
# qemu cannot run at all.
set -euo pipefail

ORIGINAL_ARGS=("$@")
SKIP=77
TEST_BIN=""
SIM_BIN=""
WORK=""
TIMEOUT=600
# A guest that has not reached its init this long after start under KVM is
# taken as a broken KVM; the run starts again under emulation.
KVM_GRACE=8
MODULES=(hid hid-generic uhid)

log() { echo "kernel test: $*" >&2; }
die() { log "FAILED: $*"; exit 1; }
skip() { log "SKIPPED: $*"; exit $SKIP; }

while [ $# -gt 0 ]; do
    case "$1" in
    --test) TEST_BIN=$2; shift 2 ;;
    --sim) SIM_BIN=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    *) die "unknown argument $1" ;;
    esac
done
[ -x "$TEST_BIN" ] || die "no test binary (--test)"
[ -x "$SIM_BIN" ] || die "no quado-sim binary (--sim)"
[ -n "$WORK" ] || die "no work directory (--work)"
HERE=$(cd "$(dirname "$0")" && pwd)

QEMU=$(command -v qemu-system-x86_64 || true)
[ -n "$QEMU" ] || skip "qemu-system-x86_64 is not installed (package qemu-system-x86)"
"$QEMU" -version >/dev/null 2>&1 || skip "qemu-system-x86_64 does not start"
BUSYBOX=""
for candidate in /bin/busybox /usr/bin/busybox; do
    if [ -x "$candidate" ] && ! ldd "$candidate" >/dev/null 2>&1; then BUSYBOX=$candidate; break; fi
done
[ -n "$BUSYBOX" ] || die "no static busybox (package busybox-static)"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif sudo -n true 2>/dev/null; then sudo "$@"; else return 1; fi
}

apt_quiet() {
    # apt's download sandbox user cannot write into a private directory; as
    # root the download simply stays root's.
    if [ "$(id -u)" -eq 0 ]; then apt-get -o APT::Sandbox::User=root "$@"; else apt-get "$@"; fi
}

resolve_kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        grep -o 'linux-image-[0-9][^ ]*-amd64' | head -n 1 || true
}

# Prints the path of a module in the unpacked tree, compressed or not.
find_module() {
    local root=$1 name=$2 suffix found
    for suffix in .ko .ko.xz .ko.zst .ko.gz; do
        found=$(find "$root/lib/modules" -path "*/kernel/drivers/hid/$name$suffix" 2>/dev/null | head -n 1)
        if [ -n "$found" ]; then echo "$found"; return 0; fi
    done
    return 1
}

# Decompresses at build time: busybox insmod in the guest takes plain .ko.
store_module() {
    local from=$1 to=$2
    case "$from" in
    *.ko.xz) xz -dc "$from" >"$to" ;;
    *.ko.zst) zstd -qdc "$from" >"$to" ;;
    *.ko.gz) gzip -dc "$from" >"$to" ;;
    *) cp "$from" "$to" ;;
    esac
}

fetch_kernel() {
    local package=$1 target=$2 tmp deb module path
    tmp=$(mktemp -d "$CACHE/.fetch.XXXXXX")
    log "downloading $package"
    if ! (cd "$tmp" && apt_quiet download -q "$package" >/dev/null 2>&1); then
        # The local package lists may name a build the mirror no longer has.
        as_root apt-get update -qq >/dev/null 2>&1 || true
        (cd "$tmp" && apt_quiet download -q "$package" >/dev/null) || { rm -rf "$tmp"; return 1; }
    fi
    deb=$(ls "$tmp"/*.deb)
    dpkg -x "$deb" "$tmp/root"
    mkdir -p "$tmp/out"
    path=$(ls "$tmp"/root/boot/vmlinuz-* 2>/dev/null | head -n 1)
    [ -n "$path" ] || { rm -rf "$tmp"; log "no vmlinuz in $package"; return 1; }
    cp "$path" "$tmp/out/vmlinuz"
    for module in "${MODULES[@]}"; do
        path=$(find_module "$tmp/root" "$module") || { rm -rf "$tmp"; log "no $module module in $package"; return 1; }
        store_module "$path" "$tmp/out/$module.ko"
    done
    rm -rf "$target"
    mv "$tmp/out" "$target"
    rm -rf "$tmp"
}

# --- kernel ------------------------------------------------------------------
CACHE=${QUADO_KERNEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quado-kernel}
mkdir -p "$CACHE"
exec 9>"$CACHE/.lock"
flock 9   # parallel runs from other build trees share the cache

PACKAGE=$(resolve_kernel_package)
if [ -z "$PACKAGE" ]; then
    as_root apt-get update -qq >/dev/null 2>&1 || true
    PACKAGE=$(resolve_kernel_package)
fi
if [ -z "$PACKAGE" ]; then
    # Offline and without package lists: any kernel fetched before will do.
    PACKAGE=$(ls -1t "$CACHE" 2>/dev/null | grep '^linux-image-' | head -n 1 || true)
    [ -n "$PACKAGE" ] || die "cannot resolve linux-image-amd64 (apt-cache depends) and nothing is cached"
fi
KERNEL_DIR=$CACHE/$PACKAGE
if [ ! -f "$KERNEL_DIR/vmlinuz" ]; then
    fetch_kernel "$PACKAGE" "$KERNEL_DIR" || die "could not fetch $PACKAGE"
    # Older kernels are of no further use.
    for old in "$CACHE"/linux-image-*; do
        [ "$old" = "$KERNEL_DIR" ] || rm -rf "$old"
    done
fi
touch "$KERNEL_DIR"
flock -u 9

# --- initramfs ---------------------------------------------------------------
INITRAMFS=$WORK/initramfs
rm -rf "$INITRAMFS"
mkdir -p "$WORK" "$INITRAMFS"/{bin,dev,proc,sys,run,tmp,lib/modules}
cp "$BUSYBOX" "$INITRAMFS/bin/busybox"
for module in "${MODULES[@]}"; do cp "$KERNEL_DIR/$module.ko" "$INITRAMFS/lib/modules/"; done
cp "$HERE/guest-init.sh" "$INITRAMFS/init"
chmod 755 "$INITRAMFS/init"
cp "$TEST_BIN" "$INITRAMFS/bin/kernel_device_test"
cp "$SIM_BIN" "$INITRAMFS/bin/quado-sim"

# Shared libraries (and the loader) go where the binaries expect them.
for bin in "$TEST_BIN" "$SIM_BIN"; do
    ldd "$bin" | grep -o '/[^ ]*' || true
done | sort -u | while read -r lib; do
    mkdir -p "$INITRAMFS$(dirname "$lib")"
    cp -L "$lib" "$INITRAMFS$lib"
done

CPIO="cpio"
command -v cpio >/dev/null 2>&1 || CPIO="$BUSYBOX cpio"
(cd "$INITRAMFS" && find . | $CPIO -o -H newc -R 0:0 2>/dev/null) | gzip -1 >"$WORK/initrd.gz"

# --- boot --------------------------------------------------------------------
CONSOLE=$WORK/console.log

# Starts qemu in the background with the given accelerator; sets QEMU_PID.
start_qemu() {
    : >"$CONSOLE"
    timeout --kill-after=5 "$TIMEOUT" "$QEMU" -accel "$1" -m 512 -smp 2 \
        -kernel "$KERNEL_DIR/vmlinuz" -initrd "$WORK/initrd.gz" \
        -append "console=ttyS0 quiet panic=-1" \
        -nographic -no-reboot -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
        </dev/null >"$CONSOLE" 2>&1 &
    QEMU_PID=$!
}

kvm_usable() {
    [ -r /dev/kvm ] && [ -w /dev/kvm ] || return 1
    [ ! -e "$CACHE/kvm-unusable-$(hostname)-$(uname -r)" ]
}

START=$(date +%s%N)
ACCEL=tcg
if kvm_usable; then
    ACCEL=kvm
    start_qemu kvm
    waited=0
    while kill -0 "$QEMU_PID" 2>/dev/null && ! grep -q 'quado-guest: init' "$CONSOLE"; do
        sleep 0.2
        waited=$((waited + 1))
        [ $waited -lt $((KVM_GRACE * 5)) ] || break
    done
    if ! grep -q 'quado-guest: init' "$CONSOLE"; then
        kill "$QEMU_PID" 2>/dev/null || true
        wait "$QEMU_PID" 2>/dev/null || true
        log "KVM does not boot the guest here; using emulation from now on"
        touch "$CACHE/kvm-unusable-$(hostname)-$(uname -r)"
        ACCEL=tcg
        start_qemu tcg
    fi
else
    start_qemu tcg
fi
set +e
wait "$QEMU_PID"
STATUS=$?
set -e
ELAPSED_MS=$((($(date +%s%N) - START) / 1000000))

# The console carries the firmware's screen control codes; drop them.
sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1bc//g' -e 's/\r$//' "$CONSOLE"
log "qemu ($ACCEL) exited with $STATUS after ${ELAPSED_MS} ms"

if [ $STATUS -eq 124 ] || [ $STATUS -eq 137 ]; then
    # An emulated guest on a loaded two-core machine has been seen to stall
    # once in many runs; its console above shows where. One more boot tells a
    # stall of the emulator from a hang of ours, which hangs again.
    if [ -z "${QUADO_KERNEL_TEST_RETRIED:-}" ]; then
        log "the guest did not finish within ${TIMEOUT}s; booting it once more"
        QUADO_KERNEL_TEST_RETRIED=1 exec "$0" "${ORIGINAL_ARGS[@]}"
    fi
    die "the guest did not finish within ${TIMEOUT}s"
fi
# The guest prints its result and, through isa-debug-exit, makes qemu exit
# with (result << 1) | 1 (of which an exit status keeps 8 bits); both must
# agree, so a qemu that failed on its own (exit 1) cannot pass for a guest
# that passed.
RESULT=$(sed -n 's/.*quado-guest: result \([0-9]*\).*/\1/p' "$CONSOLE" | tail -n 1)
[ -n "$RESULT" ] || die "the guest gave no result (qemu exit status $STATUS)"
if [ $((STATUS & 1)) -eq 1 ] && [ $(((STATUS - 1) / 2)) -ne $((RESULT & 127)) ]; then
    die "qemu exit status $STATUS does not match the guest's result $RESULT"
fi
[ "$RESULT" -eq 0 ] || die "the device test failed in the guest (exit code $RESULT)"
log "passed"
