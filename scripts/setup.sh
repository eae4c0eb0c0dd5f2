#!/usr/bin/env bash
# Installs the Debian packages that the build, the program and every test need,
# skipping those already present. Safe to run again.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # program
  qt6-base-dev qt6-base-dev-tools libgl-dev libcap2-bin xdg-utils
  # Kea's configuration is JSON, read and written with nlohmann-json
  nlohmann-json3-dev
  # the Debian package (scripts/package.sh): icons drawn from the SVG,
  # dependencies from dpkg-shlibdeps, hardening flags from dpkg-buildflags
  librsvg2-bin dpkg-dev file
  # firewalld is read over the system bus with sd-bus
  libsystemd-dev
  # tests
  libgtest-dev
  # checks of the package: menu entry, AppStream metadata, Debian's rules,
  # the .bpc file type
  desktop-file-utils appstream lintian shared-mime-info
  # the headless service's systemd unit, checked by systemd-analyze (with its
  # man page, through man); objdump reads what the programs link
  systemd man-db binutils
  # network test peers, run in network namespaces only
  iproute2 busybox isc-dhcp-client bootpc tshark dnsmasq-base procps dhcpcd-base
  # a private bus for the firewalld reader's tests; a scratch user with one
  # capability for the unprivileged start (setpriv)
  dbus-daemon passwd util-linux
  # the permanent DHCP services the list is handed to, started from exported
  # files inside the tests' namespaces only (kea-common holds the BOOTP and
  # HA hooks; Debian's default kea-dhcp4.conf listens on no interface)
  kea-dhcp4-server kea-common
  # end-to-end tests: the program under Xvfb, driven through AT-SPI from
  # Debian's python3 (screenshots with Pillow, the close box with Xlib)
  xvfb xauth dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-pil python3-xlib
  # fuzzing (clang with libFuzzer and the sanitizer runtimes)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
