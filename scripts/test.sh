#!/usr/bin/env bash
# Builds and tests the project.
#
#   scripts/test.sh           the Release tree build/
#   scripts/test.sh --full    the same, then build-platform-crypto/, linked against a
#                             separately staged crypto library, with the tool built without
#                             signatures; the Debug tree build-sanitize/,
#                             with ASan and UBSan; for the device (armhf): the tests under
#                             qemu-arm in build-armhf/, the ABI against the baselines in
#                             tests/abi/ (build-armhf-abi/), and the stripped sizes against
#                             their budgets; the instructions of a cold read in build/ against
#                             theirs; the armhf build on an emulated board with a real
#                             flash partition (tests/board/run.sh); the Debian packages
#                             (build-package-ARCH/) checked with lintian and used unpacked; the
#                             benchmarks in build-bench/, run briefly; and last the fuzz target
#                             of fuzz/, for a minute (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() {
    echo "usage: scripts/test.sh [--full]" >&2
    exit 2
}

full=false
case "$*" in
"") ;;
--full) full=true ;;
*) usage ;;
esac

jobs=2

# test_tree DIR CMAKE-ARGUMENTS...: configures, builds and tests one build tree.
test_tree() {
    local dir=$1
    shift
    echo "=== $dir"
    cmake -S . -B "$dir" -DTZO_FACTORYINFO_WERROR=ON "$@"
    cmake --build "$dir" -j"$jobs"
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs"
}

test_release() {
    test_tree build -DCMAKE_BUILD_TYPE=Release
}

test_sanitize() {
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} test_tree build-sanitize \
        -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
}

# The build against a platform-provided crypto library, played here by the stand-in from
# build/ staged on its own, as a device's sysroot would hold it; and, as on a device image
# without libsodium, the library and the tool built without signatures.
test_platform_crypto() {
    local stage=build-platform-crypto-stage
    rm -rf "$stage"
    mkdir -p "$stage/lib" "$stage/include/tzo"
    cp -P build/crypto/libtzo-gw-crypto.so.1* "$stage/lib/"
    cp crypto/include/tzo/crypto.hpp "$stage/include/tzo/"
    test_tree build-platform-crypto -DCMAKE_BUILD_TYPE=Release \
        -DTZO_FACTORYINFO_PLATFORM_CRYPTO=ON -DCMAKE_PREFIX_PATH="$PWD/$stage" \
        -DTZO_FACTORYINFO_SIGNATURES=OFF
}

# The device's build, cross-compiled; the tests run under qemu-arm.
test_armhf() {
    test_tree build-armhf -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake"
}

# The armhf build from build-armhf/ on an emulated board (docs/board.md): the links that the
# mdev lines and the udev rule make, and the tool reading real SPI NOR and NAND partitions
# through the kernel's MTD drivers.
test_board() {
    echo "=== board"
    local status=0
    tests/board/run.sh build-armhf || status=$?
    if ((status != 0 && status != 77)); then
        return "$status"
    fi
}

# The Debian packages for this machine, checked and then used from a scratch root.
test_deb_packages() {
    echo "=== Debian packages"
    bash tests/package/test_deb.sh
}

# The fuzz target for a minute from the seed corpus, then the lines of src/ reached.
test_fuzz() {
    echo "=== fuzz"
    scripts/fuzz.sh 60
}

# The benchmarks are built, and run once with the least measuring time, so that they keep
# working; scripts/bench.sh is what measures.
test_bench() {
    echo "=== build-bench"
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTZO_FACTORYINFO_BENCHMARKS=ON \
        -DTZO_FACTORYINFO_TESTS=OFF -DTZO_FACTORYINFO_WERROR=ON
    cmake --build build-bench -j"$jobs" --target factoryinfo-bench
    build-bench/bench/factoryinfo-bench --benchmark_min_time=0.001 >/dev/null
}

if $full; then
    scripts/install-deps.sh --full
else
    scripts/install-deps.sh
fi
test_release
if $full; then
    test_platform_crypto
    test_sanitize
    test_armhf
    test_board
    scripts/abi-baseline.sh --check
    scripts/footprint.sh --check
    scripts/cold-start.sh --check
    test_deb_packages
    test_bench
    test_fuzz
fi
