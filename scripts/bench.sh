#!/usr/bin/env bash
# Builds the benchmarks (Release, in build/bench) and prints one table of
# the engine's figures against a 16.7 ms frame, then the table of whole
# passes on a namespaced LAN, each with its targets.
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
#   scripts/bench.sh --capi                  only a host's step through the C
#                                            interface against the C++ service
#   scripts/bench.sh --ping                  only the ping at a 16 ms step, with
#                                            and without arrival times, and a
#                                            hosted game's announcements a minute
#   scripts/bench.sh --before REV ...        "before" is revision REV (a tag
#                                            or commit), not the default
# The "before" figures come from an earlier revision built side by side in
# the same run: REV is checked out (git worktree, detached) into
# build/bench-before/src, built in Release in build/bench-before/build, and
# its programs run beside this tree's, in one run. The default, 4858412^, is
# the browser before the discovery rounds, the retries and the numbered
# replies: one broadcast round, one query per server, the system's receive
# buffer. The engine table shows the earlier revision's figure beside each
# benchmark it has under the same name.
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
capi=""
ping=""
runs=3
discovery_passes=10
before_rev=4858412^
while (( $# )); do
    case $1 in
        --json) keep=$2; shift 2 ;;
        --pass) benchmarks=""; shift ;;
        --discovery) benchmarks=""; passes=""; discovery=yes; shift ;;
        --live) benchmarks=""; passes=""; live=yes; shift ;;
        --minutes) minutes=$2; shift 2 ;;
        --capi) benchmarks=""; passes=""; capi=yes; shift ;;
        --passes) discovery_passes=$2; shift 2 ;;
        --ping) benchmarks=""; passes=""; ping=yes; shift ;;
        --runs) runs=$2; shift 2 ;;
        --before) before_rev=$2; shift 2 ;;
        *) break ;;
    esac
done
# Benchmark arguments select some of the benchmarks: the passes are left out.
(( $# )) && passes=""
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "bench: --runs takes a count" >&2; exit 2; }

"$root/scripts/install-deps.sh" python3

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRENN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target brenn_bench brenn_pass brenn_discovery_sim brenn_ping_step brenn_capi_bench \
    brenn_live lanserver lanbrowse >/dev/null

# The earlier revision, side by side: its own worktree and build. A target
# it does not have yet is left out (its figures then have no "before").
before="$root/build/bench-before/build"
before_src="$root/build/bench-before/src"
commit=$(git -C "$root" rev-parse --verify "$before_rev^{commit}") ||
    { echo "bench: no revision $before_rev" >&2; exit 2; }
if [[ ! -d $before_src ]]; then
    git -C "$root" worktree add --detach "$before_src" "$commit" >/dev/null
elif [[ $(git -C "$before_src" rev-parse HEAD) != "$commit" ]]; then
    git -C "$before_src" checkout -q --detach "$commit"
fi
cmake -S "$before_src" -B "$before" -DCMAKE_BUILD_TYPE=Release -DBRENN_BUILD_TESTS=OFF >/dev/null
for target in brenn_bench brenn_pass brenn_discovery_sim lanbrowse; do
    cmake --build "$before" -j 2 --target "$target" >/dev/null 2>&1 || echo "bench: $before_rev has no $target"
done
echo "before: $before_rev ($(git -C "$root" log -1 --format='%h %s' "$commit" | cut -c1-70))"

status=0
trap 'exit 130' INT
if [[ -n $benchmarks ]]; then
    json=$(mktemp)
    json_before=$(mktemp)
    trap 'rm -f "$json" "$json_before"' EXIT
    "$build/bench/brenn_bench" --benchmark_format=json "$@" >"$json"
    [[ -n "$keep" ]] && cp "$json" "$keep"
    if [[ -x $before/bench/brenn_bench ]]; then
        "$before/bench/brenn_bench" --benchmark_format=json "$@" >"$json_before" || : >"$json_before"
    fi
    python3 "$root/scripts/bench_table.py" "$json" "$json_before" || status=1
fi
if [[ -n $passes ]]; then
    [[ -n $benchmarks ]] && echo
    "$root/scripts/bench_pass.sh" "$build" "$before" "$runs" "${keep:+$keep.pass.jsonl}" || status=1
fi
if [[ -n $discovery ]]; then
    "$root/scripts/bench_discovery.sh" "$build" "$before" "$discovery_passes" "${keep:+$keep.discovery.jsonl}" ||
        status=1
fi
if [[ -n $ping ]]; then
    "$build/bench/brenn_ping_step" || status=1
fi
if [[ -n $capi ]]; then
    capi_json=$(mktemp)
    "$build/bench/brenn_capi_bench" --benchmark_repetitions=10 --benchmark_format=json >"$capi_json"
    python3 "$root/scripts/capi_table.py" "$capi_json" || status=1
    rm -f "$capi_json"
fi
if [[ -n $live ]]; then
    [[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "bench: --minutes takes a count" >&2; exit 2; }
    "$root/scripts/bench_live.sh" "$build" "$minutes" "${keep:+$keep.live.jsonl}" || status=1
fi
exit $status
