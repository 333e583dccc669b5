#!/usr/bin/env python3
"""Checks the Unity package folder of a Windows zip.

  check-unity-package.py FOLDER [--version V] [--require PLUGIN_DIR ...]

The manifest (package.json) must be valid JSON with a name (the folder's),
a version (V when given), a displayName, a unity version and a description;
the assembly definition valid JSON. Every asset (file or folder; Unity skips
names ending in "~") must have its .meta file and every .meta file its
asset, with GUIDs that differ. Each plug-in must be built for the folder it
is in (Plugins/x86: i386 PE, Plugins/x86_64: x86-64 PE, Plugins/Linux/x86_64:
x86-64 ELF); --require names plug-in folders that must hold one.
"""
import argparse
import json
import os
import re
import struct
import sys

# Plug-in folder: (file name, format, machine number).
PLUGINS = {
    "x86": ("VelnarLanJoin.dll", "PE", 0x14C),
    "x86_64": ("VelnarLanJoin.dll", "PE", 0x8664),
    "Linux/x86_64": ("libVelnarLanJoin.so", "ELF", 62),
}


def machine(path):
    """("PE" or "ELF", machine number) of a binary, or None."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] == b"MZ" and len(head) >= 64:
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        if head[pe:pe + 4] == b"PE\0\0":
            return "PE", struct.unpack_from("<H", head, pe + 4)[0]
    if head[:4] == b"\x7fELF":
        return "ELF", struct.unpack_from("<H", head, 18)[0]
    return None


def check(folder, version, required):
    problems = []
    try:
        with open(os.path.join(folder, "package.json"), encoding="utf-8") as f:
            manifest = json.load(f)
    except (OSError, ValueError) as e:
        return [f"package.json: {e}"]
    for key in ("name", "version", "displayName", "unity", "description"):
        if not isinstance(manifest.get(key), str) or not manifest[key]:
            problems.append(f"package.json: no {key}")
    if manifest.get("name") != os.path.basename(os.path.normpath(folder)):
        problems.append(f"package.json: name {manifest.get('name')!r} is not the folder's")
    if not re.fullmatch(r"\d+\.\d+\.\d+", str(manifest.get("version"))) or version and manifest["version"] != version:
        problems.append(f"package.json: version {manifest.get('version')!r}, expected {version or 'X.Y.Z'}")
    if not re.fullmatch(r"20\d\d\.\d+", str(manifest.get("unity"))):
        problems.append(f"package.json: unity {manifest.get('unity')!r} is not a Unity version")
    try:
        with open(os.path.join(folder, "Runtime", "VelnarLanJoin.asmdef"), encoding="utf-8") as f:
            json.load(f)["name"]
    except (OSError, ValueError, KeyError) as e:
        problems.append(f"Runtime/VelnarLanJoin.asmdef: {e!r}")
    if not os.path.isfile(os.path.join(folder, "Runtime", "VelnarLanJoin.cs")):
        problems.append("Runtime/VelnarLanJoin.cs is missing")

    guids = {}
    for top, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if not d.endswith("~")]
        for name in dirs + files:
            path = os.path.relpath(os.path.join(top, name), folder)
            if name.endswith(".meta"):
                if not os.path.exists(os.path.join(folder, path[:-5])):
                    problems.append(f"{path} has no asset")
                    continue
                with open(os.path.join(folder, path), encoding="utf-8") as f:
                    guid = re.search(r"^guid: ([0-9a-f]{32})$", f.read(), re.M)
                if not guid or guid.group(1) in guids:
                    problems.append(f"{path}: a missing or repeated guid")
                else:
                    guids[guid.group(1)] = path
            elif not os.path.exists(os.path.join(folder, path + ".meta")):
                problems.append(f"{path} has no .meta file")

    found = []
    for plugin_dir, (name, kind, number) in PLUGINS.items():
        path = os.path.join(folder, "Plugins", plugin_dir, name)
        if os.path.isfile(path):
            found.append(plugin_dir)
            if machine(path) != (kind, number):
                problems.append(f"Plugins/{plugin_dir}/{name} is {machine(path)}, not {kind} machine {number:#x}")
        elif plugin_dir in required:
            problems.append(f"Plugins/{plugin_dir}/{name} is missing")
    if not found:
        problems.append("no plug-in in Plugins/")
    if not problems:
        print(f"Unity package {manifest['name']} {manifest['version']}: manifest, "
              f"{len(guids)} .meta files, plug-ins for {', '.join(found)}")
    return problems


def main():
    p = argparse.ArgumentParser()
    p.add_argument("folder")
    p.add_argument("--version")
    p.add_argument("--require", action="append", default=[], choices=sorted(PLUGINS))
    args = p.parse_args()
    problems = check(args.folder, args.version, args.require)
    for problem in problems:
        print("unity package:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
