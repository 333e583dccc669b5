"""Shared fixtures: the built library and tools, a private network, and
lanserver LANs on its loopback."""
import os
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[3]
sys.path.insert(0, str(ROOT / "bindings" / "python"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
BUILD = ROOT / "build" / "test"
# CTest names the built files; a developer's run finds them in build/test.
for variable, default in (("VELNARLANJOIN_LIBRARY", BUILD / "service" / "libVelnarLanJoin.so.1"),
                          ("LANSERVER", BUILD / "tools" / "lanserver" / "lanserver"),
                          ("LANBROWSE", BUILD / "tools" / "lanbrowse" / "lanbrowse")):
    os.environ.setdefault(variable, str(default))
KEY_MAP = ROOT / "MultiplayerServers" / "VelnarKeyMap.ini"

import netns  # noqa: E402

_network = {}


@pytest.fixture(scope="session")
def private_network(tmp_path_factory):
    """The tests' process alone in a network namespace (skips where none can
    be made): nothing sent from here on leaves its loopback."""
    if "why" not in _network:
        tmp_path_factory.getbasetemp()  # made by the real user, before a user namespace maps it to root
        _network["why"] = netns.enter_private_network()
    if _network["why"]:
        pytest.skip(_network["why"])


@pytest.fixture(scope="module")
def lan_server(private_network, tmp_path_factory):
    """start(*args) runs lanserver on the private loopback (servers from
    127.0.0.2 up) until the module's end."""
    started = []

    def start(*args):
        ready = tmp_path_factory.mktemp("lan") / "ready"
        started.append(subprocess.Popen([os.environ["LANSERVER"], "--addresses", "127.0.0.2", "--ready-file",
                                         str(ready), "--duration", "120", "--quiet", *map(str, args)]))
        deadline = time.monotonic() + 10
        while not ready.exists():
            assert started[-1].poll() is None and time.monotonic() < deadline, "lanserver did not start"
            time.sleep(0.05)
    yield start
    for process in started:
        process.terminate()
        process.wait(timeout=10)
