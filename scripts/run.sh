#!/usr/bin/env bash
# Installs what is missing, builds, and starts the synthesizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build scripts/build.sh
if [ ! -x build/synth ]; then
  echo "run.sh: build/synth was not built; see the build output above" >&2
  exit 1
fi
cd build && exec ./synth
