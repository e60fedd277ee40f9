#!/bin/sh
# Runs the Wine server of a prefix, e.g. to stop it (-k) or wait for it (-w).
# Usage: wine-server.sh PREFIX [WINESERVER_ARGS...]
prefix=$1
shift
wine=${VELMORA_WINE:-/usr/lib/wine/wine64}
WINEPREFIX=$prefix exec "$(dirname "$wine")/wineserver" "$@"
