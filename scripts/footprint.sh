#!/usr/bin/env bash
# Prints what the shipped files take on the device: both libraries and the programs, built for
# armhf in Release and stripped as a device image strips them, as a Markdown table; the factory
# info library also as built without signatures.
#
#   scripts/footprint.sh           print the table
#   scripts/footprint.sh --check   also fail when a library is over its budget
#
# The build tree is build-armhf/, the one that scripts/test.sh --full tests; it is configured
# when missing. Only stripped copies are measured; the tree keeps its own files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

case "$*" in
"") check=false ;;
--check) check=true ;;
*)
    echo "usage: scripts/footprint.sh [--check]" >&2
    exit 2
    ;;
esac

build=build-armhf
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake" \
    -DTZO_FACTORYINFO_WERROR=ON -DTZO_FACTORYINFO_TOOL=ON -DTZO_FACTORYINFO_EXAMPLES=ON >/dev/null
cmake --build "$build" -j2 --target tzo-gw-factoryinfo tzo-gw-crypto tzo-factoryinfo \
    print-factory-info >/dev/null
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
strip=$(cached CMAKE_STRIP)
version=$(cached CMAKE_PROJECT_VERSION) # project()'s, which the library's file name carries

stripped=$build/footprint
rm -rf "$stripped"
mkdir -p "$stripped"

over_budget=false
echo "| file | stripped bytes | KiB | budget |"
echo "|---|---:|---:|---:|"
# measure FILE [BUDGET-KIB]: prints the table row of FILE, stripped, and checks it against its
# budget, which it must stay under.
measure() {
    local file=$1 budget_kib=${2:-}
    local copy
    copy=$stripped/$(basename "$file")
    "$strip" -o "$copy" "$file"
    local bytes
    bytes=$(stat -c %s "$copy")
    local budget=-
    if [[ -n $budget_kib ]]; then
        budget="< $budget_kib KiB"
        if ((bytes >= budget_kib * 1024)); then
            budget+=" **over**"
            over_budget=true
        fi
    fi
    printf '| %s | %d | %.1f | %s |\n' "$(basename "$file")" "$bytes" \
        "$(awk -v bytes="$bytes" 'BEGIN { print bytes / 1024 }')" "$budget"
}

measure "$build/libtzo-gw-factoryinfo.so.$version" 40
# The library of a device image without libsodium, built on its own in build-armhf-nosig/, with
# the run path that it is installed with: a build tree's own run path names the tree, and so
# would make the file longer the deeper the tree lies.
nosig=build-armhf-nosig
cmake --no-warn-unused-cli -S . -B "$nosig" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake" \
    -DTZO_FACTORYINFO_WERROR=ON -DTZO_FACTORYINFO_SIGNATURES=OFF -DTZO_FACTORYINFO_TESTS=OFF \
    -DTZO_FACTORYINFO_TOOL=OFF -DTZO_FACTORYINFO_EXAMPLES=OFF \
    -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON >/dev/null
cmake --build "$nosig" -j2 --target tzo-gw-factoryinfo >/dev/null
cp "$nosig/libtzo-gw-factoryinfo.so.$version" "$nosig/without-signatures.so"
measure "$nosig/without-signatures.so" 32
measure "$build/crypto/libtzo-gw-crypto.so.1.0.0" 8
measure "$build/tools/tzo-factoryinfo"
measure "$build/examples/print-factory-info"

if $check && $over_budget; then
    echo "footprint: a library is over its budget" >&2
    exit 1
fi
