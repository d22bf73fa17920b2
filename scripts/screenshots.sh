#!/usr/bin/env bash
# Renders every window and dialog of the program to PNG files in
# build/screenshots/, from the demo data root (made once), under xvfb-run.
# Each tool build/bin/shots_* writes its own pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/bin/rhythmcraft-cli ]; then bash scripts/setup.sh; else cmake --build build; fi
ROOT=${RHYTHMCRAFT_DEMO_ROOT:-build/demo-root}
if [ ! -f "$ROOT/csdb.zeb" ]; then build/bin/rhythmcraft-cli make-demo "$ROOT"; fi
OUT=build/screenshots
mkdir -p "$OUT"
ROOT=$(cd "$ROOT" && pwd)
OUT=$(cd "$OUT" && pwd)
shopt -s nullglob
tools=(build/bin/shots_*)
if [ ${#tools[@]} -eq 0 ]; then echo "screenshots: no screenshot tools built"; exit 0; fi
for t in "${tools[@]}"; do
  echo "-- $(basename "$t")"
  if [ -n "${DISPLAY:-}" ]; then "$t" "$OUT" "$ROOT"; else xvfb-run -a -s "-screen 0 1366x768x24" "$t" "$OUT" "$ROOT"; fi
done
ls -1 "$OUT"
