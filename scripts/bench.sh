#!/usr/bin/env bash
# Builds the benchmarks (Release, in build/bench) and prints one table of
# the engine's figures against a 16.7 ms frame, then the table of whole
# passes on a simulated LAN, each with its targets.
#   scripts/bench.sh                         both tables
#   scripts/bench.sh --benchmark_filter=RE   only the benchmarks matching RE
#                                            (no whole passes)
#   scripts/bench.sh --json FILE ...         also keep the raw results (the
#                                            passes' in FILE.pass.jsonl)
#   scripts/bench.sh --pass [--runs N]       only the whole passes, each case
#                                            run N times (default 3)
#   scripts/bench.sh --discovery [--passes K] only the discovery table: servers
#                                            listed per condition, K passes a
#                                            loss case (default 10)
#   scripts/bench.sh --live [--minutes M]    only the live list's figures, its
#                                            lossy run M minutes long (default 10)
# The real-socket benchmarks move the benchmark process into a network
# namespace of its own (root or user namespaces needed, else they are
# skipped): their broadcast reaches only that namespace's loopback. The
# whole passes need root (two namespaces joined by a veth pair) and are
# skipped with a message otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
keep=""
passes=yes
benchmarks=yes
discovery=""
live=""
minutes=10
runs=3
discovery_passes=10
while (( $# )); do
    case $1 in
        --json) keep=$2; shift 2 ;;
        --pass) benchmarks=""; shift ;;
        --discovery) benchmarks=""; passes=""; discovery=yes; shift ;;
        --live) benchmarks=""; passes=""; live=yes; shift ;;
        --minutes) minutes=$2; shift 2 ;;
        --passes) discovery_passes=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) break ;;
    esac
done
# Benchmark arguments select some of the benchmarks: the passes are left out.
(( $# )) && passes=""
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "bench: --runs takes a count" >&2; exit 2; }

"$root/scripts/install-deps.sh" python3

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRENN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target brenn_bench brenn_pass brenn_discovery_sim brenn_live lanserver lanbrowse \
    >/dev/null

status=0
trap 'exit 130' INT
if [[ -n $benchmarks ]]; then
    json=$(mktemp)
    trap 'rm -f "$json"' EXIT
    "$build/bench/brenn_bench" --benchmark_format=json "$@" >"$json"
    [[ -n "$keep" ]] && cp "$json" "$keep"
    python3 "$root/scripts/bench_table.py" "$json" || status=1
fi
if [[ -n $passes ]]; then
    [[ -n $benchmarks ]] && echo
    "$root/scripts/bench_pass.sh" "$build" "$runs" "${keep:+$keep.pass.jsonl}" || status=1
fi
if [[ -n $discovery ]]; then
    "$root/scripts/bench_discovery.sh" "$build" "$discovery_passes" "${keep:+$keep.discovery.jsonl}" || status=1
fi
if [[ -n $live ]]; then
    [[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "bench: --minutes takes a count" >&2; exit 2; }
    "$root/scripts/bench_live.sh" "$build" "$minutes" "${keep:+$keep.live.jsonl}" || status=1
fi
exit $status
