#!/usr/bin/env python3
"""Runs product actions with velmora.exe on a sample machine of their own and
checks what happened to the machine, to the inventory and in the library's
statistics log.

Usage: check-actions.py BUILD_DIR MACHINE_ROOT
(the machine is prepared by prepare-machine.sh; VELMORA_WINE_VERSION picks it;
the actions uninstall programs, so it is made anew for every run)
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys

from checks import Checks

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
NOTES_CODE = "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E002}"
EDITOR_CODE = "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E001}"
# Updates of the editor whose uninstall commands are the console tool double:
# one that reports an error, one that asks two yes/no questions.
ERROR_UPDATE = ("VelmoraSampleEditor_KB9990001", "Update for Velmora Sample Editor (KB9990001)", "error87")
ASKING_UPDATE = ("VelmoraSampleEditor_KB9990002", "Update for Velmora Sample Editor (KB9990002)", "ask")
# An update with a lone uninstall command that modifies or removes it.
COMBINED_UPDATE = ("VelmoraSampleEditor_KB9990003", "Update for Velmora Sample Editor (KB9990003)", "silent")


class Machine:
    def __init__(self, build, root):
        self.build = build
        self.root = root
        self.prefix = os.path.join(root, os.environ.get("VELMORA_WINE_VERSION", "win10"))

    def run(self, *args, stdin=b""):
        command = [os.path.join(ROOT, "cmake", "wine-run.sh"), self.root] + list(args)
        done = subprocess.run(command, input=stdin, capture_output=True, timeout=300)
        return (done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace"))

    def velmora(self, *args, stdin=b""):
        return self.run(os.path.join(self.build, "bin", "velmora.exe"), *args, stdin=stdin)

    def key_exists(self, key):
        return self.run("reg", "query", key)[0] == 0

    def listed(self):
        code, out, _ = self.velmora("list", "--json")
        return {record.get("displayName") for record in json.loads(out)} if code == 0 else None

    def statistics_log(self):
        return self.log("VelmoraStatistics.log")

    def diagnostic_log(self):
        """The library's diagnostic log, named after its host."""
        return self.log("velmora.log")

    def log(self, name):
        found = glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "AppData", "Local", "Velmora", "Logs",
                                       name))
        if not found:
            return ""
        with open(found[0], encoding="utf-8", errors="replace") as log:
            return log.read()


def logged_by(machine, *args, stdin=b""):
    """Runs velmora.exe; answers its exit code, output, error output and what it added to the statistics log."""
    before = len(machine.statistics_log())
    code, out, err = machine.velmora(*args, stdin=stdin)
    return code, out, err, machine.statistics_log()[before:]


def add_update(machine, key, name, mode, no_repair=True):
    tool = os.path.join(machine.prefix, "drive_c", "VelmoraActionTests")
    os.makedirs(tool, exist_ok=True)
    shutil.copy(os.path.join(machine.build, "bin", "console_double.exe"), tool)
    path = UNINSTALL + "\\" + key
    for value in (["/v", "DisplayName", "/d", name], ["/v", "ParentKeyName", "/d", EDITOR_CODE],
                  ["/v", "ParentDisplayName", "/d", "Velmora Sample Editor"],
                  ["/v", "UninstallString", "/d", "C:\\VelmoraActionTests\\console_double.exe " + mode],
                  ["/v", "NoRepair", "/t", "REG_DWORD", "/d", "1" if no_repair else "0"]):
        machine.run("reg", "add", path, *value, "/f")


def check_nsis_uninstall(c, machine):
    """The real NSIS uninstaller relaunches itself from %TEMP%; the action lasts until that copy has ended."""
    code, out, err, log = logged_by(machine, "quiet-uninstall", "Velmora Tracker", "--timeout", "120")
    c.expect(code == 0, "quiet-uninstall Velmora Tracker: exit %d: %s%s" % (code, out, err))
    c.expect("\"Velmora Tracker\" is no longer listed." in out, "quiet-uninstall: %r" % out)
    started = log.find('Run command: ""C:\\Program Files\\Velmora Tracker\\uninstall.exe" /S".')
    c.expect(started >= 0, "the quiet uninstall command was not run:\n" + log)
    waiting = re.search(r"Waiting for the relaunched uninstaller \(process (\d+)\)\.", log)
    c.expect(waiting is not None and waiting.start() > started, "no wait for the relaunched uninstaller:\n" + log)
    if waiting:
        ended = log.find("The relaunched uninstaller has ended (process %s)." % waiting.group(1))
        c.expect(ended > waiting.start(), "the relaunched uninstaller's end was not seen:\n" + log)
    c.expect(not machine.key_exists(UNINSTALL + "\\VelmoraTracker"), "the tracker's uninstall entry is still there")
    c.expect(not os.path.exists(os.path.join(machine.prefix, "drive_c", "Program Files", "Velmora Tracker")),
             "the tracker's folder is still there")
    listed = machine.listed()
    c.expect(listed is not None and "Velmora Tracker" not in listed, "the tracker is still listed")


def check_msi_uninstall(c, machine):
    code, out, err, log = logged_by(machine, "uninstall", "Velmora Sample Notes", "--timeout", "120")
    c.expect(code == 0, "uninstall Velmora Sample Notes: exit %d: %s%s" % (code, out, err))
    c.expect('Run command: "msiexec.exe /x %s".' % NOTES_CODE in log, "msiexec /x was not run:\n" + log)
    c.expect(not machine.key_exists(UNINSTALL + "\\" + NOTES_CODE), "the notes' uninstall entry is still there")
    listed = machine.listed()
    c.expect(listed is not None and "Velmora Sample Notes" not in listed, "the notes program is still listed")


def check_forget(c, machine):
    code, out, err, log = logged_by(machine, "forget", "Velmora Broken Tool")
    c.expect(code == 0, "forget Velmora Broken Tool: exit %d: %s%s" % (code, out, err))
    c.expect("\"Velmora Broken Tool\" is no longer listed." in out, "forget: %r" % out)
    c.expect("Run command" not in log, "forget ran a command:\n" + log)
    c.expect(machine.key_exists(UNINSTALL + "\\VelmoraBrokenTool"), "forget touched the registry")
    listed = machine.listed()
    c.expect(listed is not None and "Velmora Broken Tool" in listed, "the next run no longer lists the entry")


def check_errors_and_questions(c, machine):
    add_update(machine, *ERROR_UPDATE)
    add_update(machine, *ASKING_UPDATE)
    code, out, err, _ = logged_by(machine, "uninstall", ERROR_UPDATE[1], "--timeout", "30")
    c.expect(code == 9, "an uninstaller's error: exit %d, expected 9: %s%s" % (code, out, err))
    c.expect("The command reported an error:\nError: 87\nThe parameter is incorrect." in err.replace("\r", ""),
             "the error text did not reach the terminal: %r" % err)
    # Both questions are asked on the terminal and the answers typed into the
    # uninstaller's console (it writes what it got to its output, which the
    # library's diagnostic log shows); the entry stays, the double deletes nothing.
    before = len(machine.diagnostic_log())
    code, out, err, _ = logged_by(machine, "uninstall", ASKING_UPDATE[1], "--timeout", "5", stdin=b"y\nn\n")
    err = err.replace("\r", "")
    c.expect("Removing the sample.\nContinue? (y/n)" in err and "Restart now? (y/n)" in err,
             "the uninstaller's questions were not asked on the terminal: %r" % err)
    typed = machine.diagnostic_log()[before:]
    c.expect('Console: "Got: Y (key 89)"' in typed and 'Console: "Got: N (key 78)"' in typed,
             "the answers did not reach the uninstaller:\n" + typed)
    c.expect(code == 7, "an update that stays: exit %d, expected 7: %s%s" % (code, out, err))


def check_combined_command(c, machine):
    """Modify runs the one command of a product that offers only modify-or-remove."""
    add_update(machine, *COMBINED_UPDATE, no_repair=False)
    code, out, err, log = logged_by(machine, "modify", COMBINED_UPDATE[1], "--timeout", "30")
    c.expect(code == 0, "modify of a combined command: exit %d: %s%s" % (code, out, err))
    c.expect("Modify or remove of \"%s\" done." % COMBINED_UPDATE[1] in out, "modify: %r" % out)
    c.expect('Run command: "C:\\VelmoraActionTests\\console_double.exe silent".' in log,
             "the combined command was not run:\n" + log)


def check_refusals(c, machine):
    code, _, err = machine.velmora("repair", "Velmora Legacy Viewer 1.7")
    c.expect(code == 5 and "does not offer Repair" in err, "an action not offered: exit %d: %s" % (code, err))
    code, _, err = machine.velmora("uninstall", "Velmora No Such Program")
    c.expect(code == 4, "an unknown product: exit %d: %s" % (code, err))


def main():
    machine = Machine(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    c = Checks()
    check_refusals(c, machine)
    check_forget(c, machine)
    check_errors_and_questions(c, machine)
    check_combined_command(c, machine)
    check_nsis_uninstall(c, machine)
    check_msi_uninstall(c, machine)
    return c.report()


if __name__ == "__main__":
    sys.exit(main())
