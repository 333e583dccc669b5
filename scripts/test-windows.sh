#!/usr/bin/env bash
# Cross-builds the library for Windows with MinGW-w64 and runs every test
# program under Wine. Last, lanbrowse.exe under Wine browses a namespaced LAN
# of lanserver's servers (native) and must show what native lanbrowse shows:
# the Windows real-socket path, end to end; then the C host, lanlist.exe,
# lists the same LAN and hosts a game that native lanbrowse lists
# (scripts/lib/win-c-host.sh). The zip of the build (CPack) is checked on
# the way. The jobs live in scripts/lib/win-*.sh: building, checking the
# exports and zips, running under Wine, the LAN check.
#
# The suite runs as 32-bit (i686, wine32) where this machine runs 32-bit
# programs and as 64-bit (x86_64, wine64) where it does not; the DLL of the
# other architecture is cross-built and its export table checked either way.
# Ends with the mode line and "N passed, N failed"; non-zero on failure.
#
# Environment: BRENN_WIN_ARCH (i686 or x86_64: force the mode),
# BRENN_WIN_BUILD (build directory, default build-win), BRENN_JOBS
# (parallel compile jobs, default 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/lib/netns-lan.sh"
source "$root/scripts/lib/win-arch.sh"
source "$root/scripts/lib/win-c-host.sh"
source "$root/scripts/lib/win-build.sh"
source "$root/scripts/lib/win-unity.sh"
source "$root/scripts/lib/win-checks.sh"
source "$root/scripts/lib/win-run.sh"
source "$root/scripts/lib/win-lan.sh"
win_arch_choose
top=${BRENN_WIN_BUILD:-$root/build-win}
jobs=${BRENN_JOBS:-2}
build=$top/$WIN_ARCH
product=$top/i686
toolchain=$root/cmake/mingw-$WIN_ARCH.cmake
gtest_source=/usr/src/googletest
gtest_prefix=$build/googletest-prefix
native=$top/native
echo "Windows suite as $WIN_ARCH ($WIN_ARCH_WHY)"

step() { printf '== %s\n' "$*"; }

# The other architecture, whose plug-in is built and checked too (win-build.sh).
other=i686
[[ $WIN_ARCH == i686 ]] && other=x86_64

install_missing
started=$SECONDS
build_googletest
cross_build
product_build
native_build
built=$SECONDS
exports_ok=0
check_exports "$top/i686" i686 || exports_ok=1
check_exports "$top/x86_64" x86_64 || exports_ok=1
# The export check counts as one test.
if [[ $exports_ok -eq 0 ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
prepare_wine
run_tests
check_zip
tested=$SECONDS
check_lan

echo "build $((built - started)) s, Wine tests and zip $((tested - built)) s, LAN check $((SECONDS - tested)) s"
if [[ $WIN_ARCH == i686 ]]; then
    echo "ran the Windows suite as i686 under wine32 ($WIN_ARCH_WHY); the x86_64 DLL was built and its exports checked"
else
    echo "ran the Windows suite as x86_64 under wine64 ($WIN_ARCH_WHY); the i686 DLL was built and its exports checked"
fi
summary="$passed passed, $failed failed"
[[ $skipped -gt 0 ]] && summary+=", $skipped skipped"
echo "$summary"
[[ $failed -eq 0 && $passed -gt 0 ]]
