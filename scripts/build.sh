#!/usr/bin/env bash
# Configures and builds one tree. Usage: scripts/build.sh <build dir> [extra cmake arguments]
# With NOX_TARGETS set (names separated by spaces) only those targets are built.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
launcher=()
# ccache, when the machine has it, makes rebuilds of several trees cheap.
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$top/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
for target in ${NOX_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$top/$dir" -j "$(nproc)" "${targets[@]}"
