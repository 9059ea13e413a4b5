#!/usr/bin/env bash
# The libFuzzer targets of tests/fuzz/ (midi_file, instrument_file, engine):
# a clang build of them alone, with AddressSanitizer and UBSan, in build-fuzz/
# (or the folder given as $BUILD_DIR).
#
#   scripts/fuzz.sh                   build; replay each corpus and fuzz each target briefly
#   scripts/fuzz.sh --build           build only
#   scripts/fuzz.sh TARGET [SECONDS]  fuzz one target for SECONDS (default 600); new inputs
#                                     go to build-fuzz/found/TARGET, crashes to build-fuzz/crashes/
#
# Ends with status 3, building nothing, where clang++ or its libFuzzer is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build-fuzz}

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! command -v clang++ >/dev/null || ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "fuzz.sh: clang++ with libFuzzer is not installed (Debian: clang, libclang-rt-dev)" >&2
  exit 3
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSYNTH_FUZZERS=ON >/dev/null
ninja -C "$dir"
case "${1:-}" in
  --build) ;;
  "") cd "$dir" && exec ctest --output-on-failure -j"$(nproc)" ;;
  *)
    target=$1
    if [ ! -x "$dir/fuzz_$target" ]; then
      echo "fuzz.sh: no fuzz target \"$target\" (midi_file, instrument_file, engine)" >&2
      exit 2
    fi
    exec "$dir/fuzz_$target" -max_total_time="${2:-600}" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -artifact_prefix="$dir/crashes/$target-" "$dir/found/$target" "tests/fuzz/corpus/$target"
    ;;
esac
