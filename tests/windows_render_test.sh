#!/usr/bin/env bash
# The Windows synth-render.exe, under Wine, renders to the same bytes as the
# Linux synth-render: the demonstration tune in every layering mode, then
# seeded random tunes (tests/tools/random_tune.cpp: notes over the whole
# range, long loud notes, the pedal, bend, panic messages, tempo changes) with
# every factory instrument in either slot, in every mode, at 44100, 48000 and
# 96000 Hz; and the plugin's Windows libraries in every format against the
# Linux ones on such tunes. SYNTH_SEEDS="1 2 ..." (SYNTH_PLUGIN_SEEDS for the
# plugin) picks other seeds; a difference names its seed.
#   tests/windows_render_test.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
linux=$(realpath "$1") windows=$(realpath "$2")
wine=$(realpath "$(dirname "$0")/../scripts/wine.sh")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cp "$windows"/demo.mid "$windows"/instruments/electric-piano.zpk "$windows"/instruments/string-ensemble.zpk "$out"/
cmp "$linux/demo.mid" "$out/demo.mid"
status=0
for mode in instr1 instr2 split inv-split fade inv-fade; do
  args=(--i1 electric-piano.zpk --i2 string-ensemble.zpk --mode "$mode" --quiet demo.mid)
  (cd "$out" && "$linux/synth-render" "${args[@]}" linux-$mode.wav)
  (cd "$out" && "$wine" "$windows/synth-render.exe" "${args[@]}" windows-$mode.wav)
  if cmp -s "$out/linux-$mode.wav" "$out/windows-$mode.wav"; then
    echo "$mode: the same $(stat -c %s "$out/linux-$mode.wav") bytes"
  else
    echo "$mode: DIFFERENT ($(cmp "$out/linux-$mode.wav" "$out/windows-$mode.wav" | head -1))"
    status=1
  fi
done
instruments=("$linux"/instruments/*.zpk)
count=${#instruments[@]}
modes=(instr1 instr2 split inv-split fade inv-fade)
rates=(44100 48000 96000)
seeds=${SYNTH_SEEDS:-$(seq 1 $((count > 36 ? count : 36)))}
same=0
for seed in $seeds; do
  i1=${instruments[$((seed % count))]} i2=${instruments[$(((seed + count / 2) % count))]}
  mode=${modes[$((seed % 6))]} rate=${rates[$((seed / 6 % 3))]}
  "$linux/tools/random_tune" "$seed" "$out/tune.mid"
  cp "$i1" "$out/one.zpk"
  cp "$i2" "$out/two.zpk"
  args=(--i1 one.zpk --i2 two.zpk --mode "$mode" --rate "$rate" --tail 3 --quiet tune.mid)
  (cd "$out" && "$linux/synth-render" "${args[@]}" linux.wav)
  (cd "$out" && "$wine" "$windows/synth-render.exe" "${args[@]}" windows.wav)
  if cmp -s "$out/linux.wav" "$out/windows.wav"; then
    same=$((same + 1))
  else
    echo "seed $seed ($(basename "$i1") and $(basename "$i2"), $mode, $rate Hz): DIFFERENT ($(cmp -l "$out/linux.wav" "$out/windows.wav" | wc -l) bytes)"
    status=1
  fi
done
echo "random tunes: $same of $(echo $seeds | wc -w) the same"

# The plugin's Windows libraries in the tests' own hosts (LV2, VST3, CLAP)
# against the Linux ones: random instruments, modes and block sizes.
plugin_seeds=${SYNTH_PLUGIN_SEEDS:-$(seq 1 12)}
same=0 runs=0
for seed in $plugin_seeds; do
  rate=${rates[$((seed % 3))]}
  "$linux/tools/random_tune" "$seed" "$out/tune.mid"
  for format in lv2 vst3 clap; do
    runs=$((runs + 1))
    (cd "$out" && "$linux/tools/plugin_render" $format tune.mid $rate "$seed" linux.raw) &&
    (cd "$out" && "$wine" "$windows/tools/plugin_render.exe" $format tune.mid $rate "$seed" windows.raw) &&
    if cmp -s "$out/linux.raw" "$out/windows.raw"; then
      same=$((same + 1))
    else
      echo "plugin seed $seed ($format, $rate Hz): DIFFERENT ($(cmp -l "$out/linux.raw" "$out/windows.raw" | wc -l) bytes)"
      status=1
    fi || { echo "plugin seed $seed ($format): did not play"; status=1; }
  done
done
echo "the plugin on random tunes: $same of $runs runs the same"
# An existing output is replaced; an output that is the MIDI file is refused.
if ! (cd "$out" && "$wine" "$windows/synth-render.exe" --quiet demo.mid windows-fade.wav); then
  echo "an existing output was not replaced"; status=1
fi
if (cd "$out" && "$wine" "$windows/synth-render.exe" --quiet demo.mid demo.mid 2>/dev/null); then
  echo "the MIDI file was taken as the output"; status=1
fi
cmp -s "$linux/demo.mid" "$out/demo.mid" || { echo "the MIDI file changed"; status=1; }
exit $status
