#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time and fails on any finding.
#
#   run_fuzzer.sh BINARY SEED_DIR SECONDS [LIBFUZZER OPTIONS...]
#
# Options in BINARY.options (written by the build, one or more per line) come
# first. The seeds are copied into a working corpus, so the committed seed corpus is
# never changed. The working corpus is a temporary folder removed at the end,
# unless FUZZ_CORPUS_DIR names a folder to keep it in (long runs that go on
# where the last one stopped). Inputs that fail are kept in FUZZ_ARTIFACT_DIR
# (default: ./artifacts) and their paths printed.
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 BINARY SEED_DIR SECONDS [LIBFUZZER OPTIONS...]" >&2
  exit 2
fi
binary=$1
seeds=$2
seconds=$3
shift 3

case "$seconds" in
  '' | *[!0-9]*) echo "$0: SECONDS must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac

if [ -n "${FUZZ_CORPUS_DIR:-}" ]; then
  corpus=$FUZZ_CORPUS_DIR
  mkdir -p "$corpus"
else
  corpus=$(mktemp -d "${TMPDIR:-/tmp}/corvessa-fuzz.XXXXXX")
  trap 'rm -rf "$corpus"' EXIT
fi
if [ -d "$seeds" ]; then
  cp -- "$seeds"/* "$corpus"/ 2>/dev/null || true
fi

artifacts=${FUZZ_ARTIFACT_DIR:-$PWD/artifacts}
mkdir -p "$artifacts"
name=$(basename "$binary")

options=()
if [ -f "$binary.options" ]; then
  read -r -a options < <(tr '\n' ' ' < "$binary.options") || true
fi

status=0
"$binary" "$corpus" "${options[@]}" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/$name-" \
  "$@" || status=$?

if [ $status -ne 0 ]; then
  echo "$name: finding (exit $status); failing inputs:" >&2
  ls -1 "$artifacts"/"$name"-* 2>/dev/null >&2 || true
fi
exit $status
