#!/usr/bin/env bash
# Builds the libFuzzer target of fuzz/ with clang, runs it for a bounded time from a fresh copy
# of the seed corpus (the cases of tests/cases/, with the sample in place of each reference to
# it), then reports the library lines (src/) that the seed corpus and the grown corpus reach.
#
#   scripts/fuzz.sh [SECONDS]     seconds of fuzzing, 60 unless given
#
# Trees: build-fuzz/ (ASan and UBSan; seed corpus in build-fuzz/seeds/, grown corpus in
# build-fuzz/corpus/factoryinfo/, crashing inputs in build-fuzz/artifacts/) and
# build-fuzz-coverage/ (source-based coverage). Fails when the target finds a crash.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
jobs=2
seeds=build-fuzz/seeds
corpus=build-fuzz/corpus/factoryinfo

# build_tree DIR CMAKE-ARGUMENTS...: configures and builds one tree of fuzz/ with clang.
build_tree() {
    local dir=$1
    shift
    cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTZO_FACTORYINFO_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
}

# make_seeds: writes the seed corpus, each case tests/cases/FOLDER/NAME as FOLDER-NAME, one whose
# data is the one line "@sample" (see tests/cases_test.cpp) with the bytes of
# examples/factory-data.txt instead.
make_seeds() {
    rm -rf "$seeds"
    mkdir -p "$seeds"
    local case seed
    for case in tests/cases/*/*; do
        seed=${case#tests/cases/}
        seed=$seeds/${seed//\//-}
        if tail -n +2 "$case" | cmp -s - <(echo @sample); then
            { head -n 1 "$case"; cat examples/factory-data.txt; } >"$seed"
        else
            cp "$case" "$seed"
        fi
    done
}

# fuzz: runs the target from a fresh copy of the seed corpus and prints the number of inputs it
# executed.
fuzz() {
    local log=build-fuzz/factoryinfo.log
    rm -rf "$corpus"
    mkdir -p "$corpus" build-fuzz/artifacts
    cp "$seeds"/* "$corpus/"
    if ! build-fuzz/factoryinfo-fuzzer -max_total_time="$seconds" -print_final_stats=1 \
        -dict=fuzz/factoryinfo.dict -artifact_prefix=build-fuzz/artifacts/factoryinfo- \
        "$corpus" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: found a failing input, kept in build-fuzz/artifacts/" >&2
        return 1
    fi
    printf '%s executions, corpus of %s inputs\n' \
        "$(awk '/stat::number_of_executed_units/ {print $2}' "$log")" \
        "$(find "$corpus" -type f | wc -l)"
}

# line_coverage LABEL CORPUS: runs the coverage build of the target over the directory CORPUS
# and prints the share of src/ lines reached. The full report goes to
# build-fuzz-coverage/coverage-LABEL.txt.
line_coverage() {
    local label=$1 profiles=build-fuzz-coverage/profiles-$1
    rm -rf "$profiles"
    LLVM_PROFILE_FILE="$profiles/%m.profraw" build-fuzz-coverage/factoryinfo-fuzzer -runs=0 "$2" \
        >/dev/null 2>&1
    llvm-profdata-14 merge -sparse "$profiles"/*.profraw -o "$profiles.profdata"
    local report
    report=$(llvm-cov-14 report build-fuzz-coverage/factoryinfo/libtzo-gw-factoryinfo.so \
        -object build-fuzz-coverage/factoryinfo-fuzzer -instr-profile="$profiles.profdata" \
        "$PWD/src" 2>/dev/null)
    echo "$report" >"build-fuzz-coverage/coverage-$label.txt"
    echo "$report" | awk -v label="$label" \
        '/^TOTAL/ {printf "src/ line coverage, %s: %s of %s lines (%s missed)\n", label, $8 - $9, $8, $9}'
}

echo "=== build-fuzz, build-fuzz-coverage"
build_tree build-fuzz -DTZO_FUZZ_COVERAGE=OFF
build_tree build-fuzz-coverage -DTZO_FUZZ_COVERAGE=ON

echo "=== fuzzing, ${seconds}s"
make_seeds
fuzz

echo "=== coverage"
line_coverage seed-corpus "$seeds"
line_coverage grown-corpus "$corpus"
echo "full reports: build-fuzz-coverage/coverage-*.txt"
