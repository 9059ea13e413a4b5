#!/usr/bin/env bash
# Writes Debian's source lists for the machine's binary ones: every "deb"
# entry as "deb-src", in either form apt takes (one-line sources.list and
# sources.list.d/*.list; deb822 sources.list.d/*.sources), into a folder for
# apt's Dir::Etc::SourceParts. deb-src entries already there are dropped, so
# that none is listed twice. Used by build-windows.sh.
#
# Usage: deb-src-lists.sh APT_ETC OUT_DIR     (APT_ETC: /etc/apt, or a test's)
set -euo pipefail
etc=$1 out=$2
mkdir -p "$out"
for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >"$out/$(basename "$f" .list)-src.list"
done
for f in "$etc"/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed 's/^Types:.*\<deb\>.*$/Types: deb-src/' "$f" >"$out/$(basename "$f")"
done
