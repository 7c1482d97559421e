#!/usr/bin/env bash
# Installs the system packages. Safe to run again.
#   scripts/install.sh        what building and running the server and the companion need
#   scripts/install.sh test   that, and what only the tests, fuzz targets and benchmarks need
set -euo pipefail
packages=(
  g++ cmake make pkg-config curl
  libpugixml-dev libicu-dev libssl-dev libcurl4-openssl-dev zlib1g-dev
  libvips-dev zenity xdg-utils
)
test_packages=(
  git openssl python3
  libgtest-dev libgmock-dev libbenchmark-dev
  default-jdk-headless
  clang libclang-rt-14-dev
)
case "${1:-run}" in
  run) ;;
  test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
