"""A lanserver LAN listed through the binding: the same records as
lanbrowse, hostile bytes decoded, the pass's events in order."""
import gc
import os
import subprocess

import pytest

import velnarlanjoin as vlj
from conftest import KEY_MAP
from records import from_binding, from_lanbrowse

# Bytes a server may send in a value, and how the binding shows them.
HOSTILE = [
    (b"caf\xc3\xa9 \xe2\x9c\x93", "café ✓"),              # valid UTF-8 stays as it is
    (b"caf\xe9", "café"),                                  # Windows-1252
    (b"\x80\x8a\x9f\xa0\xff", "€ŠŸ\xa0ÿ"),
    (b"\x81\x8d\x8f\x90\x9d", "\x81\x8d\x8f\x90\x9d"),     # undefined in Windows-1252: their own code points
    (b"\xc0\xaf", "À¯"),                                   # overlong UTF-8
    (b"\xed\xa0\x80", "í\xa0€"),                           # an encoded surrogate
    (b"ok \xe2\x82", "ok â‚"),                             # UTF-8 cut short
    (b"\x01\x1f\x7f", "\x01\x1f\x7f"),                     # control bytes
]


@pytest.fixture(scope="module")
def lan(lan_server, tmp_path_factory):
    """20 generated servers and one hostile server per HOSTILE row."""
    definitions = tmp_path_factory.mktemp("defs") / "hostile.def"
    definitions.write_bytes(b"".join(
        b"* \\hostname\\Hostile %d\\gamename\\ridgeline\\mapname\\%s\\numplayers\\1\\maxplayers\\8\\player_0\\%s\n"
        % (i, raw, raw) for i, (raw, _) in enumerate(HOSTILE)))
    return lan_server("--servers", 20, "--definitions", definitions)


@pytest.fixture(scope="module")
def listed(lan):
    """A full pass through the binding, sorted by host name: (events, servers)."""
    with vlj.Browser(key_map=KEY_MAP, max_queries=8) as browser:
        trace = []
        browser.trace = trace.append
        gc.collect()  # the binding keeps the callback the library holds
        events = list(browser.update())
        browser.sort("hostname", mode="nocase")
        return events, browser.servers, trace


def test_binding_lists_the_records_lanbrowse_lists(listed):
    run = subprocess.run([os.environ["LANBROWSE"], "--json", "--keymap", str(KEY_MAP), "--queries", "8",
                          "--sort", "hostname", "--mode", "nocase"], capture_output=True, timeout=60)
    assert run.returncode == 0, run.stderr.decode(errors="replace")
    expected = from_lanbrowse(run.stdout)
    assert len(expected) == 20 + len(HOSTILE)
    assert from_binding(listed[1]) == expected


def test_pass_reports_each_server_once_then_idle(listed):
    events, servers, trace = listed
    assert any("discovery over" in line for line in trace)
    found = [e for e in events if isinstance(e, vlj.ServerListed)]
    assert [e.state for e in events if isinstance(e, vlj.StateChanged)] == [vlj.State.QUERYING, vlj.State.IDLE]
    assert isinstance(events[-1], vlj.StateChanged)
    assert sorted(e.server.endpoint for e in found) == sorted(s.endpoint for s in servers)
    assert all(e.is_new and e.server.id == e.server_id for e in found)
    progress = [e.progress for e in found]
    assert progress == sorted(progress) and progress[-1] == 100
    for s in servers:
        assert s.info["ping"] == str(s.ping) and 0 <= s.ping < 3000


@pytest.mark.parametrize("row", range(len(HOSTILE)))
def test_hostile_bytes_decode(listed, row):
    expected = HOSTILE[row][1]
    server = next(s for s in listed[1] if s.hostname == "Hostile %d" % row)
    assert (server.info["mapname"], server.players[0]["name"]) == (expected, expected)


def test_decode_never_fails():
    for byte in range(256):
        assert len(vlj.decode(bytes([byte]) + b"\xff")) == 2
