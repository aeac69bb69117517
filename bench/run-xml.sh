#!/bin/bash
# Builds the XML benchmark optimised and runs it on a generated description of N updates (default 10000).
# Usage: bench/run-xml.sh [updates] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$source_dir/../build-bench}
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target bench_xml -j2
"$build/bench/bench_xml" "${1:-10000}"
