#!/usr/bin/env python3
"""The live list's figures from the JSON lines of scripts/bench_live.sh, as
one table with the targets. Exits 1 when a target is missed."""
import json
import statistics
import sys


def first(events, kind, server=None):
    return next((e["ms"] for e in events if e["kind"] == kind and (server is None or e.get("server") == server)), None)


def main():
    runs = [json.loads(line) for line in open(sys.argv[1])]
    rows = []  # (figure, value, target, met)

    def row(figure, value, target, met):
        rows.append((figure, value, target, met))

    def of(case, **extra):
        return [r for r in runs if r["case"] == case and all(r["extra"].get(k) == v for k, v in extra.items())]

    for tick in ("5", "16"):
        ms = [first(r["events"], "new") for r in of("first", tick=tick, mode="live")]
        if ms and None not in ms:
            target = 50 if tick == "5" else 2 * 16 + 5
            row(f"first server reported, {tick} ms step (median of {len(ms)})", f"{statistics.median(ms)} ms",
                f"<= {target} ms", statistics.median(ms) <= target)
    ms = [first(r["events"], "new") for r in of("first", mode="pass")]
    if ms and None not in ms:
        row("  the same in a pass (before)", f"{statistics.median(ms)} ms", "", True)
    demo = [max(e["ms"] for e in r["events"] if e["kind"] == "new") for r in of("demo", mode="live")]
    if demo:
        row("demo LAN: its 10 servers listed (median)", f"{statistics.median(demo)} ms", "<= 250 ms",
            statistics.median(demo) <= 250)
    for r in of("demo", mode="pass"):
        row("  the same in a pass (before): the table at the end", f"{first(r['events'], 'idle')} ms", "", True)
    for r in of("churn"):
        x, ev = r["extra"], r["events"]
        listed = first(ev, "new", x["announcing"])
        gone = first(ev, "gone", x["announcing"])
        row("server started, announcing: listed after", f"{listed - int(x['announce_at'])} ms" if listed else "never",
            "<= 200 ms", listed is not None and listed - int(x["announce_at"]) <= 200)
        listed_old = first(ev, "new", x["old"])
        row("server started, not announcing: listed after",
            f"{listed_old - int(x['old_at'])} ms" if listed_old else "never", "<= 30000 ms (the broadcast cap)",
            listed_old is not None and listed_old - int(x["old_at"]) <= 30100)
        row("server stopped with its goodbye: gone after", f"{gone - int(x['goodbye_at'])} ms" if gone else "never",
            "<= 1100 ms", gone is not None and gone - int(x["goodbye_at"]) <= 1100)
        gone_old = first(ev, "gone", x["old"])
        row("server killed: gone after", f"{gone_old - int(x['kill_at'])} ms" if gone_old else "never",
            "<= 16000 ms (the lifetime)", gone_old is not None and gone_old - int(x["kill_at"]) <= 16100)
        pings = [e["ping"] for e in ev if e["kind"] == "new" and e["server"] not in (x["announcing"], x["old"])]
        row("ping at a 16 ms step, 1 ms reply delay (median)", f"{statistics.median(pings)} ms", "<= 2 ms",
            statistics.median(pings) <= 2)
    for r in of("cost"):
        x = r["extra"]
        a, b = [list(map(int, x[k].split(","))) for k in ("at15", "at75")]
        n = int(x["servers"])
        row("cost, clean LAN: queries per server and minute", f"{(b[0] - a[0]) / n:.1f}", "<= 12", (b[0] - a[0]) / n <= 12)
        row("  replies and answers per server and minute", f"{(b[2] - a[2]) / n:.1f}", "<= 12", (b[2] - a[2]) / n <= 12)
        row("  broadcasts per browser and minute", f"{b[1] - a[1]}", "", True)
        row("  announcements per minute, nothing changing", f"{b[3] - a[3]}", "0", b[3] == a[3])
        c, e = [list(map(int, x[k].split(","))) for k in ("closed", "exited")]
        sent = (e[0] + e[1]) - (c[0] + c[1])
        row("  datagrams sent after the list closed", f"{sent}", "0", sent == 0)
    for r in of("lossy"):
        x = r["extra"]
        a, b = [list(map(int, x[k].split(","))) for k in ("before", "after")]
        n, minutes = int(x["servers"]), int(x["minutes"])
        gone = sum(1 for e in r["events"] if e["kind"] == "gone")
        row(f"false gone, {n} servers, 10 % loss both ways, {minutes} min", f"{gone}", "0", gone == 0)
        row("  queries per server and minute", f"{(b[0] - a[0]) / n / minutes:.1f}", "<= 12",
            (b[0] - a[0]) / n / minutes <= 12)
        row("  replies per server and minute (sent)", f"{(b[2] - a[2]) / n / minutes:.1f}", "<= 12",
            (b[2] - a[2]) / n / minutes <= 12)
    clean = {r["extra"]["mode"]: r for r in of("hostile", ports="0")}
    for ports in ("1000", "10000"):
        for r in of("hostile", ports=ports):
            mode, ev = r["extra"]["mode"], r["events"]
            end = next(e for e in ev if e["kind"] == "end")
            if mode == "pass":
                took, base = first(ev, "idle"), first(clean["pass"]["events"], "idle")
                row(f"{ports} fake ports: the pass ends after", f"{took} ms (clean {base} ms)", "<= clean + 10000",
                    took is not None and took <= base + 10000)
            else:
                took = first(ev, "sweep")
                row(f"{ports} fake ports: first sweep complete", f"{took} ms", "<= 10000", took is not None and took <= 10000)
            row(f"  real servers listed, memory ({mode})", f"{end['listed']}, {end['max_rss_kb']} KiB", "10",
                end["listed"] == 10)
    width = max(len(f) for f, _, _, _ in rows)
    print(f"{'figure':<{width}}  {'measured':>24}  target")
    for figure, value, target, met in rows:
        print(f"{figure:<{width}}  {value:>24}  {target}{'' if met else '  MISSED'}")
    return 0 if all(met for _, _, _, met in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
