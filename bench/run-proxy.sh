#!/bin/bash
# Builds the proxy discovery benchmark optimised and runs it with N queries per case (default 2000).
# Usage: bench/run-proxy.sh [queries] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$source_dir/../build-bench}
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target bench_proxy -j2
"$build/bench/bench_proxy" "${1:-2000}"
