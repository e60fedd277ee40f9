#!/bin/sh
# Runs a Windows test program under Wine with a virtual display. A Wine
# session started without a display cannot show windows, so the program gets
# a prefix of its own, whose server is stopped afterwards.
# Usage: run-with-display.sh WINE_RUN PREFIX_ROOT PROGRAM [ARGS...]
runner=$1
root=$2
shift 2
VELMORA_REQUIRE_DISPLAY=1 xvfb-run -a "$runner" "$root" "$@"
status=$?
"$(dirname "$runner")/wine-server.sh" "$root/${VELMORA_WINE_VERSION:-win7}" -k 2>/dev/null
exit $status
