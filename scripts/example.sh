#!/usr/bin/env bash
# Builds the project into build/ and runs the example program on the sample factory data.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2
build/examples/print-factory-info examples/factory-data.txt
