# The Windows suite's builds (scripts/test-windows.sh): the packages it
# needs, GoogleTest cross-built, the library and its tests for the suite's
# architecture, the plug-in of the other one, and the native tools.

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs the cross compilers, Wine and the GoogleTest sources when
# missing: only what the chosen mode needs (no i386 architecture and no
# wine32 where 32-bit programs cannot run).
install_missing() {
    local wanted=(cmake make g++ python3 iproute2 util-linux g++-mingw-w64-i686 binutils-mingw-w64-i686
                  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 googletest nlohmann-json3-dev wine)
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
        -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" -DBRENN_UNITY_EXTRA_PLUGINS="$(unity_extra "$WIN_ARCH")" >/dev/null
    nice cmake --build "$build" -j"$jobs"
}

# The plug-in of the other architecture, with lanbrowse.exe and the C host:
# games load either DLL, so both export tables are checked on every
# machine, and the 32-bit zip too.
product_build() {
    step "cross-building the $other plug-in"
    nice cmake -S "$root" -B "$top/$other" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$other.cmake" \
        -DBRENN_BUILD_TESTS=OFF -DBRENN_BUILD_BENCH=OFF -DBRENN_UNITY_EXTRA_PLUGINS="$(unity_extra "$other")" >/dev/null
    nice cmake --build "$top/$other" -j"$jobs" --target VelnarLanJoin VelnarLanJoinSimLan lanbrowse lanlist
}

# The native lanserver and lanbrowse, for the LAN check.
native_build() {
    step "building lanserver and lanbrowse for this machine"
    nice cmake -S "$root" -B "$native" -DBRENN_BUILD_TESTS=OFF >/dev/null
    nice cmake --build "$native" -j"$jobs" --target lanserver lanbrowse >/dev/null
}
