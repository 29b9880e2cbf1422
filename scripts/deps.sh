#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named on the command line;
# quick when they are all present.
#   scripts/deps.sh [PACKAGE...]
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev libqt5serialport5-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libmodbus-dev socat
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
