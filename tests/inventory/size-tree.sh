#!/bin/sh
# Lays out C:\VelmoraSizeTree in the test prefix (creating the prefix first if
# needed): "outside" holds one file, "measured" a Unix symbolic link to it.
# Wine shows such a link as a folder with the reparse-point bit, which is how
# the folder tests get a junction: CreateSymbolicLinkW creates nothing there.
# Usage: size-tree.sh WINE_RUN WINE_ROOT
set -e
run=$1
root=$2
version=${VELMORA_WINE_VERSION:-win7}
if [ ! -f "$root/$version/.velmora-ready" ]; then
  "$run" "$root" cmd.exe /c exit >/dev/null 2>&1
fi
tree="$root/$version/drive_c/VelmoraSizeTree"
rm -rf "$tree"
mkdir -p "$tree/outside" "$tree/measured"
head -c 50000 /dev/zero >"$tree/outside/big.bin"
ln -s ../outside "$tree/measured/folder-link"
