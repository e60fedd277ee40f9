#!/usr/bin/env python3
"""Checks velmora-gui.exe on the sample machine under a virtual display: its
list holds the sample programs with their icons, its tree the sample
features, a program installed while the window is open appears, one Apply
switches two features (and a second one switches them back), a forced
removal through its window deletes a program's files and key with backups
on and "Restore" in the backup sets window gives them back, a program
uninstalled and one removed from the list go from the list, and once the
window has closed the library can be unloaded. The window reports what its
own controls hold (--self-test). Usage: check-window.py BUILD_DIR MACHINE_ROOT"""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import ROOT, Checks, wine_run  # noqa: E402

PROGRAMS = ["Velmora Broken Tool", "Velmora Legacy Viewer 1.7", "Velmora Sample Calendar",
            "Velmora Sample Editor", "Velmora Sample Notes", "Velmora Sample Suite", "Velmora Tracker",
            "Velmora User Clock", "Velmora Weather"]
# (depth, shown name, checked) in tree order, as the servicing fixture and the store app give them.
FEATURES = [(0, "Framework 3.5", 1), (0, "Sample games", 1), (1, "Card games", 0), (1, "Chess", 1),
            (0, "Telnet client", 0), (0, "Universal Windows Platform App", 1), (1, "Velmora Weather", 1)]
SWITCHED = ["Card games", "Telnet client"]
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
PROBE = "Probe Gadget"
PROBE_KEY = UNINSTALL + "ProbeGadget"
# A program of its own maker, removed by force through the window and restored.
REMOVED = "Probe Removal"
REMOVED_KEY = UNINSTALL + "ProbeRemoval"
REMOVED_FILES = {"probe.exe": "probe", "data/notes.txt": "notes"}
BACKUPS_KEY = "HKCU\\Software\\Velmora\\Backup\\Tools\\Velmora"
# A program whose uninstaller deletes its entry, and one removed from the list only.
UNINSTALLED, UNINSTALLED_KEY = "Probe Uninstall", UNINSTALL + "ProbeUninstall"
FORGOTTEN, FORGOTTEN_KEY = "Probe Forget", UNINSTALL + "ProbeForget"


def parse(text):
    """The listings the window wrote, one per marker line (ready, appeared, ...):
    (marker, programs, features, the other lines by kind)."""
    listings, programs, features, lines = [], {}, [], {}
    for line in text.splitlines():
        fields = line.split("\t")
        if fields[0] == "program":
            programs[fields[1]] = int(fields[2])
        elif fields[0] == "feature":
            features.append((int(fields[1]), fields[2], int(fields[3])))
        elif len(fields) == 2:
            lines.setdefault(fields[0], []).append(fields[1])
        else:
            listings.append((fields[0], programs, features, lines))
            programs, features, lines = {}, [], {}
    return listings


def start_window(build, machine, report, *args):
    """The window on the machine under a virtual display, reporting to report."""
    if os.path.exists(report):
        os.remove(report)
    return subprocess.Popen(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24",
                             os.path.join(ROOT, "cmake", "wine-run.sh"), machine,
                             os.path.join(build, "bin", "velmora-gui.exe"), "--self-test",
                             "Z:" + report.replace("/", "\\")] + list(args))


def finish_window(window, timeout):
    """The window's exit code; None when it had to be ended."""
    try:
        return window.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        window.kill()
        return None


def main(build, machine):
    checks = Checks()
    server = os.path.join(ROOT, "cmake", "wine-server.sh")
    machine = os.path.abspath(machine)
    prefix = os.path.join(machine, os.environ.get("VELMORA_WINE_VERSION", "win10"))
    report = os.path.join(machine, "gui-report.txt")

    def run_window(*args):
        # A server started without a display cannot show windows.
        subprocess.run([server, prefix, "-k"], stderr=subprocess.DEVNULL)
        code = finish_window(start_window(build, machine, report, *args), 150)
        subprocess.run([server, prefix, "-k"], stderr=subprocess.DEVNULL)
        return code, open(report).read() if os.path.exists(report) else ""

    subprocess.run([server, prefix, "-k"], stderr=subprocess.DEVNULL)
    wine_run(machine, "reg", "delete", PROBE_KEY, "/f")
    window = start_window(build, machine, report, "--expect", PROBE)
    deadline = time.time() + 90
    while time.time() < deadline and window.poll() is None:
        if os.path.exists(report) and "ready" in open(report).read():
            break
        time.sleep(0.2)
    wine_run(machine, "reg", "add", PROBE_KEY, "/v", "DisplayName", "/d", PROBE, "/f")
    wine_run(machine, "reg", "add", PROBE_KEY, "/v", "UninstallString", "/d", "C:\\Probe\\uninstall.exe", "/f")
    code = finish_window(window, 75)
    wine_run(machine, "reg", "delete", PROBE_KEY, "/f")
    check_listings(checks, code, open(report).read() if os.path.exists(report) else "")

    check_switches(checks, *run_window(*[arg for title in SWITCHED for arg in ("--switch", title)]))

    folder = os.path.join(prefix, "drive_c", REMOVED)
    lay_out_removed(machine, folder)
    try:
        code, text = run_window("--force-remove", REMOVED)
        check_removal(checks, code, text, machine, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        wine_run(machine, "reg", "delete", REMOVED_KEY, "/f")
        wine_run(machine, "reg", "delete", BACKUPS_KEY, "/v", "BackupType", "/f")

    uninstaller = "\"C:\\windows\\system32\\reg.exe\" delete \"%s\" /f" % UNINSTALLED_KEY
    for key, name, command in ((UNINSTALLED_KEY, UNINSTALLED, uninstaller),
                               (FORGOTTEN_KEY, FORGOTTEN, "C:\\Probe\\uninstall.exe")):
        wine_run(machine, "reg", "add", key, "/v", "DisplayName", "/d", name, "/f")
        wine_run(machine, "reg", "add", key, "/v", "UninstallString", "/d", command, "/f")
    try:
        code, text = run_window("--action", "uninstall", UNINSTALLED, "--action", "forget", FORGOTTEN)
        check_actions(checks, code, text, machine)
    finally:
        for key in (UNINSTALLED_KEY, FORGOTTEN_KEY):
            wine_run(machine, "reg", "delete", key, "/f")
    return checks.report()


def check_listings(checks, code, text):
    listings = parse(text)
    checks.expect(code == 0, "the window ended with %s\n%s" % (code, text))
    checks.expect(len(listings) == 2 and listings[0][0] == "ready" and listings[1][0] == "appeared",
                  "the window reported %s" % [listing[0] for listing in listings])
    if listings:
        _, programs, features, _ = listings[0]
        checks.expect(sorted(programs) == PROGRAMS, "the list held %s" % sorted(programs))
        indices = list(programs.values())
        default = max(set(indices), key=indices.count) if indices else None
        checks.expect(len(set(indices)) > 1 and programs.get("Velmora Tracker", default) != default,
                      "the list's icons %s: the tracker's own icon is missing" % programs)
        checks.expect(features == FEATURES, "the tree held %s" % features)
    if len(listings) > 1:
        checks.expect(sorted(listings[1][1]) == sorted(PROGRAMS + [PROBE]),
                      "after the install the list held %s" % sorted(listings[1][1]))
    check_unloaded(checks, text)


def check_switches(checks, code, text):
    listings = parse(text)
    checks.expect(code == 0, "the switching window ended with %s\n%s" % (code, text))
    checks.expect([listing[0] for listing in listings] == ["ready", "switched", "switched"],
                  "the switching window reported %s" % [listing[0] for listing in listings])
    if len(listings) == 3:
        flipped = [(depth, name, 1 - checked if name in SWITCHED else checked)
                   for depth, name, checked in FEATURES]
        checks.expect(listings[1][2] == flipped, "after one Apply the tree held %s" % listings[1][2])
        for listing, state in ((listings[1], "enabled"), (listings[2], "disabled")):
            expected = ["%s is now %s." % (name, state) for name in SWITCHED]
            checks.expect(sorted(listing[3].get("result", [])) == expected, "the Apply reported %s" % listing[3])
        checks.expect(listings[2][2] == FEATURES, "after the second Apply the tree held %s" % listings[2][2])
    check_unloaded(checks, text)


def lay_out_removed(machine, folder):
    """The removed program: its files, its uninstall entry, and backups on for the tool."""
    for name, content in REMOVED_FILES.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "w") as file:
            file.write(content)
    for value, data in (("DisplayName", REMOVED), ("Publisher", "Probe Makers"),
                        ("InstallLocation", "C:\\%s\\" % REMOVED),
                        ("UninstallString", "\"C:\\%s\\probe.exe\" /uninstall" % REMOVED)):
        wine_run(machine, "reg", "add", REMOVED_KEY, "/v", value, "/d", data, "/f")
    wine_run(machine, "reg", "add", BACKUPS_KEY, "/v", "BackupType", "/t", "REG_DWORD", "/d", "1", "/f")


def check_removal(checks, code, text, machine, folder):
    listings = parse(text)
    checks.expect(code == 0, "the removing window ended with %s\n%s" % (code, text))
    checks.expect([listing[0] for listing in listings] == ["ready", "restored"],
                  "the removing window reported %s" % [listing[0] for listing in listings])
    lines = listings[-1][3] if listings else {}
    home = "C:\\%s\\" % REMOVED
    # Exactly the program's files, folders and key, each removed; nothing of the sample programs.
    key = "(x64)HKEY_LOCAL_MACHINE" + REMOVED_KEY[4:] + "\\"
    expected = ["removed: %sdata\\notes.txt  (5 bytes)" % home, "removed: %sdata\\" % home,
                "removed: %sprobe.exe  (5 bytes)" % home, "removed: " + home, "removed: " + key]
    shown = [line.strip() for line in lines.get("removal", []) if line.startswith("  ")]
    checks.expect(sorted(shown) == sorted(expected), "the forced-removal window showed %s" % lines.get("removal"))
    checks.expect(lines.get("removal", [""])[0] ==
                  "Done. Files deleted: 2 of 2 (10 bytes); registry entries: 1; services: 0.",
                  "the forced-removal window ended with %s" % lines.get("removal", [""])[0])
    checks.expect(lines.get("restore", [])[-1:] == ["The backup set is restored."],
                  "the backup sets window reported %s" % lines.get("restore"))
    restored = {}
    for name in REMOVED_FILES:
        path = os.path.join(folder, name)
        restored[name] = open(path).read() if os.path.exists(path) else None
    checks.expect(restored == REMOVED_FILES, "after the restore the files held %s" % restored)
    status, output, _ = wine_run(machine, "reg", "query", REMOVED_KEY, "/v", "DisplayName")
    checks.expect(status == 0 and REMOVED in output, "after the restore the uninstall entry read %r" % output)
    check_unloaded(checks, text)


def check_actions(checks, code, text, machine):
    listings = parse(text)
    checks.expect(code == 0, "the acting window ended with %s\n%s" % (code, text))
    checks.expect([listing[0] for listing in listings] == ["ready", "gone", "gone"],
                  "the acting window reported %s" % [listing[0] for listing in listings])
    if len(listings) == 3:
        probes = [sorted(set(listing[1]) & {UNINSTALLED, FORGOTTEN}) for listing in listings]
        checks.expect(probes == [[FORGOTTEN, UNINSTALLED], [FORGOTTEN], []], "the list held %s" % probes)
        checks.expect(sorted(listings[2][1]) == PROGRAMS, "after the actions the list held %s" % listings[2][1])
    # The uninstaller ran; removing from the list keeps the entry.
    checks.expect(wine_run(machine, "reg", "query", UNINSTALLED_KEY)[0] != 0, "the uninstaller did not run")
    checks.expect(wine_run(machine, "reg", "query", FORGOTTEN_KEY)[0] == 0, "the forgotten entry was deleted")
    check_unloaded(checks, text)


def check_unloaded(checks, text):
    checks.expect(text.endswith("unload\t0x00000000\n"), "DllCanUnloadNow after the window closed: %s" %
                  text.splitlines()[-1:])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
