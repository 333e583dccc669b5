"""How many servers a pass must list on a LAN that loses frames.

The browser's answers to loss (broadcast rounds, queries asked again) make
a miss rare; this says how rare, so that a test can demand as many servers
as are certain to be listed and fail by chance at most once in a million
runs.
"""
import math

# What the browser does against loss: broadcast rounds a pass sends, and
# queries a quiet server is asked within its three seconds.
ROUNDS = 4
QUERIES = 4
# The chance, per run, that a correct browser on a LAN with the loss given
# lists fewer servers than fewest_listed() asks for.
FALSE_FAILURE = 1e-6


def fewest_listed(servers, loss_percent):
    """The fewest of `servers` a pass must list when every frame is lost on
    its own with the chance given, both ways.

    One exchange (a request and its one-datagram answer) fails with
    f = 1 - (1 - p)^2. A server is missed only when the exchanges of every
    broadcast round failed, or those of every query it was asked: each
    server on its own with q <= f^ROUNDS + f^(QUERIES - 1), one query being
    left out for a step the machine may have delayed past the three
    seconds (the second broadcast address of each round is not counted
    either). The misses then follow a binomial law; the result is the
    smallest count whose shortfall has a chance of at most FALSE_FAILURE.
    For 100 servers: 92 at 10 % loss, 99 at 1 %.
    """
    f = 1 - (1 - loss_percent / 100) ** 2
    q = min(1.0, f ** ROUNDS + f ** (QUERIES - 1))
    tail = 0.0  # the chance of missing `missed` servers or more
    for missed in range(servers, -1, -1):
        tail += math.comb(servers, missed) * q ** missed * (1 - q) ** (servers - missed)
        if tail > FALSE_FAILURE:
            return servers - missed
    return 0
