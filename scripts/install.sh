#!/usr/bin/env bash
# Installs every system package the build, the tests and the demo need. Safe to run again.
set -euo pipefail
packages=(
  g++ cmake make pkg-config git curl openssl python3
  libpugixml-dev libicu-dev libssl-dev libcurl4-openssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libvips-dev zenity xdg-utils
  default-jdk-headless
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
