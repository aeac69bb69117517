#!/bin/bash
# Builds the XML fuzz target with clang, AddressSanitizer and UBSan, and fuzzes it for the given
# number of seconds (default 600) from the documents in tests/data/xml.
# Usage: fuzz/run-xml.sh [seconds] [build folder]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=${2:-$source_dir/../build-fuzz}
work=$source_dir/fuzz-work
CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVR_FUZZ=ON -DKVR_SANITIZE=ON -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target fuzz_xml -j2
mkdir -p "$work/corpus" "$work/artifacts"
"$build/fuzz/fuzz_xml" "$work/corpus" "$source_dir/tests/data/xml" "$source_dir/tests/data/xml/fuzz-regressions" \
    -dict="$source_dir/fuzz/xml.dict" -max_len=16384 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/"
