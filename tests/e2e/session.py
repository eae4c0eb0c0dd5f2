"""The desktop session of a scenario: the accessibility bus inside the D-Bus
session that dbus-run-session made, the program started in its network
namespace with a settings folder of its own, and what a failing scenario
leaves behind."""

import os
import shutil
import subprocess
import tempfile
import time

from netns import stop_group
from waits import wait_until

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
REGISTRY = "/usr/libexec/at-spi2-registryd"

# What the program needs to reach the X server and both buses from inside
# `ip netns exec`: the X socket and the buses' sockets are files under /tmp
# and the runtime folder, which the namespace's mount view keeps.
PASSED_THROUGH = ("DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR",
                  "HOME", "PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS")


def _dbus_call(bus_option, destination, path, method, *arguments):
    result = subprocess.run(
        ["dbus-send", bus_option, "--print-reply", "--reply-timeout=2000", "--dest=" + destination,
         path, method] + list(arguments),
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=5)
    return result.stdout if result.returncode == 0 else ""


def _name_owned(bus_option, name):
    return "boolean true" in _dbus_call(bus_option, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.NameHasOwner", "string:" + name)


def _accessibility_bus_address():
    reply = _dbus_call("--session", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
    start = reply.find('"unix:')
    return reply[start + 1:reply.index('"', start + 1)] if start >= 0 else None


class AccessibilityBus:
    """Starts the accessibility bus and its registry unless the session
    already has them."""

    def __init__(self, log_folder):
        self.processes = []
        self.log = open(os.path.join(log_folder, "atspi.log"), "w")
        if not _name_owned("--session", "org.a11y.Bus"):
            self.processes.append(subprocess.Popen(
                [BUS_LAUNCHER, "--launch-immediately"], stdout=self.log, stderr=self.log,
                start_new_session=True))
            # Asking for the address before the launcher holds its name would
            # have D-Bus start a second one.
            wait_until(lambda: _name_owned("--session", "org.a11y.Bus"), 15, "the accessibility bus launcher")
        address = wait_until(_accessibility_bus_address, 15, "the accessibility bus address")
        bus_option = "--bus=" + address
        if not _name_owned(bus_option, "org.a11y.atspi.Registry"):
            self.processes.append(subprocess.Popen(
                [REGISTRY], stdout=self.log, stderr=self.log, start_new_session=True))
            wait_until(lambda: _name_owned(bus_option, "org.a11y.atspi.Registry"), 15,
                       "the accessibility registry")

    def close(self):
        for process in reversed(self.processes):
            stop_group(process)
        self.log.close()


class Program:
    """The corvessa executable, unchanged, in the program's namespace."""

    def __init__(self, topology, executable, config_home, log_path, arguments=()):
        env = {key: os.environ[key] for key in PASSED_THROUGH if key in os.environ}
        env.update({
            "XDG_CONFIG_HOME": config_home,
            # Unsaved relations kept at an end from outside stay in the scenario.
            "XDG_STATE_HOME": state_home_for(config_home),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "LANG": "C.UTF-8",
        })
        self.log_path = log_path
        self.log = open(log_path, "ab")
        # Started in the scenario's own folder, where the file dialogs open.
        self.process = topology.spawn(topology.program_ns, [executable] + list(arguments),
                                      env=env, stdout=self.log, stderr=self.log,
                                      cwd=os.path.dirname(config_home))
        self.pid = self.process.pid

    def exit_code(self):
        return self.process.poll()

    def wait_exit(self, deadline_s):
        return wait_until(lambda: self.process.poll() is not None, deadline_s,
                          "the program to end") and self.process.returncode

    def stop(self):
        stop_group(self.process)
        self.log.close()


def state_home_for(config_home):
    """The scenario's $XDG_STATE_HOME, beside its settings folder."""
    return os.path.join(os.path.dirname(config_home), "state")


def recovery_folder(config_home):
    """Where the program keeps unsaved relations when it is ended from outside."""
    return os.path.join(state_home_for(config_home), "corvessa")


def write_relations_csv(path, rows):
    """A relation list prepared with another tool, as the CSV format allows:
    the header, then one line of MAC, IP, hostname, description per row."""
    with open(path, "w") as out:
        out.write("MAC,IP,Hostname,Description\n")
        for row in rows:
            out.write(",".join(row) + "\n")


def settings_file(config_home):
    return os.path.join(config_home, "Merrowin Software", "corvessa.conf")


def write_settings(config_home, text):
    """Writes the per-user settings before the program starts, as a user's
    earlier run would have left them."""
    path = settings_file(config_home)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    return path


def settings_for(interface, address, mask_hex="ffffff00", gateway_hex="00000000"):
    """A settings file of a user who has run the program before on `interface`
    with valid network settings."""
    return ("[]\n"
            "\"firststart\"=dword:00000001\n"
            "\n"
            "[Version 3.06.00]\n"
            "\"lastadapter\"=\"{iface}\"\n"
            "\n"
            "[{iface}]\n"
            "\"ipaddress\"=\"{addr}\"\n"
            "\"subnetmask\"=dword:{mask}\n"
            "\"gateway\"=dword:{gw}\n"
            "\"dns1\"=dword:00000000\n"
            "\"dns2\"=dword:00000000\n"
            "\"domainname\"=\"\"\n").format(iface=interface, addr=address, mask=mask_hex, gw=gateway_hex)


class Workspace:
    """A temporary folder for one scenario: settings, files, logs."""

    def __init__(self, name):
        self.root = tempfile.mkdtemp(prefix="corvessa-e2e-{}-".format(name))
        self.config_home = os.path.join(self.root, "config")
        os.makedirs(self.config_home)

    def path(self, name):
        return os.path.join(self.root, name)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def save_failure_artifacts(out_folder, status_text, extra_files=()):
    """A screenshot of the whole screen and the status line's text, for the
    one who reads a failed run."""
    os.makedirs(out_folder, exist_ok=True)
    try:
        from PIL import ImageGrab
        ImageGrab.grab(xdisplay=os.environ.get("DISPLAY")).save(os.path.join(out_folder, "screen.png"))
    except Exception as error:  # noqa: BLE001 - the report must still be written
        with open(os.path.join(out_folder, "screen-error.txt"), "w") as out:
            out.write("no screenshot: {!r}\n".format(error))
    with open(os.path.join(out_folder, "status-line.txt"), "w", encoding="utf-8") as out:
        out.write((status_text if status_text is not None else "<status line not readable>") + "\n")
    for path in extra_files:
        if os.path.exists(path):
            shutil.copy(path, out_folder)


def settle(seconds=0.2):
    """A short pause after a synthesized input, so the program's event loop
    runs before the next look at its tree (not a wait for an outcome)."""
    time.sleep(seconds)
