#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them:
#   bench_history          request handling with a long Discovery History (no network)
#   bench_load             power-up burst of 256 devices, Corvessa against dnsmasq,
#                          in network namespaces of its own (arguments go here,
#                          e.g. --runs 5)
#   bench_load_stall       largest event-loop stall during the burst: the server
#                          runtime alone, then the real main window (offscreen)
#   bench_commission       Enable BOOTP/DHCP on 64 simulated devices from the real
#                          main window: time to commission, and the largest
#                          event-loop gap while a burst of 256 devices arrives
# The network benchmarks need root (through sudo when you are not); they send
# only inside the namespaces they create and remove. The window is drawn
# offscreen; to draw it on an X server instead, run
#   xvfb-run -a env CORVESSA_BENCH_PLATFORM=xcb ./scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-bench -j "$(nproc)" --target corvessa bench_history bench_load bench_load_stall bench_commission

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo --preserve-env=CORVESSA_BENCH_PLATFORM,DISPLAY,XAUTHORITY); fi

echo "== bench_history =="
build-bench/bench/bench_history
echo "== bench_load =="
"${sudo_cmd[@]}" build-bench/bench/load/bench_load "$@"
echo "== bench_load_stall =="
"${sudo_cmd[@]}" build-bench/bench/load/bench_load_stall
"${sudo_cmd[@]}" build-bench/bench/load/bench_load_stall --window
echo "== bench_commission =="
"${sudo_cmd[@]}" build-bench/bench/load/bench_commission
