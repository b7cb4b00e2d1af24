#!/usr/bin/env bash
# One benchmark run of the performance-counter module:
#   bench/perf/run.sh [BUILD_DIR] [RUNS]
# Starts cimserver on a free loopback port with the performance classes, module
# and the real /proc, and, when Debian's prometheus-node-exporter is installed or
# can be installed, a node_exporter on another free loopback port; then perf_bench
# prints the four figures. Everything started here is stopped on exit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
runs=${2:-50}

cimserver="$build/cimom/http/cimserver"
module="$build/providers/perf/libPerfCounters.so"
bench="$build/bench/perf/perf_bench"
for f in "$cimserver" "$module" "$bench"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "run.sh: $f is missing; build cimserver PerfCounters perf_bench" >&2; exit 1; }
done

root=$(mktemp -d /tmp/perfbench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# cimserver resolves its directories, and the module its /proc files, through
# MGMTAGENT_ROOT: a root holding only this module's files and a link to /proc.
mkdir -p "$root/classes" "$root/registrations" "$root/modules"
ln -s "$src/mof/classes/SM_PerfCounters.mof" "$root/classes/"
ln -s "$src/mof/registrations/PerfCounters.reg" "$root/registrations/"
ln -s "$module" "$root/modules/libPerfCounters.so"
ln -s /proc "$root/proc"
MGMTAGENT_ROOT="$root" "$cimserver" --classes /classes --registrations /registrations \
  --modules /modules --address 127.0.0.1 --port 0 --print-port \
  --set enableAuthentication=false --set enableLocalSocket=false \
  >"$root/cimserver.port" 2>"$root/cimserver.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$root/cimserver.port" ] && break; sleep 0.1; done
cim_port=$(head -n1 "$root/cimserver.port" 2>/dev/null || true)
[ -n "$cim_port" ] || { echo "run.sh: cimserver did not start:" >&2; cat "$root/cimserver.log" >&2; exit 1; }

# node_exporter, for scale: Debian's package, installed here only if missing and
# installable; its service is not started (we run our own on loopback).
node_args=()
exporter=/usr/bin/prometheus-node-exporter
if [ ! -x "$exporter" ] && [ "$(id -u)" -eq 0 ]; then
  policy=/usr/sbin/policy-rc.d
  made_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"; chmod 755 "$policy"; made_policy=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    prometheus-node-exporter >/dev/null 2>&1 || true
  [ $made_policy -eq 1 ] && rm -f "$policy"
fi
if [ -x "$exporter" ]; then
  node_port=$(free_port)
  "$exporter" --web.listen-address="127.0.0.1:$node_port" >"$root/node.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $node_port), 0.2)" 2>/dev/null; then
      node_args=(--node-exporter "$node_port"); break
    fi
    sleep 0.1
  done
  [ ${#node_args[@]} -gt 0 ] || echo "run.sh: node_exporter did not start; no scrape figure" >&2
else
  echo "run.sh: prometheus-node-exporter not available; no scrape figure" >&2
fi

echo "kernel $(uname -r), $(nproc) cores"
"$bench" --cimserver "$cim_port" "${node_args[@]}" --runs "$runs"
