#!/usr/bin/env bash
# Starts and stops the simulated BMC (ipmi_sim with the profile in etc/bmcsim/)
# and imbd, the user-space IMB driver, for one installation root.
#
#   bmcsim.sh start ROOT [--vm-port P] [--lan-port P] [--console-port P] [--imbd PATH]
#   bmcsim.sh stop ROOT              stop imbd and the simulator
#   bmcsim.sh sim-stop ROOT          stop only the simulator (imbd keeps running)
#   bmcsim.sh sim-start ROOT         start the simulator again on the same ports
#   bmcsim.sh imbd-stop ROOT         stop only imbd (the simulator keeps running)
#   bmcsim.sh imbd-start ROOT [--imbd PATH]  start imbd again
#   bmcsim.sh cmd ROOT 'COMMAND'     run a simulator command, e.g.
#                                    'sel_add 0x20 0x02 0x00 ...' (see ipmi_sim_cmd(5))
#   bmcsim.sh env ROOT               print the ports in use as shell assignments
#
# imbd listens at ROOT/dev/imb, so a program run with MGMTAGENT_ROOT=ROOT reaches
# the simulated BMC. ipmitool reaches the same BMC over LAN:
#   ipmitool -I lanplus -C 3 -H 127.0.0.1 -p LAN_PORT -U admin -P password sel list
# (-C 3 names the cipher suite; without it ipmitool spends 10 s asking for the list).
# Run files (generated configuration, logs, pids) live in ROOT/run/bmcsim, the
# simulator's persistent state in ROOT/var/lib/bmcsim (cleared by "start").
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
profile=${BMCSIM_PROFILE:-$here/../etc/bmcsim}

die() { echo "bmcsim: $*" >&2; exit 1; }

usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[[ $# -ge 2 ]] || usage
action=$1 root=$2
shift 2
[[ $root == /* ]] || root=$(pwd)/$root
run=$root/run/bmcsim
state=$root/var/lib/bmcsim

# A port that nothing on this machine listens on (TCP or UDP), chosen at random.
free_port() {
  local p
  for _ in $(seq 50); do
    p=$((20000 + RANDOM % 30000))
    if [[ -z $(ss -Htlun "sport = :$p" 2>/dev/null) ]]; then echo "$p"; return; fi
  done
  die "no free port found"
}

check_port() { [[ $1 =~ ^[0-9]+$ ]] && (($1 > 0 && $1 < 65536)) || die "bad port: $1"; }

# Is PID alive and running the program NAME? Guards against signalling a reused pid.
alive() {
  local pid=$1 name=$2
  [[ -n $pid && -r /proc/$pid/cmdline ]] || return 1
  tr '\0' ' ' </proc/"$pid"/cmdline | grep -q -- "$name"
}

stop_pid() {
  local file=$1 name=$2 pid
  [[ -f $file ]] || return 0
  pid=$(cat "$file")
  if alive "$pid" "$name"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$pid" "$name" || break; sleep 0.1; done
    if alive "$pid" "$name"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$file"
}

# Waits until the process in PIDFILE listens on PORT. The listener must be that
# process: another program that took the port meanwhile would otherwise pass for
# it (tests started side by side pick ports at random).
wait_listen() {
  local port=$1 pidfile=$2 name=$3 pid
  pid=$(cat "$pidfile")
  for _ in $(seq 100); do
    ss -Htlnp "sport = :$port" 2>/dev/null | grep -q "pid=$pid," && return 0
    alive "$pid" "$name" || break
    sleep 0.05
  done
  return 1
}

sim_start() {
  # shellcheck source=/dev/null
  source "$run/ports"
  sed -e "s/@VM_PORT@/$VM_PORT/" -e "s/@LAN_PORT@/$LAN_PORT/" \
      -e "s/@CONSOLE_PORT@/$CONSOLE_PORT/" "$profile/lan.conf.in" >"$run/lan.conf"
  # The simulator polls its standard input; a FIFO opened read-write is pollable
  # and never reaches end of file, so nothing else has to keep it open.
  [[ -p $run/sim.stdin ]] || mkfifo "$run/sim.stdin"
  ipmi_sim -n -c "$run/lan.conf" -f "$profile/bmc.emu" -s "$state" \
    0<>"$run/sim.stdin" >>"$run/ipmi_sim.log" 2>&1 &
  echo $! >"$run/ipmi_sim.pid"
  wait_listen "$VM_PORT" "$run/ipmi_sim.pid" ipmi_sim ||
    die "ipmi_sim did not start (see $run/ipmi_sim.log)"
  wait_listen "$CONSOLE_PORT" "$run/ipmi_sim.pid" ipmi_sim ||
    die "ipmi_sim console did not open (see $run/ipmi_sim.log)"
}

# PEF and LAN parameters over the simulator's own LAN port (one session).
apply_setup() {
  # shellcheck source=/dev/null
  source "$run/ports"
  command -v ipmitool >/dev/null || { echo "bmcsim: ipmitool missing; PEF and LAN parameters not set" >&2; return 0; }
  ipmitool -I lanplus -C 3 -H 127.0.0.1 -p "$LAN_PORT" -U admin -P password \
    exec "$profile/bmc-setup.ipmitool" >>"$run/setup.log" 2>&1 && return 0
  echo "bmcsim: setting PEF and LAN parameters failed (see $run/setup.log)" >&2
  return 1
}

imbd_start() {
  # shellcheck source=/dev/null
  source "$run/ports"
  local imbd=$1
  mkdir -p "$root/dev"
  "$imbd" --socket "$root/dev/imb" --backend "vm:127.0.0.1:$VM_PORT" \
    >>"$run/imbd.log" 2>&1 &
  echo $! >"$run/imbd.pid"
  for _ in $(seq 100); do
    [[ -S $root/dev/imb ]] && return 0
    alive "$(cat "$run/imbd.pid")" imbd || break
    sleep 0.05
  done
  die "imbd did not start (see $run/imbd.log)"
}

find_imbd() {
  if [[ -n ${IMBD:-} ]]; then echo "$IMBD"; return; fi
  if command -v imbd >/dev/null; then command -v imbd; return; fi
  local built=${BUILD_DIR:-$here/../build}/platform/imbd
  [[ -x $built ]] || die "imbd not found: pass --imbd PATH or set IMBD"
  echo "$built"
}

case $action in
  start)
    vm= lan= console= imbd=
    while [[ $# -gt 0 ]]; do
      case $1 in
        --vm-port) vm=$2; shift 2 ;;
        --lan-port) lan=$2; shift 2 ;;
        --console-port) console=$2; shift 2 ;;
        --imbd) imbd=$2; shift 2 ;;
        *) usage ;;
      esac
    done
    vm=${vm:-$(free_port)} lan=${lan:-$(free_port)} console=${console:-$(free_port)}
    for p in "$vm" "$lan" "$console"; do check_port "$p"; done
    imbd=${imbd:-$(find_imbd)}
    [[ -x $imbd ]] || die "not executable: $imbd"
    mkdir -p "$run"
    rm -rf "$state" && mkdir -p "$state"
    printf 'VM_PORT=%s\nLAN_PORT=%s\nCONSOLE_PORT=%s\n' "$vm" "$lan" "$console" >"$run/ports"
    sim_start
    apply_setup || { stop_pid "$run/ipmi_sim.pid" ipmi_sim; exit 1; }
    echo "$imbd" >"$run/imbd.path"
    imbd_start "$imbd" || { stop_pid "$run/ipmi_sim.pid" ipmi_sim; exit 1; }
    cat "$run/ports"
    ;;
  imbd-stop)
    stop_pid "$run/imbd.pid" imbd
    ;;
  imbd-start)
    [[ -f $run/ports ]] || die "not started: $root"
    imbd=$(cat "$run/imbd.path")
    [[ ${1:-} == --imbd && -n ${2:-} ]] && imbd=$2
    imbd_start "$imbd"
    ;;
  stop)
    stop_pid "$run/imbd.pid" imbd
    stop_pid "$run/ipmi_sim.pid" ipmi_sim
    rm -f "$run/sim.stdin"
    ;;
  sim-stop)
    stop_pid "$run/ipmi_sim.pid" ipmi_sim
    ;;
  sim-start)
    [[ -f $run/ports ]] || die "not started: $root"
    sim_start
    ;;
  cmd)
    [[ $# -eq 1 ]] || usage
    [[ -f $run/ports ]] || die "not started: $root"
    # shellcheck source=/dev/null
    source "$run/ports"
    exec 3<>"/dev/tcp/127.0.0.1/$CONSOLE_PORT" || die "console not reachable"
    printf '%s\nquit_console_marker\n' "$1" >&3
    # The console echoes each line and prints the result; the unknown command
    # after ours marks the end of its output.
    out=
    while IFS= read -r -t 5 line <&3; do
      line=${line//[^[:print:]]/}   # telnet negotiation and carriage returns
      [[ $line == *"Unknown command: quit_console_marker"* ]] && break
      out+=$line$'\n'
    done
    # Hang up only once the console has printed its prompt and gone quiet: the
    # simulator dies of a write to a console connection that has gone away.
    while IFS= read -r -n 1 -t 0.2 _ <&3 2>/dev/null; do :; done
    exec 3>&-
    printf '%s' "$out" | grep -a -v -e 'quit_console_marker' -e "^> $1\$" | sed 's/^> //' || true
    ;;
  env)
    [[ -f $run/ports ]] || die "not started: $root"
    cat "$run/ports"
    ;;
  *) usage ;;
esac
