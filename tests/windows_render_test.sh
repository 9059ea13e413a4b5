#!/usr/bin/env bash
# The Windows synth-render.exe, under Wine, renders the demonstration tune in
# every layering mode to the same bytes as the Linux synth-render.
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
# An existing output is replaced; an output that is the MIDI file is refused.
if ! (cd "$out" && "$wine" "$windows/synth-render.exe" --quiet demo.mid windows-fade.wav); then
  echo "an existing output was not replaced"; status=1
fi
if (cd "$out" && "$wine" "$windows/synth-render.exe" --quiet demo.mid demo.mid 2>/dev/null); then
  echo "the MIDI file was taken as the output"; status=1
fi
cmp -s "$linux/demo.mid" "$out/demo.mid" || { echo "the MIDI file changed"; status=1; }
exit $status
