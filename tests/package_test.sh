#!/usr/bin/env bash
# The Debian package: cpack makes it from the build folder, its control data
# declares the libraries the programs are linked with, apt can satisfy every
# dependency, and once installed its synth-render plays the installed tune
# with installed factory instruments. On CI (CI=true, as root, a machine of
# its own) the package is installed into the machine with apt and removed
# again; elsewhere into a scratch root, so that a shared machine is left alone.
#
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/synth-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/log" 2>&1 || { cat "$work/log"; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name 'synth_*.deb')
[ -n "$deb" ] || fail "cpack made no synth_*.deb"
[ "$(dpkg-deb -f "$deb" Package)" = synth ] || fail "the package is not called synth"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 liballegro4.4 libportaudio2 librtmidi6 libjack-jackd2-0 libsndfile1; do
  grep -q "$lib" <<<"$depends" || fail "Depends does not name $lib: $depends"
done
apt-get install --simulate --no-install-recommends "$deb" >"$work/log" 2>&1 ||
  { cat "$work/log"; fail "apt cannot satisfy the package's dependencies"; }

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  root=""
  apt-get install -y -qq --no-install-recommends "$deb" >"$work/log" 2>&1 ||
    { cat "$work/log"; fail "apt-get install failed"; }
  trap 'dpkg -r synth >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  man -w synth-render >/dev/null || fail "man does not find synth-render(1)"
else
  root=$work/root
  mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
  touch "$root/var/lib/dpkg/status"
  force=--force-depends
  [ "$(id -u)" -eq 0 ] || force="$force,not-root"
  dpkg --root="$root" "$force" -i "$deb" >"$work/log" 2>&1 || { cat "$work/log"; fail "dpkg -i failed"; }
fi
dpkg --root="${root:-/}" -s synth | grep -q '^Status: install ok installed' || fail "dpkg does not list synth as installed"
for f in /usr/bin/synth /usr/bin/synth-render /usr/share/synth/synth.bmp /usr/share/applications/synth.desktop \
         /usr/share/man/man1/synth.1.gz /usr/share/icons/hicolor/scalable/apps/synth.svg; do
  dpkg --root="${root:-/}" -L synth | grep -qx "$f" || fail "the package does not hold $f"
done

share=$root/usr/share/synth
"$root/usr/bin/synth-render" --quiet --i1 "$share/instruments/electric-piano.zpk" \
  --i2 "$share/instruments/string-ensemble.zpk" --mode split "$share/demo.mid" "$work/demo.wav" ||
  fail "the installed synth-render failed"
[ "$(stat -c %s "$work/demo.wav")" -gt 1000000 ] || fail "the rendered tune is too short"
echo "package_test: $(basename "$deb") installed${root:+ into a scratch root} and played"
