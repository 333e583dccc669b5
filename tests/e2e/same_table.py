#!/usr/bin/env python3
"""Checks that two lanbrowse tables show the same servers with the same values.

The PING column is left out (pings depend on the machine and the step
interval). Rows may differ in order only where they tie on the sort column:
the sequence of that column's leading numbers ("7" of "7/32") must be the
same in both tables. Lines may end in CR LF (Windows programs).
"""
import argparse
import re
import sys


def read_table(path):
    """(header, rows) of a table, its cells split at runs of two or more blanks."""
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = [line.rstrip("\r\n") for line in f if line.strip()]
    if not lines:
        return None, []
    cells = [re.split(r" {2,}", line.strip()) for line in lines]
    return cells[0], cells[1:]


def without(column, header, rows):
    i = header.index(column)
    return [r[:i] + r[i + 1:] for r in rows]


def leading_number(text):
    m = re.match(r"\s*(-?\d+)", text)
    return int(m.group(1)) if m else None


def main():
    p = argparse.ArgumentParser()
    p.add_argument("expected", help="the table of the reference run")
    p.add_argument("actual", help="the table to check")
    p.add_argument("--order-column", default="PLAYERS",
                   help="the column the tables are sorted by (its leading number)")
    args = p.parse_args()

    head_e, rows_e = read_table(args.expected)
    head_a, rows_a = read_table(args.actual)
    failures = []
    if head_e is None or head_a is None:
        failures.append("a table is empty")
    elif head_e != head_a:
        failures.append(f"headers differ: {head_e} and {head_a}")
    elif "PING" not in head_e or args.order_column not in head_e:
        failures.append(f"no PING or {args.order_column} column in {head_e}")
    else:
        bad = [r for r in rows_e + rows_a if len(r) != len(head_e)]
        if bad:
            failures.append(f"rows that do not fit the header: {bad}")
        else:
            plain_e = without("PING", head_e, rows_e)
            plain_a = without("PING", head_a, rows_a)
            if sorted(plain_e) != sorted(plain_a):
                only_e = [r for r in plain_e if r not in plain_a]
                only_a = [r for r in plain_a if r not in plain_e]
                failures.append(f"rows differ: only in {args.expected}: {only_e}; only in {args.actual}: {only_a}")
            col = head_e.index(args.order_column)
            order_e = [leading_number(r[col]) for r in rows_e]
            order_a = [leading_number(r[col]) for r in rows_a]
            if order_e != order_a:
                failures.append(f"order by {args.order_column} differs: {order_e} and {order_a}")

    if failures:
        print("FAILED: the tables differ")
        for f in failures:
            print("  " + f)
        return 1
    pings_a = [r[head_a.index("PING")] for r in rows_a]
    print(f"ok: the same {len(rows_a)} servers with the same values (pings {', '.join(pings_a)} ms)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
