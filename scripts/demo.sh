#!/usr/bin/env bash
# Sets up a fresh Debian machine, makes the demo data root once (reused on
# later runs) and opens the program on it: the client list, then a session
# and its statistics. Without a display it says so and prints the HRV and
# signal statistics of a demo session as CSV instead.
#   scripts/demo.sh [CLIENT SESSION]     with both: that session opens directly
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
CLI=build/bin/rhythmcraft-cli
ROOT=${RHYTHMCRAFT_DEMO_ROOT:-build/demo-root}
if [ ! -f "$ROOT/csdb.zeb" ]; then
  "$CLI" make-demo "$ROOT"
fi
ROOT=$(cd "$ROOT" && pwd)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/rhythmcraft ]; then
  RHYTHMCRAFT_DATA_ROOT="$ROOT" exec build/bin/rhythmcraft "$@"
fi
CLIENT=${1:-1}
SESSION=${2:-2}
echo "demo: no display available; the statistics of client $CLIENT, session $SESSION as CSV:" >&2
"$CLI" analyse --data-root "$ROOT" --client "$CLIENT" --session "$SESSION"
