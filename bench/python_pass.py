#!/usr/bin/env python3
"""One full pass through the Python binding on the LAN that
bench/python_pass.sh made: its time, and its records against lanbrowse's
pass on the same LAN. Prints one line of JSON; exits 1 when the records differ.
  python_pass.py --keymap PATH --queries N --lanbrowse-json FILE"""
import argparse
import json
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parents[1]
sys.path[:0] = [str(root / "bindings" / "python"), str(root / "bindings" / "python" / "tests")]
import velnarlanjoin as vlj  # noqa: E402
from records import from_binding, from_lanbrowse  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("--keymap", required=True)
parser.add_argument("--queries", type=int, default=8)
parser.add_argument("--lanbrowse-json", required=True)
args = parser.parse_args()

with vlj.Browser(key_map=args.keymap, max_queries=args.queries) as browser:
    trace = []
    browser.trace = trace.append
    start = time.monotonic()
    update = browser.update()
    servers = update.wait(timeout=60)
    elapsed_ms = (time.monotonic() - start) * 1000
if not servers:
    sys.stderr.write("python_pass: no server listed (%s); the trace:\n  %s\n" % (update.problem.name, "\n  ".join(trace)))

output = Path(args.lanbrowse_json).read_bytes()
theirs = sorted(from_lanbrowse(output), key=lambda r: r[0])
ours = sorted(from_binding(servers), key=lambda r: r[0])
differ = [a[0] for a, b in zip(ours, theirs) if a != b]
print(json.dumps({"python_ms": round(elapsed_ms), "lanbrowse_ms": json.loads(output.splitlines()[0])["elapsed_ms"],
                  "python_servers": len(ours), "lanbrowse_servers": len(theirs),
                  "same_records": len(ours) == len(theirs) and not differ, "first_differing": differ[:3]}))
sys.exit(0 if len(ours) == len(theirs) and not differ else 1)
