#!/usr/bin/env python3
"""Checks velmora-gui.exe on the sample machine under a virtual display: its
list holds the sample programs with their icons, its tree the sample
features, a program installed while the window is open appears, one Apply
switches two features (and a second one switches them back), and once the
window has closed the library can be unloaded. The window reports what its
own controls hold (--self-test). Usage: check-window.py BUILD_DIR MACHINE_ROOT"""
import os
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
PROBE = "Probe Gadget"
PROBE_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ProbeGadget"


def parse(text):
    """The listings the window wrote, one per ready/appeared line."""
    listings, programs, features, results = [], {}, [], []
    for line in text.splitlines():
        fields = line.split("\t")
        if fields[0] == "program":
            programs[fields[1]] = int(fields[2])
        elif fields[0] == "feature":
            features.append((int(fields[1]), fields[2], int(fields[3])))
        elif fields[0] == "result":
            results.append(fields[1])
        elif fields[0] in ("ready", "appeared", "switched", "timeout"):
            listings.append((fields[0], programs, features, results))
            programs, features, results = {}, [], []
    return listings


def main(build, machine):
    checks = Checks()
    server = os.path.join(ROOT, "cmake", "wine-server.sh")
    machine = os.path.abspath(machine)
    prefix = os.path.join(machine, os.environ.get("VELMORA_WINE_VERSION", "win10"))
    report = os.path.join(machine, "gui-report.txt")
    # A server started without a display cannot show windows.
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
    try:
        code = window.wait(timeout=75)
    except subprocess.TimeoutExpired:
        window.kill()
        code = None
    wine_run(machine, "reg", "delete", PROBE_KEY, "/f")
    text = open(report).read() if os.path.exists(report) else ""
    check_listings(checks, code, text)

    switches = [arg for title in SWITCHED for arg in ("--switch", title)]
    subprocess.run([server, prefix, "-k"], stderr=subprocess.DEVNULL)
    window = start_window(build, machine, report, *switches)
    try:
        code = window.wait(timeout=150)
    except subprocess.TimeoutExpired:
        window.kill()
        code = None
    subprocess.run([server, prefix, "-k"], stderr=subprocess.DEVNULL)
    text = open(report).read() if os.path.exists(report) else ""
    check_switches(checks, code, text)
    return checks.report()


def start_window(build, machine, report, *args):
    """The window on the machine under a virtual display, reporting to report."""
    if os.path.exists(report):
        os.remove(report)
    return subprocess.Popen(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24",
                             os.path.join(ROOT, "cmake", "wine-run.sh"), machine,
                             os.path.join(build, "bin", "velmora-gui.exe"), "--self-test",
                             "Z:" + report.replace("/", "\\")] + list(args))


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
        checks.expect(sorted(listings[1][3]) == ["%s is now enabled." % name for name in SWITCHED],
                      "the first Apply reported %s" % listings[1][3])
        checks.expect(listings[2][2] == FEATURES, "after the second Apply the tree held %s" % listings[2][2])
        checks.expect(sorted(listings[2][3]) == ["%s is now disabled." % name for name in SWITCHED],
                      "the second Apply reported %s" % listings[2][3])
    check_unloaded(checks, text)


def check_unloaded(checks, text):
    checks.expect(text.endswith("unload\t0x00000000\n"), "DllCanUnloadNow after the window closed: %s" %
                  text.splitlines()[-1:])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
