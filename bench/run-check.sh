#!/bin/bash
# Builds the program optimised and times a check of N updates (default 10000) against N installed
# records, beside the DOM floor (bench_floor), md5sum and xmllint on the same description, then a
# check of 4N against 4N. Every program runs on the same processor (KVR_BENCH_CPU, default 0), as
# the processors of a virtual machine may differ in speed.
# Usage: bench/run-check.sh [updates] [runs] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$source_dir/../build-bench}
command -v xmllint >/dev/null || apt-get install -y -qq --no-install-recommends libxml2-utils >/dev/null
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target kvr_updater_ctl bench_check bench_floor -j2 > /dev/null
taskset -c "${KVR_BENCH_CPU:-0}" "$build/bench/bench_check" "$build/kvr_updater_ctl" "$build/bench/bench_floor" "${1:-10000}" "${2:-5}"
