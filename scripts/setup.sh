#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the runtime peers need.
# Idempotent: when everything is present it prints nothing and changes nothing.
# Runs as root (or through sudo) on a fresh Debian 12 machine, with or without a
# prior `apt-get update`.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config git ccache
  # formatting, static analysis and the fuzzers (clang with libFuzzer)
  clang clang-format clang-tidy libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsnmp-dev libpugixml-dev libcpp-httplib-dev libssl-dev libcrypt-dev openssl
  nlohmann-json3-dev
  # runtime peers used by the demo and the integration tests
  openipmi ipmitool freeipmi-tools
  snmptrapd snmp
  sblim-wbemcli
  dmidecode fdisk iputils-ping net-tools iproute2 procps
  # a locale with a decimal comma (generated below) for the number-reading tests
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
need_locale=0
locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8' || need_locale=1
[ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

generate_locale() {
  if [ $need_locale -eq 1 ]; then
    echo "setup: generating the de_DE.UTF-8 locale"
    $SUDO localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
  fi
}
[ ${#missing[@]} -eq 0 ] && { generate_locale; exit 0; }

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The package lists may be absent or stale on a fresh machine: refresh them once.
$SUDO apt-get update -qq
# Package scripts must not start services (snmpd, snmptrapd) behind our back: the
# tests start their own peers on ports they choose.
policy_rc=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy_rc" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy_rc" >/dev/null
  $SUDO chmod 755 "$policy_rc"
  created_policy=1
fi
trap '[ $created_policy -eq 1 ] && $SUDO rm -f "$policy_rc"' EXIT
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
generate_locale
echo "setup: done"
