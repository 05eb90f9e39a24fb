#!/usr/bin/env bash
# Compiles a file that includes only the public header, as every C++ standard from C++11 to
# C++20, with warnings as errors.
#
#   header_check.sh CXX INCLUDE-DIR SOURCE
#
# Exits 77 (skipped) when the compiler CXX is not installed.
set -euo pipefail

if (($# != 3)); then
    echo "usage: header_check.sh CXX INCLUDE-DIR SOURCE" >&2
    exit 2
fi
cxx=$1 include=$2 source=$3

if ! command -v "$cxx" >/dev/null; then
    echo "skipped: $cxx not found"
    exit 77
fi

for standard in 11 14 17 20; do
    echo "=== $cxx -std=c++$standard"
    "$cxx" -std=c++$standard -Wall -Wextra -Wpedantic -Werror -I"$include" -fsyntax-only "$source"
done
