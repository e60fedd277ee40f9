#!/bin/sh
# Runs a Windows program under Wine in a prefix owned by the build tree.
# Usage: wine-run.sh PREFIX_ROOT PROGRAM [ARGS...]
# VELMORA_WINE_VERSION picks the reported Windows version (winxp64, vista,
# win7, win8, win10); each version gets its own prefix, created on first use.
set -e
root=$(mkdir -p "$1" && cd "$1" && pwd)
shift
version=${VELMORA_WINE_VERSION:-win7}
WINEPREFIX="$root/$version"
WINEDEBUG=${WINEDEBUG:--all}
# Installers must not write shortcuts into the host's desktop menus.
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
wine=${VELMORA_WINE:-/usr/lib/wine/wine64}
(
  flock 9
  if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" "$wine" wineboot --init >/dev/null 2>&1
    "$wine" winecfg -v "$version" >/dev/null 2>&1
    "$(dirname "$wine")/wineserver" -w
    touch "$WINEPREFIX/.velmora-ready"
  fi
) 9>"$root/.lock-$version"
# A server that outlives the program briefly keeps the next start fast. When
# this call starts it, the session processes (services, explorer) are started
# here too, detached from our output: ctest waits for every holder of its pipe.
# ./run stops the server explicitly when it is done.
server="$(dirname "$wine")/wineserver"
if "$server" -p30 </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
