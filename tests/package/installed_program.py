"""The package installed into a scratch root, as dpkg installs it:

1. apt could install it here: every dependency is satisfied (a simulation).
2. `dpkg --root` unpacks it and runs its postinst, which grants the installed
   executable cap_net_bind_service and says so.
3. The installed program runs as the unprivileged user "nobody", offscreen,
   in a network namespace with one device namespace beside it: it serves a
   device listed in a .csv file named on its command line (busybox udhcpc
   obtains the listed address) and F1 hands its installed help page to
   xdg-open. A second run, whose xdg-open finds no handler, shows the message
   that names the page. The probe plugin (help_probe.cpp) presses F1. The
   installed headless service, also as "nobody", serves the same device.
4. Removal and purge take the package's files away and leave the user's
   settings and relation files alone.
Every namespace and folder made here is removed at the end, also after a
failure.
"""

import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time

DEVICE_MAC = "02:00:00:e2:e0:31"
DEVICE_IP = "192.168.79.50"
CAP_NET_BIND_SERVICE = 1 << 10
HELP_NOT_OPENED = ("The help page could not be opened: no program to show it was found.\\n\\n"
                   "The help page is here:\\n{}")


def check(deb, options, skip):
    from check_package import expect, need_tools, run

    if os.geteuid() != 0:
        skip("needs root: dpkg --root runs the postinst that sets a capability, and the program runs in "
             "network namespaces")
    need_tools(("dpkg", "dpkg"), ("apt-get", "apt"), ("getcap", "libcap2-bin"), ("setcap", "libcap2-bin"),
               ("ip", "iproute2"), ("busybox", "busybox"), ("setpriv", "util-linux"))
    try:
        user = pwd.getpwnam("nobody")
    except KeyError:
        skip("no user 'nobody' to run the program as")

    sys.path.insert(0, os.path.join(options.source, "tests", "e2e"))
    from clients import read_report, udhcpc, write_udhcpc_script
    from netns import Topology, stop_group
    from session import settings_for, write_settings
    from waits import wait_until

    simulated = run(["apt-get", "install", "--simulate", "--no-install-recommends", deb], check=False)
    expect(simulated.returncode == 0 and "Inst corvessa " in simulated.stdout,
           "apt could not install the package here:\n" + simulated.stdout + simulated.stderr)

    work = tempfile.mkdtemp(prefix="corvessa-installed-")
    os.chmod(work, 0o755)
    topology = None
    programs = []
    try:
        root = os.path.join(work, "root")
        for folder in ("var/lib/dpkg/info", "var/lib/dpkg/updates"):
            os.makedirs(os.path.join(root, folder))
        open(os.path.join(root, "var/lib/dpkg/status"), "w").close()

        def dpkg(*arguments):
            # Scripts run outside a chroot (the scratch root has no shell) and
            # see the root in DPKG_ROOT; the libraries are the host's.
            return run(["dpkg", "--root=" + root, "--force-script-chrootless", "--force-depends",
                        "--log=/dev/null"] + list(arguments), check=False)

        installed = dpkg("--install", deb)
        print(installed.stdout)
        expect(installed.returncode == 0, "dpkg --install failed:\n" + installed.stdout + installed.stderr)
        for program in ("corvessa", "corvessa-server"):
            expect("{0}: granted cap_net_bind_service to /usr/bin/{0}".format(program) in installed.stdout,
                   "the postinst did not say it granted {} the capability".format(program))
            capabilities = run(["getcap", os.path.join(root, "usr/bin", program)]).stdout
            expect("cap_net_bind_service=ep" in capabilities, "installed {} has {!r}".format(program, capabilities))
        executable = os.path.join(root, "usr/bin/corvessa")
        server_executable = os.path.join(root, "usr/bin/corvessa-server")
        page = os.path.join(root, "usr/share/corvessa/BootP.html")

        # The engineer's home inside the scratch root, owned by "nobody".
        home = os.path.join(root, "home/engineer")
        config_home = os.path.join(home, ".config")
        out = os.path.join(work, "out")
        tools = os.path.join(work, "tools")
        probe_dir = os.path.join(work, "probe/generic")
        for folder in (config_home, out, tools, probe_dir):
            os.makedirs(folder, exist_ok=True)
        shutil.copy(options.probe, probe_dir)
        relations = os.path.join(home, "cell4.csv")
        with open(relations, "w") as f:
            f.write("MAC,IP,Hostname,Description\n{},{},plc-cell4,Press line\n".format(DEVICE_MAC, DEVICE_IP))

        topology = Topology("pk")
        interface = topology.add_pair(client_mac=DEVICE_MAC)
        topology.wait_link_up()
        settings = write_settings(config_home, settings_for(interface, "192.168.79.1"))
        for folder in (home, out):
            for base, dirs, files in os.walk(folder):
                for name in [base] + [os.path.join(base, n) for n in dirs + files]:
                    os.chown(name, user.pw_uid, user.pw_gid)

        def start(xdg_open_exit):
            """The installed program as "nobody", with an xdg-open that notes
            the page it is given and ends with `xdg_open_exit`."""
            opened = os.path.join(out, "opened.txt")
            probe_out = os.path.join(out, "probe.txt")
            for path in (opened, probe_out):
                if os.path.exists(path):
                    os.remove(path)
            with open(os.path.join(tools, "xdg-open"), "w") as f:
                f.write("#!/bin/sh\necho \"$@\" > {}\nexit {}\n".format(opened, xdg_open_exit))
            os.chmod(os.path.join(tools, "xdg-open"), 0o755)
            env = {
                "PATH": tools + ":/usr/bin:/bin",
                "HOME": home,
                "XDG_CONFIG_HOME": config_home,
                "LANG": "C.UTF-8",
                "QT_QPA_PLATFORM": "offscreen",
                "QT_PLUGIN_PATH": os.path.dirname(probe_dir),
                "QT_QPA_GENERIC_PLUGINS": "corvessaprobe",
                "CORVESSA_PROBE_OUT": probe_out,
            }
            log = open(os.path.join(out, "program.log"), "ab")
            process = topology.spawn(topology.program_ns,
                                     ["setpriv", "--reuid=nobody", "--regid={}".format(user.pw_gid),
                                      "--clear-groups", executable, relations],
                                     env=env, stdout=log, stderr=log, cwd=home)
            programs.append(process)
            return process, opened, probe_out

        def probe_lines(probe_out):
            if not os.path.exists(probe_out):
                return []
            with open(probe_out, encoding="utf-8") as f:
                return f.read().splitlines()

        def wait_window(process, probe_out):
            try:
                wait_until(lambda: any(l.startswith("window ") for l in probe_lines(probe_out))
                           or process.poll() is not None, 30, "the main window")
            finally:
                with open(os.path.join(out, "program.log"), errors="replace") as f:
                    log = f.read()
            expect(process.poll() is None, "the installed program ended ({}):\n{}".format(process.poll(), log))
            lines = probe_lines(probe_out)
            expect(lines and lines[0] == "window Corvessa - " + relations,
                   "before F1 the program showed {!r}\n{}".format(lines, log))

        # Run 1: a desktop with a handler for the page.
        process, opened, probe_out = start(0)
        wait_window(process, probe_out)
        wait_until(lambda: os.path.exists(opened), 10, "xdg-open to be given the help page")
        with open(opened) as f:
            expect(f.read().strip() == "file://" + page + "#131217", "xdg-open got {!r}".format(open(opened).read()))
        status = {}
        with open("/proc/{}/status".format(process.pid)) as f:
            for line in f:
                key, _, value = line.partition(":")
                status[key] = value.split()
        expect(status["Uid"][1] == str(user.pw_uid), "the program runs as uid {}".format(status["Uid"]))
        expect(int(status["CapEff"][0], 16) == CAP_NET_BIND_SERVICE,
               "the program's effective capabilities are {}".format(status["CapEff"]))
        script, report = write_udhcpc_script(_Folder(work), "udhcpc")
        served = udhcpc(topology, script, tries=5)
        expect(served.returncode == 0 and read_report(report) == DEVICE_IP,
               "udhcpc obtained {!r} from the installed program: {}".format(read_report(report), served.stderr[-500:]))
        time.sleep(0.5)
        expect(not any(l.startswith("message ") for l in probe_lines(probe_out)),
               "a message showed: {!r}".format(probe_lines(probe_out)))
        stop_group(process)

        # Run 2: xdg-open finds nothing to show the page with.
        process, opened, probe_out = start(3)
        wait_window(process, probe_out)
        wait_until(lambda: any(l.startswith("message ") for l in probe_lines(probe_out)), 15, "the message")
        messages = [l[len("message "):] for l in probe_lines(probe_out) if l.startswith("message ")]
        expect(messages == [HELP_NOT_OPENED.format(page)], "messages {!r}".format(messages))
        stop_group(process)

        # Run 3: the headless service as "nobody" serves the same list, logs
        # the request and ends cleanly on SIGTERM.
        server_log = os.path.join(out, "server.log")

        def server_output():
            with open(server_log, errors="replace") as f:
                return f.read()

        with open(server_log, "ab") as log:
            server = topology.spawn(topology.program_ns,
                                    ["setpriv", "--reuid=nobody", "--regid={}".format(user.pw_gid), "--clear-groups",
                                     server_executable, "--interface=" + interface, "--subnet-mask=255.255.255.0",
                                     relations],
                                    env={"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}, stdout=log, stderr=log, cwd=home)
        programs.append(server)
        wait_until(lambda: "serving " in server_output() or server.poll() is not None, 10, "the service to serve")
        expect(server.poll() is None, "the installed service ended:\n" + server_output())
        script, report = write_udhcpc_script(_Folder(work), "udhcpc-server")
        served = udhcpc(topology, script, tries=5)
        expect(served.returncode == 0 and read_report(report) == DEVICE_IP,
               "udhcpc obtained {!r} from the installed service:\n{}".format(read_report(report), server_output()))
        wait_until(lambda: "ip={} hostname=plc-cell4".format(DEVICE_IP) in server_output(), 5, "the request's line")
        server.send_signal(signal.SIGTERM)
        expect(server.wait(timeout=5) == 0, "the service ended with {}:\n{}".format(server.returncode, server_output()))

        # Removal leaves what the user made alone.
        user_files = {}
        for path in (settings, relations):
            with open(path, "rb") as f:
                user_files[path] = f.read()
        for action in ("--remove", "--purge"):
            removed = dpkg(action, "corvessa")
            expect(removed.returncode == 0, "dpkg {} failed:\n{}{}".format(action, removed.stdout, removed.stderr))
        for gone in (executable, server_executable, page, os.path.join(root, "usr/share/applications/corvessa.desktop")):
            expect(not os.path.exists(gone), "{} is still there after purge".format(gone))
        for path, content in user_files.items():
            expect(os.path.exists(path), "purge removed the user's {}".format(path))
            with open(path, "rb") as f:
                expect(f.read() == content, "purge changed the user's {}".format(path))
        print("installed, served {} as 'nobody', opened {}, removed; user files kept".format(DEVICE_IP, page))
    except AssertionError:
        log = os.path.join(work, "out", "program.log")
        if os.path.exists(log):
            with open(log, errors="replace") as f:
                print("program output:\n" + f.read()[-4000:])
        raise
    finally:
        for process in programs:
            stop_group(process)
        if topology is not None:
            topology.close()
        shutil.rmtree(work, ignore_errors=True)


class _Folder:
    """What clients.write_udhcpc_script needs of a workspace."""

    def __init__(self, root):
        self.root = root

    def path(self, name):
        return os.path.join(self.root, name)
