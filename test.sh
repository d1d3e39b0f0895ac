#!/usr/bin/env bash
# Builds and runs every test. Extra arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" build
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" "$@"
