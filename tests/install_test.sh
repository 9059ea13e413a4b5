#!/usr/bin/env bash
# `cmake --install` of the built tree, twice: under another prefix given at
# install time, and under DESTDIR with the prefix the build was configured
# for. Each time every file must be where it belongs, the desktop entry must
# validate, the manual pages must format without warnings and name the
# folders they were installed to, and the installed synth-render must play
# the installed tune with an installed factory instrument.
#
# Usage: install_test.sh BUILD_DIR CONFIGURED_PREFIX
set -euo pipefail
build=$1 configured=$2
work=$(mktemp -d /tmp/synth-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

# check ON_DISK PREFIX: the tree installed at ON_DISK for the programs to see as PREFIX.
check() {
  local root=$1 prefix=$2 f page n
  for f in bin/synth bin/synth-render share/synth/synth.bmp share/synth/demo.mid \
           share/applications/synth.desktop share/icons/hicolor/scalable/apps/synth.svg \
           share/man/man1/synth.1.gz share/man/man1/synth-render.1.gz \
           share/doc/synth/README.md.gz share/doc/synth/instruments.md.gz share/doc/synth/copyright \
           share/doc/synth/changelog.gz share/doc/synth/changelog.Debian.gz \
           lib/lv2/synth.lv2/synth.so lib/lv2/synth.lv2/manifest.ttl lib/lv2/synth.lv2/presets.ttl \
           lib/vst3/synth.vst3/Contents/x86_64-linux/synth.so lib/clap/synth.clap; do
    [ -f "$root/$f" ] || fail "$root/$f was not installed"
  done
  [ -x "$root/bin/synth" ] && [ -x "$root/bin/synth-render" ] || fail "the programs are not executable"
  n=$(find "$root/share/synth/instruments" -name '*.zpk' | wc -l)
  [ "$n" -ge 24 ] || fail "$n factory instruments installed, not 24 or more"

  [[ "$(LV2_PATH="$root/lib/lv2" lv2info urn:synth:additive)" == *"Instrument 2: Church Organ"* ]] ||
    fail "the installed plugin or its presets are not found by an LV2 host"
  desktop-file-validate "$root/share/applications/synth.desktop" || fail "the desktop entry is not valid"
  for page in synth synth-render; do
    f=$root/share/man/man1/$page.1.gz
    warnings=$(zcat "$f" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    lexgrog "$f" >/dev/null || fail "$page.1: no NAME section whatis can read"
    zcat "$f" | grep -q "$prefix/share/synth/instruments" || fail "$page.1 does not name $prefix/share/synth"
  done

  "$root/bin/synth-render" --quiet --i1 "$root/share/synth/instruments/church-organ.zpk" \
    "$root/share/synth/demo.mid" "$work/organ.wav" || fail "the installed synth-render failed"
  [ "$(stat -c %s "$work/organ.wav")" -gt 1000000 ] || fail "the rendered tune is too short"
  rm "$work/organ.wav"
}

cmake --install "$build" --prefix "$work/opt" >"$work/log" 2>&1 || { cat "$work/log"; fail "install to $work/opt failed"; }
check "$work/opt" "$work/opt"

DESTDIR="$work/stage" cmake --install "$build" >"$work/log" 2>&1 || { cat "$work/log"; fail "install under DESTDIR failed"; }
check "$work/stage$configured" "$configured"
[ -z "$(find "$work/stage" -mindepth 1 -maxdepth 1 ! -name "$(echo "$configured" | cut -d/ -f2)")" ] ||
  fail "an install under DESTDIR wrote outside DESTDIR$configured"
echo "install_test: both installs complete"
