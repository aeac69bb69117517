#!/bin/bash
# Builds the XML benchmark optimised and runs it on a generated description of N updates (default 10000).
# With "callgrind" it runs under valgrind instead and prints the instructions of each step and their
# ratios, figures that do not depend on the load of the machine (about a minute for 2000 updates);
# otherwise the load and the DOM parse alone run 7 times each, and the medians are compared, on one
# processor (KVR_BENCH_CPU, default 0): a virtual machine's processors may run at different speeds
# at one time, and a run that moved between them would compare steps timed on different ones.
# Usage: bench/run-xml.sh [updates] [build folder] [callgrind]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$source_dir/../build-bench}
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF > /dev/null
cmake --build "$build" --target bench_xml -j2
if [ "${3:-}" != callgrind ]; then
    taskset -c "${KVR_BENCH_CPU:-0}" "$build/bench/bench_xml" "${1:-10000}"
    exit
fi
command -v valgrind >/dev/null || apt-get install -y -qq --no-install-recommends valgrind >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out" "$build/bench/bench_xml" "${1:-10000}" 1 2>/dev/null | grep -E "^(load|heap)"
callgrind_annotate --inclusive=yes "$out" 2>/dev/null | awk '
    /Step[A-Za-z]*(<true>)?\(/ && !/<false>/ { match($0, /Step[A-Za-z]*/); step = substr($0, RSTART, RLENGTH); gsub(",", "", $1); ir[step] = $1 }
    END {
        for (s in ir) printf "%s: %s instructions\n", s, ir[s]
        printf "load / DOM parse: %.2f; write text / DOM serialisation: %.2f (instructions)\n",
               ir["StepLoad"] / ir["StepDomParse"], ir["StepWriteText"] / ir["StepDomSerialise"]
    }'
