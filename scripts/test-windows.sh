#!/usr/bin/env bash
# Cross-builds the library for Windows with MinGW-w64 and runs every test
# program under Wine. Last, lanbrowse.exe under Wine browses a simulated LAN
# of lanserver's servers (native) and must show what native lanbrowse shows:
# the Windows real-socket path, end to end; then the C host, lanlist.exe,
# lists the same LAN and hosts a game that native lanbrowse lists
# (scripts/lib/win-c-host.sh). The zip of the build (CPack) is checked on
# the way.
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
source "$root/scripts/lib/simlan.sh"
source "$root/scripts/lib/win-arch.sh"
source "$root/scripts/lib/win-c-host.sh"
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

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs the cross compilers, Wine and the GoogleTest sources when
# missing: only what the chosen mode needs (no i386 architecture and no
# wine32 where 32-bit programs cannot run).
install_missing() {
    local wanted=(cmake make g++ python3 iproute2 util-linux g++-mingw-w64-i686 binutils-mingw-w64-i686
                  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 googletest wine)
    local add_i386=0 missing=() package
    if [[ $WIN_ARCH == i686 ]]; then
        wanted+=(wine32:i386)
        dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
    else
        wanted+=(wine64)
    fi
    for package in "${wanted[@]}"; do
        installed "$package" || missing+=("$package")
    done
    if [[ ${#missing[@]} -eq 0 && $add_i386 -eq 0 ]]; then
        return
    fi
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages (${missing[*]}); run as root to install them" >&2
        exit 1
    fi
    step "installing ${missing[*]}"
    [[ $add_i386 -eq 1 ]] && dpkg --add-architecture i386
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Cross-builds GoogleTest from Debian's sources into a prefix under the build
# directory. Kept between runs; rebuilt when the sources or toolchain change.
build_googletest() {
    local stamp=$gtest_prefix/.stamp
    local want
    want="$(dpkg-query -W -f='${Version}' googletest) $(sha256sum "$toolchain" | cut -d' ' -f1)"
    if [[ -f $stamp && $(cat "$stamp") == "$want" ]]; then
        return
    fi
    step "cross-building GoogleTest"
    rm -rf "$build/googletest-build" "$gtest_prefix"
    nice cmake -S "$gtest_source" -B "$build/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" >/dev/null
    nice cmake --build "$build/googletest-build" -j"$jobs" >/dev/null
    cmake --install "$build/googletest-build" >/dev/null
    echo "$want" >"$stamp"
}

cross_build() {
    step "cross-building the library and its tests for $WIN_ARCH"
    nice cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" >/dev/null
    nice cmake --build "$build" -j"$jobs"
}

# The plug-in of the other architecture, with lanbrowse.exe and the C host:
# games load either DLL, so both export tables are checked on every
# machine, and the 32-bit zip too.
other=i686
[[ $WIN_ARCH == i686 ]] && other=x86_64
product_build() {
    step "cross-building the $other plug-in"
    nice cmake -S "$root" -B "$top/$other" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$other.cmake" \
        -DBRENN_BUILD_TESTS=OFF -DBRENN_BUILD_BENCH=OFF >/dev/null
    nice cmake --build "$top/$other" -j"$jobs" --target VelnarLanJoin VelnarLanJoinSimLan lanbrowse lanlist
}

# The native lanserver and lanbrowse, for the LAN check.
native_build() {
    step "building lanserver and lanbrowse for this machine"
    nice cmake -S "$root" -B "$native" -DBRENN_BUILD_TESTS=OFF >/dev/null
    nice cmake --build "$native" -j"$jobs" --target lanserver lanbrowse >/dev/null
}

# check_exports BUILD_DIR ARCH: the export tables of the plug-in DLL and of
# the simulated LAN's DLL built there, against the rules the shared
# libraries' exports meet too (tests/package/exports.rules and
# simlan-exports.rules); and the plug-in holds no test or benchmark code.
# The C host built there must import no C++ runtime.
check_exports() {
    local dir=$1 arch=$2 problems=0 name rules dll actual
    for name in VelnarLanJoin VelnarLanJoinSimLan; do
        rules=$root/tests/package/exports.rules
        [[ $name == VelnarLanJoinSimLan ]] && rules=$root/tests/package/simlan-exports.rules
        dll=$(find "$dir" -maxdepth 3 -name "$name.dll" -print -quit)
        if [[ -z $dll ]]; then
            echo "$name.dll was not built in $dir" >&2
            return 1
        fi
        step "checking the exports of the $arch $(basename "$dll")"
        actual=$dir/exports-$name.txt
        "$arch-w64-mingw32-objdump" -p "$dll" |
            sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' |
            sort >"$actual"
        "$root/tests/package/match-exports.sh" "$rules" <"$actual" || problems=1
        echo "$(wc -l <"$actual") exports of the $arch $name.dll"
    done
    dll=$(find "$dir" -maxdepth 3 -name 'VelnarLanJoin.dll' -print -quit)
    NM=$arch-w64-mingw32-nm "$root/tests/package/check-no-test-code.sh" "$dll" || problems=1
    win_c_host_imports "$dir/examples/lanlist/lanlist.exe" "$arch" || problems=1
    return $problems
}

# A private Wine prefix under the build directory; no display, no dialogs.
prepare_wine() {
    export WINEPREFIX=$build/wine-prefix
    if [[ $WIN_ARCH == i686 ]]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    export WINEDEBUG=-all
    export DISPLAY=
    unset WAYLAND_DISPLAY
    # No offer to install Mono or Gecko, no desktop menu entries.
    export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
    # Whatever way the script ends, the prefix's Wine server goes with it,
    # and so do the simulated LAN and its servers.
    trap 'wineserver -k 2>/dev/null || true; simlan_down; rm -rf "${lan_tmp:-}"' EXIT
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        step "creating the Wine prefix"
        wineboot -i </dev/null >/dev/null 2>&1
        # A crashing program prints its backtrace and ends; no crash dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            </dev/null >/dev/null 2>&1
        wineserver -w
    fi
}

passed=0
failed=0
skipped=0

# Adds the counts of one GoogleTest run (its output in $1, exit status $2).
count_results() {
    local log=$1 status=$2 p f s
    # Windows programs end their lines with CR LF.
    p=$(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' | tail -1)
    f=$(tr -d '\r' <"$log" | sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:$/\1/p' | tail -1)
    s=$(tr -d '\r' <"$log" | sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:$/\1/p' | tail -1)
    passed=$((passed + ${p:-0}))
    skipped=$((skipped + ${s:-0}))
    # A program that ended badly without naming a failed test counts as one.
    if [[ $status -ne 0 && -z $f ]]; then f=1; fi
    failed=$((failed + ${f:-0}))
}

# Runs one program under Wine from its own folder.
run_program() {
    local program=$1 log status=0
    log=$build/test-logs/$(basename "$program" .exe).log
    step "running $(basename "$program") under Wine"
    (cd "$(dirname "$program")" && timeout 300 wine "$program" </dev/null) 2>&1 | tee "$log" || status=$?
    count_results "$log" "$status"
}

run_tests() {
    local manifest=$build/test-programs.txt program folder folders=()
    mkdir -p "$build/test-logs"
    # Programs find the project's DLLs (the plug-in) where they were built,
    # not in the zip's staging folder (a copy from the last run).
    while read -r folder; do
        folders+=("$(winepath -w "$folder" 2>/dev/null)")
    done < <(find "$build" -name '*.dll' -not -path "$build/wine-prefix/*" -not -path "$build/googletest-*" \
                 -not -path "$build/_CPack_Packages/*" -printf '%h\n' | sort -u)
    WINEPATH=$(IFS=';'; echo "${folders[*]}")
    export WINEPATH
    while read -r program; do
        run_program "$program" </dev/null
    done <"$manifest"
    wineserver -w
}

# count_check NAME STATUS: one check of this script, counted as one test.
count_check() {
    if [[ $2 -eq 0 ]]; then
        passed=$((passed + 1))
        echo "$1 passed"
    else
        failed=$((failed + 1))
        echo "$1 FAILED" >&2
    fi
}

# The Windows zip (CPack) of the 32-bit build: its contents, and a host
# built against it with MinGW (scripts/check-windows-zip.sh). Where the
# suite runs as x86_64, the 64-bit build's zip is checked too, and that
# host runs under Wine. Counts as one test.
check_zip() {
    step "the Windows zip"
    local status=0
    if [[ $WIN_ARCH == i686 ]]; then
        "$root/scripts/check-windows-zip.sh" --run "$product" i686 || status=$?
    else
        "$root/scripts/check-windows-zip.sh" "$product" i686 || status=$?
        "$root/scripts/check-windows-zip.sh" --run "$build" "$WIN_ARCH" || status=$?
    fi
    count_check "zip check" "$status"
}

# lanbrowse.exe under Wine on a simulated LAN: one namespace holds twelve
# servers of the native lanserver (one silent, one of another game, as in
# scripts/demo.sh), the other the player, joined by a veth pair. The
# player's namespace gets its own wineserver, since the Wine server creates
# the sockets: the prefix's server is stopped first, one is started inside
# and checked to be there before any Windows program runs. The Windows run
# must find exactly the servers expected, with every value as the key map
# maps it (check_pass.py), and show the table native lanbrowse shows on the
# same LAN, pings aside (same_table.py). Counts as one test.
lan_tmp=""
check_lan() {
    step "lanbrowse.exe under Wine finds lanserver's servers across a veth pair"
    local status=0 c_status=1
    export C_HOST=$build/examples/lanlist/lanlist.exe LANBROWSE_NATIVE=$native/tools/lanbrowse/lanbrowse
    lan_check || status=$?
    if [[ $status -eq 0 ]]; then
        step "lanlist.exe (C) under Wine lists the same LAN and hosts a game that lanbrowse lists"
        c_status=0
        win_c_host_lan "$lan_tmp" || c_status=$?
    fi
    simlan_down
    count_check "LAN check" "$status"
    count_check "C host LAN check" "$c_status"
}

lan_check() {
    local browse=(--sort numplayers --descending --mode int)
    local exe=$build/tools/lanbrowse/lanbrowse.exe
    LANSERVER=$native/tools/lanserver/lanserver
    if ! simlan_can_use_veth; then
        echo "cannot make network namespaces (needs root); nothing is ever broadcast outside them" >&2
        return 1
    fi
    lan_tmp=$(mktemp -d)
    wineserver -k 2>/dev/null || true
    wineserver -w
    simlan_veth 12
    simlan_contained || { echo "the simulated LAN is not closed: nothing sent" >&2; return 1; }
    echo "servers in $SIMLAN_SERVERS, player in $SIMLAN_PLAYER"
    simlan_start_servers "$lan_tmp/ready" --servers 12 --silent 1 --other-game 1 --duration 120 --quiet \
        --manifest "$lan_tmp/servers.json" || { echo "lanserver did not start" >&2; return 1; }
    # From the top folder, where the key map is.
    (cd "$root" && timeout 180 ip netns exec "$SIMLAN_PLAYER" "$root/scripts/lib/wine-in-namespace.sh" \
        "$SIMLAN_PLAYER" "$exe" "$native/tools/lanbrowse/lanbrowse" "$lan_tmp" "${browse[@]}") ||
        { echo "a run failed" >&2; tail -n 20 "$lan_tmp"/*.err >&2; return 1; }
    echo "lanbrowse.exe ${browse[*]}, under Wine:"
    tr -d '\r' <"$lan_tmp/windows.txt"
    python3 "$root/tests/e2e/check_pass.py" --manifest "$lan_tmp/servers.json" \
        --key-map "$root/MultiplayerServers/VelnarKeyMap.ini" --json "$lan_tmp/windows.json" || return 1
    python3 "$root/tests/e2e/same_table.py" "$lan_tmp/native.txt" "$lan_tmp/windows.txt" || {
        echo "native lanbrowse showed:"
        cat "$lan_tmp/native.txt"
        return 1
    }
}

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
