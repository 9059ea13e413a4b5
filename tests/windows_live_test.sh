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
#  - --audio mme opens an MME stream; a Linux --audio name is a bad option.
#  - On an X server of its own (Xvfb; skipped without Xvfb, xdotool, xwd or
#    ImageMagick's convert), synth.exe shows the panel, white on black with
#    its picture and its sliders where the Linux panel has them, and Escape
#    ends it with status 0. (The mouse is not tried: under Wine, Allegro reads
#    it as relative motion, and its pointer drifts away from the X pointer.)
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

(cd "$work" && "$wine" "$windows/synth.exe" --no-gui --audio alsa >bad.out 2>bad.err); rc=$?
check "--audio alsa is a bad option on Windows (status $rc)" test $rc -eq 2
check "... and the complaint names the Windows choices" grep -q 'wasapi, mme, none or auto' "$work/bad.err"

# --- The panel, on an X server of our own (the first free display of :90..:99).
panel() {
  local tool n display=""
  for tool in Xvfb xdpyinfo xdotool xwd convert compare; do
    command -v $tool >/dev/null || { echo "skip  the panel: $tool is not installed"; return 0; }
  done
  for n in 90 91 92 93 94 95 96 97 98 99; do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xpid=$!
    for _ in $(seq 100); do xdpyinfo -display :$n >/dev/null 2>&1 && break; sleep 0.1; done
    if xdpyinfo -display :$n >/dev/null 2>&1; then display=:$n; break; fi
    kill $xpid 2>/dev/null; wait $xpid 2>/dev/null; xpid=""
  done
  [ -n "$display" ] || { echo "skip  the panel: no free X display in :90..:99"; return 0; }
  # A Wine session draws through the display its first program had: the
  # runs above had none, so their session must be over first.
  WINEPREFIX=$prefix timeout 120 /usr/lib/wine/wineserver -w
  export DISPLAY=$display
  shot() { xwd -root -silent | convert xwd:- "$work/$1.png"; }
  px() { convert "$work/$1.png" -crop "1x1+$2+$3" +repage -format '%[hex:p{0,0}]' info: 2>/dev/null | cut -c1-6; }
  same() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 | cut -d' ' -f1)" = 0 ]; }
  # The panel but for its picture (the Linux build's has none where it runs
  # here): the strip of mode buttons and global sliders, and both blocks.
  sliders() { convert "$work/$1.png" -crop 820x60+0+0 +repage "$work/$1-top.png"
              convert "$work/$1.png" -crop 1024x680+0+60 +repage "$work/$1-bottom.png"; }
  # The Linux panel on the same display, for its sliders.
  (cd "$work" && exec "$linux/synth" --audio none >linux.out 2>linux.err) &
  pid=$!
  for _ in $(seq 300); do
    shot linux
    [ "$(px linux 3 323)" = FFFFFF ] && { shot linux-next; same linux linux-next && break; }
    sleep 0.1
  done
  xdotool key Escape
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=""
  sliders linux
  (cd "$work" && exec "$wine" "$windows/synth.exe" --audio none >panel.out 2>panel.err) &
  pid=$!
  # Up once the second instrument's last column is drawn (Wine draws the
  # panel slowly) and two screenshots in a row are the same (up to 2 minutes).
  local up=no
  for _ in $(seq 600); do
    shot panel
    if [ "$(px panel 855 650)" = FFFFFF ]; then
      shot panel-next
      same panel panel-next && { up=yes; break; }
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  check "the panel comes up on Xvfb" test $up = yes
  check "... white sliders" test "$(px panel 45 200)" = FFFFFF
  check "... on black" test "$(px panel 512 400)" = 000000
  check "... with the picture" test "$(px panel 883 34)" = FFFFFF
  sliders panel
  check "... its sliders where the Linux panel has them" \
    bash -c '[ "$(compare -metric AE "$1-top.png" "$2-top.png" null: 2>&1 | cut -d" " -f1)" = 0 ] &&
             [ "$(compare -metric AE "$1-bottom.png" "$2-bottom.png" null: 2>&1 | cut -d" " -f1)" = 0 ]' \
    _ "$work/panel" "$work/linux"
  xdotool key Escape
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  local rc=124
  if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; rc=$?; pid=""; fi
  check "Escape ends the program with status 0 (status $rc)" test $rc -eq 0
  unset DISPLAY
}
panel

[ $status -eq 0 ] || { echo "--- outputs:"; tail -n 5 "$work"/*.out; grep -hv ':trace:' "$work"/*.err | tail -n 20; }
exit $status
