#!/usr/bin/env bash
# Counts what a cold read of the sample data costs a whole process, from the loader's first
# instruction to the exit, with valgrind's callgrind: instructions, which the machine's load
# does not move. Prints a Markdown table of the counts against their budgets.
#
#   scripts/cold-start.sh           print the table
#   scripts/cold-start.sh --check   also fail when a count is over its budget
#
# The build tree is build/ (Release), the one scripts/test.sh tests; it is configured when
# missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

case "$*" in
"") check=false ;;
--check) check=true ;;
*)
    echo "usage: scripts/cold-start.sh [--check]" >&2
    exit 2
    ;;
esac

build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTZO_FACTORYINFO_WERROR=ON \
    -DTZO_FACTORYINFO_TOOL=ON -DTZO_FACTORYINFO_EXAMPLES=ON >/dev/null
cmake --build "$build" -j2 --target tzo-factoryinfo print-factory-info >/dev/null
tool=$build/tools/tzo-factoryinfo
sample=examples/factory-data.txt
key=tests/keys/station

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" -f "$sample" seal --sign-key "$key.pem" >"$scratch/signed.txt"

# millions COUNT: prints COUNT in millions, to two decimals.
millions() { awk -v count="$1" 'BEGIN { printf "%.2f M", count / 1e6 }'; }

# measure DESCRIPTION BUDGET COMMAND...: runs COMMAND under callgrind, which must succeed, and
# prints the table row of its count of instructions against BUDGET, which it must not exceed;
# an empty budget is only reported.
over_budget=false
measure() {
    local description=$1 budget=$2
    shift 2
    local log=$scratch/callgrind.log
    if ! valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$log" \
        "$@" >/dev/null; then
        echo "cold-start: failed: $*" >&2
        exit 1
    fi
    local count
    count=$(sed -n 's/^==[0-9]*== Collected : //p' "$log")
    local verdict=-
    if [[ -n $budget ]]; then
        verdict="≤ $(millions "$budget")"
        if ((count > budget)); then
            verdict+=" **over**"
            over_budget=true
        fi
    fi
    printf '| %s | %s (%d) | %s |\n' "$description" "$(millions "$count")" "$count" "$verdict"
}

echo "| process | instructions | budget |"
echo "|---|---:|---:|"
measure "\`print-factory-info SAMPLE\`: one FactoryInfo, sum recorded" 3000000 \
    "$build/examples/print-factory-info" "$sample"
measure "\`tzo-factoryinfo -f SAMPLE get SerialNumber\`" 3000000 \
    "$tool" -f "$sample" get SerialNumber
measure "\`tzo-factoryinfo -f SIGNED-SAMPLE --key KEY -r get SerialNumber\`" \
    4000000 "$tool" -f "$scratch/signed.txt" --key "$key.pub" -r get SerialNumber

if $check && $over_budget; then
    echo "cold-start: a count is over its budget" >&2
    exit 1
fi
