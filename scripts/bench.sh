#!/usr/bin/env bash
# Builds the Release tree build-bench/ with the benchmarks and runs them: Google Benchmark's
# report, then Markdown tables of the medians against their floors, the scaling with the data
# size, and the bytes and read calls per construction.
#
#   scripts/bench.sh                        5 repetitions of every case, medians reported
#   scripts/bench.sh --benchmark_filter=1MiB  any further Google Benchmark options
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh --full
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTZO_FACTORYINFO_BENCHMARKS=ON \
    -DTZO_FACTORYINFO_TESTS=OFF -DTZO_FACTORYINFO_WERROR=ON >/dev/null
cmake --build build-bench -j2 --target factoryinfo-bench
build-bench/bench/factoryinfo-bench --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true "$@"
