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
EXPECTED_FILES = sorted([
    "usr/bin/corvessa",
    DESKTOP,
    "usr/share/corvessa/BootP.html",
    "usr/share/doc/corvessa/changelog.gz",
    "usr/share/doc/corvessa/copyright",
    "usr/share/icons/hicolor/scalable/apps/corvessa.svg",
    "usr/share/lintian/overrides/corvessa",
    "usr/share/man/man1/corvessa.1.gz",
    METAINFO,
    "usr/share/mime/packages/corvessa.xml",
] + ["usr/share/icons/hicolor/{0}x{0}/apps/corvessa.png".format(size) for size in ICON_SIZES])
EXECUTABLES = {"usr/bin/corvessa"}


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
    need_tools(("dpkg-deb", "dpkg"), ("file", "file"))
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
        postinst = os.path.join(work, "control", "postinst")
        expect(os.path.exists(postinst), "the package has no postinst")
        expect(os.stat(postinst).st_mode & 0o777 == 0o755, "postinst mode {:o}".format(os.stat(postinst).st_mode))
        with open(postinst) as f:
            text = f.read()
        expect("for program in corvessa; do" in text, "postinst does not name corvessa:\n" + text)
        expect("setcap cap_net_bind_service=+ep" in text, "postinst grants no capability:\n" + text)

        run(["dpkg-deb", "-x", deb, os.path.join(work, "root")])
        binary = os.path.join(work, "root", "usr/bin/corvessa")
        described = run(["file", "-b", binary]).stdout
        expect("ELF" in described and ", stripped" in described, "the program is not stripped: " + described)
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
    print("menu entry, icons, AppStream metadata and file type are valid")


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
