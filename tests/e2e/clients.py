"""The devices of the scenarios: real DHCP and BOOTP clients that nobody here
wrote, run in the client namespace with bounded tries, and small helpers run
there as processes of their own."""

import os
import select
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def write_udhcpc_script(workspace, name, configure=False):
    """A udhcpc script that reports the bound address in a file and, when
    asked, puts it on the interface the way a device would take it."""
    report = workspace.path(name + ".ip")
    script = workspace.path(name + ".sh")
    lines = ["#!/bin/sh", '[ "$1" = bound ] || exit 0', 'echo "$ip" > "{}"'.format(report)]
    if configure:
        lines.append('ip addr replace "$ip/$mask" dev "$interface"')
    with open(script, "w") as out:
        out.write("\n".join(lines) + "\n")
    os.chmod(script, 0o755)
    return script, report


def udhcpc(topology, script, tries, timeout_s=20, interface_index=0):
    """busybox udhcpc: at most `tries` DISCOVERs one second apart; the exit
    status is 0 once it obtained a lease."""
    argv = ["busybox", "udhcpc", "-i", topology.client_if(interface_index), "-n", "-q", "-f",
            "-t", str(tries), "-T", "1", "-s", script]
    return topology.run_in(topology.client_ns, argv, timeout=timeout_s)


def read_report(path):
    if not os.path.exists(path):
        return None
    with open(path) as f:
        return f.read().strip()


def bootpc(topology, timeout_s=20, interface_index=0):
    """bootpc, a pure BOOTP client; prints the values it obtained as shell
    assignments (IPADDR='...'). It broadcasts through an ordinary UDP socket,
    which needs a route even while the interface has no address."""
    interface = topology.client_if(interface_index)
    topology.run_in(topology.client_ns, ["ip", "route", "replace", "255.255.255.255/32", "dev", interface],
                    timeout=10)
    return topology.run_in(topology.client_ns, ["bootpc", "--dev", interface, "--timeoutwait", "5",
                                                "--returniffail"], timeout=timeout_s)


def helper_argv(script, *arguments):
    """A helper script of this folder run by the same interpreter."""
    return [sys.executable, os.path.join(HERE, script)] + [str(a) for a in arguments]


def spawn_ready(topology, argv, marker, deadline_s=10, ns=None):
    """Starts a helper in the client namespace (or `ns`) and waits, bounded,
    for the line that says it is ready (one starting with `marker`); returns
    the process and that line."""
    argv = [str(a) for a in argv]
    process = topology.spawn(ns or topology.client_ns, argv, stdout=subprocess.PIPE)
    end = time.monotonic() + deadline_s
    buffered = b""
    while time.monotonic() < end:
        ready, _, _ = select.select([process.stdout], [], [], 0.2)
        if ready:
            chunk = os.read(process.stdout.fileno(), 1024)
            if not chunk:
                break
            buffered += chunk
            for line in buffered.decode(errors="replace").splitlines():
                if line.startswith(marker):
                    return process, line
    raise AssertionError("{} did not report {!r} (exit code {})".format(argv[0], marker, process.poll()))


def stop_and_wait(process, deadline_s=10):
    """Asks a helper to end (SIGTERM) and waits for it, bounded."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    process.wait(timeout=deadline_s)
    return process.returncode
