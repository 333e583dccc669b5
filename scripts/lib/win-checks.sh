# The Windows suite's checks of what was built (scripts/test-windows.sh):
# the DLLs' export tables, and the zips.

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

# The Windows zip (CPack) of the 32-bit build: its contents, and a host
# built against it with MinGW (scripts/check-windows-zip.sh). Where the
# suite runs as x86_64, the 64-bit build's zip is checked too, and that
# host runs under Wine. Counts as one test.
check_zip() {
    step "the Windows zip"
    local status=0
    stage_unity_plugins
    export UNITY_PLUGINS="x86 x86_64 Linux/x86_64"
    if [[ $WIN_ARCH == i686 ]]; then
        "$root/scripts/check-windows-zip.sh" --run "$product" i686 || status=$?
    else
        "$root/scripts/check-windows-zip.sh" "$product" i686 || status=$?
        "$root/scripts/check-windows-zip.sh" --run "$build" "$WIN_ARCH" || status=$?
    fi
    count_check "zip check" "$status"
}
