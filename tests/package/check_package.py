#!/usr/bin/python3
"""ctest's entry to the checks of the built Debian package:

  check_package.py files|lint|install --deb-dir DIR --source REPO --version V --probe PLUGIN

files    the package's file list, modes, owners and control fields
lint     lintian, desktop-file-validate, appstreamcli and the .bpc file type
install  installed into a scratch root; the installed program runs (see
         installed_program.py)

A check whose tools are missing reports "[  SKIPPED ]" with the reason.
"""

import argparse
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
METAINFO = "usr/share/metainfo/com.merrowin.corvessa.metainfo.xml"
DESKTOP = "usr/share/applications/corvessa.desktop"
MIME_TYPE = "application/x-corvessa-bpc"

# Every file of the package, and nothing else.
UNIT = "usr/lib/systemd/system/corvessa-server@.service"
EXPECTED_FILES = sorted([
    "usr/bin/corvessa",
    "usr/bin/corvessa-export",
    "usr/bin/corvessa-server",
    UNIT,
    DESKTOP,
    "usr/share/corvessa/BootP.html",
    "usr/share/doc/corvessa/changelog.gz",
    "usr/share/doc/corvessa/copyright",
    "usr/share/icons/hicolor/scalable/apps/corvessa.svg",
    "usr/share/lintian/overrides/corvessa",
    "usr/share/man/man1/corvessa.1.gz",
    "usr/share/man/man1/corvessa-export.1.gz",
    "usr/share/man/man1/corvessa-server.1.gz",
    METAINFO,
    "usr/share/mime/packages/corvessa.xml",
] + ["usr/share/icons/hicolor/{0}x{0}/apps/corvessa.png".format(size) for size in ICON_SIZES])
EXECUTABLES = {"usr/bin/corvessa", "usr/bin/corvessa-export", "usr/bin/corvessa-server"}
MAINTAINER_SCRIPTS = ("postinst", "prerm", "postrm")


class CheckFailed(AssertionError):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def skip(reason):
    print("[  SKIPPED ] package check: {}".format(reason))
    sys.exit(0)


def need_tools(*pairs):
    for tool, package in pairs:
        if shutil.which(tool) is None:
            skip("tool not installed: {} (Debian package {})".format(tool, package))


def run(argv, check=True, timeout=300, **kwargs):
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            timeout=timeout, **kwargs)
    if check and result.returncode != 0:
        raise CheckFailed("{} failed ({}):\n{}{}".format(" ".join(argv), result.returncode, result.stdout,
                                                         result.stderr))
    return result


def find_deb(deb_dir):
    debs = glob.glob(os.path.join(deb_dir, "corvessa_*.deb"))
    expect(len(debs) == 1, "expected one corvessa_*.deb in {}, found {!r}".format(deb_dir, debs))
    return debs[0]


def control_fields(deb):
    fields = {}
    for line in run(["dpkg-deb", "-f", deb]).stdout.splitlines():
        match = re.match(r"^([A-Za-z-]+): ?(.*)$", line)
        if match:
            fields[match.group(1)] = match.group(2)
    return fields


# --- files ---

def check_files(deb, options):
    need_tools(("dpkg-deb", "dpkg"), ("file", "file"), ("objdump", "binutils"))
    listing = run(["dpkg-deb", "--contents", deb]).stdout.splitlines()
    files = {}
    for line in listing:
        # drwxr-xr-x root/root         0 2026-12-10 07:37 ./usr/bin/
        mode, owner, _size, _date, _time, path = line.split(None, 5)
        expect(owner == "root/root", "{} is owned by {}".format(path, owner))
        path = path[2:] if path.startswith("./") else path
        if mode.startswith("d"):
            expect(mode == "drwxr-xr-x", "folder {} has mode {}".format(path, mode))
        else:
            files[path] = mode
    expect(sorted(files) == EXPECTED_FILES,
           "file list differs:\n  missing {}\n  unexpected {}".format(
               sorted(set(EXPECTED_FILES) - set(files)), sorted(set(files) - set(EXPECTED_FILES))))
    for path, mode in files.items():
        wanted = "-rwxr-xr-x" if path in EXECUTABLES else "-rw-r--r--"
        expect(mode == wanted, "{} has mode {}, expected {}".format(path, mode, wanted))

    fields = control_fields(deb)
    architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
    expect(fields.get("Package") == "corvessa", "Package: {!r}".format(fields.get("Package")))
    expect(fields.get("Version") == options.version, "Version: {!r}, the project is {}".format(
        fields.get("Version"), options.version))
    expect(fields.get("Architecture") == architecture, "Architecture: {!r}".format(fields.get("Architecture")))
    depends = [d.strip() for d in fields.get("Depends", "").split(",")]
    names = [d.split()[0] for d in depends if d]
    # setcap for the postinst; the Qt and C++ libraries as dpkg-shlibdeps
    # found them in the binary, with their least versions.
    for name in ("libcap2-bin", "libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6"):
        expect(name in names, "Depends lacks {}: {!r}".format(name, fields.get("Depends")))
    for d in depends:
        if d.split()[0].startswith("libqt6"):
            expect(re.search(r"\(>= 6\.", d), "no least version for {!r}".format(d))
    expect("xdg-utils" in fields.get("Recommends", ""), "Recommends: {!r}".format(fields.get("Recommends")))

    with tempfile.TemporaryDirectory(prefix="corvessa-deb-") as work:
        run(["dpkg-deb", "--control", deb, os.path.join(work, "control")])
        scripts = {}
        for name in MAINTAINER_SCRIPTS:
            path = os.path.join(work, "control", name)
            expect(os.path.exists(path), "the package has no " + name)
            expect(os.stat(path).st_mode & 0o777 == 0o755, "{} mode {:o}".format(name, os.stat(path).st_mode))
            with open(path) as f:
                scripts[name] = f.read()
            run(["sh", "-n", path])
        text = scripts["postinst"]
        expect("for program in corvessa corvessa-server; do" in text,
               "postinst does not name both programs that serve:\n" + text)
        expect("setcap cap_net_bind_service=+ep" in text, "postinst grants no capability:\n" + text)
        # The service's instances: restarted by an upgrade, stopped by a removal.
        expect("deb-systemd-invoke try-restart 'corvessa-server@*.service'" in text, "postinst:\n" + text)
        expect("deb-systemd-invoke stop 'corvessa-server@*.service'" in scripts["prerm"], "prerm:\n" + scripts["prerm"])

        run(["dpkg-deb", "-x", deb, os.path.join(work, "root")])
        for program in sorted(EXECUTABLES):
            described = run(["file", "-b", os.path.join(work, "root", program)]).stdout
            expect("ELF" in described and ", stripped" in described, program + " is not stripped: " + described)
        # The headless programs need no Qt.
        for program in ("usr/bin/corvessa-server", "usr/bin/corvessa-export"):
            needed = run(["objdump", "-p", os.path.join(work, "root", program)]).stdout
            expect("Qt6" not in needed, program + " links Qt:\n" + needed)
        with open(os.path.join(options.source, "app/help/BootP.html"), "rb") as a, \
                open(os.path.join(work, "root", "usr/share/corvessa/BootP.html"), "rb") as b:
            expect(a.read() == b.read(), "the installed help page is not app/help/BootP.html")
    print("{} files, modes and owners as expected; Depends: {}".format(len(files), fields.get("Depends")))


# --- lint ---

def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    expect(head[:8] == b"\x89PNG\r\n\x1a\n", "{} is no PNG".format(path))
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                entry[key] = value
    return entry


def check_lint(deb, options):
    need_tools(("lintian", "lintian"), ("desktop-file-validate", "desktop-file-utils"),
               ("appstreamcli", "appstream"), ("update-mime-database", "shared-mime-info"),
               ("dpkg-deb", "dpkg"))
    result = run(["lintian", "--fail-on", "error,warning", "--info", "--pedantic", deb], check=False)
    print("lintian:\n" + (result.stdout or "(no tags)\n"))
    expect(result.returncode == 0, "lintian reports errors or warnings ({})".format(result.returncode))

    with tempfile.TemporaryDirectory(prefix="corvessa-deb-") as work:
        root = os.path.join(work, "root")
        run(["dpkg-deb", "-x", deb, root])

        desktop = os.path.join(root, DESKTOP)
        result = run(["desktop-file-validate", desktop], check=False)
        expect(result.returncode == 0 and not result.stdout.strip(),
               "desktop-file-validate:\n" + result.stdout + result.stderr)
        entry = desktop_entry(desktop)
        expect(entry.get("Exec") == "corvessa %f", "Exec={!r}".format(entry.get("Exec")))
        expect("Network" in entry.get("Categories", "").split(";"), "Categories={!r}".format(entry.get("Categories")))
        mime_types = entry.get("MimeType", "").split(";")
        expect(MIME_TYPE in mime_types and "text/csv" in mime_types, "MimeType={!r}".format(entry.get("MimeType")))
        icon = entry.get("Icon")
        expect(os.path.exists(os.path.join(root, "usr/share/icons/hicolor/scalable/apps", icon + ".svg")),
               "no scalable icon {!r}".format(icon))
        for size in ICON_SIZES:
            png = os.path.join(root, "usr/share/icons/hicolor/{0}x{0}/apps/{1}.png".format(size, icon))
            expect(png_size(png) == (size, size), "{} is {}".format(png, png_size(png)))

        metainfo = os.path.join(root, METAINFO)
        result = run(["appstreamcli", "validate", "--no-net", metainfo], check=False)
        print("appstreamcli: " + result.stdout.strip())
        expect(result.returncode == 0, "appstreamcli validate:\n" + result.stdout + result.stderr)
        with open(metainfo, encoding="utf-8") as f:
            meta = f.read()
        expect("<launchable type=\"desktop-id\">corvessa.desktop</launchable>" in meta, "launchable")
        expect("<release version=\"{}\"".format(options.version) in meta, "the metadata's release is not "
               + options.version)
        expect(re.search(r"<image>https://[^<]+/main-window\.png</image>", meta), "no screenshot of the main window")

        # The .bpc type as the desktop's MIME database builds it.
        mime = os.path.join(work, "mime")
        os.makedirs(os.path.join(mime, "packages"))
        shutil.copy(os.path.join(root, "usr/share/mime/packages/corvessa.xml"), os.path.join(mime, "packages"))
        result = run(["update-mime-database", "-V", mime], check=False)
        expect(result.returncode == 0 and "error" not in (result.stdout + result.stderr).lower(),
               "update-mime-database:\n" + result.stdout + result.stderr)
        with open(os.path.join(mime, "globs2")) as f:
            expect("50:{}:*.bpc".format(MIME_TYPE) in f.read().splitlines(), "no *.bpc glob")
        with open(os.path.join(mime, "magic"), "rb") as f:
            # The magic number of current files, little-endian, at offset 0.
            expect(b"[50:" + MIME_TYPE.encode() + b"]\n>0=\x00\x04\x89\x67\x45\x23" in f.read(), "no magic rule")
        check_unit(root)
    print("menu entry, icons, AppStream metadata, file type and systemd unit are valid")


def check_unit(root):
    """systemd's own check of the unit, for an instance, with its program and
    its man page taken from the package."""
    if shutil.which("systemd-analyze") is None:
        print("[  SKIPPED ] systemd unit check: tool not installed: systemd-analyze (Debian package systemd)")
        return
    with tempfile.TemporaryDirectory(prefix="corvessa-unit-") as units:
        with open(os.path.join(root, UNIT)) as f:
            unit = f.read()
        expect("ExecStart=/usr/bin/corvessa-server " in unit, "the unit does not start /usr/bin/corvessa-server")
        instance = os.path.join(units, "corvessa-server@eth1.service")
        with open(instance, "w") as f:
            f.write(unit.replace("/usr/bin/corvessa-server", os.path.join(root, "usr/bin/corvessa-server")))
        env = dict(os.environ, MANPATH=os.path.join(root, "usr/share/man"))
        result = run(["systemd-analyze", "verify", "--man=yes", instance], check=False, env=env)
        print("systemd-analyze verify: " + (result.stdout + result.stderr).strip())
        expect(result.returncode == 0 and not (result.stdout + result.stderr).strip(),
               "systemd-analyze verify:\n" + result.stdout + result.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=["files", "lint", "install"])
    parser.add_argument("--deb-dir", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--probe", required=True)
    options = parser.parse_args()
    deb = find_deb(options.deb_dir)
    try:
        if options.check == "files":
            check_files(deb, options)
        elif options.check == "lint":
            check_lint(deb, options)
        else:
            import installed_program
            installed_program.check(deb, options, skip)
    except AssertionError as failure:
        print("FAILED: {}".format(failure))
        return 1
    print("package check {} passed".format(options.check))
    return 0


if __name__ == "__main__":
    sys.exit(main())
