# Running the Windows test programs under Wine and counting their results
# (scripts/test-windows.sh): a private Wine prefix, one GoogleTest program
# after another, and the script's own checks counted as tests.

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
    # and so do the namespaced LAN and its servers.
    trap 'wineserver -k 2>/dev/null || true; netlan_down; rm -rf "${lan_tmp:-}"' EXIT
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
