#!/usr/bin/env bash
# The Debian packages Karvel builds and tests with (see README, "Dependencies").
set -euo pipefail
packages=(g++ cmake make pkg-config
          libgtest-dev libgmock-dev
          libcli11-dev nlohmann-json3-dev
          python3-pyvisa-py)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
