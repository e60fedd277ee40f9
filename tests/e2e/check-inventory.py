#!/usr/bin/env python3
"""Checks what velmora.exe lists on the sample machine against what its
installers and fixture entries wrote.

Usage: check-inventory.py BUILD_DIR MACHINE_ROOT
(the machine is prepared by prepare-machine.sh; VELMORA_WINE_VERSION picks it)
"""
import json
import os
import subprocess
import sys

from checks import Checks

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EDITOR_CODE = "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E001}"
EDITOR_PACKED = "01A2C1F6E7B355C4A9D0E2157A0B0E10"
PATCH_PACKED = "01A2C1F6E7B355C4A9D0E2157A0B0E1A"

# Release type ordinals of the public interface.
RT_UPDATE = 2
RT_SECURITY_UPDATE = 6

# name -> (version, publisher), as the installers and the fixture entries wrote them.
PROGRAMS = {
    "Velmora Sample Editor": ("2.4.1", "Velmora Samples"),  # MSI, per machine
    "Velmora Sample Notes": ("1.0.3", "Velmora Samples"),  # MSI, per user
    "Velmora Tracker": ("3.2.0", "Velmora Samples"),  # NSIS
    "Velmora Legacy Viewer 1.7": ("1.7", "Velmora Legacy Works"),  # 32-bit view
    "Velmora Broken Tool": ("0.9", "Velmora Samples"),
    "Velmora User Clock": ("5.2", "Velmora Samples"),  # per user, version from two numbers
    "Velmora Sample Suite": ("2026.1", "Velmora Samples"),  # owns two installer products
}

# Registered somewhere, but no program of their own.
NEVER_PROGRAMS = [
    "Velmora Shared Runtime",  # system component
    "Velmora Hidden Runtime",  # installer product of that system component's code
    "Velmora Suite Core",  # installer products named by the suite's "ProductCodes"
    "Velmora Suite Extras",
]

# name -> (parent display name, release type)
UPDATES = {
    "Security Update for Velmora Sample Editor (KB4012212)": ("Velmora Sample Editor", RT_SECURITY_UPDATE),
    "Update for Velmora Tracker (KB2952664)": ("Velmora Tracker", RT_UPDATE),
    "Velmora Sample Editor Hotfix 2.4.1.1": ("Velmora Sample Editor", RT_UPDATE),  # installer patch
}
NEVER_UPDATES = ["Velmora Sample Editor Preview Patch"]  # patch whose "State" is not 1
# An installer patch is identified by its patch code, decoded from the packed key name.
UPDATE_IDS = {"Velmora Sample Editor Hotfix 2.4.1.1": "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E0A1}"}

# name -> registry keys (path endings) that must be among the item's keys
KEYS = {
    "Velmora Tracker": [
        r"Windows\CurrentVersion\Uninstall\VelmoraTracker",
        r"Windows\CurrentVersion\Uninstall\VelmoraTrackerService",  # the system component joins
    ],
    "Velmora Sample Editor": [
        r"Windows\CurrentVersion\Uninstall" + "\\" + EDITOR_CODE,
        r"Installer\UserData\S-1-5-18\Products" + "\\" + EDITOR_PACKED,  # its installer registration joins
    ],
    "Velmora Sample Notes": [
        r"Software\Microsoft\Installer\Products\01A2C1F6E7B355C4A9D0E2157A0B0E20",  # per-user registration
    ],
    "Velmora Sample Suite": [
        r"Windows\CurrentVersion\Uninstall\VelmoraSampleSuite",
        r"Installer\Products\01A2C1F6E7B355C4A9D0E2157A0B0E11",
        r"Installer\UserData\S-1-5-18\Products\01A2C1F6E7B355C4A9D0E2157A0B0E21",
    ],
    "Security Update for Velmora Sample Editor (KB4012212)": [
        r"Windows\CurrentVersion\Uninstall\KB4012212",
        r"Software\Microsoft\Windows NT\CurrentVersion\HotFix\KB4012212",
    ],
    "Update for Velmora Tracker (KB2952664)": [
        r"Windows\CurrentVersion\Uninstall\VelmoraTracker_KB2952664",
        r"Software\Microsoft\Updates\Velmora Tracker\KB2952664",
    ],
    "Velmora Sample Editor Hotfix 2.4.1.1": [
        "Products\\" + EDITOR_PACKED + "\\Patches\\" + PATCH_PACKED,
        r"Software\Microsoft\Updates\Velmora Sample Editor\Hotfix 2.4.1.1",  # by its "ARPLink"
    ],
}


def velmora(c, build, machine, *args):
    """The parsed JSON output of one velmora.exe command; None (and a failed check) when it fails."""
    command = [os.path.join(ROOT, "cmake", "wine-run.sh"), machine, os.path.join(build, "bin", "velmora.exe")]
    done = subprocess.run(command + list(args), capture_output=True, timeout=600)
    out = done.stdout.decode("utf-8", "replace")
    c.expect(done.returncode == 0, "velmora %s failed (%d): %s%s" % (
        " ".join(args), done.returncode, out, done.stderr.decode("utf-8", "replace").strip()))
    return json.loads(out) if done.returncode == 0 else None


def by_name(records):
    found = {}
    for record in records:
        found.setdefault(record.get("displayName") or "", []).append(record)
    return found


def key_ends_with(keys, ending):
    ending = ending.lower().rstrip("\\")
    return any(key.lower().rstrip("\\").endswith("\\" + ending) for key in keys)


def main():
    build, machine = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    c = Checks()

    programs = by_name(velmora(c, build, machine, "list", "--json") or [])
    for name, (version, publisher) in PROGRAMS.items():
        found = programs.get(name, [])
        c.expect(len(found) == 1, "program %r listed %d times" % (name, len(found)))
        for record in found:
            c.expect(record.get("displayVersion") == version,
                     "%r: version %r, expected %r" % (name, record.get("displayVersion"), version))
            c.expect(record.get("publisher") == publisher,
                     "%r: publisher %r, expected %r" % (name, record.get("publisher"), publisher))
    for name in NEVER_PROGRAMS + list(UPDATES) + NEVER_UPDATES:
        c.expect(name not in programs, "%r is listed as a program" % name)
    strays = [n for n in programs if "Velmora" in n and n not in PROGRAMS]
    c.expect(not strays, "unexpected programs listed: %r" % strays)

    updates = by_name(velmora(c, build, machine, "list", "--updates", "--json") or [])
    for name, (parent, release) in UPDATES.items():
        found = updates.get(name, [])
        c.expect(len(found) == 1, "update %r listed %d times" % (name, len(found)))
        for record in found:
            c.expect(record.get("parentDisplayName") == parent,
                     "%r: program %r, expected %r" % (name, record.get("parentDisplayName"), parent))
            c.expect(record.get("releaseType") == release,
                     "%r: release type %r, expected %r" % (name, record.get("releaseType"), release))
            if name in UPDATE_IDS:
                c.expect(record.get("updateId") == UPDATE_IDS[name],
                         "%r: update id %r, expected %r" % (name, record.get("updateId"), UPDATE_IDS[name]))
    for name in NEVER_UPDATES + list(PROGRAMS) + NEVER_PROGRAMS:
        c.expect(name not in updates, "%r is listed as an update" % name)
    strays = [n for n in updates if "Velmora" in n and n not in UPDATES]
    c.expect(not strays, "unexpected updates listed: %r" % strays)

    for name, endings in KEYS.items():
        shown = velmora(c, build, machine, "show", name, "--json")
        if shown is None:
            continue
        keys = shown.get("registryKeys") or []
        for ending in endings:
            c.expect(key_ends_with(keys, ending), "%r: no key ending in %r among %r" % (name, ending, keys))

    return c.report()


if __name__ == "__main__":
    sys.exit(main())
