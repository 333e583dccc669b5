"""A game hosted through the binding, listed through it; errors as
exceptions with the library's code and text."""
import resource
import socket
import time

import pytest

import velnarlanjoin as vlj
from conftest import KEY_MAP

R = vlj.Result


def browse(browser, host, kind=vlj.Update.FULL):
    """One pass, the host answering in the same loop: (events, servers)."""
    update, events = browser.update(kind), []
    deadline = time.monotonic() + 30
    while not update.done and time.monotonic() < deadline:
        events += browser.step()
        host.step()
        time.sleep(0.005)
    return events, update.wait(timeout=0)


def test_hosted_game_is_listed_and_refreshed(private_network):
    with vlj.Host() as host, vlj.Browser(key_map=KEY_MAP) as browser, \
            socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as hear:
        hear.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        hear.bind(("0.0.0.0", 22020))  # where live browsers hear announcements
        host.announcing = True
        assert (host.announcing, browser.receive_buffer, browser.key_map_loaded) == (True, 1 << 20, True)
        for asked, kept in ((-5, 0), (65536, 65536)):
            browser.receive_buffer = asked
            assert browser.receive_buffer == kept
        host.set_player_limit(8)
        host.set_server_value("info", "mapname", "scree")
        for slot, name, score in ((0, "Ada", 12), (3, "Bo", 7)):
            host.set_player_value(slot, "player", name)
            host.set_player_value(slot, "score", score)
        assert host.start("Hosted by Python") == 22000 and host.hosting
        events, servers = browse(browser, host)
        assert [(s.endpoint, s.hostname, s.info["numplayers"], s.info["maxplayers"], s.info["mapname"])
                for s in servers] == [("127.0.0.1:22000", "Hosted by Python", "2", "8", "scree")]
        assert [(p["name"], p["score"]) for p in servers[0].players] == [("Ada", "12"), ("Bo", "7")]
        hear.settimeout(1)
        assert hear.recv(1500) == b"\\announce\\22000\\gamename\\ridgeline\\final\\"

        host.remove_player(0)
        events, servers = browse(browser, host, vlj.Update.AUX)
        listed = [e for e in events if isinstance(e, vlj.ServerListed)]
        assert [(e.is_new, e.server.info["numplayers"]) for e in listed] == [(False, "1")]
        # Player 1 of the first pass stays in the refreshed record: the service
        # overwrites the values a reply brings and removes none.
        assert servers[0].players[0]["name"] == "Bo" and host.counters.answered >= 2


def test_live_list_reports_a_stopped_game_gone_then_closes(private_network):
    with vlj.Host() as host, vlj.Browser(key_map=KEY_MAP) as browser:
        host.announcing = True
        live, events = browser.update(vlj.Update.LIVE), []

        def until(wanted, seconds):
            deadline = time.monotonic() + seconds
            while not any(map(wanted, events)) and time.monotonic() < deadline:
                events.extend(browser.step())
                host.step()
                time.sleep(0.005)
            return next(filter(wanted, events), None)
        assert until(lambda e: e == vlj.StateChanged(vlj.State.LIVE), 10)
        port = host.start("Live")  # its hello brings the live list's query at once
        listed = until(lambda e: isinstance(e, vlj.ServerListed) and e.is_new, 2)
        assert listed and listed.server.hostname == "Live" and len(browser.servers) == 1
        host.stop()  # says goodbye
        assert until(lambda e: isinstance(e, vlj.ServerGone), 1) == vlj.ServerGone(listed.server_id, "127.0.0.1", port)
        assert browser.servers == [] and browser.updating
        live.close()
        assert until(lambda e: e == vlj.StateChanged(vlj.State.IDLE), 1) and live.done and not browser.updating
        assert [e.state for e in events if isinstance(e, vlj.StateChanged)] == [vlj.State.LIVE, vlj.State.IDLE]


def test_missing_default_key_map_is_told_not_shown(private_network, tmp_path, monkeypatch, capfd):
    monkeypatch.chdir(tmp_path)  # no MultiplayerServers/ here
    with vlj.Host() as host, vlj.Browser() as browser:
        host.start("Unmapped")
        _, servers = browse(browser, host)
        assert not browser.key_map_loaded
        assert [s.sections["info"] for s in servers] == [{"ping": str(servers[0].ping)}]
    assert capfd.readouterr().err == ""


def test_failed_or_timed_out_update_leaves_nothing_behind(private_network):
    with vlj.Browser(key_map=KEY_MAP) as browser:
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (0, hard))  # no descriptor to be had
        try:
            with pytest.raises(vlj.Error) as error:
                browser.update()
        finally:
            resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard))
        assert (error.value.code, browser.problem, browser.updating) == (R.NO_SOCKET, vlj.Problem.NO_SOCKET, False)
        # The failed update's events do not end the next one early, nor does
        # the trace function's exception lose any.
        lines = []
        browser.trace = lambda line: lines.append(line) or len(lines) > 1 or 1 / 0
        update = browser.update()
        with pytest.raises(ZeroDivisionError):
            update.wait()
        assert [e.state for e in update if isinstance(e, vlj.StateChanged)] == [vlj.State.QUERYING, vlj.State.IDLE]
        # A wait gives up in time, though no event comes during discovery.
        started = time.monotonic()
        with pytest.raises(TimeoutError):
            browser.update().wait(timeout=0.2)
        assert time.monotonic() - started < 1 and browser.updating


def held(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", port))
    return s


@pytest.mark.parametrize("taken, port, code", [
    ([22004], 22004, R.PORT_IN_USE),
    (range(22000, 22011), 0, R.PORT_IN_USE),
    ([], 70000, R.BAD_PORT),
    ([], -1, R.BAD_PORT),
    ([], 2**32 + 22000, R.BAD_PORT),  # not wrapped round to 22000
])
def test_start_refuses_a_port(private_network, taken, port, code):
    sockets = [held(p) for p in taken]
    try:
        with vlj.Host() as host:
            with pytest.raises(vlj.Error) as error:
                host.start("x", port)
            assert error.value.code == code and not host.hosting
    finally:
        for s in sockets:
            s.close()


def test_stopped_host_gives_its_port_back(private_network):
    with vlj.Host() as first, vlj.Host() as second:
        first.start("first", 22003)
        first.stop()
        assert second.start("second", 22003) == 22003


H, B = vlj.Host, vlj.Browser
# (what to make, the call on it, the code it fails with)
REFUSED = [
    (H, lambda h: h.start("a", 22005) and h.start("b", 22006), R.ALREADY_HOSTING),
    (H, lambda h: h.set_server_value("players", "k", "v"), R.BAD_SECTION),
    (H, lambda h: h.set_server_value("info", "gamename", "x"), R.BAD_KEY),
    (H, lambda h: h.set_server_value("info", "k", "a\\b"), R.BAD_VALUE),
    (H, lambda h: h.set_player_value(256, "k", "v"), R.BAD_PLAYER),
    (H, lambda h: h.remove_player(3), R.BAD_PLAYER),
    (H, lambda h: h.set_player_limit(257), R.BAD_LIMIT),
    (H, lambda h: setattr(h, "limits", vlj.HostLimits(sender_rate=0)), R.BAD_LIMIT),
    (B, lambda b: b.sort("hostname", mode=9), R.INVALID_ARGUMENT),
    (B, lambda b: b.update(7), R.INVALID_ARGUMENT),
    (lambda: B(max_queries=1001), None, R.INVALID_ARGUMENT),
    (lambda: B(servers_per_address=65536), None, R.INVALID_ARGUMENT),
    (lambda: B(servers_total=1000001), None, R.INVALID_ARGUMENT),
    (lambda: B(servers_total=-1), None, R.INVALID_ARGUMENT),
    (lambda: B(key_map="/nonexistent/VelnarKeyMap.ini"), None, R.NOT_FOUND),
    (lambda: B(key_map=KEY_MAP.parent), None, R.NOT_FOUND),  # a folder
]


@pytest.mark.parametrize("make, call, code", REFUSED)
def test_refusals_carry_the_library_code_and_text(private_network, make, call, code):
    with pytest.raises(vlj.Error) as error:
        with make() as target:
            call(target)
    text = vlj.decode(vlj._native.library().vlj_result_text(code))
    assert (error.value.code, error.value.text) == (code, text) and text in str(error.value)
    assert text != "unknown result"
