#!/usr/bin/env bash
# Builds the Debian packages with CPack: libvelnarlanjoin1 (the plug-in),
# libvelnarlanjoin-dev (headers, link library, CMake and pkg-config files)
# and velnarlanjoin (lanbrowse, lanserver, man pages, the sample key map).
#   scripts/package.sh [DIR]          the .deb files into DIR (default build/package/debs)
#   scripts/package.sh --check [DIR]  then lintian (errors fail), and the package
#                                     test against the .debs unpacked into a scratch root
# Built in build/package with Debian's build flags, in Release. On a fresh
# Debian machine, run as root, it first installs what is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check=0
if [[ ${1:-} == --check ]]; then
    check=1
    shift
fi
out=${1:-$root/build/package/debs}
build=$root/build/package
needs=(dpkg-dev file pkgconf)
(( check )) && needs+=(lintian man-db)
"$root/scripts/install-deps.sh" "${needs[@]}"

# Debian's hardening flags; the dates in the packages are the last commit's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBRENN_DEBIAN_PACKAGE=ON -DCMAKE_SKIP_INSTALL_RPATH=ON -DBRENN_BUILD_TESTS=OFF -DBRENN_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    >/dev/null
cmake --build "$build" -j "${BRENN_JOBS:-2}" >"$build/build.log" || { cat "$build/build.log"; exit 1; }
rm -rf "$build/_CPack_Packages" "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$out"
rm -f "$out"/*velnarlanjoin*.deb
mv "$build"/*.deb "$out"/
for deb in "$out"/*.deb; do
    echo "$(basename "$deb"): depends on $(dpkg-deb -f "$deb" Depends)"
done
(( check )) || exit 0

echo "== lintian"
lintian --fail-on error "$out"/*.deb
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for deb in "$out"/*.deb; do
    dpkg-deb -x "$deb" "$scratch/root"
done
"$root/tests/package/run.sh" --root "$scratch/root"
