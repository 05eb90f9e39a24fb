#!/usr/bin/env bash
# Installs a build tree into a scratch prefix and builds the examples against the installed
# files, each through the CMake package and through pkg-config: the C++ one, and the C one (C99,
# warnings as errors) with a C compiler alone; each must print the sample's identity. Then runs
# the Python example and the installed tool.
#
#   test_package.sh BUILD-DIR SOURCE-DIR CXX CXX-FLAGS [LIBDIR]
#
# SOURCE-DIR is this directory. CXX-FLAGS (one word-split string) go to every consumer build, C
# too, so that a consumer of a sanitized library is sanitized too. LIBDIR is CMAKE_INSTALL_LIBDIR,
# by default as cached in BUILD-DIR. Exits 77 (skipped) when the library or header directory
# is absolute.
#
# TZO_PACKAGE_ROOT, when set, names a root that holds the files already, below the install
# prefix of BUILD-DIR, as the Debian packages unpacked put them (test_deb.sh).
#
# For a cross build, TZO_PACKAGE_TOOLCHAIN_FILE names the CMake toolchain file for the consumer
# build and TZO_PACKAGE_EMULATOR (one word-split string) the command that runs its programs.
set -euo pipefail

build=${1:?usage: test_package.sh BUILD-DIR SOURCE-DIR CXX CXX-FLAGS [LIBDIR]}
source=$2/consumer c_source=$2/c-consumer examples=$2/../../examples
sample=$examples/factory-data.txt
cxx=$3
read -r -a flags <<<"$4"
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
libdir=${5:-$(cached CMAKE_INSTALL_LIBDIR)}

if [[ $libdir == /* || $(cached CMAKE_INSTALL_INCLUDEDIR) == /* ]]; then
    echo "skipped: an absolute install directory would install outside the scratch prefix"
    exit 77
fi

# Built against the platform's crypto library: the consumers are pointed at the same one.
crypto_library=$(cached TZO_CRYPTO_LIBRARY)
crypto_args=() crypto_link=() crypto_path=
if [[ -n $crypto_library && $crypto_library != *-NOTFOUND ]]; then
    crypto_args=(-DTZO_CRYPTO_LIBRARY="$crypto_library"
        -DTZO_CRYPTO_INCLUDE_DIR="$(cached TZO_CRYPTO_INCLUDE_DIR)")
    crypto_path=$(dirname "$crypto_library")
    crypto_link=(-Wl,-rpath-link,"$crypto_path")
fi

toolchain_args=()
if [[ -n ${TZO_PACKAGE_TOOLCHAIN_FILE:-} ]]; then
    toolchain_args=(-DCMAKE_TOOLCHAIN_FILE="$TZO_PACKAGE_TOOLCHAIN_FILE")
fi
read -r -a emulator <<<"${TZO_PACKAGE_EMULATOR:-}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
pc_relocate=() tool_path=$crypto_path
if [[ -n ${TZO_PACKAGE_ROOT:-} ]]; then
    # Packaged files name their prefix, which here lies below the root; nothing has run paths.
    prefix=$TZO_PACKAGE_ROOT$(cached CMAKE_INSTALL_PREFIX)
    pc_relocate=(--define-variable=prefix="$prefix") tool_path=$prefix/$libdir
else
    cmake --install "$build" --prefix "$prefix"
fi

# Only the consumers run with the installed libraries on LD_LIBRARY_PATH: the linker searches it
# too, and would hide a link that works nowhere else.
run_consumer() {
    LD_LIBRARY_PATH=$prefix/$libdir${crypto_path:+:$crypto_path}${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH} \
        "${emulator[@]}" "$@"
}

# Each consumer is an example, which must print the sample's identity.
expected=$'Serial number:     GW4-2026-004711\nMAC address:       00:1A:2B:3C:4D:5E\n'\
$'Hardware revision: C2\nChecksum:          verified'
check_consumer() {
    local said
    said=$(run_consumer "$1" "$sample") && echo "$said" && [[ $said == "$expected" ]]
}
# Each signed-serial example prints the serial number of the data that the station's key signed,
# given with a second key as in a rotation, and refuses the sample, which is not signed.
keys=$2/../keys signed=$scratch/signed.txt
tail -n +2 "$2/../cases/tool-keys/verify-signed" >"$signed"
# A library built without signatures refuses the keys.
check_signed_consumer() {
    if [[ $(cached TZO_FACTORYINFO_SIGNATURES) == OFF ]]; then
        ! run_consumer "$1" "$signed" "$keys/station.pub" && echo "$1: no signatures"
        return
    fi
    [[ $(run_consumer "$1" "$signed" "$keys/other.pub" "$keys/station.pub") == GW4-2026-004711 ]] &&
        ! run_consumer "$1" "$sample" "$keys/station.pub" && echo "$1: signed data only"
}

echo "=== the C++ example through the CMake package"
cmake -S "$source" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="${flags[*]}" "${toolchain_args[@]}" \
    "${crypto_args[@]}"
# The package must come from the scratch prefix, not from an install elsewhere on the machine.
grep -qx "tzo-gw-factoryinfo_DIR:PATH=$prefix/$libdir/cmake/tzo-gw-factoryinfo" \
    "$scratch/cmake/CMakeCache.txt"
cmake --build "$scratch/cmake"
check_consumer "$scratch/cmake/consumer"
check_signed_consumer "$scratch/cmake/signed-serial"

echo "=== the C example through the CMake package, in a project of C alone"
cmake -S "$c_source" -B "$scratch/c-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="${flags[*]}" "${toolchain_args[@]}" "${crypto_args[@]}"
cmake --build "$scratch/c-cmake"
check_consumer "$scratch/c-cmake/c-consumer"
check_signed_consumer "$scratch/c-cmake/signed-serial-c"

echo "=== both examples through pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
pkg-config --print-errors --exists 'tzo-gw-factoryinfo >= 0.3'
read -r -a pc_flags <<<"$(pkg-config "${pc_relocate[@]}" --cflags --libs tzo-gw-factoryinfo)"
"$cxx" "${flags[@]}" "$examples/print_factory_info.cpp" "${pc_flags[@]}" "${crypto_link[@]}" \
    -o "$scratch/consumer-pc"
check_consumer "$scratch/consumer-pc"
cc=$(cat "$scratch/c-cmake/c-compiler") # the C consumer's, the cross compiler in a cross build
"$cc" -std=c99 -Wall -Wextra -Werror -pedantic "${flags[@]}" "$examples/print_factory_info.c" \
    "${pc_flags[@]}" "${crypto_link[@]}" -o "$scratch/c-consumer-pc"
check_consumer "$scratch/c-consumer-pc"

# The Python example loads the installed library by its soname, as on a station; Python cannot
# load one built for another machine or with sanitizers.
if ((${#emulator[@]} == 0)) && [[ " ${flags[*]} " != *-fsanitize* ]]; then
    echo "=== Python example"
    said=$(LD_LIBRARY_PATH=$prefix/$libdir${crypto_path:+:$crypto_path} python3 \
        "$examples/python/tzo_factoryinfo.py" "$sample" RadioCalibration)
    echo "$said"
    grep -qx "RadioCalibration: verified" <<<"$said"
fi

# The installed tool finds the installed library by itself, through its relative run path.
tool=$prefix/$(cached CMAKE_INSTALL_BINDIR)/tzo-factoryinfo
if [[ -e $tool ]]; then
    echo "=== installed tool"
    LD_LIBRARY_PATH=$tool_path "${emulator[@]}" "$tool" --file "$sample" verify
fi
