#!/usr/bin/env bash
# End-to-end test of the program build/synth on a real X server (Xvfb) with
# real input events (xdotool) and a JACK server on the dummy back-end.
#
# Usage: panel_e2e.sh BUILD_DIR
# Exits 77 (skipped) when the program or a tool is missing. Screenshots go to
# a temporary folder under /tmp, printed at the end; they never enter the
# repository.
set -uo pipefail

build=$(cd "${1:?usage: panel_e2e.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
synth=$build/synth

skip() { echo "SKIPPED: $*"; exit 77; }
[ -x "$synth" ] || skip "no $synth (the sound and MIDI layers are not built)"
[ -x "$build/tools/jack_tap" ] || skip "no $build/tools/jack_tap"
for tool in Xvfb xdotool xwd xwininfo convert compare jackd jack_lsp jack_midiseq; do
  command -v $tool >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/synth-panel-e2e-XXXXXX)
failures=0
programs=()  # pids of the program runs (synth, or gdb running it)
started=()   # pids of the helpers and X servers this script started
jackd_pid=""
# The JACK server goes last, once no client of its own is left: killed with
# clients still attached it leaves its entry in JACK's machine-wide table of
# servers, which holds only eight.
stop_all() {
  for p in "${programs[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${programs[@]}"; do wait "$p" 2>/dev/null; done
  for p in "${started[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${started[@]}"; do wait "$p" 2>/dev/null; done
  if [ -n "$jackd_pid" ]; then kill "$jackd_pid" 2>/dev/null; wait "$jackd_pid" 2>/dev/null; fi
}
trap stop_all EXIT

check() { # description, then a command that succeeds when the check holds
  local what=$1; shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}

# --- No display at all: a message on stderr and status 1.
(cd "$work" && env -u DISPLAY ASAN_OPTIONS=detect_leaks=0 "$synth" >no-display.out 2>no-display.err)
status=$?
check "without a display the program ends with status 1" test $status -eq 1
check "without a display it says so on stderr" grep -qi "display" "$work/no-display.err"

# --- An X server of our own, on a display it finds free.
. "$(dirname "$0")/screen.sh"
xn=0
start_x() { # depth: sets $display
  xn=$((xn + 1))
  xvfb_start "$1" "$work/xvfb$xn.log" || return 1
  started+=($xvfb_pid)
}
start_x 24 || { cat "$work/xvfb1.log"; skip "Xvfb did not start"; }
export DISPLAY=$display

# --- A JACK server of our own on the dummy back-end.
export JACK_DEFAULT_SERVER=pan$$
jack_start || { cat "$work/jackd.log"; skip "the JACK server did not start"; }

# --- Helpers.
# After each press the pointer rests on an empty spot, so that no row keeps
# the focus outline that follows the pointer.
press() { xdotool mousemove "$1" "$2" mousedown 1 sleep 0.05 mouseup 1 sleep 0.05 mousemove 1000 400; settled; }
drag() { xdotool mousemove "$1" "$2" mousedown 1 sleep 0.05 mousemove "$3" "$4" sleep 0.05 mouseup 1 sleep 0.05 mousemove 1000 400; settled; }
# The panel apart from the "Save"/"Load" buttons, whose pressed look a click toggles.
sliders_same() { same_region "$1" "$2" 1024x310+0+0 0 && same_region "$1" "$2" 1024x230+0+480 0; }
# The file selector's frame crosses (650, 144), black on the panel.
selector_up() { wait_for_px "$1" 650 144 $W || echo "the file selector did not open"; settled "$1"; }
selector_gone() { wait_for_px "$1" 650 144 $B || echo "the file selector did not close"; settled "$1"; }
file_word() { # file, byte offset: the signed little-endian 32-bit integer there
  od -An -t d4 -j "$2" -N 4 "$1" | tr -d ' '
}
W=FFFFFF; B=000000

# A keyboard on the JACK server, holding note 60 (523 Hz here) nearly all the
# time: every second a note-on, and a release only for the last 100 frames.
jack_midiseq pan_seq 44100 0 60 44000 >"$work/midiseq.log" 2>&1 &
started+=($!)
for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -q '^pan_seq:' && break; sleep 0.1; done

# --- Start the program where its picture is, under gdb when there is one so
# that the order of the shutdown calls can be seen.
cp "$build/synth.bmp" "$work/"
cat >"$work/gdb.cmds" <<'GDB'
set pagination off
set confirm off
handle SIGPIPE SIGUSR1 SIGUSR2 SIG32 SIG33 SIG34 nostop noprint pass
break live_session::close_stream
commands
silent
echo CALL stream-close\n
continue
end
break live_session::close_midi
commands
silent
echo CALL midi-close\n
continue
end
break live_session::close
commands
silent
echo CALL sound-close\n
continue
end
run
GDB
cd "$work"
# gdb is used only where it may trace programs (containers often forbid it).
use_gdb=no
if command -v gdb >/dev/null && gdb -q -batch -ex run --args /bin/true 2>&1 | grep -q 'exited normally'; then
  use_gdb=yes
fi
if [ $use_gdb = yes ]; then
  ASAN_OPTIONS=detect_leaks=0 gdb -q -batch -x gdb.cmds --args "$synth" >synth.out 2>synth.err &
else
  ASAN_OPTIONS=detect_leaks=0 "$synth" >synth.out 2>synth.err &
fi
spid=$!
programs+=($spid)

# The panel is up once its last row, the caption "transpose", is drawn.
if ! wait_for_px start 563 30 $W; then
  echo "FAIL  the panel never came up"; cat synth.err; exit 1
fi
settled start
check "start: black background"            is_px start 512 400 $B
check "start: black between the blocks"    is_px start 700 360 $B
check "start: a white volume slider rail"  is_px start 45 200 $W
check "start: the transpose slider"        is_px start 300 35 $W
check "start: \"instr 1\" has its dot"     is_px start 5 5 $W
check "start: \"split\" has no dot"        is_px start 5 25 $B
check "start: the picture, top right"      is_px start 883 34 $W
check "start: the picture's black corner"  is_px start 1023 59 $B
check "start: instrument 2's Load button"  is_px start 113 723 $W
check "start: both blocks alike"           same_region start start 1024x250+0+90 400

# Idle: how much processor the panel takes while nothing happens.
if [ -r /proc/$(pgrep -n -f "^$synth" || echo 0)/stat ]; then
  ppid_synth=$(pgrep -n -f "^$synth")
  t0=$(awk '{print $14 + $15}' /proc/$ppid_synth/stat); sleep 3
  t1=$(awk '{print $14 + $15}' /proc/$ppid_synth/stat)
  echo "idle panel with sound running: $(( (t1 - t0) * 100 / $(getconf CLK_TCK) / 3 )) % of one core over 3 s"
fi

# --- A slider dragged with the mouse changes the note being played.
tap=$build/tools/jack_tap
# One second of what the program plays, as "rms crossings_per_second". A take
# during which the server lost a cycle is broken and is taken again, up to
# five times; then the answer is "broken N", N the cycles lost in all, and the
# checks on it are skipped: they neither pass nor fail on a broken recording.
listen() {
  local lost=0 take f
  for take in 1 2 3 4 5; do
    read -r -a f <<<"$("$tap" 1)"  # frames N rms R crossings_per_second C xruns X
    if [ "${f[7]:-1}" = 0 ]; then echo "${f[3]} ${f[5]}"; return; fi
    lost=$((lost + ${f[7]:-1}))
    echo "take $take of 5 broken by the server (${f[7]:-?} xruns)" >&2
  done
  echo "broken $lost"
}
heard() { # description, rms or "broken", lost cycles, then the check's command
  if [ "$2" = broken ]; then
    echo "skip  $1: no clean take in 5 (the JACK server lost cycles $3 times)"
  else
    check "$1" "${@:4}"
  fi
}
read -r rms1 cps1 <<<"$(listen)"
echo "note 60 before the drag: rms $rms1, $cps1 crossings per second"
heard "the held note sounds" "$rms1" "$cps1" awk -v r="${rms1:-0}" 'BEGIN { exit !(r > 100) }'
heard "at its pitch (523 Hz)" "$rms1" "$cps1" awk -v c="${cps1:-0}" 'BEGIN { exit !(c > 480 && c < 560) }'
drag 25 200 25 150   # frequency slider of oscillator 0 from its middle up
read -r rms2 cps2 <<<"$(listen)"
echo "after the drag: rms $rms2, $cps2 crossings per second"
[ "$rms1" = broken ] && rms2=broken cps2=$cps1
heard "the dragged frequency slider raised the pitch" "$rms2" "$cps2" \
  awk -v a="${cps1:-0}" -v b="${cps2:-0}" 'BEGIN { exit !(a > 0 && b > 1.5 * a) }'
drag 5 102 5 299     # volume slider of oscillator 0 from the top to the bottom
read -r rms3 cps3 <<<"$(listen)"
echo "after the volume drag: rms $rms3"
heard "the dragged volume slider silenced the note" "$rms3" "$cps3" awk -v r="${rms3:-1}" 'BEGIN { exit !(r < 1) }'
press 5 102          # and back to full volume
press 25 200         # and the frequency back to about its middle
shot played

# --- Mode buttons.
press 30 23; shot split
check "\"split\" clicked: its dot drawn"        is_px split 5 25 $W
check "\"split\" clicked: \"instr 1\" cleared"  is_px split 5 5 $B
press 30 23; shot split-again
check "clicking the selected button changes nothing" same_region split split-again 1024x768+0+0 0

# --- Save instrument 1 through the file selector, typing a name.
press 145 150    # frequency slider of oscillator 3 up
press 505 100    # wave type of oscillator 0 to the top
xdotool mousemove 50 330; settled  # the focus follows the pointer onto "Save"
shot edited
check "the sliders moved" test "$(region_diff start edited 1024x250+0+90 0)" != 0
press 50 330     # "Save" of instrument 1
selector_up selector
xdotool type --delay 0 piano1; xdotool key Return
selector_gone saved
check "saved under the typed name, exactly" test -f "$work/piano1"
check "the file is 192 bytes" test "$(stat -c %s "$work/piano1" 2>/dev/null)" = 192
check "wave type 3 stored" test "$(file_word "$work/piano1" 8)" = 3
f3=$(file_word "$work/piano1" 48)
check "frequency setting of oscillator 3 stored ($f3)" test "${f3:-0}" -gt 10 -a "${f3:-0}" -le 50
check "attack length 100 stored" test "$(file_word "$work/piano1" 160)" = 100
check "reserved word 9 stored" test "$(file_word "$work/piano1" 168)" = 9
check "fade length -1 stored" test "$(file_word "$work/piano1" 188)" = -1
check "the panel is back as it was" sliders_same edited saved

# --- Load it into instrument 2.
press 160 730    # "Load" of instrument 2
selector_up selector2
xdotool type --delay 0 piano1; xdotool key Return
selector_gone loaded
check "instrument 2's sliders moved like instrument 1's" same_region loaded loaded 1000x210+0+95 400
check "instrument 1's block is untouched" same_region saved loaded 1024x310+0+0 0

# --- A cancelled selector shows nothing and changes nothing.
files_before=$(ls | grep -v "\.png$")
press 50 730
selector_up selector3
xdotool key Escape
selector_gone cancelled
check "a cancelled save leaves the panel as it was" sliders_same loaded cancelled
check "a cancelled save writes no file" test "$(ls | grep -v "\.png$")" = "$files_before"

# --- A load that fails: one alert, and nothing changes.
head -c 12 piano1 >bad.zpk
press 160 330
selector_up selector4
xdotool type --delay 0 bad.zpk; xdotool key Return
check "a failed load shows an alert" wait_for_px alert 512 352 $W
settled alert
xdotool key Return
wait_for_px after-alert 512 352 $B
settled after-alert
check "after the alert the panel and instrument 1 are as they were" sliders_same cancelled after-alert

# --- Escape ends the program: status 0, the stream closed before MIDI, before the sound library.
xdotool key Escape
for _ in $(seq 100); do kill -0 $spid 2>/dev/null || break; sleep 0.1; done
if kill -0 $spid 2>/dev/null; then
  echo "FAIL  Escape did not end the program"; failures=$((failures + 1)); kill $spid
fi
wait $spid; status=$?
check "Escape: the program ends with status 0" test $status -eq 0
if [ $use_gdb = yes ]; then
  check "Escape: exit status 0 as gdb saw it" grep -q "exited normally" synth.out
  order=$(grep '^CALL ' synth.out | tr '\n' ' ')
  check "shutdown order: stream, MIDI, sound library ($order)" test "$order" = "CALL stream-close CALL midi-close CALL sound-close "
fi

# --- No sound output at all (no JACK server by that name, and no ALSA device
# on a machine without a sound card): one box, caption "SetOutput" and text
# "Error", drawn on the panel's screen, and a line on standard error naming
# the outputs tried and why each failed; it is dismissed once with the keyboard
# and once with the mouse on its OK button, and rests while it waits. Once it
# is dismissed the panel comes up all the same, and the sound library's error
# code is on standard output.
centre_lit() { # image name: any light pixel in the middle of the screen
  [ "$(convert "$work/$1.png" -crop 400x200+312+284 +repage -format '%[fx:maxima.r > 0.5]' info:)" = 1 ]
}
for how in keyboard mouse; do
  JACK_DEFAULT_SERVER=pan-none-$$ ASAN_OPTIONS=detect_leaks=0 "$synth" >nosound.out 2>nosound.err &
  npid=$!
  programs+=($npid)
  boxed=no
  for _ in $(seq 100); do
    shot nosound-$how
    if is_px nosound-$how 3 323 $W; then break; fi          # the panel is up: no box came
    if centre_lit nosound-$how; then boxed=yes; break; fi
    sleep 0.1
  done
  if [ $boxed = yes ]; then
    grep -q "SetOutput" nosound.err; box_logged=$?
    check "no sound output: the box reads \"SetOutput\" / \"Error\"" test $box_logged -eq 0
    check "no sound output: standard error names each output tried, with its reason" \
      grep -qx "synth: no sound: no JACK server answers; no ALSA output device" nosound.err
    if [ $how = keyboard ]; then
      xdotool key Return
    else
      sleep 0.5
      t0=$(awk '{print $14 + $15}' /proc/$npid/stat); sleep 2
      t1=$(awk '{print $14 + $15}' /proc/$npid/stat)
      echo "the box waiting: $(( (t1 - t0) * 100 / $(getconf CLK_TCK) / 2 )) % of one core over 2 s"
      press 511 399  # its OK button, in the middle of the screen
    fi
    check "no sound output: the panel comes up after the box is dismissed with the $how" \
      wait_for_px nosound-panel-$how 3 323 $W
    check "no sound output: an error code on standard output" grep -qE '^-?[0-9]+$' nosound.out
    xdotool key Escape
  else
    echo "skip  no sound output: this machine has a sound output of its own"
    xdotool key Escape
  fi
  for _ in $(seq 100); do kill -0 $npid 2>/dev/null || break; sleep 0.1; done
  kill -0 $npid 2>/dev/null && kill $npid
  wait $npid; status=$?
  check "no sound output: Escape still ends the program with status 0" test $status -eq 0
  [ $boxed = yes ] || break
done

# --- A screen that refuses full-screen (another client holds the grabs): the
# panel opens in a 1024x768 window, and the window's close button leaves it
# as Escape does.
"$build/tools/x_window" grab >grab.out 2>&1 &
gpid=$!
started+=($gpid)
for _ in $(seq 50); do grep -q grabbed grab.out && break; sleep 0.1; done
# This run starts in a folder without the picture: its corner stays black.
mkdir -p "$work/no-picture"
(cd "$work/no-picture" && ASAN_OPTIONS=detect_leaks=0 exec "$synth") >window.out 2>window.err &
wpid=$!
programs+=($wpid)
check "windowed: the panel comes up" wait_for_px window 3 323 $W
check "windowed: in a 1024x768 window of its own" \
  sh -c "xwininfo -root -tree | grep '\"synth\"' | grep -q ' 1024x768+0+0'"
check "windowed: no failure message" test ! -s window.out
check "without synth.bmp the picture's corner shows nothing" is_px window 883 34 $B
"$build/tools/x_window" close synth
for _ in $(seq 100); do kill -0 $wpid 2>/dev/null || break; sleep 0.1; done
if kill -0 $wpid 2>/dev/null; then
  echo "FAIL  the close button did not end the program"; failures=$((failures + 1)); kill $wpid
fi
wait $wpid; status=$?
check "windowed: the close button ends the program with status 0" test $status -eq 0
kill $gpid

# --- A desktop of 16 bits per pixel: the screen takes that depth and the
# panel is still white on black.
if start_x 16; then
  (export DISPLAY=$display; ASAN_OPTIONS=detect_leaks=0 exec "$synth") >depth16.out 2>depth16.err &
  hpid=$!
  programs+=($hpid)
  up16=no
  DISPLAY=$display wait_for_px depth16 3 323 $W && up16=yes
  check "16 bits per pixel: the panel comes up" test $up16 = yes
  if [ $up16 = yes ]; then
    DISPLAY=$display settled depth16
    check "16 bits per pixel: white sliders" is_px depth16 45 200 $W
    check "16 bits per pixel: on black" is_px depth16 512 400 $B
    check "16 bits per pixel: the picture" is_px depth16 883 34 $W
  fi
  DISPLAY=$display xdotool key Escape
  for _ in $(seq 100); do kill -0 $hpid 2>/dev/null || break; sleep 0.1; done
  kill -0 $hpid 2>/dev/null && kill $hpid
  wait $hpid; status=$?
  check "16 bits per pixel: Escape ends the program with status 0" test $status -eq 0
fi

# --- A desktop of 8 bits per pixel: one box, and the program ends with
# status 1, as no panel ran.
if start_x 8; then
  DISPLAY=$display ASAN_OPTIONS=detect_leaks=0 "$synth" >depth.out 2>depth.err &
  dpid=$!
  programs+=($dpid)
  box=""
  for _ in $(seq 100); do
    box=$(DISPLAY=$display xdotool search --name '^Error$' 2>/dev/null | head -1)
    [ -n "$box" ] && break; sleep 0.1
  done
  check "8 bits per pixel: a box captioned \"Error\"" test -n "$box"
  check "8 bits per pixel: it reads \"Needs 16, 24, or 32 bit color\"" grep -q "Needs 16, 24, or 32 bit color" depth.err
  [ -n "$box" ] && DISPLAY=$display xdotool key --window "$box" Return 2>/dev/null
  for _ in $(seq 100); do kill -0 $dpid 2>/dev/null || break; sleep 0.1; done
  kill -0 $dpid 2>/dev/null && kill $dpid
  wait $dpid; status=$?
  check "8 bits per pixel: the program ends with status 1" test $status -eq 1
fi

echo "screenshots: $work"
[ $failures -eq 0 ] || { echo "$failures check(s) failed"; cat synth.err; exit 1; }
