#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the
# fuzz harnesses need (skipping what is already there), then configures and
# builds the project in ./build.
#   scripts/setup.sh            install + release build
#   scripts/setup.sh --no-build install only
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libfuzzer-14-dev libclang-rt-14-dev
  libsqlite3-dev sqlite3 libzip-dev
  qt6-base-dev qt6-charts-dev qt6-datavisualization-dev qt6-declarative-dev qt6-svg-dev
  libgl1-mesa-dev libgl1-mesa-dri xvfb xauth
  libfftw3-dev libpugixml-dev
  locales
  libreoffice-calc-nogui
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A comma-decimal locale for the locale round-trip tests.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null || true
  fi
fi

if [ "${1:-}" = "--no-build" ]; then exit 0; fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
