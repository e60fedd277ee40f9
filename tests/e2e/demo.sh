#!/usr/bin/env bash
# Shows what the library sees on the sample Windows machine, through
# velmora.exe exactly as a person would use it.
# Usage: demo.sh BUILD_DIR   (the Windows build tree)
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
machine="$build/demo"
export VELMORA_WINE_VERSION=${VELMORA_WINE_VERSION:-win10}
velmora() { "$root/cmake/wine-run.sh" "$machine" "$build/bin/velmora.exe" "$@"; }

"$root/tests/e2e/prepare-machine.sh" "$build" "$machine"

# The window's views as pictures, under a virtual display (a Wine session
# started without one cannot show windows, so the machine's server goes first).
shots="$(cd "$build/.." && pwd)/demo"
mkdir -p "$shots"
prefix="$(cd "$machine" && pwd)/$VELMORA_WINE_VERSION"
screenshot() {
    "$root/cmake/wine-server.sh" "$prefix" -k 2>/dev/null || true
    xvfb-run -a -s "-screen 0 1280x800x24" "$root/cmake/wine-run.sh" "$machine" "$build/bin/velmora-gui.exe" \
        --view "$1" --screenshot "Z:$(echo "$shots/$1.png" | tr / '\\')"
    "$root/cmake/wine-server.sh" "$prefix" -k 2>/dev/null || true
    echo "velmora-gui.exe --view $1: $shots/$1.png"
}
echo "== velmora-gui.exe --screenshot (the desktop window)"
screenshot programs
screenshot features
echo

echo "== velmora version"
velmora version
echo
echo "== velmora list (installed programs)"
velmora list
echo
echo "== velmora list --updates"
velmora list --updates
echo
echo "== velmora list --unused (programs not used for more than 182 days)"
velmora list --unused
echo
echo "== velmora show \"Velmora Tracker\" (one program in detail)"
velmora show "Velmora Tracker"
echo
echo "== velmora show \"Velmora Sample Calendar\" (a 32-bit MSI program: its key in the 32-bit registry view)"
velmora show "Velmora Sample Calendar"
echo
echo "== velmora features --tree (Windows optional features)"
velmora features --tree
echo
echo "== velmora feature enable TelnetClient, then disable it again"
velmora feature enable TelnetClient
velmora features | grep TelnetClient
velmora feature disable TelnetClient
echo
echo "== velmora leftovers \"Velmora Tracker\" (what a forced removal would delete; nothing is deleted)"
velmora leftovers "Velmora Tracker"
echo
echo "== velmora backup-setting on, then force-remove \"Velmora Tracker\" --yes (backed up)"
trap 'velmora backup-setting off >/dev/null' EXIT
velmora backup-setting on
velmora force-remove "Velmora Tracker" --yes
echo
echo "== velmora backups"
velmora backups
id=$(velmora backups --json | python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["id"])')
echo
echo "== velmora restore $id (gives the tracker back)"
velmora restore "$id"
echo
echo "== velmora show \"Velmora Tracker\" (listed again)"
velmora show "Velmora Tracker"
