#!/usr/bin/env python3
"""Turns the benchmark program's JSON output into one compact table, with
each figure's share of a 60 Hz frame (16.7 ms) and, given the JSON of an
earlier revision's build (scripts/bench.sh --before), its figure for the
same benchmark; then checks the targets.
    bench_table.py AFTER.json [BEFORE.json]"""
import json
import sys

FRAME_NS = 1e9 / 60
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def duration(ns):
    for limit, unit, scale in ((1e3, "ns", 1.0), (1e6, "us", 1e3), (1e9, "ms", 1e6)):
        if ns < limit:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns / 1e9:.3g} s"


def rate(value, unit):
    for scale, prefix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if value >= scale:
            return f"{value / scale:.3g} {prefix}{unit}"
    return f"{value:.3g} {unit}"


def share(ns):
    percent = ns / FRAME_NS * 100
    if percent < 0.001:
        return "<0.001 %"
    return f"{percent:.0f} %" if percent >= 10 else f"{percent:.2g} %"


def cpu_times(path):
    """Benchmark name to CPU ns, for the runs without errors; {} for no file."""
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError):
        return {}
    return {b["name"]: b["cpu_time"] * UNIT_NS[b["time_unit"]]
            for b in data.get("benchmarks", []) if not b.get("error_occurred")}


def main(path, before_path=None):
    with open(path) as f:
        data = json.load(f)
    before = cpu_times(before_path) if before_path else {}
    rows, times = [], {}
    for b in data["benchmarks"]:
        name = b["name"]
        if b.get("error_occurred"):
            rows.append((name, "skipped", "", "", b.get("error_message", "")))
            continue
        ns = b["cpu_time"] * UNIT_NS[b["time_unit"]]
        times[name] = ns
        extra = []
        if "bytes_per_second" in b:
            extra.append(rate(b["bytes_per_second"], "B/s"))
        for counter in ("pairs/s", "answers/s", "servers/s", "replies/s", "queries/s", "records/s"):
            if counter in b:
                extra.append(rate(b[counter], " " + counter))
        if "bytes/record" in b:
            extra.append(f"{b['bytes/record']:.0f} B/record")
        then = before.get(name)
        rows.append((name, duration(ns), share(ns), f"{duration(then)} ({then / ns:.2g}x)" if then else "",
                     ", ".join(extra)))

    header = ("benchmark", "CPU time/op", "of a frame", "before", "throughput")
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(5)]
    line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
    print(line(header))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print(line(r))

    print()
    checks = []
    idle = [v for k, v in times.items() if k.startswith("think/") and k.endswith("/sim")]
    if idle:
        checks.append((f"think with nothing to do, simulated: worst {duration(max(idle))}", max(idle) < 2000, "< 2 us"))
    idx = times.get("flood/indexed/10000")
    lan = times.get("flood/lan-only/10000")
    if lan and idx:
        checks.append((f"simulated LAN's share of the indexed flood step: {lan / idx * 100:.0f} %", True, "(information)"))
    hostIdle = times.get("host/update/idle/sim")
    if hostIdle:
        checks.append((f"hosted game's update with nothing waiting, simulated: {duration(hostIdle)}", hostIdle < 2000, "< 2 us"))
    for name in ("host/flood/one-sender/10000", "host/flood/many-senders/10000"):
        skipped = any(r[0] == name and r[1] == "skipped" for r in rows)
        if name in times or skipped:
            ns = times.get(name, FRAME_NS)
            checks.append((f"{name} drained by one step: {'skipped' if skipped else duration(ns)}",
                           not skipped and ns < FRAME_NS, "< 16.7 ms, limits held"))
    per_record = {k: v / int(k.rsplit("/", 1)[1]) for k, v in times.items() if k.startswith("records/")}
    small, large = per_record.get("records/indexed/1000"), per_record.get("records/indexed/10000")
    if small and large:
        checks.append((f"per-record cost of filling, indexed: {duration(small)} at 1000, {duration(large)} at 10000"
                       f" ({large / small:.2f}x)", large / small <= 1.5, "10000 within 1.5x of 1000"))
    pooled = next((b for b in data["benchmarks"] if b["name"] == "parseReply/pooled" and "bytes_per_second" in b), None)
    if pooled:
        mbs = pooled["bytes_per_second"] / 1e6
        checks.append((f"parseReply of the pooled 1.2 KB reply: {mbs:.0f} MB/s", mbs >= 100, ">= 100 MB/s"))
    for text, ok, target in checks:
        mark = "" if target == "(information)" else ("ok  " if ok else "MISS")
        print(f"{mark:4}  {text}  (target {target})" if mark else f"      {text}")
    return 0 if all(ok for _, ok, _ in checks) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None))
