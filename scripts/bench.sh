#!/usr/bin/env bash
# Builds the benchmarks (Release, in build/bench) and prints one table of
# the engine's figures against a 16.7 ms frame, then the targets.
#   scripts/bench.sh                         every benchmark
#   scripts/bench.sh --benchmark_filter=RE   only those matching RE
#   scripts/bench.sh --json FILE ...         also keep the raw results
# The real-socket benchmarks move the benchmark process into a network
# namespace of its own (root or user namespaces needed, else they are
# skipped): their broadcast reaches only that namespace's loopback.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
keep=""
if [[ "${1:-}" == "--json" ]]; then
    keep=$2
    shift 2
fi

"$root/scripts/install-deps.sh" python3

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRENN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target brenn_bench >/dev/null

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/bench/brenn_bench" --benchmark_format=json "$@" >"$json"
[[ -n "$keep" ]] && cp "$json" "$keep"
python3 "$root/scripts/bench_table.py" "$json"
