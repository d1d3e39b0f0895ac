#!/usr/bin/env bash
# The main job: noxcam against the virtual frame grabber's default topology, with the library's
# default waits: discover the cameras, then show the first camera's features.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
noxcam="$top/build/bin/noxcam"
unset VEXO_SIM_CONFIG
echo "\$ noxcam scan"
"$noxcam" scan
echo
echo "\$ noxcam features"
"$noxcam" features
