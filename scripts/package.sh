#!/usr/bin/env bash
# Builds the Debian packages with CPack: libvelnarlanjoin1 (the plug-in),
# libvelnarlanjoin-dev (headers, link library, CMake and pkg-config files)
# and velnarlanjoin (lanbrowse, lanserver, man pages, the sample key map);
# beside them the Python binding's wheel (pure Python, without the library).
#   scripts/package.sh [DIR]          the .deb files into DIR (default build/package/debs)
#   scripts/package.sh --check [DIR]  then lintian (errors fail), the package test
#                                     against the .debs unpacked into a scratch root,
#                                     and the wheel loading the library found there
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
needs=(dpkg-dev file pkgconf python3-build python3-setuptools python3-wheel)
(( check )) && needs+=(lintian man-db)
"$root/scripts/install-deps.sh" "${needs[@]}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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

# Built from a copy, so that the source tree gets no build files; Debian's
# python3, whose setuptools and wheel serve as they are (no download).
rm -f "$out"/velnarlanjoin-*.whl
cp -r "$root/bindings/python" "$scratch/python"
/usr/bin/python3 -m build --wheel --no-isolation --outdir "$out" "$scratch/python" >"$build/wheel.log" 2>&1 ||
    { cat "$build/wheel.log"; exit 1; }
wheel=$(ls "$out"/velnarlanjoin-*.whl)
echo "$(basename "$wheel"): the Python binding"
(( check )) || exit 0

echo "== lintian"
lintian --fail-on error "$out"/*.deb
for deb in "$out"/*.deb; do
    dpkg-deb -x "$deb" "$scratch/root"
done
"$root/tests/package/run.sh" --root "$scratch/root"

echo "== the wheel, unpacked, finds the packaged library through the system's loader"
/usr/bin/python3 -m zipfile -e "$wheel" "$scratch/wheel"
library=$(find "$scratch/root" -name libVelnarLanJoin.so.1)
(cd "$scratch" && env -u VELNARLANJOIN_LIBRARY LD_LIBRARY_PATH="$(dirname "$library")" PYTHONPATH="$scratch/wheel" \
    /usr/bin/python3 -c 'import velnarlanjoin as v; print("velnarlanjoin", v.__version__, "loads", v.library_path(), v.library_version())')
