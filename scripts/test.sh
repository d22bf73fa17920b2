#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages + build) and runs the whole test
# suite. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
