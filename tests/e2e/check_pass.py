#!/usr/bin/env python3
"""Checks lanbrowse --json output against the servers lanserver ran.

Expected: exactly the servers that answer queries and report the game
"ridgeline" (or no game name); every record filled through the key map, with
"(NONE)" for what a server did not send; pings within the reply delay plus a
margin; the state codes 4 then 1; progress that never falls and reaches 100;
the order the sort asked for. Both files must be valid UTF-8 and strict
JSON, whatever bytes the servers sent (strict_json.py).

Time bounds hold for a machine that lets the programs run: when FILE.waited
lies beside the --json FILE (run_measured.py writes it), the time the
machine kept lanbrowse and the servers from running widens every upper
bound by as much. On a lossy LAN (--loss) the fewest servers a pass must
list follows from the loss rate (loss_model.py).
"""
import argparse
import os
import sys

import strict_json
from loss_model import fewest_listed
from records import actual_record, expected_record, load_key_map, lookup, sort_value

GAME = "ridgeline"


class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--manifest", required=True, action="append", help="one per lanserver")
    p.add_argument("--key-map", required=True)
    p.add_argument("--json", required=True, help="lanbrowse --json output, one pass per line")
    p.add_argument("--pass", dest="pass_number", type=int, default=1)
    p.add_argument("--expect-new", choices=["true", "false"], default="true")
    p.add_argument("--margin", type=int, default=500, help="ping and time margin, ms")
    p.add_argument("--loss", type=float, default=None,
                   help="on a LAN losing this percentage of frames each way: no unexpected server, and"
                        " at least as many of the expected ones as loss_model.fewest_listed() says")
    args = p.parse_args()
    waited = 0
    if os.path.exists(args.json + ".waited"):
        waited = int(open(args.json + ".waited").read())

    manifest = [server for path in args.manifest for server in strict_json.load(path)]
    entries = load_key_map(args.key_map)
    passes = strict_json.load_lines(args.json)
    result = next((x for x in passes if x["pass"] == args.pass_number), None)
    if result is None:
        print(f"no pass {args.pass_number} in {args.json}")
        return 1
    c = Checker()

    by_endpoint = {f'{s["address"]}:{s["port"]}': s for s in manifest}
    wanted = {e for e, s in by_endpoint.items()
              if s["behaviour"] == "answers" and dict(s["pairs"]).get("gamename", GAME) == GAME}
    got = [f'{s["address"]}:{s["port"]}' for s in result["servers"]]
    c.expect(result["finished"], "the pass did not finish")
    c.expect(len(got) == len(set(got)), f"a server is listed twice: {got}")
    if args.loss is None:
        c.expect(set(got) == wanted,
                 f"servers found differ: missing {sorted(wanted - set(got))}, unexpected {sorted(set(got) - wanted)}")
    else:
        at_least = fewest_listed(len(wanted), args.loss)
        c.expect(set(got) <= wanted, f"unexpected servers {sorted(set(got) - wanted)}")
        c.expect(len(got) >= at_least,
                 f"{len(got)} of {len(wanted)} found, expected at least {at_least} at {args.loss} % loss"
                 f" (missing {sorted(wanted - set(got))})")
        wanted = set(got)

    # Hooks: 4 then 1, one report per server, progress never falls and reaches 100.
    c.expect(result["states"] == [4, 1], f'state codes {result["states"]}, expected [4, 1]')
    reports = [h for h in result["hooks"] if "server" in h]
    progress = [h["progress"] for h in reports]
    c.expect(sorted(h["server"] for h in reports) == sorted(wanted), "one report per expected server")
    c.expect(all(0 <= x <= 100 for x in progress), f"progress out of 0..100: {progress}")
    c.expect(progress == sorted(progress), f"progress fell: {progress}")
    if wanted:
        c.expect(progress and progress[-1] == 100, f"progress did not reach 100: {progress}")
    new = args.expect_new == "true"
    c.expect(all(h["new"] == new for h in reports), f"every report should have new={new}")
    ids = [s["server_id"] for s in result["servers"]]
    c.expect(len(set(ids)) == len(ids) and all(i >= 1 for i in ids), f"server ids {ids}")

    # Values, as the key map maps them, and the ping.
    pings = []
    for s in result["servers"]:
        endpoint = f'{s["address"]}:{s["port"]}'
        if endpoint not in by_endpoint:
            continue
        server_def = by_endpoint[endpoint]
        actual = actual_record(s)
        ping = actual["info"].pop("ping", None)
        expected = expected_record(server_def, entries)
        expected["info"].pop("ping", None)
        for section in expected:
            c.expect(actual[section] == expected[section],
                     f"{endpoint} {section}: got {actual[section]}, expected {expected[section]}")
        delay = server_def["delay"]
        high = delay + args.margin + waited
        ok = ping is not None and ping.lstrip("-").isdigit() and delay - 2 <= int(ping) < high
        c.expect(ok, f"{endpoint} ping {ping} outside [{delay}, {high})")
        if ping is not None and ping.isdigit():
            pings.append(int(ping))

    # Sort order.
    sort = result["sort"]
    if sort:
        server_key = lookup(entries, sort["key"])
        values = [sort_value(dict(by_endpoint[e]["pairs"]), server_key, sort["mode"]) for e in got]
        in_order = sorted(values, reverse=not sort["ascending"])
        c.expect(values == in_order, f'not sorted by {sort["key"]} ({sort["mode"]}): {values}')
        c.expect(sorted(sort["announced"]) == sorted(got), "the sort announced other servers than were found")

    # Timing: discovery takes 3 s; a silent server adds its 3 s time-out.
    # On a lossy LAN servers asked again take longer.
    silent = any(s["behaviour"] == "silent" for s in manifest)
    low = 6000 if silent else 3000
    high = low + 2 * args.margin + max([0] + [s["delay"] for s in manifest])
    if args.loss is not None:
        high = low + 6000 + 2 * args.margin
    high += waited
    c.expect(low <= result["elapsed_ms"] < high,
             f'pass took {result["elapsed_ms"]} ms, expected {low} to {high} (of which {waited} for waiting to run)')

    summary = (f'pass {args.pass_number}: {len(got)} servers in {result["elapsed_ms"]} ms, '
               f'pings {min(pings) if pings else "-"}..{max(pings) if pings else "-"} ms, '
               f'kept waiting {waited} ms')
    if c.failures:
        print("FAILED " + summary)
        for f in c.failures:
            print("  " + f)
        return 1
    print("ok " + summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
