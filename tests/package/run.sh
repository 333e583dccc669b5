#!/usr/bin/env bash
# The installed package as a user meets it: a host project built against it
# with CMake (find_package) and with pkg-config, both run; the tools' version,
# man pages and installed key map.
#   run.sh BUILD_DIR [COMPILER_FLAG...]   installs the build into a scratch prefix
#   run.sh --root ROOT [COMPILER_FLAG...] uses the tree unpacked under ROOT/usr
# The compiler flags go to both host builds (the sanitizers, for instance).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/lib/netns-lan.sh"

# --browse PREFIX C_HOST DOC_EXAMPLE (inside a private network namespace):
# lanbrowse from an empty folder finds the installed key map and fills the
# records by it; the C host, given that key map, and the example of
# docs/c-api.md, from a folder holding it, list the same two servers.
if [[ ${1:-} == --browse ]]; then
    prefix=$2 c_host=$3 example=$4
    scratch=$(mktemp -d)
    trap 'netlan_down; rm -rf "$scratch"' EXIT
    netlan_loopback
    netlan_contained
    LANSERVER=$prefix/bin/lanserver netlan_start_servers "$scratch/ready" --servers 2 --duration 20 --quiet
    mkdir "$scratch/empty"
    cd "$scratch/empty"
    "$prefix/bin/lanbrowse" --json --tick 2 >"$scratch/pass.json" 2>"$scratch/pass.err"
    grep -q "using $prefix/bin/../share/velnarlanjoin/MultiplayerServers/VelnarKeyMap.ini" "$scratch/pass.err" &&
        grep -q '"key":"hostname","value":"' "$scratch/pass.json" ||
        { echo "lanbrowse did not use the installed key map:"; cat "$scratch/pass.err"; exit 1; }
    echo "lanbrowse from an empty folder: 2 servers, records filled by the installed key map"
    "$c_host" --keymap "$prefix/share/velnarlanjoin/MultiplayerServers/VelnarKeyMap.ini" >"$scratch/c.txt" \
        2>"$scratch/c.err" && [[ $(grep -c ':2200' "$scratch/c.txt") -eq 2 ]] ||
        { echo "the C host did not list the 2 servers:"; cat "$scratch/c.txt" "$scratch/c.err"; exit 1; }
    echo "the C host lists them too"
    mkdir -p "$scratch/game/MultiplayerServers"
    cp "$prefix/share/velnarlanjoin/MultiplayerServers/VelnarKeyMap.ini" "$scratch/game/MultiplayerServers/"
    (cd "$scratch/game" && "$example") >"$scratch/example.txt" 2>&1 &&
        [[ $(grep -c ':2200.*  [A-Z]' "$scratch/example.txt") -eq 2 ]] && grep -qx '2 servers' "$scratch/example.txt" ||
        { echo "the example of docs/c-api.md did not list the 2 servers:"; cat "$scratch/example.txt"; exit 1; }
    echo "and so does the example of docs/c-api.md"
    exit 0
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [[ $1 == --root ]]; then
    prefix=$(cd "$2" && pwd)/usr
    shift 2
else
    prefix=$scratch/prefix
    cmake --install "$1" --prefix "$prefix" >/dev/null
    shift
fi
flags="$*"
library=$(find "$prefix" -name 'libVelnarLanJoin.so.1' -print -quit)
[[ -n $library ]] || { echo "no libVelnarLanJoin.so.1 under $prefix"; exit 1; }
libdir=$(dirname "$library")
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

echo "== host by CMake (find_package), the installed headers compiled one by one"
cmake -S "$here" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$scratch/cmake" -j 2 >/dev/null
(cd "$scratch" && "$scratch/cmake/package_host")

echo "== host by pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2086,SC2046  # both lists are word lists on purpose
${CXX:-c++} -std=c++17 $flags -o "$scratch/pkg_host" "$here/host.cpp" $(pkg-config --cflags --libs velnarlanjoin-simlan)
(cd "$scratch" && "$scratch/pkg_host")
# A host of an older standard or of the other string ABI is refused by name.
echo '#include "service/VelnarLanJoin.h"' >"$scratch/refused.cpp"
for refused in -std=c++14 "-std=c++17 -D_GLIBCXX_USE_CXX11_ABI=0"; do
    # shellcheck disable=SC2086,SC2046
    if ${CXX:-c++} $refused -fsyntax-only $(pkg-config --cflags velnarlanjoin) "$scratch/refused.cpp" \
        2>"$scratch/refused.txt" ||
        ! grep -q 'error: #error "the VelnarLanJoin' "$scratch/refused.txt"; then
        echo "a host built with $refused is not refused:"
        cat "$scratch/refused.txt"
        exit 1
    fi
done
echo "hosts built with -std=c++14 or -D_GLIBCXX_USE_CXX11_ABI=0 are refused"

echo "== C host (examples/lanlist) by pkg-config, strict C99"
# shellcheck disable=SC2086,SC2046
${CC:-cc} -std=c99 -pedantic -Wall -Wextra -Werror $flags -o "$scratch/c_host" \
    "$here/../../examples/lanlist/lanlist.c" $(pkg-config --cflags --libs velnarlanjoin)
# The first C block of docs/c-api.md, as a reader would build it.
awk '/^```c$/ {n++; if (n == 1) {on = 1; next}} /^```$/ {on = 0} on' "$here/../../docs/c-api.md" >"$scratch/example.c"
# shellcheck disable=SC2086,SC2046
${CC:-cc} -Wall -Wextra -Werror $flags -o "$scratch/example" "$scratch/example.c" \
    $(pkg-config --cflags --libs velnarlanjoin)

echo "== tools"
version=$(pkg-config --modversion velnarlanjoin)
for tool in lanbrowse lanserver; do
    [[ $("$prefix/bin/$tool" --version) == "$tool $version" ]] || { echo "$tool --version is not $version"; exit 1; }
    "$here/check-manpage.sh" "$prefix/bin/$tool" "$prefix/share/man/man1/$tool.1.gz"
done
echo "both tools say version $version"
if netlan_can_use_loopback; then
    unshare -rn "$0" --browse "$prefix" "$scratch/c_host" "$scratch/example"
else
    echo "SKIP: the installed key map check needs a private network namespace (unshare -rn)"
fi
