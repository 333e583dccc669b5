# The Unity package's plug-ins for the Windows zips (scripts/test-windows.sh):
# each build's folder gets the other architecture's DLL and the native .so.

# unity_extra ARCH: the folder of the plug-ins that the ARCH build's Unity
# package takes from the other builds, laid out as its Plugins/ folder.
unity_extra() { echo "$top/unity-extra-$1"; }

# stage_plugin FOLDER PLUGIN_DIR FILE STRIP: FILE, stripped, into
# FOLDER/PLUGIN_DIR under the name the package gives it, with the .meta
# files of the file and of the folders on its way (bindings/csharp/unity).
stage_plugin() {
    local folder=$1 dir=$2 file=$3 strip=$4 metas=$root/bindings/csharp/unity/Plugins meta
    meta=$(find "$metas/$dir" -maxdepth 1 -name '*.meta' -print -quit)
    mkdir -p "$folder/$dir"
    "$strip" --strip-unneeded -o "$folder/$dir/$(basename "$meta" .meta)" "$file"
    cp "$meta" "$folder/$dir/"
    while [[ $dir != . ]]; do
        cp "$metas/$dir.meta" "$folder/$dir.meta"
        dir=$(dirname "$dir")
    done
}

# The Unity package of each zip holds both Windows DLLs and the native .so:
# each build's folder gets the other architecture's DLL and the .so.
stage_unity_plugins() {
    local so
    so=$(readlink -f "$native/service/libVelnarLanJoin.so")
    rm -rf "$(unity_extra i686)" "$(unity_extra x86_64)"
    stage_plugin "$(unity_extra i686)" x86_64 "$top/x86_64/service/VelnarLanJoin.dll" x86_64-w64-mingw32-strip
    stage_plugin "$(unity_extra i686)" Linux/x86_64 "$so" strip
    stage_plugin "$(unity_extra x86_64)" x86 "$top/i686/service/VelnarLanJoin.dll" i686-w64-mingw32-strip
    stage_plugin "$(unity_extra x86_64)" Linux/x86_64 "$so" strip
}
