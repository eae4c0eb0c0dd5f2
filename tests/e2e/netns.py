"""Test hosts for the end-to-end scenarios: the program's network namespace and
a client namespace, joined by one or more veth pairs. Nothing here touches the
machine's real interfaces; every namespace is created here and removed by
close(), also after a failure."""

import os
import shutil
import signal
import subprocess
import time

from waits import wait_until

# Inside the namespaces only: the program's side of pair i is 192.168.(79+i).1.
PROGRAM_IF = "e2e{}"
CLIENT_IF = "e2ec{}"


def subnet_of(index):
    return "192.168.{}".format(79 + index)


def run(argv, check=True, timeout=10):
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise RuntimeError("{} failed ({}): {}".format(" ".join(argv), result.returncode,
                                                        result.stderr.strip()))
    return result


class Topology:
    """Two namespaces, "<tag>p" for the program and "<tag>c" for the devices."""

    def __init__(self, tag):
        # The pid keeps parallel runs and left-overs of killed runs apart.
        base = "cve2e{}{}".format(tag, os.getpid())
        self.program_ns = base + "p"
        self.client_ns = base + "c"
        self.pairs = 0
        self.processes = []
        self.device_namespaces = []
        self.bridges = set()
        run(["ip", "netns", "add", self.program_ns])
        try:
            self.set_resolver("")
            run(["ip", "netns", "add", self.client_ns])
            for ns in (self.program_ns, self.client_ns):
                run(["ip", "-n", ns, "link", "set", "lo", "up"])
        except Exception:
            self.close()
            raise

    def set_resolver(self, text):
        """The /etc/resolv.conf that programs in the program's namespace see
        (`ip netns exec` binds /etc/netns/<ns>/ over /etc), so the name
        servers the settings dialog offers are the scenario's, not the host's."""
        folder = os.path.join("/etc/netns", self.program_ns)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "resolv.conf"), "w") as out:
            out.write("# written by the end-to-end scenario\n" + text)

    def add_pair(self, prefix=24, client_mac=None, client_address=None):
        """A veth pair: the program's end gets <subnet>.1/prefix, the client's
        end the given MAC and, optionally, an address of its own. Returns the
        program side's interface name."""
        i = self.pairs
        self.pairs += 1
        pif, cif = PROGRAM_IF.format(i), CLIENT_IF.format(i)
        run(["ip", "link", "add", pif, "netns", self.program_ns, "type", "veth",
             "peer", "name", cif, "netns", self.client_ns])
        run(["ip", "-n", self.program_ns, "addr", "add",
             "{}.1/{}".format(subnet_of(i), prefix), "dev", pif])
        if client_mac:
            run(["ip", "-n", self.client_ns, "link", "set", cif, "address", client_mac])
        if client_address:
            run(["ip", "-n", self.client_ns, "addr", "add",
                 "{}/{}".format(client_address, prefix), "dev", cif])
        run(["ip", "-n", self.program_ns, "link", "set", pif, "up"])
        run(["ip", "-n", self.client_ns, "link", "set", cif, "up"])
        return pif

    def add_device(self, mac, address, prefix=24, index=0):
        """One more device behind the client end of pair `index`: a namespace
        of its own with the given MAC and address, joined to the others by a
        bridge in the client namespace (a switch). Returns its namespace."""
        bridge = "e2ebr{}".format(index)
        if bridge not in self.bridges:
            run(["ip", "-n", self.client_ns, "link", "add", bridge, "type", "bridge"])
            run(["ip", "-n", self.client_ns, "link", "set", self.client_if(index), "master", bridge])
            run(["ip", "-n", self.client_ns, "link", "set", bridge, "up"])
            self.bridges.add(bridge)
        n = len(self.device_namespaces)
        ns = "{}d{}".format(self.client_ns, n)
        run(["ip", "netns", "add", ns])
        self.device_namespaces.append(ns)
        port = "e2ed{}".format(n)
        run(["ip", "link", "add", port, "netns", self.client_ns, "type", "veth", "peer", "name", "eth0", "netns", ns])
        run(["ip", "-n", self.client_ns, "link", "set", port, "master", bridge])
        run(["ip", "-n", self.client_ns, "link", "set", port, "up"])
        run(["ip", "-n", ns, "link", "set", "eth0", "address", mac])
        run(["ip", "-n", ns, "addr", "add", "{}/{}".format(address, prefix), "dev", "eth0"])
        for link in ("lo", "eth0"):
            run(["ip", "-n", ns, "link", "set", link, "up"])
        return ns

    def client_if(self, index=0):
        return CLIENT_IF.format(index)

    def wait_link_up(self, deadline_s=10):
        """Until the program's ends report carrier (veth needs both ends up)."""
        def up():
            out = run(["ip", "-n", self.program_ns, "-o", "link", "show"], check=False).stdout
            return all("LOWER_UP" in line for line in out.splitlines() if "e2e" in line)
        wait_until(up, deadline_s, "the veth links to come up")

    def in_ns(self, ns, argv):
        return ["ip", "netns", "exec", ns] + list(argv)

    def spawn(self, ns, argv, env=None, stdout=None, stderr=None, cwd=None):
        """Starts a process in a namespace in its own process group, which
        close() ends."""
        process = subprocess.Popen(self.in_ns(ns, argv), env=env, stdin=subprocess.DEVNULL,
                                   stdout=stdout if stdout is not None else subprocess.DEVNULL,
                                   stderr=stderr if stderr is not None else subprocess.DEVNULL,
                                   start_new_session=True, cwd=cwd)
        self.processes.append(process)
        return process

    def run_in(self, ns, argv, timeout):
        """Runs a command in a namespace to its end, within `timeout` seconds."""
        return run(self.in_ns(ns, argv), check=False, timeout=timeout)

    def close(self):
        for process in self.processes:
            stop_group(process)
        self.processes = []
        for ns in [self.program_ns, self.client_ns] + self.device_namespaces:
            subprocess.run(["ip", "netns", "del", ns], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            shutil.rmtree(os.path.join("/etc/netns", ns), ignore_errors=True)


def stop_group(process, grace_s=3):
    """Ends a process started in its own session: TERM to its group, then KILL."""
    # The group may outlive its leader (a client's script, a forwarder's
    # thread), so it is signalled even when the leader has ended.
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    end = time.monotonic() + grace_s
    while time.monotonic() < end and process.poll() is None:
        time.sleep(0.05)
    if process.poll() is None:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait(timeout=5)
