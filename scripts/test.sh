#!/usr/bin/env bash
# Builds the library and runs the whole test suite.
#   scripts/test.sh              build in build/test and run every test
#   scripts/test.sh --sanitize   the same under AddressSanitizer and
#                                UndefinedBehaviorSanitizer, in build/sanitize
# On a fresh Debian machine, run as root, it first installs what is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=test
cmake_args=()
if [[ "${1:-}" == "--sanitize" ]]; then
    mode=sanitize
    cmake_args+=(-DBRENN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

"$root/scripts/install-deps.sh"

build="$root/build/$mode"
cmake -S "$root" -B "$build" "${cmake_args[@]}" >/dev/null
cmake --build "$build" -j 2
cd "$build"
ctest --output-on-failure -j 2 --timeout 300
