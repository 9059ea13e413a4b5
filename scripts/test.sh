#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the plain build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build of the whole suite, the
# libFuzzer targets built with clang (a short run of each; skipped without
# clang), a ThreadSanitizer build of the concurrency tests, and the Windows
# cross build (scripts/build-windows.sh) with its tests under Wine: the unit
# tests, synth-render.exe rendering the demonstration tune as Linux does, and
# synth.exe playing without a panel until Ctrl+C and showing its panel on
# Xvfb (skipped where MinGW-w64 and Wine cannot be installed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
status=0
run() { # name, build dir, ctest arguments...
  local name=$1 dir=$2; shift 2
  echo "=== $name"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") || status=1
}

BUILD_DIR=build scripts/build.sh
run "tests" build

BUILD_DIR=build-asan scripts/build.sh -DSYNTH_SANITIZE=address
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run "tests under AddressSanitizer and UBSan" build-asan

fuzz=0
BUILD_DIR=build-fuzz scripts/fuzz.sh --build || fuzz=$?
case $fuzz in
  0) run "fuzz targets (clang, libFuzzer, ASan and UBSan): each corpus, then a short run" build-fuzz ;;
  3) echo "=== fuzz targets skipped: no clang++ with libFuzzer" ;;
  *) status=1 ;;
esac

BUILD_DIR=build-tsan scripts/build.sh -DSYNTH_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1 run "concurrency tests under ThreadSanitizer" build-tsan -L concurrency

windows=0
BUILD_DIR=build-windows scripts/build-windows.sh || windows=$?
case $windows in
  0) # One Wine server, with Wine's own services, for the unit tests: two test
     # programs at a time, each starting just as the other's server ends, now
     # and then meet a server on its way out ("Connection reset by peer").
     # Started here, with no test's output to hold open.
     wine_server() { WINEPREFIX=$PWD/build-windows/wine /usr/lib/wine/wineserver "$@" </dev/null >/dev/null 2>&1 || true; }
     wine_server -p
     scripts/wine.sh wineboot </dev/null >/dev/null 2>&1 || true
     run "Windows unit tests under Wine" build-windows/synth
     wine_server -k
     echo "=== Windows synth-render.exe under Wine against the Linux build"
     tests/windows_render_test.sh build build-windows/synth || status=1
     echo "=== Windows plugin window under Wine: the CLAP plugin's window on Xvfb, the same pixels as on Linux"
     tests/plugin_ui_e2e.sh build build-windows/synth || status=1
     echo "=== Windows synth.exe under Wine: --no-gui on a null ALSA sink, the panel on Xvfb"
     tests/windows_live_test.sh build-windows/synth build || status=1 ;;
  3) echo "=== Windows build skipped: MinGW-w64 or Wine could not be installed" ;;
  *) status=1 ;;
esac

exit $status
