#!/usr/bin/env python3
"""Checks that the C# binding listed the records lanbrowse --json listed.

  same_records.py LANBROWSE_JSON CSHARP_JSON

lanbrowse writes the bytes the servers sent; they are decoded here by the
rule the binding follows (valid UTF-8 as it is, else Windows-1252). Every
value of every record must be the binding's, in the same order, the measured
ping ("info"/"ping") aside. lanbrowse ran sorted by hostname in byte order,
as the binding's second pass is: that pass must give the same order.
"""
import json
import sys

SECTIONS = ("basic", "info", "players", "teams", "rules")
# Windows-1252 for 0x80 to 0x9F; undefined bytes stay the C1 control of their number.
CP1252 = {b: bytes([b]).decode("cp1252") for b in range(0x80, 0xA0) if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D)}


def decode(text):
    """A lanbrowse string (raw bytes read as surrogate escapes) by the binding's rule."""
    raw = text.encode("utf-8", "surrogateescape")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return "".join(CP1252.get(b, chr(b)) for b in raw)


def measured_ping(section, player, key):
    return section == "info" and player is None and key == "ping"


def lanbrowse_records(path):
    with open(path, "rb") as f:
        passes = [json.loads(line.decode("utf-8", "surrogateescape")) for line in f if line.strip()]
    records = []
    print(f"lanbrowse's pass: {passes[-1]['elapsed_ms']} ms")
    for s in passes[-1]["servers"]:
        values = [(section, v.get("index"), decode(v["key"]), decode(v["value"]))
                  for section in SECTIONS for v in s[section]]
        records.append((f"{s['address']}:{s['port']}", values))
    return records


def binding_passes(path):
    with open(path, encoding="ascii") as f:
        passes = json.load(f)["passes"]
    return [[(f"{s['address']}:{s['port']}", [tuple(v) for v in s["values"]]) for s in p["servers"]] for p in passes]


def differences(name, expected, actual):
    found = []
    want, got = dict(expected), dict(actual)
    if sorted(want) != sorted(got):
        found.append(f"{name}: servers only lanbrowse listed {sorted(set(want) - set(got))}, "
                     f"only the binding {sorted(set(got) - set(want))}")
    for endpoint in sorted(set(want) & set(got)):
        w = [v for v in want[endpoint] if not measured_ping(*v[:3])]
        g = [v for v in got[endpoint] if not measured_ping(*v[:3])]
        if w != g:
            diff = [(a, b) for a, b in zip(w, g) if a != b][:3]
            found.append(f"{name}: {endpoint}: {len(w)} values and {len(g)}; first differences {diff}")
        if len(g) == len(got[endpoint]):
            found.append(f"{name}: {endpoint}: no info/ping value")
    return found


def main():
    expected = lanbrowse_records(sys.argv[1])
    passes = binding_passes(sys.argv[2])
    failures = []
    for number, actual in enumerate(passes, 1):
        failures += differences(f"pass {number}", expected, actual)
    if [e for e, _ in expected] != [e for e, _ in passes[-1]]:
        failures.append("the sorted pass is not in lanbrowse's order")
    for failure in failures:
        print("FAILED:", failure)
    if failures:
        return 1
    print(f"the binding listed lanbrowse's {len(expected)} records, value by value, in {len(passes)} passes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
