# Cross-building Quado for arm64 on a Debian PC whose arm64 libraries are
# installed beside the native ones (multiarch; tools/install-arm64-deps.sh).
# Programs the build runs itself (the asset generator) and the test programs
# run under the qemu user emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Without the cross pkg-config, libudev resolves to the amd64 copy and the
# link fails late.
set(PKG_CONFIG_EXECUTABLE /usr/bin/aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Not -L /usr/aarch64-linux-gnu: the programs link against the multiarch
# C library in /usr/lib/aarch64-linux-gnu, and mixing that with the cross
# toolchain's copy hangs them.
find_program(QUADO_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUADO_QEMU_AARCH64})

# Libraries and headers only from the target; programs (moc, rcc, uic, the
# Qt host tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# The .deb is labelled by what it holds, not by the machine that packs it.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
