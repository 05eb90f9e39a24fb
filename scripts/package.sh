#!/usr/bin/env bash
# Builds the Debian packages libtzo-gw-factoryinfo0, libtzo-gw-factoryinfo-dev and
# tzo-factoryinfo: for this machine's architecture (amd64, for the provisioning station), or
# cross-built for the gateways with --arch armhf.
#
#   scripts/package.sh [--arch ARCH] [CMAKE-OPTION]...
#
# The packages are left in build-package-ARCH/. The CMake options go to the configure step,
# for instance -DTZO_FACTORYINFO_PLATFORM_CRYPTO=ON -DCMAKE_PREFIX_PATH=/path/to/stage. The
# build is a Release build with Debian's compiler and linker flags (hardening included),
# installed to /usr without run paths; cmake/TzoPackaging.cmake describes the packages.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() {
    echo "usage: scripts/package.sh [--arch ARCH] [CMAKE-OPTION]..." >&2
    exit 2
}

host_arch=$(dpkg --print-architecture)
arch=$host_arch
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    usage
elif [[ ${1:-} == --arch ]]; then
    (($# >= 2)) || usage
    arch=$2
    shift 2
fi

cross=()
if [[ $arch == "$host_arch" ]]; then
    scripts/install-deps.sh
elif [[ $arch == armhf ]]; then
    scripts/install-deps.sh --full # the cross compiler and the armhf libraries
    cross=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake")
else
    echo "package: can build for $host_arch and armhf, not for $arch" >&2
    exit 2
fi

# dpkg-buildflags, dpkg-architecture and dpkg-shlibdeps (run by CPack) work for the
# architecture named here.
export DEB_HOST_ARCH=$arch DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
# The libraries go to Debian's multiarch directory, which CMake chooses by itself only for
# native builds.
libdir=lib/$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)

dir=build-package-$arch
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_INSTALL_LIBDIR="$libdir" -DCMAKE_SKIP_INSTALL_RPATH=ON -DTZO_FACTORYINFO_TESTS=OFF -DTZO_FACTORYINFO_EXAMPLES=OFF \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
    "${cross[@]}" "$@"
cmake --build "$dir" -j2
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB)
ls "$dir"/*.deb
