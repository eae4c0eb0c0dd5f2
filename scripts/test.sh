#!/usr/bin/env bash
# Installs what is missing, builds the project twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both.
# The Debian package is built and checked once, by the plain suite (ctest
# label "package").
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

jobs=$(nproc)
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

status=0
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVESSA_WERROR=$werror "$@"
  cmake --build "$dir" -j "$jobs"
  echo "== tests in $dir =="
  # Network and end-to-end tests talk to real clients and a real X server; a
  # test that fails is run once more before it counts, and none may hang.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 900 --repeat until-pass:2 || status=1
}

run_suite build
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCORVESSA_SANITIZE=ON

# Third suite: the libFuzzer targets, built with clang, each run for a bounded
# time over its seed corpus (ctest label "fuzz"); any finding fails.
run_fuzz_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVESSA_WERROR=$werror "$@"
  cmake --build "$dir" -j "$jobs"
  echo "== fuzz runs in $dir =="
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" -L fuzz || status=1
}
run_fuzz_suite build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCORVESSA_BUILD_APP=OFF -DCORVESSA_FUZZ=ON

exit $status
