#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libaravis-dev libusb-1.0-0-dev libxml2-dev libboost-dev zlib1g-dev librapidxml-dev nlohmann-json3-dev
  libspdlog-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libfuzzer-14-dev
  python3-pytest python3-venv python3-setuptools python3-wheel python3-pip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
