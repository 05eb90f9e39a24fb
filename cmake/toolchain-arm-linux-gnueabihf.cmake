# Cross build for 32-bit ARM hard-float Linux with Debian's cross toolchain
# (crossbuild-essential-armhf) and armhf packages installed through multiarch
# (dpkg --add-architecture armhf; apt-get install libsodium-dev:armhf
# libgtest-dev:armhf libstdc++6:armhf).
#
#   cmake -S . -B build-armhf \
#         -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake"
#
# Test programs run through qemu-arm, so ctest and gtest_discover_tests work as on the host.
# To build against a device's sysroot instead of multiarch, also pass
# -DCMAKE_SYSROOT=/path/to/sysroot (and leave the tests to the multiarch build).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(TZO_CROSS_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${TZO_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TZO_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TZO_CROSS_TRIPLE})

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Libraries, headers and packages are searched for only below the find roots (tools on the
# host), and pkg-config, which finds libsodium, describes armhf packages only.
# Target programs (tests, test discovery) run under user-mode emulation.
if(CMAKE_SYSROOT)
    # A sysroot holds everything, its own loader included.
    set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CMAKE_SYSROOT}")
    set(ENV{PKG_CONFIG_LIBDIR} "${CMAKE_SYSROOT}/usr/lib/${TZO_CROSS_TRIPLE}/pkgconfig:\
${CMAKE_SYSROOT}/usr/lib/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig")
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L "${CMAKE_SYSROOT}")
else()
    # Debian multiarch keeps armhf libraries in /usr/lib/arm-linux-gnueabihf, next to the
    # host's, and the cross toolchain's own files in /usr/arm-linux-gnueabihf; the armhf
    # directories are chosen through CMAKE_LIBRARY_ARCHITECTURE. The armhf loader and libraries
    # are the host's own (libc6:armhf, libstdc++6:armhf), so qemu-arm needs no prefix:
    # "-L /usr/arm-linux-gnueabihf" would pair the cross toolchain's loader with the multiarch
    # libc, a mismatch that crashes forked children.
    set(CMAKE_FIND_ROOT_PATH /usr/${TZO_CROSS_TRIPLE} /)
    set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${TZO_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig")
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
endif()
