#!/usr/bin/env bash
# The Debian package: cpack makes it from the build folder, the same bytes
# each time; lintian finds no error and no warning in it; its control data
# declares the libraries the programs are linked with and asks for nothing
# graphical; apt can satisfy every dependency; once installed every part
# tells the package's version, and its synth-render plays the installed tune
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
(cd "$build" && cpack -G DEB -B "$work/again") >"$work/log" 2>&1 || { cat "$work/log"; fail "cpack failed"; }
cmp -s "$deb" "$work/again/$(basename "$deb")" || fail "two cpack runs on one build made different packages"
rm -rf "$work/again"

command -v lintian >/dev/null || fail "lintian is not installed (scripts/deps.sh installs it)"
lintian --pedantic --fail-on error,warning "$deb" >"$work/lintian" 2>"$work/log" ||
  { cat "$work/lintian" "$work/log"; fail "lintian: errors or warnings"; }
[ ! -s "$work/lintian" ] || { echo "package_test: lintian, informational:"; cat "$work/lintian"; }
[ -z "$(dpkg-deb -f "$deb" Recommends)" ] || fail "the package recommends $(dpkg-deb -f "$deb" Recommends)"
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
  # Unpacked only: a scratch root has no shell for the maintainer scripts
  # (CPack's ldconfig call, see dist/lintian-overrides) to run in.
  dpkg --root="$root" "$force" --unpack "$deb" >"$work/log" 2>&1 || { cat "$work/log"; fail "dpkg --unpack failed"; }
fi
state=installed
[ -z "$root" ] || state=unpacked
dpkg --root="${root:-/}" -s synth | grep -q "^Status: install ok $state" || fail "dpkg does not list synth as $state"
for f in /usr/bin/synth /usr/bin/synth-render /usr/share/synth/synth.bmp /usr/share/applications/synth.desktop \
         /usr/share/man/man1/synth.1.gz /usr/share/icons/hicolor/scalable/apps/synth.svg \
         /usr/lib/vst3/synth.vst3/Contents/x86_64-linux/synth.so /usr/lib/clap/synth.clap; do
  dpkg --root="${root:-/}" -L synth | grep -qx "$f" || fail "the package does not hold $f"
done

# One version everywhere: the package's without its Debian revision.
version=$(dpkg-deb -f "$deb" Version)
version=${version%%-*}
IFS=. read -r _ minor micro <<<"$version"
while IFS='|' read -r what text want; do
  grep -qF -- "$want" <<<"$text" || fail "$what does not tell version $version: $text"
done <<TOLD
synth --version|$("$root/usr/bin/synth" --version)|synth $version
synth-render --version|$("$root/usr/bin/synth-render" --version)|synth-render $version
synth(1)|$(zcat "$root/usr/share/man/man1/synth.1.gz" | head -1)|"synth $version"
synth-render(1)|$(zcat "$root/usr/share/man/man1/synth-render.1.gz" | head -1)|"synth $version"
the plugin|$(grep -o 'lv2:m[a-z]*Version [0-9]*' "$root/usr/lib/lv2/synth.lv2/synth.ttl" | sort | tr '\n' ' ')|lv2:microVersion $micro lv2:minorVersion $minor
TOLD
for page in synth synth-render; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | head -1 | grep -qE '^\.TH [A-Z-]+ 1 "[0-9]{4}-[0-9]{2}-[0-9]{2}"' ||
    fail "$page(1) has no date"
done

share=$root/usr/share/synth
"$root/usr/bin/synth-render" --quiet --i1 "$share/instruments/electric-piano.zpk" \
  --i2 "$share/instruments/string-ensemble.zpk" --mode split "$share/demo.mid" "$work/demo.wav" ||
  fail "the installed synth-render failed"
[ "$(stat -c %s "$work/demo.wav")" -gt 1000000 ] || fail "the rendered tune is too short"
echo "package_test: $(basename "$deb") installed${root:+ into a scratch root} and played"
