#!/usr/bin/env bash
# Runs the web server's command-rate benchmark against nginx. nginx is a peer
# of this benchmark only: it is installed here when missing (its packaged
# service is stopped and disabled again at once, so nothing keeps listening),
# and the benchmark starts and ends its own instance on loopback.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}

if ! command -v nginx >/dev/null 2>&1 && [ ! -x /usr/sbin/nginx ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  # policy-rc.d keeps the package from starting its service during the install.
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null
  "${sudo_cmd[@]}" chmod +x /usr/sbin/policy-rc.d
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends nginx-light \
    || DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends nginx
  "${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d
  if command -v systemctl >/dev/null 2>&1; then "${sudo_cmd[@]}" systemctl disable --now nginx 2>/dev/null || true; fi
fi
command -v wrk >/dev/null 2>&1 || { echo "wrk is missing: tools/install-packages --with-peers" >&2; exit 1; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DVELTARO_BENCH=ON >/dev/null
cmake --build "$build" -j3 --target web_server_bench
"$build/bench/web_server_bench"
