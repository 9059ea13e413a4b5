#!/usr/bin/env bash
# scripts/deb-src-lists.sh on the apt sources of a machine set up by Debian's
# installer (one-line sources.list), of a container (deb822 *.sources), and
# of both with entries that must not become deb-src lines: each case is the
# files written into a fake /etc/apt, then the lists expected out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/synth-deb-src-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME: reads "=> FILE" blocks from stdin: first the inputs (paths under
# etc/), then after "---" the outputs expected (paths under out/).
case_() {
  local name=$1 side=etc file="" line
  rm -rf "$work/etc" "$work/out" "$work/want"
  mkdir -p "$work/etc/sources.list.d" "$work/want"
  while IFS= read -r line; do
    if [ "$line" = --- ]; then side=want; file=""; continue; fi
    if [[ $line == "=> "* ]]; then file=$work/$side/${line#=> }; : >"$file"; continue; fi
    printf '%s\n' "$line" >>"$file"
  done
  "$here/scripts/deb-src-lists.sh" "$work/etc" "$work/out"
  if diff -r "$work/want" "$work/out" >"$work/diff"; then echo "ok    $name"
  else echo "FAIL  $name"; cat "$work/diff"; failures=$((failures + 1)); fi
}

case_ "one-line sources.list: deb lines only, options kept, comments and deb-src dropped" <<'END'
=> sources.list
# deb cdrom:[Debian GNU/Linux 12]/ bookworm main
deb http://deb.debian.org/debian/ bookworm main non-free-firmware
deb-src http://deb.debian.org/debian/ bookworm main non-free-firmware
  deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://security.debian.org/debian-security bookworm-security main
#deb http://deb.debian.org/debian/ bookworm-backports main
---
=> sources-src.list
deb-src http://deb.debian.org/debian/ bookworm main non-free-firmware
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://security.debian.org/debian-security bookworm-security main
END

case_ "deb822 .sources: Types deb, and deb with deb-src, become deb-src" <<'END'
=> sources.list.d/debian.sources
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
---
=> debian.sources
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
END

case_ "both forms at once, a .list part too, other files left alone" <<'END'
=> sources.list
deb http://deb.debian.org/debian bookworm main
=> sources.list.d/extra.list
deb http://deb.debian.org/debian bookworm-updates main
=> sources.list.d/old.list.disabled
deb http://example.invalid/ nowhere main
=> sources.list.d/debian.sources
Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
---
=> sources-src.list
deb-src http://deb.debian.org/debian bookworm main
=> extra-src.list
deb-src http://deb.debian.org/debian bookworm-updates main
=> debian.sources
Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
END

[ $failures -eq 0 ]
