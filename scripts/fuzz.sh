#!/usr/bin/env bash
# Builds the libFuzzer target of fuzz/ with clang, runs it for a bounded time from a fresh copy
# of the seed corpus (the cases of tests/cases/), then reports the library lines (src/) that the
# seed corpus and the grown corpus reach.
#
#   scripts/fuzz.sh [SECONDS]     seconds of fuzzing, 60 unless given
#
# Trees: build-fuzz/ (ASan and UBSan; corpus in build-fuzz/corpus/factoryinfo, crashing inputs in
# build-fuzz/artifacts/) and build-fuzz-coverage/ (source-based coverage). Fails when the target
# finds a crash.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
jobs=2
targets=(factoryinfo)

# build_tree DIR CMAKE-ARGUMENTS...: configures and builds one tree of fuzz/ with clang.
build_tree() {
    local dir=$1
    shift
    cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTZO_FACTORYINFO_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
}

# fuzz_target NAME: runs one target from a fresh copy of the seed corpus and prints the
# number of inputs it executed.
fuzz_target() {
    local name=$1 corpus=build-fuzz/corpus/$1 log=build-fuzz/$1.log
    rm -rf "$corpus"
    mkdir -p "$corpus" build-fuzz/artifacts
    cp tests/cases/* "$corpus/"
    if ! "build-fuzz/$name-fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -dict=fuzz/factoryinfo.dict -artifact_prefix="build-fuzz/artifacts/$name-" \
        "$corpus" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $name found a failing input, kept in build-fuzz/artifacts/" >&2
        return 1
    fi
    printf '%-10s %10s executions, corpus of %s inputs\n' "$name" \
        "$(awk '/stat::number_of_executed_units/ {print $2}' "$log")" \
        "$(find "$corpus" -type f | wc -l)"
}

# line_coverage LABEL CORPUS: runs the coverage build of every target over CORPUS (a directory;
# TARGET in it stands for the target's name) and prints the share of src/ lines reached. The
# full report goes to build-fuzz-coverage/coverage-LABEL.txt.
line_coverage() {
    local label=$1 profiles=build-fuzz-coverage/profiles-$1 objects=()
    rm -rf "$profiles"
    for name in "${targets[@]}"; do
        local corpus=${2//TARGET/$name}
        LLVM_PROFILE_FILE="$profiles/%m-$name.profraw" \
            "build-fuzz-coverage/$name-fuzzer" -runs=0 "$corpus" >/dev/null 2>&1
        objects+=(-object "build-fuzz-coverage/$name-fuzzer")
    done
    llvm-profdata-14 merge -sparse "$profiles"/*.profraw -o "$profiles.profdata"
    local report
    report=$(llvm-cov-14 report build-fuzz-coverage/factoryinfo/libtzo-gw-factoryinfo.so \
        "${objects[@]}" -instr-profile="$profiles.profdata" "$PWD/src" 2>/dev/null)
    echo "$report" >"build-fuzz-coverage/coverage-$label.txt"
    echo "$report" | awk -v label="$label" \
        '/^TOTAL/ {printf "src/ line coverage, %s: %s of %s lines (%s missed)\n", label, $8 - $9, $8, $9}'
}

echo "=== build-fuzz, build-fuzz-coverage"
build_tree build-fuzz -DTZO_FUZZ_COVERAGE=OFF
build_tree build-fuzz-coverage -DTZO_FUZZ_COVERAGE=ON

echo "=== fuzzing, ${seconds}s per target"
for name in "${targets[@]}"; do
    fuzz_target "$name"
done

echo "=== coverage"
line_coverage seed-corpus tests/cases
line_coverage grown-corpus build-fuzz/corpus/TARGET
echo "full reports: build-fuzz-coverage/coverage-*.txt"
