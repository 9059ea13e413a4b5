#!/usr/bin/env bash
# Cross-builds the Windows programs from Linux into build-windows/ (or the
# folder given as $BUILD_DIR): synth.exe, synth-render.exe, the LV2 plugin and
# synth-windows.zip, with the unit tests (run under Wine by ctest there).
#
# Installs what is missing (MinGW-w64, Wine), takes the libraries' sources from
# Debian's own source packages (through an apt configuration of its own, in
# the build folder; the machine's is left alone), patches them with
# patches/*.patch and builds them, static, into build-windows/prefix.
#
# Ends with status 3, building nothing, where the cross tools cannot be had.
# With --sources-only it stops once the libraries' sources are there.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
dir=$(realpath -m "${BUILD_DIR:-build-windows}")
prefix=$dir/prefix
jobs=${JOBS:-$(nproc)}
triple=x86_64-w64-mingw32

packages=(mingw-w64 g++-mingw-w64-x86-64-posix wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  if ! { DEBIAN_FRONTEND=noninteractive $sudo apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }; then
    echo "build-windows.sh: could not install ${missing[*]}" >&2
    exit 3
  fi
fi
command -v $triple-g++-posix >/dev/null && [ -x /usr/lib/wine/wine64 ] || { echo "build-windows.sh: no MinGW-w64 or Wine" >&2; exit 3; }

# The sources: the upstream tarballs of Debian's source packages.
sources=$dir/sources
declare -A tarball=([allegro]=allegro4.4_4.4.3.1.orig.tar.gz [portaudio]=portaudio19_19.6.0.orig.tar.gz
                    [sndfile]=libsndfile_1.2.0.orig.tar.gz)
fetch=()
for lib in allegro portaudio sndfile; do [ -f "$sources/${tarball[$lib]}" ] || fetch+=("$lib"); done
# Debian's source lists come from the machine's apt sources, in either form
# ($APT_ETC, default /etc/apt, lets a test point this at lists of its own).
if [ ${#fetch[@]} -gt 0 ]; then
  apt=$dir/apt
  rm -rf "$apt/sources.list.d"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$sources"
  scripts/deb-src-lists.sh "${APT_ETC:-/etc/apt}" "$apt/sources.list.d"
  opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root)
  log=$dir/apt.log
  if ! apt-get "${opts[@]}" update -qq >"$log" 2>&1; then
    cat "$log" >&2
    echo "build-windows.sh: apt-get update of Debian's source lists failed (lists from ${APT_ETC:-/etc/apt})" >&2
    exit 1
  fi
  # Only the upstream tarballs are needed: Debian's own parts may be gone
  # from the mirror (allegro4.4's debian.tar.xz answers 404), which is no
  # failure, and is said only when a tarball is missing too.
  (cd "$sources" && apt-get "${opts[@]}" source --download-only -qq allegro4.4 portaudio19 libsndfile) >>"$log" 2>&1 || true
  for lib in allegro portaudio sndfile; do
    [ -f "$sources/${tarball[$lib]}" ] || { cat "$log" >&2; echo "build-windows.sh: could not fetch ${tarball[$lib]}" >&2; exit 1; }
  done
fi
[ "${1:-}" = --sources-only ] && exit 0

toolchain=$top/cmake/mingw-w64-x86_64.cmake
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DSYNTH_WINDOWS_PREFIX="$prefix"
       -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF)
# A library's stamp holds the checksum of its patches (empty for none): a
# library whose patches changed since it was built is built again.
patches_sum() { # name
  local p=("$top"/patches/"$1"-*.patch)
  [ -f "${p[0]}" ] && cat "${p[@]}" | sha256sum | cut -d' ' -f1
  return 0
}
built() { # name
  [ -f "$prefix/.built-$1" ] && [ "$(cat "$prefix/.built-$1")" = "$(patches_sum "$1")" ]
}
build_lib() { # name, source folder, cmake options...
  local name=$1 src=$2; shift 2
  built "$name" && return 0
  echo "=== building $name for Windows" >&2
  for p in "$top"/patches/"$name"-*.patch; do
    [ -f "$p" ] && patch -s -p1 -d "$src" <"$p"
  done
  local log=$dir/deps/$name.log
  if ! { cmake -S "$src" -B "$dir/deps/$name-build" "${cross[@]}" -Wno-dev "$@" &&
         ninja -C "$dir/deps/$name-build" -j"$jobs" install; } >"$log" 2>&1; then
    tail -30 "$log" >&2
    echo "build-windows.sh: building $name failed; the whole log is $log" >&2
    exit 1
  fi
  patches_sum "$name" >"$prefix/.built-$name"
}
unpack() { # tarball, folder it unpacks to
  rm -rf "$dir/deps/$2" && mkdir -p "$dir/deps" && tar -xzf "$sources/$1" -C "$dir/deps"
}
mkdir -p "$prefix"
if ! built allegro; then
  unpack "${tarball[allegro]}" allegro-4.4.3.1
  build_lib allegro "$dir/deps/allegro-4.4.3.1" -DSHARED=OFF -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF \
    -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF
fi
# synth.exe links PortAudio in whole; its install leaves the static library out.
if ! built portaudio || [ ! -f "$prefix/lib/libportaudio_static.a" ]; then
  rm -f "$prefix/.built-portaudio"
  unpack "${tarball[portaudio]}" portaudio
  build_lib portaudio "$dir/deps/portaudio" -DPA_USE_WASAPI=ON -DPA_USE_WMME=ON -DPA_USE_DS=OFF \
    -DPA_USE_WDMKS=OFF -DPA_USE_WDMKS_DEVICE_INFO=OFF -DPA_USE_ASIO=OFF
  cp "$dir/deps/portaudio-build/libportaudio_static.a" "$prefix/lib/"
fi
if ! built sndfile; then
  unpack "${tarball[sndfile]}" libsndfile-1.2.0
  build_lib sndfile "$dir/deps/libsndfile-1.2.0" -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF \
    -DINSTALL_PKGCONFIG_MODULE=ON -DINSTALL_MANPAGES=OFF
fi
# GoogleTest from the sources Debian's libgtest-dev ships; the LV2 headers
# are the same on every system.
build_lib gtest /usr/src/googletest -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
if [ ! -f "$prefix/.built-lv2" ]; then
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp -rL /usr/include/lv2 "$prefix/include/"
  printf 'prefix=%s\nincludedir=${prefix}/include\n\nName: lv2\nDescription: the LV2 headers\nVersion: 1.18\nCflags: -I${includedir}\n' \
    "$prefix" >"$prefix/lib/pkgconfig/lv2.pc"
  touch "$prefix/.built-lv2"
fi

# Ours. The Windows tools and tests run under Wine, in a prefix of our own.
export WINEPREFIX=$dir/wine
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
cmake -S . -B "$dir/synth" "${cross[@]}" -DCMAKE_INSTALL_PREFIX="$dir/install" -DSYNTH_DEBIAN_FLAGS=OFF >/dev/null
ninja -C "$dir/synth" -j"$jobs"
