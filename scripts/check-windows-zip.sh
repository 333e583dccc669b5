#!/usr/bin/env bash
# The Windows zip of a cross build: makes it with CPack, lists it, checks
# that it holds the DLL, its import library, every public header, lanbrowse.exe
# and the key map, then builds the package's host project against the
# unpacked zip with MinGW (find_package, and each header compiled on its
# own), and the C host (examples/lanlist) by the MinGW C compiler, which
# must import no C++ runtime. With --run, the host and lanbrowse.exe
# --version also run under Wine (from the zip's bin folder, beside the DLL),
# in the current WINEPREFIX.
#   scripts/check-windows-zip.sh [--run] BUILD_DIR ARCH   (ARCH: i686 or x86_64)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
run=0
if [[ ${1:-} == --run ]]; then
    run=1
    shift
fi
build=$(cd "${1:?build directory}" && pwd)
arch=${2:?architecture: i686 or x86_64}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

rm -f "$build"/velnarlanjoin-*.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(find "$build" -maxdepth 1 -name 'velnarlanjoin-*.zip' -print -quit)
[[ -n $zip ]] || { echo "cpack made no zip in $build" >&2; exit 1; }
echo "$(basename "$zip"):"
unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/|  |' | tee "$scratch/contents"

wanted=(bin/VelnarLanJoin.dll lib/libVelnarLanJoin.dll.a bin/lanbrowse.exe
        share/velnarlanjoin/MultiplayerServers/VelnarKeyMap.ini share/doc/velnarlanjoin/LICENSE
        include/VelnarLanJoin/platform/Version.h lib/cmake/VelnarLanJoin/VelnarLanJoinConfig.cmake)
while read -r header; do
    wanted+=("include/VelnarLanJoin/$header")
done < <(sed -n '/^set(BRENN_PUBLIC_HEADERS/,/)/p' "$root/cmake/Install.cmake" | grep -o '[a-z]*/[A-Za-z]*\.h')
missing=0
for file in "${wanted[@]}"; do
    grep -qx "  $file" "$scratch/contents" || { echo "missing from the zip: $file" >&2; missing=1; }
done
(( missing == 0 )) || exit 1

unzip -q "$zip" -d "$scratch/unpacked"
prefix=$(find "$scratch/unpacked" -mindepth 1 -maxdepth 1 -type d -print -quit)
# The toolchain finds packages only under the MinGW root, so the package is named by its folder.
cmake -S "$root/tests/package" -B "$scratch/host" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DVelnarLanJoin_DIR="$prefix/lib/cmake/VelnarLanJoin" >/dev/null
cmake --build "$scratch/host" -j "${BRENN_JOBS:-2}" >"$scratch/build.log" || { cat "$scratch/build.log"; exit 1; }
echo "a host built against the zip with the $arch MinGW toolchain, and every header compiled on its own"
source "$root/scripts/lib/win-c-host.sh"
win_c_host_build "$prefix" "$arch" "$scratch/lanlist.exe"
win_c_host_imports "$scratch/lanlist.exe" "$arch"
if (( run )); then
    cp "$scratch/host/package_host.exe" "$prefix/bin/"
    (cd "$scratch" && wine "$prefix/bin/package_host.exe" </dev/null) 2>&1 | tr -d '\r'
    version=$(wine "$prefix/bin/lanbrowse.exe" --version </dev/null | tr -d '\r')
    [[ $version == "lanbrowse $(sed -n 's/^#define VELNARLANJOIN_VERSION "\(.*\)"$/\1/p' \
        "$prefix/include/VelnarLanJoin/platform/Version.h")" ]] || { echo "lanbrowse.exe says: $version" >&2; exit 1; }
    echo "$version"
fi
