#!/bin/sh
# Copies a Wine prefix whose server has ended: the large files of its Windows
# folder (Wine's libraries and installed system files, never written into,
# only replaced) as hard links, everything else (the registry above all,
# which the server rewrites in place) as a copy of the new prefix's own.
# Usage: wine-copy-prefix.sh FROM TO   (TO is replaced)
set -e
from=$1
to=$2
rm -rf "$to"
cp -al "$from" "$to"
(cd "$to" && find . -type f \( ! -path './drive_c/windows/*' -o -size -17k \)) |
    while IFS= read -r file; do
        cp -p "$to/$file" "$to/$file.own" && mv -f "$to/$file.own" "$to/$file"
    done
