#!/usr/bin/python3
"""ctest's entry to one end-to-end scenario. Checks what the scenario needs
(root for the network namespaces, an X server, the accessibility stack, the
scenario's client tools) and reports "[  SKIPPED ]" with the reason when
something is missing; otherwise runs the scenario under a fresh X server and
D-Bus session:

  xvfb-run -a dbus-run-session -- /usr/bin/python3 scenario.py <scenario> ...
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Debian's python3-pyatspi is installed for the system's interpreter only.
SYSTEM_PYTHON = "/usr/bin/python3"

# Tools each scenario runs besides the program, with the Debian package.
SCENARIO_TOOLS = {
    "first_start": [],
    "discover_and_list": [("busybox", "busybox")],
    "save_and_reopen": [("bootpc", "bootpc")],
    "commission": [("busybox", "busybox")],
    "reset": [],
    "leave": [],
    "accessible_names": [],
    "recover": [("bootpc", "bootpc")],
    "scan": [],
}
COMMON_TOOLS = [
    ("xvfb-run", "xvfb"), ("Xvfb", "xvfb"), ("xauth", "xauth"), ("dbus-run-session", "dbus"),
    ("dbus-send", "dbus"), ("ip", "iproute2"),
]
SERVICES = [
    ("/usr/libexec/at-spi-bus-launcher", "at-spi2-core"),
    ("/usr/libexec/at-spi2-registryd", "at-spi2-core"),
]
MODULES = [("pyatspi", "python3-pyatspi"), ("PIL.ImageGrab", "python3-pil"), ("Xlib.display", "python3-xlib")]


def skip(reason):
    print("[  SKIPPED ] end-to-end scenario: {}".format(reason))
    return 0


def missing_prerequisite(scenario):
    if os.geteuid() != 0:
        return "needs root to create network namespaces"
    if not os.access(SYSTEM_PYTHON, os.X_OK):
        return "no {}".format(SYSTEM_PYTHON)
    for tool, package in COMMON_TOOLS + SCENARIO_TOOLS[scenario]:
        if shutil.which(tool) is None:
            return "tool not installed: {} (Debian package {})".format(tool, package)
    for path, package in SERVICES:
        if not os.access(path, os.X_OK):
            return "not installed: {} (Debian package {})".format(path, package)
    for module, package in MODULES:
        probe = subprocess.run([SYSTEM_PYTHON, "-c", "import " + module],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if probe.returncode != 0:
            return "python module {} missing (Debian package {})".format(module, package)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIO_TOOLS))
    parser.add_argument("--corvessa", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--deadline", type=int, default=100)
    options = parser.parse_args()

    reason = missing_prerequisite(options.scenario)
    if reason:
        return skip(reason)

    # A fresh report folder: what an earlier failure left must not mislead.
    shutil.rmtree(options.out, ignore_errors=True)
    os.makedirs(options.out)

    runtime = tempfile.mkdtemp(prefix="corvessa-e2e-run-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ)
    # The accessibility bus puts its socket under the runtime folder; a private
    # one keeps runs apart and leaves nothing in the user's home.
    env["XDG_RUNTIME_DIR"] = runtime
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    env.pop("QT_QPA_PLATFORM", None)
    command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -nolisten tcp",
               "dbus-run-session", "--",
               SYSTEM_PYTHON, os.path.join(HERE, "scenario.py"), options.scenario,
               "--corvessa", options.corvessa, "--sim", options.sim, "--out", options.out,
               "--deadline", str(options.deadline)]
    try:
        return subprocess.run(command, env=env, cwd=HERE).returncode
    finally:
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
