#!/usr/bin/env bash
# Sets up a fresh Debian machine, makes the demo data root once (reused on
# later runs) and runs the program's main job on it: the HRV and signal
# statistics of a demo session, as CSV.
#   scripts/demo.sh [CLIENT SESSION]     default: client 1, session 2
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
CLI=build/bin/rhythmcraft-cli
ROOT=${RHYTHMCRAFT_DEMO_ROOT:-build/demo-root}
if [ ! -f "$ROOT/csdb.zeb" ]; then
  "$CLI" make-demo "$ROOT"
fi
CLIENT=${1:-1}
SESSION=${2:-2}
if "$CLI" --help | grep -q '^  analyse '; then
  "$CLI" analyse --data-root "$ROOT" --client "$CLIENT" --session "$SESSION"
else
  "$CLI" recording-info "$ROOT/Clients/$CLIENT/Sess$(printf %04d "$SESSION")/Session.dat"
fi
