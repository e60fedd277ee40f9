#!/usr/bin/env python3
"""Checks what velmora.exe lists on the sample machine against what its installers
and fixture entries wrote. Usage: check-inventory.py BUILD_DIR MACHINE_ROOT"""
import datetime
import json
import os
import re
import sys

from checks import Checks, wine_run

EDITOR_PACKED = "01A2C1F6E7B355C4A9D0E2157A0B0E10"
UNINSTALL = "Windows\\CurrentVersion\\Uninstall\\"
RT_UPDATE, RT_SECURITY_UPDATE = 2, 6  # release type ordinals of the public interface

# name -> fields. No other "Velmora" name is listed (system component, installer products
# joined to a program, a patch whose "State" is not 1, an update among programs or the reverse).
PROGRAMS = {name: {"displayVersion": version, "publisher": publisher, "storeApp": False}
            for name, (version, publisher) in {
    "Velmora Sample Editor": ("2.4.1", "Velmora Samples"),  # MSI, per machine
    "Velmora Sample Notes": ("1.0.3", "Velmora Samples"),  # MSI, per user
    "Velmora Tracker": ("3.2.0", "Velmora Samples"),  # NSIS
    "Velmora Legacy Viewer 1.7": ("1.7", "Velmora Legacy Works"),  # 32-bit view
    "Velmora Broken Tool": ("0.9", "Velmora Samples"),
    "Velmora User Clock": ("5.2", "Velmora Samples"),  # per user, version from two numbers
    "Velmora Sample Suite": ("2026.1", "Velmora Samples"),  # owns two installer products
    "Velmora Sample Calendar": ("3.1.0", "Velmora Samples"),  # 32-bit MSI
}.items()}
# An app package, laid out as Windows records one installed for the user.
PROGRAMS["Velmora Weather"] = {"displayVersion": "2.3.0.0", "publisher": "Velmora Labs", "storeApp": True,
                               "comments": "Forecasts for the places you follow"}
UPDATES = {
    "Security Update for Velmora Sample Editor (KB4012212)": {
        "parentDisplayName": "Velmora Sample Editor", "releaseType": RT_SECURITY_UPDATE,
        "releaseTypeName": "security update"},
    "Update for Velmora Tracker (KB2952664)": {"parentDisplayName": "Velmora Tracker", "releaseType": RT_UPDATE,
                                               "releaseTypeName": "update"},
    # An installer patch, identified by its patch code decoded from the packed key name.
    "Velmora Sample Editor Hotfix 2.4.1.1": {"parentDisplayName": "Velmora Sample Editor", "releaseType": RT_UPDATE,
                                             "updateId": "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E0A1}"},
    # A servicing package: named from its release type and identifier, removable.
    "Security Update for Microsoft Windows (KB5009001)": {
        "releaseType": RT_SECURITY_UPDATE, "updateId": "Package_for_KB5009001", "publisher": "Velmora Samples",
        "displayVersion": "10.0.1.0", "uninstallable": True},
}

# name -> registry keys (path endings) that must be among the item's keys
KEYS = {
    # The system component joins the tracker; the editor's installer registration joins it.
    "Velmora Tracker": [UNINSTALL + "VelmoraTracker", UNINSTALL + "VelmoraTrackerService"],
    "Velmora Sample Editor": [UNINSTALL + "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E001}",
                              r"Installer\UserData\S-1-5-18\Products" + "\\" + EDITOR_PACKED],
    "Velmora Sample Suite": [UNINSTALL + "VelmoraSampleSuite", r"Installer\Products\01A2C1F6E7B355C4A9D0E2157A0B0E11",
                             r"Installer\UserData\S-1-5-18\Products\01A2C1F6E7B355C4A9D0E2157A0B0E21"],
    "Update for Velmora Tracker (KB2952664)": [
        UNINSTALL + "VelmoraTracker_KB2952664", r"Software\Microsoft\Updates\Velmora Tracker\KB2952664"],
    # The patch's key, and the key its "ARPLink" names.
    "Velmora Sample Editor Hotfix 2.4.1.1": [
        "Products\\" + EDITOR_PACKED + "\\Patches\\01A2C1F6E7B355C4A9D0E2157A0B0E1A",
        r"Software\Microsoft\Updates\Velmora Sample Editor\Hotfix 2.4.1.1"],
}


def velmora(c, build, machine, *args):
    code, out, err = wine_run(machine, os.path.join(build, "bin", "velmora.exe"), *args)
    c.expect(code == 0, "velmora %s failed (%d): %s%s" % (" ".join(args), code, out, err.strip()))
    return json.loads(out) if code == 0 else None


def check_named_values(c, build, machine):
    """Enumerations read as names: the tracker's usage from its records, no reputation for an unsigned program."""
    record = (velmora(c, build, machine, "show", "Velmora Tracker", "--json") or {})
    for field, ordinal, name in (("usedType", 3, "frequently used"), ("rating", 1, "unknown")):
        c.expect((record.get(field), record.get(field + "Name")) == (ordinal, name),
                 "Velmora Tracker: %s %r, %sName %r" % (field, record.get(field), field, record.get(field + "Name")))
    # For people: sizes as the lists give them, and a store app's package date is no recorded use.
    for name, patterns in (("Velmora Tracker", (r"Usage: frequently used", r"Reputation: unknown",
                                                r"Size: \d+\.\d KB")),
                           ("Velmora Weather", (r"Usage: not recorded", r"Size: \d+ B",
                                                r"Last used: \S+ \(installed or updated\)"))):
        code, out, err = wine_run(machine, os.path.join(build, "bin", "velmora.exe"), "show", name)
        lines = [" ".join(line.split()) for line in out.splitlines()]
        for pattern in patterns:
            c.expect(code == 0 and any(re.fullmatch(pattern, line) for line in lines),
                     "show %r prints no line like %r: %s%s" % (name, pattern, out, err.strip()))


def check_usage(c, build, machine):
    """The usage records laid out with the machine: classes, last-used dates, the rarely used programs."""
    today = datetime.date.today()
    programs = {r.get("displayName"): r for r in velmora(c, build, machine, "list", "--json") or []}
    for name, used_type, days in (("Velmora Tracker", 3, 1), ("Velmora User Clock", 2, 20),
                                  ("Velmora Legacy Viewer 1.7", 1, 400), ("Velmora Broken Tool", 0, None)):
        record = programs.get(name) or {}
        last_used = record.get("lastUsedDate")
        age = (today - datetime.date.fromisoformat(last_used[:10])).days if last_used else None
        c.expect(record.get("usedType") == used_type and (age is None if days is None else age is not None
                                                          and abs(age - days) <= 1),
                 "%s: usage %r, last used %r (expected %r, %r days ago)" % (name, record.get("usedType"), last_used,
                                                                            used_type, days))
    unused = [r.get("displayName") for r in velmora(c, build, machine, "list", "--unused", "--json") or []]
    c.expect("Velmora Legacy Viewer 1.7" in unused and "Velmora Tracker" not in unused,
             "rarely used programs: %r" % unused)


def check_32bit_package(c, build, machine):
    """A 32-bit package's entry is in the 32-bit view; its installer registration stays in the 64-bit one."""
    shown = velmora(c, build, machine, "show", "Velmora Sample Calendar", "--json") or {}
    keys = [key.lower().rstrip("\\") for key in shown.get("registryKeys") or []]
    for key in ("(x32)HKEY_LOCAL_MACHINE\\Software\\Microsoft\\" + UNINSTALL + "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E003}",
                "(x64)HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\"
                "S-1-5-18\\Products\\01A2C1F6E7B355C4A9D0E2157A0B0E30"):
        c.expect(key.lower() in keys, "Velmora Sample Calendar: key %r not among %r" % (key, keys))
    offered = shown.get("possibleActions") or []
    c.expect(all(action in offered for action in ("Uninstall", "Modify", "Repair")),
             "Velmora Sample Calendar: actions %r" % offered)


def check_listed(c, records, expected, kind):
    listed = {}
    for record in records or []:
        listed.setdefault(record.get("displayName") or "", []).append(record)
    for name, fields in expected.items():
        found = listed.get(name, [])
        c.expect(len(found) == 1, "%s %r listed %d times" % (kind, name, len(found)))
        for record in found:
            for field, value in fields.items():
                c.expect(record.get(field) == value,
                         "%r: %s %r, expected %r" % (name, field, record.get(field), value))
    strays = [n for n in listed if "Velmora" in n and n not in expected]
    c.expect(not strays, "unexpected %ss listed: %r" % (kind, strays))


def main():
    build, machine = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    c = Checks()
    check_listed(c, velmora(c, build, machine, "list", "--json"), PROGRAMS, "program")
    check_listed(c, velmora(c, build, machine, "list", "--updates", "--json"), UPDATES, "update")
    check_named_values(c, build, machine)
    check_32bit_package(c, build, machine)
    check_usage(c, build, machine)
    for name, endings in KEYS.items():
        shown = velmora(c, build, machine, "show", name, "--json")
        keys = [key.lower().rstrip("\\") for key in (shown or {}).get("registryKeys") or []]
        for ending in endings if shown else []:
            c.expect(any(key.endswith("\\" + ending.lower()) for key in keys),
                     "%r: no key ending in %r among %r" % (name, ending, keys))
    return c.report()


if __name__ == "__main__":
    sys.exit(main())
