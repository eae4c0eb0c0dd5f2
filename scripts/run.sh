#!/usr/bin/env bash
# Installs what is missing, builds Corvessa and starts it. Arguments are passed
# on to the program (the only one it takes is a .bpc or .csv file to open).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target corvessa

exe=build/app/corvessa
# UDP port 67 is privileged: grant the executable just that capability
# instead of running a desktop program as root.
if [ "$(id -u)" -ne 0 ] && ! getcap "$exe" 2>/dev/null | grep -q cap_net_bind_service; then
  sudo setcap cap_net_bind_service=+ep "$exe"
fi
exec "$exe" "$@"
