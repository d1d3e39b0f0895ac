#!/usr/bin/env bash
# The main job: until the command-line tool exists, report what the build produced.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
echo "Built in $top/build:"
for f in "$top"/build/lib/*.so "$top"/build/bin/*; do
  [ -e "$f" ] && echo "  ${f#$top/}"
done
