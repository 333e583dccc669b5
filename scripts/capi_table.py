#!/usr/bin/env python3
"""Prints brenn_capi_bench's medians (Google Benchmark JSON, with
repetitions) as a table: each step through the C interface against the same
step through the C++ service, and whether it stays within 5 % of it."""
import json
import sys

LIMIT = 1.05


def main():
    runs = json.load(open(sys.argv[1]))["benchmarks"]
    median = {b["run_name"]: b["cpu_time"] for b in runs if b.get("aggregate_name") == "median"}
    status = 0
    print(f"{'step':<22}{'C++ (ns)':>10}{'C (ns)':>10}{'C / C++':>10}")
    for case in sorted({name.rsplit("/", 1)[0] for name in median}):
        cxx, c = median.get(case + "/cxx"), median.get(case + "/c")
        if cxx is None or c is None:
            print(f"{case}: missing a run")
            status = 1
            continue
        ratio = c / cxx
        verdict = "ok" if ratio <= LIMIT else f"over {LIMIT:.2f}"
        print(f"{case:<22}{cxx:>10.1f}{c:>10.1f}{ratio:>10.2f}  {verdict}")
        status |= ratio > LIMIT
    return status


if __name__ == "__main__":
    sys.exit(main())
