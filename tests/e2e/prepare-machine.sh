#!/usr/bin/env bash
# Prepares the sample Windows machine: a Wine prefix into which the sample
# packages are installed with their real installers. Done once; a machine
# whose packages changed since is made anew.
# Usage: prepare-machine.sh BUILD_DIR MACHINE_ROOT   (VELMORA_WINE_VERSION picks the version)
set -euo pipefail
build=$(cd "$1" && pwd)
machine=$(mkdir -p "$2" && cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
fixtures="$build/fixtures"
version=${VELMORA_WINE_VERSION:-win10}
prefix="$machine/$version"
run() { "$root/cmake/wine-run.sh" "$machine" "$@"; }

stamp=$(cat "$fixtures"/SampleEditor.msi "$fixtures"/SampleNotes.msi "$fixtures"/SampleTrackerSetup.exe \
            "$fixtures"/SampleEntries.reg | sha256sum | cut -c1-16)
if [ -f "$prefix/.velmora-sample-machine" ] && [ "$(cat "$prefix/.velmora-sample-machine")" = "$stamp" ]; then
    exit 0
fi
echo "Preparing the sample machine ($version) in $prefix"
if [ -d "$prefix" ]; then
    "$root/cmake/wine-server.sh" "$prefix" -k 2>/dev/null || true
    rm -rf "$prefix"
fi
wfix() { run winepath -w "$1" 2>/dev/null; }
run msiexec /i "$(wfix "$fixtures/SampleEditor.msi")" /qn
run msiexec /i "$(wfix "$fixtures/SampleNotes.msi")" /qn
run "$fixtures/SampleTrackerSetup.exe"
run reg import "$(wfix "$fixtures/SampleEntries.reg")" >/dev/null 2>&1
"$root/cmake/wine-server.sh" "$prefix" -w
echo "$stamp" > "$prefix/.velmora-sample-machine"
