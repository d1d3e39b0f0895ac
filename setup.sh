#!/usr/bin/env bash
# Sets everything up on a fresh machine, builds, and runs the main job.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" build
"$top/scripts/main-job.sh"
