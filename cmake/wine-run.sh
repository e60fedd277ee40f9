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
server="$(dirname "$wine")/wineserver"

# Wine copies its libraries (about 650 MB) into every new prefix, in 6 s or
# more. The prefix roots of a build tree are siblings: one prefix booted
# beside them is the template of all of theirs, copied in well under a second
# (its libraries shared through hard links) and set to the version asked for.
template="$(dirname "$root")/wine-template"

boot_template() {
    rm -rf "$template"
    WINEPREFIX="$template" WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" "$wine" wineboot --init >/dev/null 2>&1
    WINEPREFIX="$template" "$wine" winecfg -v win7 >/dev/null 2>&1
    WINEPREFIX="$template" "$server" -w
    touch "$template/.velmora-ready"
}

copy_template() {
    "$(dirname "$0")/wine-copy-prefix.sh" "$template" "$WINEPREFIX"
    rm -f "$WINEPREFIX/.velmora-ready"
    if [ "$version" != win7 ]; then
        "$wine" winecfg -v "$version" >/dev/null 2>&1
        "$server" -w
    fi
}

(
  flock 9
  [ -f "$template/.velmora-ready" ] || boot_template
) 9>"$template.lock"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
    copy_template
    touch "$WINEPREFIX/.velmora-ready"
  fi
) 9>"$root/.lock-$version"
# A server that outlives the program briefly keeps the next start fast. When
# this call starts it, the session processes (services) are started here too,
# detached from our output: ctest waits for every holder of its pipe.
# ./run stops the server explicitly when it is done.
if "$server" -p30 </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
[ -t 2 ] && exec "$wine" "$@"

# The desktop process (explorer) that a program starts when none runs
# inherits the program's error output and lives as long as any program uses
# the desktop, so a reader of that output would wait for it. The error output
# goes to a file instead, copied out while the program runs.
errors=$(mktemp)
exec 3<&0
"$wine" "$@" <&3 3<&- 2>"$errors" &
program=$!
exec 3<&-
trap 'kill "$program" 2>/dev/null' INT TERM
tail -n +1 -s 0.1 -f --pid="$program" "$errors" >&2 &
relay=$!
status=0
wait "$program" || status=$?
wait "$relay" || true
rm -f "$errors"
exit "$status"
