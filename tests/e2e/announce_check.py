#!/usr/bin/env python3
"""lanserver's announcements on real sockets, in a private network namespace:
hellos at about 0, 1 and 3 s, goodbyes at the end of --duration and on
SIGTERM (two copies 250 ms apart), from each server's own address and port;
nothing from dead servers or from a run without --announce.
   announce_check.py LANSERVER     (exit 77: no namespace could be made)"""
import os
import signal
import socket
import subprocess
import sys
import time

if os.environ.get("ANNOUNCE_CHECK_INSIDE") != "1":
    # Into a namespace of our own: root or a user namespace, loopback only.
    env = dict(os.environ, ANNOUNCE_CHECK_INSIDE="1")
    try:
        sys.exit(subprocess.call(["unshare", "-rn", sys.executable] + sys.argv, env=env))
    except OSError as error:
        print(f"no unshare: {error}")
        sys.exit(77)

if subprocess.call(["sh", "-c", "ip link set lo up && ip route add broadcast 255.255.255.255 dev lo table local"]):
    print("cannot set up the loopback of a private namespace")
    sys.exit(77)

lanserver = sys.argv[1]
listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("0.0.0.0", 22020))
listener.settimeout(0.05)


def run(addresses, ports, *extra):
    return subprocess.Popen([lanserver, "--servers", "3", "--dead", "1", "--addresses", addresses,
                             "--ports", ports, "--quiet", *extra])


start = time.monotonic()
runs = {
    "ends": run("127.0.1.2", "22000-22002", "--announce", "--duration", "4"),
    "killed": run("127.0.2.2", "22003-22005", "--announce", "--duration", "60"),
    "old": run("127.0.3.2", "22006-22008", "--duration", "4"),
}
heard = []  # (ms since start, source address, source port, text)
while time.monotonic() - start < 5.5:
    if runs["killed"].poll() is None and time.monotonic() - start > 1.5:
        runs["killed"].send_signal(signal.SIGTERM)
    try:
        data, (address, port) = listener.recvfrom(1500)
        heard.append(((time.monotonic() - start) * 1000, address, port, data.decode()))
    except socket.timeout:
        pass
for process in runs.values():
    process.wait(timeout=10)

failures = []
by_server = {}
for at, address, port, text in heard:
    by_server.setdefault((address, port), []).append((at, text))
    word = text.split("\\")[1]
    if text != f"\\{word}\\{port}\\gamename\\ridgeline\\final\\" or word not in ("announce", "goodbye"):
        failures.append(f"{address}:{port} sent {text!r}")
network = {"ends": "127.0.1.", "killed": "127.0.2.", "old": "127.0.3."}
for name, prefix in network.items():
    servers = sorted(s for s in by_server if s[0].startswith(prefix))
    if name == "old":
        if servers:
            failures.append(f"a run without --announce was heard: {servers}")
        continue
    if len(servers) != 2:  # one of the three is dead
        failures.append(f"{name}: heard {servers}, expected the two servers that are not dead")
    for server in servers:
        words = [text.split("\\")[1] for _, text in by_server[server]]
        times = [at for at, _ in by_server[server]]
        hellos = 3 if name == "ends" else 2
        if words != ["announce"] * hellos + ["goodbye"] * 2:
            failures.append(f"{name} {server}: {words}")
            continue
        if not 200 <= times[-1] - times[-2] <= 400:
            failures.append(f"{name} {server}: goodbyes {times[-1] - times[-2]:.0f} ms apart")
        if not 900 <= times[1] - times[0] <= 1250:
            failures.append(f"{name} {server}: hellos {times[1] - times[0]:.0f} ms apart")

for at, address, port, text in heard:
    print(f"{at:6.0f} ms  {address}:{port}  {text}")
print("\n".join(failures) if failures else "announcements as expected")
sys.exit(1 if failures else 0)
