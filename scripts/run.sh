#!/usr/bin/env bash
# Installs what is missing, builds, and starts the synthesizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build scripts/build.sh
if [ ! -x build/synth ]; then
  echo "The synthesizer program is not there yet: the engine and its tests build, the panel does not." >&2
  exit 0
fi
cd build && exec ./synth
