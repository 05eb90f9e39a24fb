#!/usr/bin/env bash
# Checks what a shared object shows the programs linked against it: its file name, its soname,
# the libraries it needs, and the names of the symbols it exports, against a list kept in
# tests/abi/, or writes that list; scripts/abi-baseline.sh and the tests abi.* run it.
#
#   scripts/abi-symbols.sh [--update] NM READELF LIBRARY FILE-NAME SONAME SYMBOL-LIST [NEEDED]
#
# Symbols are compared as demangled names, sorted, one per line (a constructor appears twice:
# as complete and as base object constructor); lines of SYMBOL-LIST starting with "#" are
# comments. NEEDED, when given, must be one of the library's DT_NEEDED entries. --update writes
# SYMBOL-LIST from LIBRARY instead of comparing. Exits 77 (skipped) without NM or READELF.
set -euo pipefail

update=false
if [[ ${1:-} == --update ]]; then
    update=true
    shift
fi
nm=$1 readelf=$2 library=$3 file_name=$4 soname=$5 needed=${7:-}
list=${6:?usage: abi-symbols.sh [--update] NM READELF LIBRARY FILE-NAME SONAME SYMBOL-LIST [NEEDED]}

if ! command -v "$nm" >/dev/null || ! command -v "$readelf" >/dev/null; then
    echo "skipped: nm or readelf not found ('$nm', '$readelf')"
    exit 77
fi

# Prints the demangled names of the symbols that LIBRARY defines in its dynamic symbol table.
# The lists are the device's, where std::size_t is unsigned int: a 64-bit host's unsigned long
# parameters are written so too.
exported_symbols() {
    "$nm" -D --defined-only -C "$library" | sed -e 's/^[0-9a-fA-F]* [A-Za-z] //' \
        -e 's/unsigned long\([,)]\)/unsigned int\1/g' | LC_ALL=C sort
}

if $update; then
    {
        echo "# Exported symbols of $soname: demangled, sorted, constructors twice."
        echo "# Written by scripts/abi-baseline.sh --update; a change here is a change of the ABI."
        exported_symbols
    } >"$list"
    exit 0
fi

status=0
# Reports a mismatch and marks the check failed.
mismatch() {
    echo "MISMATCH: $*" >&2
    status=1
}

[[ $(basename "$library") == "$file_name" ]] ||
    mismatch "file name is $(basename "$library"), expected $file_name"

dynamic=$("$readelf" -d "$library")
actual_soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p' <<<"$dynamic")
[[ $actual_soname == "$soname" ]] || mismatch "soname is '$actual_soname', expected $soname"
if [[ -n $needed ]] && ! grep '(NEEDED)' <<<"$dynamic" | grep -qF "[$needed]"; then
    mismatch "$needed is not among the libraries needed"
fi

if ! diff -u --label "expected ($list)" --label "exported by $library" \
    <(grep -v '^#' "$list") <(exported_symbols); then
    mismatch "exported symbols differ"
fi
exit $status
