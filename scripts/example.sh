#!/usr/bin/env bash
# Builds the project into build/ and runs the tool on the sample factory data: every pair of
# the Factoryinfo section, then the verification of both protected sections.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2

sample=examples/factory-data.txt
run() {
    echo "\$ tzo-factoryinfo $*"
    build/tools/tzo-factoryinfo "$@"
}
run --file "$sample" list
run --file "$sample" verify Factoryinfo RadioCalibration
