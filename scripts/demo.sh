#!/usr/bin/env bash
# Sets up a fresh Debian machine, then runs the program's main job on demo data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BIN=build/bin
DEMO=build/demo
mkdir -p "$DEMO"
# A synthetic two-minute EKG at 2048 Hz (until the demo data root exists).
python3 - "$DEMO/ekg.f32" <<'PY'
import math, struct, sys, random
random.seed(7)
rate, seconds = 2048, 120
out = bytearray()
t_beat, beats = 0.5, []
while t_beat < seconds:
    beats.append(t_beat)
    t_beat += 0.85 + 0.05 * math.sin(2 * math.pi * 0.25 * t_beat)
k = 0
for i in range(rate * seconds):
    t = i / rate
    while k + 1 < len(beats) and beats[k + 1] <= t + 0.3:
        k += 1
    v = 0.0
    for b in beats[max(0, k - 1):k + 2]:
        d = t - b
        v += 1.2 * math.exp(-(d / 0.012) ** 2) + 0.25 * math.exp(-((d - 0.25) / 0.05) ** 2)
    v += 0.05 * math.sin(2 * math.pi * 0.3 * t) + random.gauss(0, 0.01)
    out += struct.pack('<f', v)
open(sys.argv[1], 'wb').write(out)
PY
if "$BIN/rhythmcraft-cli" --help | grep -q ' detect '; then
  "$BIN/rhythmcraft-cli" detect --signal ekg --type advanced --rate 2048 --intervals "$DEMO/ekg.f32"
else
  "$BIN/rhythmcraft-cli" --help
fi
