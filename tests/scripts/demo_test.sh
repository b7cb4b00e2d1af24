#!/usr/bin/env bash
# demo_test.sh SOURCE_DIR BUILD_DIR: runs scripts/demo.sh --no-build on BUILD_DIR
# with its own installation root and checks what it shows and what it leaves.
set -uo pipefail
src=$1 build=$2
demo=$src/scripts/demo.sh
tmp=$(mktemp -d)
failures=0 passed=0

# Whatever a case leaves behind is stopped here too, so a failing run never
# leaves processes on the machine.
cleanup() {
  for r in "$tmp"/root*; do
    [[ -d $r ]] && "$demo" --stop --build-dir "$build" --root "$r" >/dev/null 2>&1
  done
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; passed=$((passed + 1)); }

expect() {  # expect NAME PATTERN FILE
  if grep -Eq -- "$2" "$3"; then ok "$1"; else fail "$1: no line matching /$2/"; fi
}

# Processes whose command line names the root: ipmi_sim (its lan.conf), imbd
# (its socket), cimserver and selwatch (their staged program paths) and
# snmptrapd (its MIB folder).
left_over() { pgrep -af -- "$1/" || true; }

expect_nothing_left() {  # NAME ROOT
  local procs pids
  procs=$(left_over "$2")
  pids=$(find "$2/run" -name '*.pid' 2>/dev/null)
  if [[ -z $procs && -z $pids ]]; then ok "$1: nothing left running"
  else fail "$1: left behind: ${procs:-} ${pids:-}"; fi
}

# 1. A whole run: what a person sees.
root=$tmp/root1
out=$tmp/out1
"$demo" --no-build --build-dir "$build" --root "$root" >"$out" 2>&1
rc=$?
sed 's/^/  | /' "$out"
if [[ $rc -eq 0 ]]; then ok "demo exits 0"; else fail "demo exited $rc"; fi
expect "systemd units staged" '^ +/usr/local/lib/systemd/system/imbd\.service$' "$out"
expect "imbraw staged" '^ +/usr/local/sbin/imbraw$' "$out"
expect "device id decoded" '^ +device id: +0x20, revision 3' "$out"
expect "firmware decoded" '^ +firmware: +1\.25' "$out"
expect "manufacturer decoded" '^ +manufacturer id: +4753 ' "$out"
expect "profile's SEL read" '^ +#[0-9]+ .* sensor 0x' "$out"
# The added event comes back through /dev/imb with the bytes it was added with
# (looked for in its own section: the profile's SEL has temperature events too).
sed -n '/^== An event added/,/^== The same BMC/p' "$out" >"$tmp/added"
expect "added event read back" '^ +#[0-9]+ .*temperature sensor 0x01 +event type 0x01 asserted +data 59 5a 55' "$tmp/added"
# The added event arrives at snmptrapd as a trap that ipmi-pet decodes.
sed -n '/^== The event as a Platform Event Trap/,/^== The same BMC/p' "$out" >"$tmp/trap"
expect "trap received" 'Enterprise Specific Trap \(65801\)' "$tmp/trap"
expect "trap decoded by ipmi-pet" 'CPU1 Temp +\| Temperature +\| Critical condition +\| Assertion Event +\| Upper Critical - going high' "$tmp/trap"
expect "selwatch staged" '^ +/usr/local/share/mgmtagent/hmon/selwatch/selwatch$' "$out"
expect "ipmitool over LAN" 'Firmware Revision +: 1\.25' "$out"
expect "network adapters" '[1-9][0-9]* instance\(s\) of CIM_NetworkAdapter' "$out"
for c in Memory Processor LogicalDisk NetworkInterface; do
  expect "SM_PerfCounters_$c instances" "[1-9][0-9]* instance\\(s\\) of SM_PerfCounters_$c" "$out"
done
expect "no password on screen" "wbemcli .*demo:\\*\\*\\*@" "$out"
expect_nothing_left "after a whole run" "$root"

# 2. Interrupted (Ctrl-C) once the services are up: everything it started stops.
root=$tmp/root2
set -m   # the demo in its own process group, with SIGINT not ignored
"$demo" --no-build --build-dir "$build" --root "$root" >"$tmp/out2" 2>&1 &
pid=$!
set +m
for _ in $(seq 600); do
  [[ -s $root/run/demo/cimserver.port ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [[ -s $root/run/demo/cimserver.port && -n $(left_over "$root") ]]; then
  kill -INT "$pid"
  wait "$pid"
  rc=$?
  if [[ $rc -ne 0 ]]; then ok "interrupted demo exits non-zero ($rc)"; else fail "interrupted demo exited 0"; fi
  expect_nothing_left "after Ctrl-C" "$root"
else
  fail "the demo did not get as far as cimserver"; cat "$tmp/out2"
  kill "$pid" 2>/dev/null; wait "$pid"
fi

# 3. --keep leaves the services up (imbraw still reaches the BMC); --stop ends them.
root=$tmp/root3
"$demo" --no-build --build-dir "$build" --root "$root" --keep >"$tmp/out3" 2>&1
rc=$?
if [[ $rc -eq 0 ]]; then ok "--keep run exits 0"; else fail "--keep run exited $rc"; cat "$tmp/out3"; fi
expect "--keep says how to stop" 'stop them with: .*--stop --root ' "$tmp/out3"
if MGMTAGENT_ROOT=$root LD_LIBRARY_PATH=$root/usr/local/lib \
     "$root/usr/local/sbin/imbraw" 06 01 >/dev/null 2>&1; then
  ok "services still answer after --keep"
else
  fail "imbraw after --keep failed"
fi
"$demo" --stop --build-dir "$build" --root "$root" >/dev/null 2>&1
expect_nothing_left "after --stop" "$root"

echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
