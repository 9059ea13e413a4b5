#!/usr/bin/env bash
# Installs the Debian packages the synthesizer needs to build, run and test,
# only those that are missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev
  liballegro4-dev portaudio19-dev librtmidi-dev libjack-jackd2-dev
  libsndfile1-dev lv2-dev
  # the plugin's framework (the DISTRHO Plugin Framework's sources), patched
  # at build time
  dpf-source patch
  # the plugin's window: the framework's OpenGL toolkit on X11, and D-Bus for
  # the desktop's file chooser (saving a file)
  libgl-dev libx11-dev libxext-dev libxrandr-dev libxcursor-dev libdbus-1-dev
  # tests: hosts for the LV2 plugin and its validator
  liblilv-dev lilv-utils jalv sordi
  # tests: the VST3 plugin in Ardour 7, headless (ardour7-lua, ardour7-export)
  ardour
  # tests: the fuzz targets (clang with its libFuzzer)
  clang libclang-rt-dev
  # running on a desktop: the message box (xmessage); the panel's test
  # waits for its X server with xdpyinfo
  x11-utils
  # tests: a JACK server with a dummy back-end, an X server and input events
  jackd2 xvfb xdotool imagemagick x11-apps
  # tests: the order of the shutdown calls, seen through breakpoints
  gdb
  # installing and packaging: manual pages compressed and checked, the
  # desktop entry validated, the Debian package's library dependencies
  gzip groff-base man-db desktop-file-utils dpkg-dev file
  # the Debian package judged as Debian's maintainers judge it; the version
  # and the source's time
  lintian git
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
