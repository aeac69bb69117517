#!/bin/bash
# Builds the program optimised and times downloads from a local nginx: a large file (default 1024 MiB,
# 10 paired runs) against curl -o, and the spacing of background-mode requests.
# Usage: bench/run-download.sh [runs] [size in MiB] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$source_dir/build-bench-download}
"$source_dir/scripts/install-deps" test >/dev/null
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=ON > /dev/null
cmake --build "$build" --target kvr_updater_ctl bench_download -j2 > /dev/null
"$build/bench/bench_download" "${1:-10}" "${2:-1024}"
