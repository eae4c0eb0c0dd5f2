#!/usr/bin/env bash
# Runs one fuzz target for longer than the test suite does:
#
#   scripts/fuzz.sh TARGET [SECONDS]      (default 600 seconds)
#
# TARGET is one of fuzz_datagram, fuzz_text_helpers, fuzz_bpc, fuzz_csv, fuzz_handoff,
# fuzz_enip_reply, fuzz_list_identity, fuzz_netlink. Builds the fuzz configuration (build-fuzz, clang) when
# needed. The corpus a run grows is kept in build-fuzz/fuzz-corpus/TARGET, so
# the next run goes on from there; the committed seeds in
# tests/fuzz/corpus/TARGET are only read. Inputs that crash or break a
# property are kept in build-fuzz/fuzz-artifacts and the run fails.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 TARGET [SECONDS]" >&2
  exit 2
fi
target=$1
seconds=${2:-600}

./scripts/setup.sh

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCORVESSA_BUILD_APP=OFF -DCORVESSA_FUZZ=ON >/dev/null
if [ ! -f "tests/fuzz/$target.cpp" ]; then
  echo "$0: no fuzz target '$target'; there are:" >&2
  (cd tests/fuzz && ls -1 fuzz_*.cpp | sed 's/\.cpp$//') >&2
  exit 2
fi
cmake --build "$build" --target "$target"

FUZZ_CORPUS_DIR="$PWD/$build/fuzz-corpus/$target" \
FUZZ_ARTIFACT_DIR="$PWD/$build/fuzz-artifacts" \
  tests/fuzz/run_fuzzer.sh "$build/tests/fuzz/$target" "tests/fuzz/corpus/$target" "$seconds"
