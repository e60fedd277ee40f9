#!/usr/bin/env bash
# Prepares a sample Windows machine: a copy of the prefix into which the
# sample packages are installed with their real installers. The installs are
# done once per build tree (again when the packages change); each machine
# made from them is kept until its packages change or its stamp is removed.
# Usage: prepare-machine.sh BUILD_DIR MACHINE_ROOT   (VELMORA_WINE_VERSION picks the version)
set -euo pipefail
build=$(cd "$1" && pwd)
machine=$(mkdir -p "$2" && cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
fixtures="$build/fixtures"
version=${VELMORA_WINE_VERSION:-win10}
prefix="$machine/$version"
installed="$build/sample-machine"
run() { "$root/cmake/wine-run.sh" "$machine" "$@"; }

# The servicing tool double, as built now, in place of Wine's dism.exe (a
# file the prefixes share through a hard link: replaced, never written into).
install_servicing_tool() {
    local tool="$prefix/drive_c/windows/system32/dism.exe"
    rm -f "$tool"
    cp "$build/bin/DISM.exe" "$tool"
}

stamp=$(cat "$fixtures"/SampleEditor.msi "$fixtures"/SampleNotes.msi "$fixtures"/SampleTrackerSetup.exe \
            "$fixtures"/SampleCalendar.msi \
            "$fixtures"/SampleEntries.reg "$fixtures"/SampleServicing.reg "$fixtures"/SampleFeatures.mum \
            "$fixtures"/SampleUpdate.mum "$0" |
        sha256sum | cut -c1-16)
# Usage records dated from today, so that what is recent and what is rarely
# used stays so whenever the machine is used: the tracker ran 2 and 1 days
# ago (14 runs), the user clock 20 days ago, the legacy viewer 400 days ago.
lay_usage_records() {
    local lay="$build/bin/LayUsageRecords.exe"
    run "$lay" launch 'C:\Program Files\Velmora Tracker\tracker.exe' 9 2
    run "$lay" prefetch 'C:\Program Files\Velmora Tracker\tracker-helper.exe' 5 1
    run "$lay" launch 'C:\Users\Public\Velmora User Clock\clock.exe' 7 20
    run "$lay" launch 'C:\Program Files (x86)\Velmora Legacy Viewer\viewer.exe' 2 400
}

stamp_of() { cat "$1/.velmora-sample-machine" 2>/dev/null || true; }

install_packages() { # into the prefix of the installed machine
    local machine=$installed prefix=$installed/$version
    echo "Installing the sample machine ($version) in $prefix"
    if [ -d "$prefix" ]; then
        "$root/cmake/wine-server.sh" "$prefix" -k 2>/dev/null || true
        rm -rf "$prefix"
    fi
    wfix() { run winepath -w "$1" 2>/dev/null; }
    run msiexec /i "$(wfix "$fixtures/SampleEditor.msi")" /qn
    run msiexec /i "$(wfix "$fixtures/SampleNotes.msi")" /qn
    run "$fixtures/SampleTrackerSetup.exe"
    run msiexec /i "$(wfix "$fixtures/SampleCalendar.msi")" /qn
    run reg import "$(wfix "$fixtures/SampleEntries.reg")" >/dev/null 2>&1
    run reg import "$(wfix "$fixtures/SampleServicing.reg")" >/dev/null 2>&1
    packages="$prefix/drive_c/windows/servicing/Packages"
    mkdir -p "$packages"
    cp "$fixtures/SampleFeatures.mum" \
       "$packages/Microsoft-Windows-Foundation-Package~0123456789abcdef~amd64~~10.0.19041.1.mum"
    cp "$fixtures/SampleUpdate.mum" "$packages/Package_for_KB5009001~0123456789abcdef~amd64~~10.0.1.0.mum"
    # A store app, recorded as Windows records an installed app package (Wine has
    # no package deployment of its own).
    run "$build/bin/LayAppPackage.exe" Velmora.SampleWeather "Velmora Weather" "Velmora Labs" 2.3.0.0 \
        "Forecasts for the places you follow" >/dev/null
    "$root/cmake/wine-server.sh" "$prefix" -w
    echo "$stamp" > "$prefix/.velmora-sample-machine"
}

(
    flock 9
    [ "$(stamp_of "$installed/$version")" = "$stamp" ] || install_packages
) 9>"$installed.lock"
if [ "$(stamp_of "$prefix")" != "$stamp" ]; then
    echo "Preparing the sample machine ($version) in $prefix"
    "$root/cmake/wine-server.sh" "$prefix" -k 2>/dev/null || true
    "$root/cmake/wine-copy-prefix.sh" "$installed/$version" "$prefix"
fi
install_servicing_tool
lay_usage_records
