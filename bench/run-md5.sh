#!/bin/bash
# Builds optimised and times the MD5 check of a cached file beside md5sum, printing the ratio.
# Usage: bench/run-md5.sh [size in MiB] [runs] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$source_dir/../build-bench}
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target bench_md5 -j2 > /dev/null
"$build/bench/bench_md5" "${1:-1024}" "${2:-5}"
