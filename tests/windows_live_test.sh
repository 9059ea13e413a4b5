#!/usr/bin/env bash
# The Windows synth.exe under Wine, on an ALSA sink that discards the sound
# (an .asoundrc of the test's own, in a HOME of its own):
#  - --no-gui --audio auto opens a stream (WASAPI, or MME when WASAPI will
#    not have it), prints its start line and, on a Ctrl+C, shuts down and
#    exits 0. Wine hands a SIGINT sent to a console program to the program
#    as the console's CTRL_C_EVENT, through the handler the program set with
#    SetConsoleCtrlHandler: the same path as Ctrl+C in a Windows console.
#    Without that handler Wine's default one ends the process, with status 0
#    as well, so the run also shows (in Wine's own traces) that the default
#    handler did not run and that the program stopped its audio stream.
#  - --audio mme opens an MME stream; --list-devices lists both kinds of
#    output and the MIDI sources; a Linux --audio name is a bad option.
#  - On an X server of its own (Xvfb; skipped without Xvfb, xdotool, xwd or
#    ImageMagick's convert), synth.exe shows the panel, white on black with
#    its picture and its sliders where the Linux panel has them; a slider
#    dragged with the mouse and "Save" clicked write an instrument file with
#    the slider's new value and the rest as the panel began; Escape ends it
#    with status 0.
#   tests/windows_live_test.sh WINDOWS_BUILD LINUX_BUILD
set -uo pipefail
windows=$(realpath "$1") linux=$(realpath "$2")
wine=$(realpath "$(dirname "$0")/../scripts/wine.sh")
prefix=${WINEPREFIX:-$(realpath "$(dirname "$0")/..")/build-windows/wine} # as scripts/wine.sh has it
work=$(mktemp -d)
pid=""
xpid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/home"
echo 'pcm.!default { type null }' >"$work/home/.asoundrc"
export HOME=$work/home
unset DISPLAY
# fixme+console: Wine's default Ctrl+C handler says when it ends a process;
# trace+alsa: the audio client's calls, AudioClient_Stop among them.
export WINEDEBUG=-all,fixme+console,trace+alsa
status=0
. "$(dirname "$0")/screen.sh"
check() { # description, then a command that succeeds when the check holds
  local what=$1; shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; status=1; fi
}

# Starts synth.exe with the arguments given, in the background, and waits
# (bounded) for its start line or its end. Sets $pid.
start() { # name, arguments...
  local name=$1; shift
  (cd "$work" && exec "$wine" "$windows/synth.exe" "$@" >"$name.out" 2>"$name.err") &
  pid=$!
  for _ in $(seq 1200); do
    grep -q '^synth: ' "$work/$name.out" && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Sends Ctrl+C and waits (bounded) for the end; the exit status, or 124
# when the program did not end.
stop() {
  kill -INT "$pid"
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    return 124
  fi
  wait "$pid"
  local rc=$?
  pid=""
  return $rc
}

start auto --no-gui --audio auto
check "--no-gui --audio auto prints its start line" grep -q '^synth: ' "$work/auto.out"
check "... on a WASAPI or MME stream" grep -Eq '^synth: (WASAPI|MME) \(256-frame buffers, 44100 Hz\): audio to ' "$work/auto.out"
stop; rc=$?
check "... and exits 0 on Ctrl+C (status $rc)" test $rc -eq 0
check "... through its own handler, not Wine's default one" \
  bash -c '! grep -q default_ctrl_handler "$1"' _ "$work/auto.err"
check "... which stopped the stream" grep -q AudioClient_Stop "$work/auto.err"

start mme --no-gui --audio mme --rate 48000 --period 512
check "--no-gui --audio mme plays on MME at the rate and period given" \
  grep -Eq '^synth: MME \(512-frame buffers, 48000 Hz\): audio to ' "$work/mme.out"
stop; rc=$?
check "... and exits 0 on Ctrl+C (status $rc)" test $rc -eq 0

(cd "$work" && "$wine" "$windows/synth.exe" --list-devices >list.out 2>list.err); rc=$?
check "--list-devices lists WASAPI and MME outputs and WinMM MIDI sources (status $rc)" \
  bash -c '[ $1 = 0 ] && grep -q "^audio outputs (WASAPI" "$2" && grep -q "^audio outputs (MME" "$2" &&
           grep -q "^MIDI sources (WinMM)" "$2"' _ $rc "$work/list.out"

(cd "$work" && "$wine" "$windows/synth.exe" --no-gui --audio alsa >bad.out 2>bad.err); rc=$?
check "--audio alsa is a bad option on Windows (status $rc)" test $rc -eq 2
check "... and the complaint names the Windows choices" grep -q 'wasapi, mme, none or auto' "$work/bad.err"

# --- The mouse. In full screen under Wine, Allegro reads the mouse as
# relative motion, each move counted in half pixels and accelerated: a move
# of 16 pixels or more counts six times over, one of 5 or more three times.
# So the pointer is sent against the top-left corner, then moved in steps of
# 16 (48 of Allegro's pixels) and of 1 (half a pixel). Wine now and then
# merges small steps into an accelerated one or loses a step, so where the
# pointer ended is read back from the screen in the black band between the
# two blocks (y 342 to 485), and corrected.
pointer_in_band() { # "x y" of the pointer's tip, when it is in the band
  xwd -root -silent | convert xwd:- -crop 1021x144+0+342 +repage -format '%@' info: 2>/dev/null |
    awk -F'[x+]' '$1 > 0 && $1 < 30 { print $3, $4 + 342 }'
}
move_by() { # dx dy, in Allegro's pixels
  local dx=$1 dy=$2 sx=1 sy=1 i args=()
  step() { args+=(mousemove_relative -- "$1" "$2" sleep 0.01); }
  ((dx < 0)) && { sx=-1; dx=$((-dx)); }
  ((dy < 0)) && { sy=-1; dy=$((-dy)); }
  # Acceleration looks at the last move on the other axis too: a step of 1
  # back and forth after the big steps of each axis keeps it off the small ones.
  for ((i = 0; i < dx / 48; i++)); do step $((16 * sx)) 0; done; step 1 0; step -1 0
  for ((i = 0; i < dy / 48; i++)); do step 0 $((16 * sy)); done; step 0 1; step 0 -1
  for ((i = 0; i < 2 * (dx % 48); i++)); do step $sx 0; done
  for ((i = 0; i < 2 * (dy % 48); i++)); do step 0 $sy; done
  xdotool "${args[@]}"
}
move_home() {
  local i args=(mousemove 512 384 sleep 0.05)
  for i in $(seq 25); do args+=(mousemove_relative -- -16 -16 sleep 0.01); done
  xdotool "${args[@]}"
}
move_into_band() { # x y: the pointer there, exactly (six corrections at most)
  local at i
  move_home; move_by "$1" "$2"
  for i in 1 2 3 4 5 6; do
    sleep 0.2; at=$(pointer_in_band)
    [ "$at" = "$1 $2" ] && return 0
    if [ -z "$at" ]; then move_home; move_by "$1" "$2"
    else move_by $(($1 - ${at% *})) $(($2 - ${at#* })); fi
  done
  return 1
}
# The frequency slider of instrument 1's oscillator 0 (x 25, y 100 to 300,
# at its middle at first) dragged up from above its middle, then "Save"
# (x 2 to 98, y 322 to 338) clicked and a name typed into the file selector.
drag_and_save() {
  local try stored words rest
  shot before
  for try in 1 2 3; do
    move_into_band 25 345 || continue
    move_by 0 -205; sleep 0.2
    xdotool mousedown 1 sleep 0.3; move_by 0 -20; xdotool sleep 0.3 mouseup 1
    settled dragged
    same_region before dragged 20x210+15+95 0 || break
  done
  for try in 1 2 3; do
    move_into_band 50 345 || continue
    move_by 0 -13; xdotool sleep 0.2 mousedown 1 sleep 0.2 mouseup 1
    wait_for_px selector 650 144 FFFFFF && break
  done
  settled selector
  xdotool type --delay 50 piano1; xdotool key Return
  for _ in $(seq 100); do [ -s "$work/piano1" ] && break; sleep 0.1; done
  words=($(od -An -v -t d4 "$work/piano1" 2>/dev/null))
  stored=${words[0]:-0}
  check "a slider dragged up and \"Save\" clicked store its raised pitch offset ($stored)" \
    test ${#words[@]} = 48 -a "$stored" -gt 0 -a "$stored" -le 50
  rest="1000$(printf ' 0%.0s' $(seq 38)) 100 1000 9 100 1000 9 100 -1"
  check "... and the rest of the instrument as the panel began" test "${words[*]:1}" = "$rest"
}

# Starts synth.exe's panel and waits until it is up: its last row, the
# caption "transpose", drawn (Wine draws the panel slowly, and now and then
# stops a while) and two screenshots in a row the same (up to 2 minutes).
wine_panel() {
  (cd "$work" && exec "$wine" "$windows/synth.exe" --audio none >panel.out 2>panel.err) &
  pid=$!
  for _ in $(seq 600); do
    shot panel
    is_px panel 563 30 FFFFFF && settled panel && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
end_panel() { # Escape, and the status (124 when the program did not end)
  xdotool key Escape
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=""; return 124; }
  wait "$pid"; local rc=$?; pid=""; return $rc
}

# --- The panel, on an X server of our own (on a display it finds free).
panel() {
  local tool display=""
  for tool in Xvfb xdpyinfo xdotool xwd convert compare; do
    command -v $tool >/dev/null || { echo "skip  the panel: $tool is not installed"; return 0; }
  done
  xvfb_start 24 "$work/xvfb.log" || { echo "skip  the panel: Xvfb did not start"; return 0; }
  xpid=$xvfb_pid
  # A Wine session draws through the display its first program had: the
  # runs above had none, so their session must be over first.
  WINEPREFIX=$prefix timeout 120 /usr/lib/wine/wineserver -w
  export DISPLAY=$display
  # The panel but for its picture (the Linux build's has none where it runs
  # here) and the black band where the pointer starts: the strip of mode
  # buttons and global sliders, and both blocks.
  sliders_as_linux() { same_region panel linux 820x60+0+0 0 && same_region panel linux 1024x282+0+60 0 &&
                       same_region panel linux 1024x254+0+486 0; }
  # The Linux panel on the same display, for its sliders.
  (cd "$work" && exec "$linux/synth" --audio none >linux.out 2>linux.err) &
  pid=$!
  for _ in $(seq 300); do
    shot linux
    is_px linux 563 30 FFFFFF && settled linux && break
    sleep 0.1
  done
  xdotool key Escape
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=""
  local up take rc
  wine_panel; up=$?
  check "the panel comes up on Xvfb" test $up = 0
  check "... white sliders" test "$(px panel 45 200)" = FFFFFF
  check "... on black" test "$(px panel 512 400)" = 000000
  check "... with the picture" test "$(px panel 883 34)" = FFFFFF
  check "... its sliders where the Linux panel has them" sliders_as_linux
  # Now and then, with the machine busy, Allegro under Wine takes no mouse
  # input for a whole run (the keyboard works): the panel is started again.
  local answers=no
  for take in 1 2 3; do
    if ((up == 0)) && move_into_band 300 400; then answers=yes; break; fi
    ((take < 3)) || break
    echo "the mouse does not reach the panel (take $take): starting it again" >&2
    end_panel; wine_panel; up=$?
  done
  check "the mouse reaches the panel" test $answers = yes
  [ $answers = yes ] && drag_and_save
  end_panel; rc=$?
  check "Escape ends the program with status 0 (status $rc)" test $rc -eq 0
  unset DISPLAY
}
panel

[ $status -eq 0 ] || { echo "--- outputs:"; tail -n 5 "$work"/*.out; grep -hv ':trace:' "$work"/*.err | tail -n 20; }
exit $status
