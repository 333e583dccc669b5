# Sourced by the scripts that run tests/csharp/LanJoinCheck.cs under Mono
# (tests/csharp/run.sh, tests/e2e/every_host.sh).

# csharp_prepare TMP PLUGIN_DIR: checks that mcs, mono and python3 are
# there, compiles the binding with LanJoinCheck.cs into TMP/LanJoinCheck.exe
# and sets CSHARP_ENV to the environment that runs it: the plug-in's folder
# on the loader's path (mono finds "VelnarLanJoin" as libVelnarLanJoin.so
# there) and, for a plug-in built with AddressSanitizer, its runtime loaded
# first. Exits 77 (a skip) where mono cannot load such a plug-in, 1 where
# mono cannot run the check at all.
csharp_prepare() {
    local tmp=$1 plugin_dir=$2 source_root tool asan
    source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    for tool in mcs mono python3; do
        command -v $tool >/dev/null || { echo "$tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
    done
    mcs -warn:4 -warnaserror -out:"$tmp/LanJoinCheck.exe" "$source_root/bindings/csharp/VelnarLanJoin.cs" \
        "$source_root/tests/csharp/LanJoinCheck.cs"
    CSHARP_ENV=(LD_LIBRARY_PATH="$plugin_dir")
    asan=$(ldd "$plugin_dir/libVelnarLanJoin.so" | awk '/libasan/ { print $3 }')
    [[ -z $asan ]] ||
        CSHARP_ENV+=(LD_PRELOAD="$asan" ASAN_OPTIONS=detect_leaks=0:handle_segv=0:handle_sigbus=0:allow_user_segv_handler=1)
    env "${CSHARP_ENV[@]}" mono "$tmp/LanJoinCheck.exe" version >"$tmp/probe.log" 2>&1 && return 0
    if [[ -n $asan ]]; then
        echo "SKIP: the plug-in is built with AddressSanitizer, which mono cannot load here: $(head -c 300 "$tmp/probe.log")"
        exit 77
    fi
    echo "FAILED: mono cannot run the binding:"
    cat "$tmp/probe.log"
    exit 1
}
