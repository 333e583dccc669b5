#!/usr/bin/env python3
"""Runs a command and tells how long the machine kept it from running.

  run_measured.py --out FILE --err FILE --waited FILE [--also PID ...] -- COMMAND...

COMMAND's standard output and error go to --out and --err. While it runs,
its /proc/PID/schedstat is read every 20 ms (and once more when it has
ended, before it is reaped); --waited then gets the milliseconds it spent
ready to run but not running (its run delay), plus the run delay that each
--also process (the servers) gathered over the same time. Pings and the
time windows of a pass can stretch by at most that much when the machine is
busy: check_pass.py widens its time bounds by it. Exits with COMMAND's
status.
"""
import argparse
import os
import subprocess
import sys
import time


def run_delay_ms(pid):
    """The run delay of a process so far, in ms; 0 when it cannot be read."""
    try:
        with open(f"/proc/{pid}/schedstat") as f:
            return int(f.read().split()[1]) / 1e6
    except (OSError, IndexError, ValueError):
        return 0.0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True)
    p.add_argument("--err", required=True)
    p.add_argument("--waited", required=True)
    p.add_argument("--also", type=int, nargs="*", default=[])
    p.add_argument("command", nargs=argparse.REMAINDER)
    args = p.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    others = {pid: run_delay_ms(pid) for pid in args.also}
    with open(args.out, "wb") as out, open(args.err, "wb") as err:
        child = subprocess.Popen(command, stdout=out, stderr=err)
        waited = 0.0
        while True:
            ended = os.waitid(os.P_PID, child.pid, os.WEXITED | os.WNOHANG | os.WNOWAIT)
            waited = max(waited, run_delay_ms(child.pid))
            if ended is not None:
                break
            time.sleep(0.02)
        status = child.wait()
    waited += sum(max(0.0, run_delay_ms(pid) - before) for pid, before in others.items())
    with open(args.waited, "w") as f:
        f.write(f"{round(waited)}\n")
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main())
