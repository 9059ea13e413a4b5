#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in a prefix of the Windows
# build's own (build-windows/wine, or $WINEPREFIX): the cross build runs its
# tools and tests through this.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: a new prefix must not stop to offer them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
