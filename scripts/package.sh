#!/usr/bin/env bash
# Builds the Debian package of Corvessa in one command:
#
#   scripts/package.sh [--no-setup] [BUILD_DIR]      (default build-package)
#
# A Release build of the program alone (no tests), installed under /usr,
# stripped, with its dependencies computed by dpkg-shlibdeps. Prints the
# path of the .deb; install it with `sudo apt install ./corvessa_*.deb`.
# --no-setup skips the check for missing Debian packages (the test suite
# runs this script after setup).
set -euo pipefail
cd "$(dirname "$0")/.."

setup=1
if [ "${1:-}" = "--no-setup" ]; then setup=0; shift; fi
if [ $# -gt 1 ]; then
  echo "usage: $0 [--no-setup] [BUILD_DIR]" >&2
  exit 2
fi
build=${1:-build-package}

if [ "$setup" = 1 ]; then ./scripts/setup.sh; fi

# Installed files and folders get the modes Debian expects whatever the
# caller's umask.
umask 022
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Debian's hardening flags (stack protector, fortified libc calls, read-only
# relocations); the debug information they ask for is stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCORVESSA_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/corvessa_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$(cd "$build" && pwd)"/corvessa_*.deb
