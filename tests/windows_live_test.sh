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
#   tests/windows_live_test.sh WINDOWS_BUILD
set -uo pipefail
windows=$(realpath "$1")
wine=$(realpath "$(dirname "$0")/../scripts/wine.sh")
work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
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

[ $status -eq 0 ] || { echo "--- outputs:"; tail -n 5 "$work"/*.out; grep -hv ':trace:' "$work"/*.err | tail -n 20; }
exit $status
