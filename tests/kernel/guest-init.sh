#!/bin/busybox sh
# First process of the test guest: brings up the few file systems and HID
# modules the device test needs, runs it and hands its exit code to qemu.

/bin/busybox --install -s /bin
export PATH=/bin

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
echo "quado-guest: init"

finish() {
    echo "quado-guest: result $1"
    # isa-debug-exit makes qemu exit with (code << 1) | 1; if the port is
    # missing, the harness falls back to the result line above.
    printf "\\$(printf '%03o' "$1")" | dd of=/dev/port bs=1 seek=244 count=1 2>/dev/null
    poweroff -f
}

# hidraw lives in hid.ko; without hid-generic no hidraw node appears.
for module in hid hid-generic uhid; do
    if ! insmod "/lib/modules/$module.ko"; then
        echo "quado-guest: insmod $module failed"
        finish 90
    fi
done

QUADO_SIM=/bin/quado-sim /bin/kernel_device_test --gtest_color=no
finish $?
