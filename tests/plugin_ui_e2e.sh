#!/usr/bin/env bash
# The plugin's own window in real hosts, end to end: jalv.gtk3 shows the LV2
# plugin's window on Xvfb, as a JACK client of a dummy server of our own;
# a small CLAP host of ours shows the CLAP plugin's, and with a Windows build
# given, the Windows CLAP plugin's under Wine.
#  - The window is 1024 x 768 and looks as the program's panel does at the
#    same values (a screenshot of each, pixel by pixel).
#  - A value the host sets (jalv -c) moves its slider.
#  - A slider dragged with the mouse changes what the plugin plays: the
#    first oscillator's volume dragged to the bottom silences a held note.
#  - The CLAP window shows the same panel; the Windows one the same pixels.
#
# Usage: plugin_ui_e2e.sh BUILD_DIR [WINDOWS_BUILD_DIR]
# (exits 77, skipped, when a tool is missing)
set -uo pipefail
build=$(cd "${1:?usage: plugin_ui_e2e.sh BUILD_DIR [WINDOWS_BUILD_DIR]}" && pwd)
windows=${2:+$(cd "$2" && pwd)}
skip() { echo "SKIPPED: $*"; exit 77; }
for tool in Xvfb xdotool xwd xwininfo convert compare jackd jack_lsp jack_connect jack_midiseq jalv.gtk3; do
  command -v $tool >/dev/null || skip "$tool is not installed"
done
[ -x "$build/synth" ] && [ -x "$build/tools/jack_tap" ] && [ -f "$build/lv2/synth.lv2/synth.so" ] ||
  skip "the program, jack_tap or the plugin is not built"

work=$(mktemp -d /tmp/synth-plugin-ui-XXXXXX)
failures=0
started=()
jackd_pid=""
stop_all() {
  for p in "${started[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${started[@]}"; do wait "$p" 2>/dev/null; done
  if [ -n "$jackd_pid" ]; then kill "$jackd_pid" 2>/dev/null; wait "$jackd_pid" 2>/dev/null; fi
}
trap stop_all EXIT
check() { local what=$1; shift; if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi; }

here=$(cd "$(dirname "$0")" && pwd)
. "$here/screen.sh"
W=FFFFFF; B=000000

# Two X servers on displays they say are free: the program's panel needs
# one of its own size, jalv's window (with its menu) a larger one.
xvfb_start 24 "$work/xvfb-panel.log" || skip "Xvfb did not start"
started+=($xvfb_pid)
panel_display=$display
xvfb_start 24 "$work/xvfb-host.log" 1280x1024 || skip "Xvfb did not start"
started+=($xvfb_pid)
host_display=$display

export JACK_DEFAULT_SERVER=plui$$
jack_start || { cat "$work/jackd.log"; skip "the JACK server did not start"; }

# --- The program's panel at its start values.
cp "$build/synth.bmp" "$work/"
(cd "$work" && DISPLAY=$panel_display exec "$build/synth" >synth.out 2>synth.err) &
synth_pid=$!
started+=($synth_pid)
export DISPLAY=$panel_display
wait_for_px panel 563 30 $W || { echo "FAIL  the panel never came up"; cat "$work/synth.err"; exit 1; }
# The panel draws its own mouse pointer: into the empty bottom right corner with it.
xdotool mousemove 1016 760
settled panel
kill $synth_pid; wait $synth_pid 2>/dev/null

# --- The plugin in jalv.gtk3, its window embedded in jalv's. The host sets
# oscillator 3's pitch offset of instrument 1 to 10, and the upper fade point
# to 50, where the program's slider opens.
export DISPLAY=$host_display
# It starts in a folder holding one instrument file, where its file dialog opens.
mkdir -p "$work/files"
cp "$build/instruments/church-organ.zpk" "$work/files/organ.zpk"
(cd "$work/files" && LV2_PATH=$build/lv2 exec jalv.gtk3 -c i1_frq3=10 -c fade2=50 urn:synth:additive) >"$work/jalv.out" 2>&1 &
jalv_pid=$!
started+=($jalv_pid)
find_window() { # awk pattern, tenths of a second to wait: sets $window to the first window it matches
  window=""
  for _ in $(seq "$2"); do
    window=$(xwininfo -root -tree 2>/dev/null | awk "$1 {print \$1; exit}")
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  return 1
}
find_window '/"DISTRHO-synth"/' 100 || { echo "FAIL  the plugin's window never came up"; cat "$work/jalv.out"; exit 1; }
geometry() { xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width/ {w=$NF} /Height/ {h=$NF} END {print w, h, x, y}'; }
read -r ww wh wx wy < <(geometry)
check "the window is 1024 x 768" test "$ww x $wh" = "1024 x 768"
window_shot() { # name: the plugin's window alone, once it stopped changing
  settled "$1-root"
  read -r ww wh wx wy < <(geometry) # the host may have moved it
  convert "$work/$1-root.png" -crop "1024x768+$wx+$wy" +repage "$work/$1.png"
}
for _ in $(seq 100); do window_shot ui; is_px ui 563 30 $W && break; sleep 0.1; done
differ=$(compare -metric AE "$work/panel.png" "$work/ui.png" null: 2>&1 | cut -d' ' -f1)
echo "the window and the program's panel differ in $differ of 786432 pixels"
check "the window looks as the panel (at most 3 % of the pixels differ)" test "$differ" -le 23592
# Oscillator 3's pitch-offset slider (x 140) stands at position 60 in the
# window (its handle's body over y 177..183) and at 50 on the panel.
check "a value the host sets moves its slider" is_px ui 142 180 $W
check "   (where the panel's slider has none)" is_px panel 142 180 $B
elsewhere_same() { # the window and the panel outside that slider and the corner with the pointer
  for g in 140x768+0+0 874x738+150+0 844x30+150+738 10x100+140+0 10x468+140+300; do same_region ui panel $g 0 || return 1; done
}
check "   and nothing else differs" elsewhere_same

# --- Sound: a keyboard holds note 60 into the plugin, jack_tap listens.
jack_midiseq plui_seq 44100 0 60 44000 >"$work/midiseq.log" 2>&1 &
started+=($!)
for _ in $(seq 100); do
  jack_connect plui_seq:out synth:lv2_events_in 2>/dev/null && break
  sleep 0.1
done
for port in 1 2; do jack_connect synth:lv2_audio_out_$port system:playback_$port 2>/dev/null; done
listen() { # the rms of a clean second (taken again when the server lost a cycle, up to 5 times)
  for _ in $(seq 5); do
    read -r _ _ _ rms _ _ _ xruns < <("$build/tools/jack_tap" 1)
    [ "${xruns:-1}" = 0 ] && { echo "$rms"; return 0; }
  done
  echo "broken"
}
before=$(listen)
echo "held note before the drag: rms $before"
check "the plugin plays the held note" awk -v r="$before" 'BEGIN { exit !(r != "broken" && r > 100) }'
read -r ww wh wx wy < <(geometry)
# Instrument 1's first volume slider (x 0..9, y 100..299) from the top to below its bottom.
xdotool mousemove $((wx + 4)) $((wy + 104)) mousedown 1 sleep 0.05 mousemove $((wx + 4)) $((wy + 200)) \
  sleep 0.05 mousemove $((wx + 4)) $((wy + 320)) sleep 0.05 mouseup 1
sleep 0.5
after=$(listen)
echo "held note after the drag: rms $after"
check "the dragged volume reaches the plugin: silence" awk -v r="$after" 'BEGIN { exit !(r != "broken" && r == 0) }'
window_shot dragged
# Its handle's body (x 2..7 beside the slot at 4..6) over y 293..299.
check "the dragged slider stands at the bottom" is_px dragged 2 296 $W

# Load 1 opens the file dialog, which lists the one file; a double click on
# it loads the organ into instrument 1: its first volume goes back up, and
# the held note sounds again.
xdotool mousemove $((wx + 50)) $((wy + 330)) mousedown 1 sleep 0.05 mouseup 1 # Save 1: no dialog without a desktop
xdotool mousemove $((wx + 150)) $((wy + 330)) mousedown 1 sleep 0.05 mouseup 1
jalv_window=$window
find_window '/"Load instrument"/' 100
dialog=$window window=$jalv_window
check "Load opens a file dialog" test -n "$dialog"
if [ -n "$dialog" ]; then
  read -r _ _ dx dy < <(window="$dialog" geometry)
  sleep 0.5
  xdotool mousemove $((dx + 140)) $((dy + 58)) click --repeat 2 --delay 80 1
  sleep 1
  window_shot loaded
  # The organ's first volume, 0.14, puts that handle over y 266..272.
  check "the loaded organ's first volume moves its slider" is_px loaded 2 269 $W
  check "   from the bottom" is_px loaded 2 296 $B
  loaded=$(listen)
  echo "held note after the load: rms $loaded"
  check "the loaded instrument reaches the plugin: sound" awk -v r="$loaded" 'BEGIN { exit !(r != "broken" && r > 100) }'
fi
check "Save without a file dialog says so" grep -q "no file dialog to save" "$work/jalv.out"

# Idle: what the host with the window shown takes while nothing changes
# (the plugin's own audio processing included).
t0=$(awk '{print $14 + $15}' /proc/$jalv_pid/stat); sleep 3
t1=$(awk '{print $14 + $15}' /proc/$jalv_pid/stat)
echo "jalv.gtk3 with the window shown, idle: $(( (t1 - t0) * 100 / $(getconf CLK_TCK) / 3 )) % of one core over 3 s"

kill $jalv_pid; wait $jalv_pid 2>/dev/null

# --- The CLAP plugin's window in our own CLAP host: the panel at the
# plugin's start values, where only the upper fade point's slider stands
# elsewhere than on the program's panel (at 90, the setting's value).
clap_shot() { # name, command...: the window that the command shows, alone
  local name=$1; shift
  "$@" >"$work/$name.out" 2>&1 &
  local pid=$!
  started+=($pid)
  find_window '/1024x768\+/' 300 || { cat "$work/$name.out"; return 1; }
  for _ in $(seq 100); do window_shot "$name"; is_px "$name" 563 30 $W && break; sleep 0.1; done
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
  sleep 0.5
}
but_fade2_same() { # two shots alike but for the upper fade point's slider (and the pointer's corner)
  for g in 1024x20+0+0 1024x708+0+30 150x10+0+20 474x10+550+20 844x30+150+738; do same_region "$1" "$2" $g 0 || return 1; done
}
if clap_shot clap "$build/tools/clap_window" "$build/clap/synth.clap" 30; then
  check "the CLAP window is 1024 x 768" test "$ww x $wh" = "1024 x 768"
  check "the CLAP window looks as the panel" but_fade2_same clap panel
else
  check "the CLAP window came up" false
fi
if [ -n "$windows" ]; then
  /usr/lib/wine/wineserver -k 2>/dev/null # a Wine server started without this display reaches none
  if clap_shot clap-windows "$here/../scripts/wine.sh" "$windows/tools/clap_window.exe" \
       "Z:$(echo "$windows/clap/synth.clap" | tr / '\\')" 60; then
    check "under Wine the Windows CLAP window is 1024 x 768" test "$ww x $wh" = "1024 x 768"
    check "under Wine the Windows CLAP window shows the same pixels" same_region clap-windows clap 1024x768+0+0 0
  else
    check "under Wine the Windows CLAP window came up" false
  fi
fi

echo "screenshots: $work"
[ $failures -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
