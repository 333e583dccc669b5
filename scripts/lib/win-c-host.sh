# The C host (examples/lanlist/lanlist.c) on Windows: built as C alone, it
# needs no C++ runtime, and under Wine it lists and hosts like the other
# hosts. Source it, don't run it; scripts/test-windows.sh and
# scripts/check-windows-zip.sh use it.

# win_c_host_imports EXE ARCH: true when EXE imports the plug-in and system
# DLLs only and holds no code of the C++ runtime. Says what it found.
win_c_host_imports() {
    local exe=$1 arch=$2 dlls bad
    dlls=$("$arch-w64-mingw32-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    bad=$(grep -viE '^(VelnarLanJoin|KERNEL32|msvcrt|USER32|api-ms-win-[a-z0-9-]+)\.dll$' <<<"$dlls" || true)
    if [[ -n $bad ]] || ! grep -qix 'VelnarLanJoin.dll' <<<"$dlls"; then
        echo "$(basename "$exe") ($arch) imports: $(xargs <<<"$dlls")" >&2
        return 1
    fi
    if "$arch-w64-mingw32-objdump" -t "$exe" | grep -qE '__gxx_personality|__cxa_|_ZNSt'; then
        echo "$(basename "$exe") ($arch) holds C++ runtime code" >&2
        return 1
    fi
    echo "$(basename "$exe") ($arch) imports $(xargs <<<"$dlls"), and no C++ runtime"
}

# win_c_host_build PREFIX ARCH OUT: lanlist.c built against an unpacked
# Windows zip at PREFIX as strict C99 by the MinGW C compiler, into OUT.
win_c_host_build() {
    local prefix=$1 arch=$2 out=$3
    "$arch-w64-mingw32-gcc" -std=c99 -pedantic -Wall -Wextra -Werror -static -o "$out" \
        -I"$prefix/include/VelnarLanJoin" "$root/examples/lanlist/lanlist.c" "$prefix/lib/libVelnarLanJoin.dll.a"
}

# win_c_host_lan OUT_DIR: after wine-in-namespace.sh ran with C_HOST set,
# lanlist.exe's table must be native lanbrowse's, pings aside. Then, the
# servers stopped, lanlist.exe under Wine hosts a game on the servers' side
# that native lanbrowse lists from the player's (check_hosted.py).
win_c_host_lan() {
    local out=$1
    echo "lanlist.exe (C) under Wine:"
    tr -d '\r' <"$out/windows-c.txt"
    python3 "$root/tests/e2e/same_table.py" "$out/native.txt" "$out/windows-c.txt" || return 1
    netlan_stop_servers
    wineserver -k 2>/dev/null || true
    wineserver -w
    (cd "$root" && timeout 120 ip netns exec "$NETLAN_SERVERS" "$root/scripts/lib/wine-in-namespace.sh" --host \
        "$NETLAN_SERVERS" "$C_HOST" "$LANBROWSE_NATIVE" "$out" "$NETLAN_PLAYER") ||
        { echo "hosting under Wine failed" >&2; tail -n 20 "$out/wine-host.err" "$out/hosted.err" >&2; return 1; }
    python3 "$root/tests/e2e/check_hosted.py" "$out/hosted.json" "Hosted under Wine"
}
