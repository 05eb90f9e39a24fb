#!/usr/bin/env bash
# Guards the ABI of both shared objects as built for the device (armhf), against the baselines
# in tests/abi/: the abidw description of each library (types, layouts, functions) and the list
# of its exported symbols.
#
#   scripts/abi-baseline.sh --check     compare a fresh build with the baselines (test.sh --full)
#   scripts/abi-baseline.sh --update    rewrite the baselines from a fresh build
#
# Update only for a deliberate change of the ABI, and commit the new baselines with it; a change
# that breaks existing programs also needs a new soname. The build tree is build-armhf-abi/: the
# cross toolchain, with debug information (which abidw reads) and source paths made relative, so
# that the description does not depend on where the tree is checked out.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

case "$*" in
--check) update=false ;;
--update) update=true ;;
*)
    echo "usage: scripts/abi-baseline.sh --check|--update" >&2
    exit 2
    ;;
esac

build=build-armhf-abi
baselines=tests/abi
cmake --no-warn-unused-cli -S . -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-arm-linux-gnueabihf.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD/=" \
    -DTZO_FACTORYINFO_WERROR=ON -DTZO_FACTORYINFO_TESTS=OFF -DTZO_FACTORYINFO_EXAMPLES=OFF \
    -DTZO_FACTORYINFO_TOOL=OFF -DTZO_FACTORYINFO_INSTALL=OFF >/dev/null
cmake --build "$build" -j2
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
# The library's file name carries the version that project() sets.
version=$(cached CMAKE_PROJECT_VERSION)

# guard NAME LIBRARY FILE-NAME SONAME HEADERS-DIR [NEEDED]: checks or updates one library.
# The description leaves out paths, source locations and types private to the library, which
# change without changing the ABI.
guard() {
    local name=$1 library=$2 file_name=$3 soname=$4 headers=$5 needed=${6:-}
    local baseline=$baselines/$name.abi current=$build/$name.abi
    abidw --no-corpus-path --no-comp-dir-path --no-show-locs --type-id-style hash \
        --exported-interfaces-only --drop-private-types --headers-dir "$headers" \
        --out-file "$current" "$library"
    local symbols_args=("$(cached CMAKE_NM)" "$(cached CMAKE_READELF)" "$library" "$file_name"
        "$soname" "$baselines/$name.symbols" $needed)
    if $update; then
        cp "$current" "$baseline"
        bash scripts/abi-symbols.sh --update "${symbols_args[@]}"
        echo "abi-baseline: updated $baseline and $baselines/$name.symbols"
        return
    fi

    echo "=== abidiff $baseline $current"
    # abidiff's status is a bit set: 1 error, 2 usage error, 4 ABI change, 8 incompatible change.
    local status=0
    abidiff "$baseline" "$current" || status=$?
    if ((status & 3)); then
        echo "abi-baseline: abidiff failed on $name (status $status)" >&2
        return 1
    fi
    if ((status != 0)); then
        local kind=changed
        ((status & 8)) && kind="changed incompatibly"
        echo "abi-baseline: the ABI of $name $kind (abidiff status $status);" \
            "if that is deliberate, run scripts/abi-baseline.sh --update" >&2
        return 1
    fi
    bash scripts/abi-symbols.sh "${symbols_args[@]}"
}

guard libtzo-gw-factoryinfo "$build/libtzo-gw-factoryinfo.so.$version" \
    "libtzo-gw-factoryinfo.so.$version" libtzo-gw-factoryinfo.so.0 include libtzo-gw-crypto.so.1
guard libtzo-gw-crypto "$build/crypto/libtzo-gw-crypto.so.1.0.0" \
    libtzo-gw-crypto.so.1.0.0 libtzo-gw-crypto.so.1 crypto/include
