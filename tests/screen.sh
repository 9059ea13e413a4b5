# Screenshots of the X display in $DISPLAY, as $work/NAME.png, and what
# the panel tests ask of them; the X and JACK servers they start. Sourced by
# the panel tests; $work is theirs.
shot() { xwd -root -silent | convert xwd:- "$work/$1.png"; }
px() { convert "$work/$1.png" -crop "1x1+$2+$3" +repage -format '%[hex:p{0,0}]' info: 2>/dev/null | cut -c1-6; }
is_px() { [ "$(px "$1" "$2" "$3")" = "$4" ]; }
region_diff() { # image, image, WxH+X+Y of the first, Y offset of the second
  local g=$3 dy=$4 w h x y
  IFS='x+' read -r w h x y <<<"$g"
  convert "$work/$1.png" -crop "$g" +repage "$work/r1.png"
  convert "$work/$2.png" -crop "${w}x${h}+${x}+$((y + dy))" +repage "$work/r2.png"
  compare -metric AE "$work/r1.png" "$work/r2.png" null: 2>&1 | cut -d' ' -f1
}
same_region() { [ "$(region_diff "$@")" = 0 ]; }
# Takes screenshots until two in a row are the same (up to 50), keeping the
# last as the given name: the panel has drawn all that the input changed.
settled() {
  local name=${1:-settling}
  shot "$name"
  for _ in $(seq 50); do
    shot "$name-next"
    if [ "$(compare -metric AE "$work/$name.png" "$work/$name-next.png" null: 2>&1 | cut -d' ' -f1)" = 0 ]; then
      rm -f "$work/$name-next.png"; return 0
    fi
    mv "$work/$name-next.png" "$work/$name.png"
  done
  return 1
}
wait_for_px() { # image name, x, y, colour: until the screen shows it (10 s)
  for _ in $(seq 100); do shot "$1"; is_px "$1" "$2" "$3" "$4" && return 0; sleep 0.1; done
  return 1
}
# Starts Xvfb at 1024 x 768 and the given depth on a display the server itself
# finds free (-displayfd: it binds the first number no other server holds,
# also one in another container sharing the abstract socket, and writes it
# once it accepts clients); output to the given log. Sets $display (":N")
# and $xvfb_pid, or returns 1 with the server gone.
xvfb_start() { # depth, log file[, size WxH, 1024x768 unless given]
  local said="$work/xvfb-display-$RANDOM" n=""
  : >"$said"
  Xvfb -displayfd 3 -screen 0 "${3:-1024x768}x$1" -nolisten tcp -noreset 3>"$said" >"$2" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    read -r n <"$said" && [ -n "$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$said"
  if [ -n "$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then display=:$n; return 0; fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
  display=""; xvfb_pid=""; return 1
}

# A JACK server of the test's own, named $JACK_DEFAULT_SERVER, on the dummy
# back-end at 44100 Hz and 1024 frames; sets jackd_pid. JACK allows only a
# few servers per machine at once: when other tests hold them all, it tries
# again (15 times).
jack_start() {
  local jpid
  jackd_pid=""
  for _ in $(seq 15); do
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 1024 >"$work/jackd.log" 2>&1 &
    jpid=$!
    for _ in $(seq 100); do
      jack_lsp >/dev/null 2>&1 && break
      kill -0 $jpid 2>/dev/null || break
      sleep 0.1
    done
    if jack_lsp >/dev/null 2>&1; then jackd_pid=$jpid; return 0; fi
    kill $jpid 2>/dev/null; wait $jpid 2>/dev/null
    sleep 2
  done
  return 1
}
