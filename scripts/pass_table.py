#!/usr/bin/env python3
"""Turns the whole-pass runs of scripts/bench_pass.sh (one JSON object per
line, from brenn_pass) into one table: per case the best run's query phase
beside its lower bound, ceil(servers / queries) round trips, with the round
trip measured in the same run, and the range of all runs; then checks the
targets on the best runs. The best run, because on a shared machine other
work only ever adds time; the range shows how much it added. Each case runs
for the browser as it is ("after") and as it was ("before"); on this clean
LAN the query phase must not grow and no extra query go out."""
import json
import math
import sys


def duration(ms):
    if ms < 1:
        return f"{ms * 1000:.3g} us"
    if ms < 1000:
        return f"{ms:.3g} ms"
    return f"{ms / 1000:.3g} s"


def lower_bound_ms(run):
    return math.ceil(run["servers"] / run["queries"]) * run["rtt_median_us"] / 1000


def ratio(run):
    return run["query_ms"] / lower_bound_ms(run)


def main(path):
    with open(path) as f:
        runs = [json.loads(line) for line in f if line.strip()]
    cases = {}
    for run in runs:
        cases.setdefault((run["servers"], run["delay_ms"], run["queries"], run.get("behaviour", "after")), []).append(run)

    header = ("servers", "queries", "replies", "behaviour", "round trip", "lower bound", "query phase", "ratio",
              "host CPU", "longest update", "all runs (query phase)", "found", "queries sent")
    rows, best, waited = [], {}, False
    for key in sorted(cases):
        servers, delay, queries, behaviour = key
        group = sorted(cases[key], key=lambda r: r["query_ms"])
        run = group[0]
        best[key] = run
        # A host that spins in a tight loop is on a core all the time unless
        # something else took it.
        mark = "*" if run["query_cpu_ms"] < 0.9 * run["query_ms"] else ""
        waited = waited or bool(mark)
        found = min(r["records"] for r in group)
        spread = (f"{len(group)}: {duration(group[0]['query_ms'])} to {duration(group[-1]['query_ms'])}"
                  if len(group) > 1 else "1")
        sent = sorted({r.get("queries_sent", -1) for r in group})
        rows.append((str(servers), str(queries), "at once" if delay == 0 else f"{delay} ms late", behaviour,
                     duration(run["rtt_median_us"] / 1000), duration(lower_bound_ms(run)),
                     duration(run["query_ms"]), f"{ratio(run):.2f}", duration(run["query_cpu_ms"]) + mark,
                     duration(run["longest_update_ms"]), spread,
                     "all" if found == servers else f"{found} of {servers}",
                     "/".join(str(x) for x in sent)))

    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
    print(line(header))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print(line(r))
    if waited:
        print("* the host was off its core for over a tenth of the phase: the machine was busy")
    print()

    checks = []
    if runs:
        complete = all(r["records"] == r["servers"] for r in runs)
        checks.append(("every run found and queried every server", complete, "all"))
    slow = best.get((1000, 20, 64, "after"))
    if slow:
        checks.append((f"1000 servers, 64 queries, 20 ms replies: query phase {duration(slow['query_ms'])}"
                       f" = {ratio(slow):.2f} x lower bound {duration(lower_bound_ms(slow))}",
                       ratio(slow) <= 1.1, "<= 1.1 x"))
    fast = best.get((1000, 0, 64, "after"))
    if fast:
        checks.append((f"1000 servers, 64 queries, immediate replies: query phase {duration(fast['query_ms'])}",
                       fast["query_ms"] < 50, "< 50 ms"))
    for (servers, delay, queries, behaviour), after in sorted(best.items()):
        before = best.get((servers, delay, queries, "before"))
        if behaviour != "after" or before is None:
            continue
        sent_after = {r.get("queries_sent") for r in cases[(servers, delay, queries, "after")]}
        sent_before = {r.get("queries_sent") for r in cases[(servers, delay, queries, "before")]}
        label = f"{servers} servers, {queries} queries, {'at once' if delay == 0 else f'{delay} ms late'}"
        checks.append((f"{label}: the same queries sent before and after ({'/'.join(map(str, sorted(sent_after)))})",
                       sent_after == sent_before, "equal"))
        if servers == 1000:
            checks.append((f"{label}: query phase after {duration(after['query_ms'])} = "
                           f"{after['query_ms'] / before['query_ms']:.2f} x before {duration(before['query_ms'])}",
                           after["query_ms"] <= 1.05 * before["query_ms"], "<= 1.05 x"))
    for text, ok, target in checks:
        print(f"{'ok  ' if ok else 'MISS'}  {text}  (target {target})")
    return 0 if all(ok for _, ok, _ in checks) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
