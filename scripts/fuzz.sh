#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build/fuzz) and runs each for
# SECONDS under AddressSanitizer and UndefinedBehaviorSanitizer, starting
# from the seed corpora in fuzz/corpus/<target>/. New inputs go to
# build/fuzz/corpus/<target>/, crashes to build/fuzz/crashes/. Exits
# non-zero when a target crashed (the input is named in its output).
#   scripts/fuzz.sh 60            every target for 60 s
#   scripts/fuzz.sh 600 keymap    one target (parse_reply, keymap, datagrams, live)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
targets=("$@")
(( ${#targets[@]} )) || targets=(parse_reply keymap datagrams live)

"$root/scripts/install-deps.sh" clang libclang-rt-dev

build="$root/build/fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DBRENN_FUZZ=ON -DBRENN_BUILD_TESTS=OFF -DBRENN_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the fuzz targets: the shared plug-in is not built with the fuzzer runtime.
cmake --build "$build" -j 2 --target parse_reply_fuzz keymap_fuzz datagram_fuzz live_fuzz >/dev/null

declare -A binary=([parse_reply]=parse_reply_fuzz [keymap]=keymap_fuzz [datagrams]=datagram_fuzz [live]=live_fuzz)
status=0
for target in "${targets[@]}"; do
    exe="$build/fuzz/${binary[$target]:?unknown target $target}"
    work="$build/corpus/$target"
    crashes="$build/crashes/$target"
    mkdir -p "$work" "$crashes"
    log="$build/$target.log"
    echo "== $target: ${seconds}s"
    if "$exe" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        grep -E "^stat::number_of_executed_units" "$log" | sed "s/^stat::number_of_executed_units: */   executions: /" || true
        grep -E "^#[0-9]+[[:space:]]+DONE" "$log" | tail -1 | sed "s/^/   /" || true
    else
        echo "   CRASH (log: $log)"
        grep -E "ERROR|check failed|Test unit written" "$log" | head -5 | sed "s/^/   /" || true
        status=1
    fi
done
exit $status
