#!/usr/bin/env bash
# Cross-builds the library for 32-bit Windows with MinGW-w64 and runs every
# test program under Wine; programs on real sockets run inside a private
# network namespace. Ends with "N passed, N failed"; non-zero on failure.
#
# Environment: BRENN_WIN_BUILD (build directory, default build-win),
# BRENN_JOBS (parallel compile jobs, default 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRENN_WIN_BUILD:-$root/build-win}
jobs=${BRENN_JOBS:-2}
toolchain=$root/cmake/mingw-i686.cmake
gtest_source=/usr/src/googletest
gtest_prefix=$build/googletest-prefix

step() { printf '== %s\n' "$*"; }

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs the cross compiler, Wine and the GoogleTest sources when missing.
install_missing() {
    local wanted=(cmake make iproute2 util-linux g++-mingw-w64-i686 binutils-mingw-w64-i686
                  googletest wine wine32:i386)
    local missing=() package
    for package in "${wanted[@]}"; do
        installed "$package" || missing+=("$package")
    done
    local add_i386=0
    dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
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
    step "cross-building the library and its tests"
    nice cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" >/dev/null
    nice cmake --build "$build" -j"$jobs"
}

# Compares the plug-in DLL's export table with the list the repository
# keeps, one name a line. Nothing to check while no DLL is built; a DLL
# without a list fails, so that the list is written with the DLL.
# The plug-in's export table: the factory under its plain name, the service
# class and the interfaces, and nothing of the engine.
check_exports() {
    local dll actual
    dll=$(find "$build" -maxdepth 3 -name 'VelnarLanJoin.dll' -print -quit)
    if [[ -z $dll ]]; then
        echo "VelnarLanJoin.dll was not built" >&2
        return 1
    fi
    step "checking the exports of $(basename "$dll")"
    actual=$build/exports.txt
    i686-w64-mingw32-objdump -p "$dll" |
        sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' |
        sort >"$actual"
    local problems=0 pattern
    # Mangled names: the service's constructor and destructor, its members,
    # the interfaces' constructors and assignment operators.
    for pattern in '^CreateJoinClass$' \
        '^_ZN5brenn11matchmaking6velnar13VelnarLanJoinC[12]E' '^_ZN5brenn11matchmaking6velnar13VelnarLanJoinD[12]Ev$' \
        '^_ZN5brenn11matchmaking6velnar13VelnarLanJoin6updateEv$' \
        '^_ZN5brenn11matchmaking6velnar13VelnarLanJoin11sortServersE' \
        '^_ZN5brenn11matchmaking6velnar13VelnarLanJoin15getNextServerIdEv$' \
        '^_ZN5brenn11matchmaking8IServiceC[12]Ev$' '^_ZN5brenn11matchmaking8IServiceaSERKS1_$' \
        '^_ZN5brenn11matchmaking12IJoinServiceC[12]ERKS1_$' '^_ZN5brenn11matchmaking12IJoinServiceaSERKS1_$' \
        '^_ZN5brenn11matchmaking12IHostServiceC[12]Ev$' '^_ZN5brenn11matchmaking12IHostServiceaSERKS1_$' \
        '^_ZTVN5brenn11matchmaking6velnar13VelnarLanJoinE$'; do
        if ! grep -q -E "$pattern" "$actual"; then
            echo "missing export: $pattern" >&2
            problems=1
        fi
    done
    # Nothing of the engine: browser, servers, containers, the allocator.
    if grep -E '_ZN5brenn(7browser|6server|8dynarray|9hashtable|10stringpool|10allocation|11serverindex)' "$actual"; then
        echo "engine internals are exported (above)" >&2
        problems=1
    fi
    echo "$(wc -l <"$actual") exports, CreateJoinClass undecorated"
    return $problems
}

# A private Wine prefix under the build directory; no display, no dialogs.
prepare_wine() {
    export WINEPREFIX=$build/wine-prefix
    export WINEARCH=win32
    export WINEDEBUG=-all
    export DISPLAY=
    unset WAYLAND_DISPLAY
    # No offer to install Mono or Gecko, no desktop menu entries.
    export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
    # Whatever way the script ends, the prefix's Wine server goes with it.
    trap 'wineserver -k 2>/dev/null || true' EXIT
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

# Runs one program under Wine, inside a private network namespace with only
# loopback for "netns" programs. The namespace also gets its own wineserver,
# since Wine's server creates the sockets: the one outside is stopped first,
# and the one inside is stopped before the namespace goes.
run_program() {
    local mode=$1 program=$2 log status=0
    log=$build/test-logs/$(basename "$program" .exe).log
    local where=""
    [[ $mode == netns ]] && where=" in a private network namespace"
    step "running $(basename "$program") under Wine$where"
    if [[ $mode == netns ]]; then
        wineserver -k 2>/dev/null || true
        wineserver -w
        timeout 300 unshare -n -- bash -c '
            set -euo pipefail
            ip link set lo up
            # Broadcasts go out on loopback, from 127.0.0.1.
            ip route add broadcast 255.255.255.255 dev lo table local src 127.0.0.1
            status=0
            BRENN_PRIVATE_NETWORK=1 wine "$1" </dev/null || status=$?
            wineserver -k 2>/dev/null || true
            wineserver -w
            exit $status' netns "$program" 2>&1 | tee "$log" || status=$?
    else
        (cd "$(dirname "$program")" && timeout 300 wine "$program" </dev/null) 2>&1 | tee "$log" || status=$?
    fi
    count_results "$log" "$status"
}

run_tests() {
    local manifest=$build/test-programs.txt mode program folder folders=()
    mkdir -p "$build/test-logs"
    # Programs find the project's DLLs (the plug-in) where they were built.
    while read -r folder; do
        folders+=("$(winepath -w "$folder" 2>/dev/null)")
    done < <(find "$build" -name '*.dll' -not -path "$build/wine-prefix/*" \
                 -not -path "$build/googletest-*" -printf '%h\n' | sort -u)
    WINEPATH=$(IFS=';'; echo "${folders[*]}")
    export WINEPATH
    # Plain programs first, namespace programs last.
    while read -r mode program; do
        if [[ $mode == plain ]]; then run_program "$mode" "$program" </dev/null; fi
    done <"$manifest"
    while read -r mode program; do
        if [[ $mode == netns ]]; then run_program "$mode" "$program" </dev/null; fi
    done <"$manifest"
    wineserver -w
}

install_missing
started=$SECONDS
build_googletest
cross_build
built=$SECONDS
check_exports
prepare_wine
run_tests

echo "build $((built - started)) s, Wine tests $((SECONDS - built)) s"
summary="$passed passed, $failed failed"
[[ $skipped -gt 0 ]] && summary+=", $skipped skipped"
echo "$summary"
[[ $failed -eq 0 && $passed -gt 0 ]]
