#!/usr/bin/env bash
# Installs the Debian packages that building and testing the project need, if any is missing.
# Quiet when everything is there. Installing needs root; otherwise the missing packages are
# listed and the script fails.
#
#   scripts/install-deps.sh           what scripts/test.sh and scripts/example.sh need
#   scripts/install-deps.sh --full    also what scripts/test.sh --full and scripts/bench.sh need
set -euo pipefail

packages=(
    g++ make cmake # the libraries, the example and the tests
    libsodium-dev  # SHA-256 and Ed25519
    libgtest-dev   # the unit tests (pulls in googletest)
    openssl        # the signature tests make keys and check signatures with it
    pkg-config     # the package test
    python3        # the C API's Python example and its test
    util-linux     # unshare, for the tests
    mandoc         # the manual page test lints the page with it
    dpkg-dev file  # scripts/package.sh: dpkg-buildflags, dpkg-shlibdeps; file, which CPack uses
)

# Only for the full run: the cross build for the device, run under emulation, and its checks.
full_packages=(
    crossbuild-essential-armhf # the armhf cross compiler and binutils
    libsodium-dev:armhf        # SHA-256 and Ed25519, for armhf
    libgtest-dev:armhf         # the unit tests, for armhf
    libstdc++6:armhf           # the C++ runtime that armhf programs run with under qemu-arm
    qemu-user                  # qemu-arm, which runs the armhf tests
    abigail-tools              # abidw and abidiff, for the ABI baselines
    clang                      # the header check with a second compiler; the fuzz target
    libclang-rt-14-dev         # libFuzzer and clang's sanitizer and profile runtimes
    llvm-14                    # llvm-profdata-14 and llvm-cov-14, for the fuzz corpus coverage
    libbenchmark-dev           # the benchmarks: built in the full run, run by scripts/bench.sh
    lintian                    # checks the Debian packages
    qemu-system-arm            # the board test (tests/board/): an emulated i.MX6 board
    device-tree-compiler       # dtc, which adds the flash partitions to the board's device tree
    cpio                       # packs the board's initramfs
    kmod                       # depmod, which finds the modules that the board's modules need
    valgrind                   # scripts/cold-start.sh counts instructions with callgrind
)

case "$*" in
"") ;;
--full) packages+=("${full_packages[@]}") ;;
*)
    echo "usage: scripts/install-deps.sh [--full]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${db:Status-Status}\n' "$package" 2>/dev/null | grep -qx installed; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

if ((EUID != 0)); then
    echo "install-deps: missing Debian packages: ${missing[*]}" >&2
    echo "install-deps: as root, run: apt-get install --no-install-recommends ${missing[*]}" >&2
    echo "install-deps: (armhf packages need dpkg --add-architecture armhf; apt-get update)" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# armhf packages come from the same archive once dpkg knows the architecture.
if [[ " ${missing[*]}" == *:armhf* ]] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    dpkg --add-architecture armhf
fi
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
