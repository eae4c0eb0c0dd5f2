"""Bounded waits: every wait of the scenarios polls with a deadline."""

import time

# Each look at the tree is a round of calls into the program; a slower
# poll leaves it time for its own work.
POLL_S = 0.2


class WaitTimeout(AssertionError):
    pass


def wait_until(predicate, deadline_s, what):
    """Polls `predicate` until it returns something true and returns that;
    raises WaitTimeout naming `what` when `deadline_s` seconds have passed.
    Exceptions of the predicate count as "not yet" (the accessibility tree
    changes under the poll), the last one is reported."""
    end = time.monotonic() + deadline_s
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # noqa: BLE001 - reported on time-out
            last_error = error
        if time.monotonic() >= end:
            detail = " (last error: {!r})".format(last_error) if last_error else ""
            raise WaitTimeout("timed out after {}s waiting for {}{}".format(deadline_s, what, detail))
        time.sleep(POLL_S)
