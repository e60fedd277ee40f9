#!/usr/bin/env python3
"""Runs product actions with velmora.exe on a fresh sample machine and checks the
machine, the inventory and the statistics log. Usage: check-actions.py BUILD_DIR MACHINE_ROOT"""
import glob
import os
import pathlib
import re
import shutil
import sys

from checks import Checks, wine_run

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
NOTES_CODE = "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E002}"
CALENDAR_CODE = "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E003}"


class Machine:
    def __init__(self, build, root):
        self.build, self.root = build, root
        self.prefix = os.path.join(root, os.environ.get("VELMORA_WINE_VERSION", "win10"))
        self.c = Checks()

    def log(self, name):
        found = glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "AppData", "Local", "Velmora", "Logs",
                                       name + ".log"))
        return pathlib.Path(found[0]).read_text(encoding="utf-8", errors="replace") if found else ""

    def act(self, wanted, *args, stdin=b""):
        """Answers the output, error output and new statistics log lines of a velmora.exe run."""
        before = len(self.log("VelmoraStatistics"))
        code, out, err = wine_run(self.root, os.path.join(self.build, "bin", "velmora.exe"), *args, stdin=stdin)
        command = " ".join(args)
        self.c.expect(code == wanted, "velmora %s: exit %d, expected %d: %s%s" % (command, code, wanted, out, err))
        return out, err.replace("\r", ""), self.log("VelmoraStatistics")[before:]

    def expect_key(self, key, exists, view="/reg:64"):
        self.c.expect((wine_run(self.root, "reg", "query", UNINSTALL + "\\" + key, view)[0] == 0) == exists,
                      "the uninstall entry %s (%s) is %sthere" % (key, view, "not " if exists else "still "))

    def expect_folder_gone(self, folder):
        """Checks that a program's folder (a Windows path on drive C:) is gone."""
        host = os.path.join(self.prefix, "drive_c", *folder[3:].split("\\"))
        self.c.expect(not os.path.exists(host), "%s is still there" % folder)

    def add_update(self, number, mode, no_repair="1"):
        """Adds an update of the editor uninstalled by the console tool double."""
        name = "Update for Velmora Sample Editor (KB%s)" % number
        tool = os.path.join(self.prefix, "drive_c", "VelmoraActionTests")
        os.makedirs(tool, exist_ok=True)
        shutil.copy(os.path.join(self.build, "bin", "console_double.exe"), tool)
        path = UNINSTALL + "\\VelmoraSampleEditor_KB" + number
        for value_name, kind, value in (("DisplayName", "REG_SZ", name),
                                        ("ParentKeyName", "REG_SZ", "{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E001}"),
                                        ("ParentDisplayName", "REG_SZ", "Velmora Sample Editor"),
                                        ("UninstallString", "REG_SZ",
                                         "C:\\VelmoraActionTests\\console_double.exe " + mode),
                                        ("NoRepair", "REG_DWORD", no_repair)):
            self.reg_add(path, value_name, kind, value)
        return name

    def reg_add(self, path, value_name, kind, value):
        """Writes one value; a second try covers a Wine server that was just ending when the first one started."""
        for _ in range(2):
            code, out, err = wine_run(self.root, "reg", "add", path, "/v", value_name, "/t", kind, "/d", value, "/f")
            if code == 0:
                return
        raise RuntimeError("reg add %s /v %s failed (exit %d): %s%s" % (path, value_name, code, out, err))


def check_nsis_uninstall(m):
    """The real NSIS uninstaller relaunches itself from %TEMP%; the action lasts until that copy has ended."""
    out, _, log = m.act(0, "quiet-uninstall", "Velmora Tracker", "--timeout", "120")
    m.c.expect("\"Velmora Tracker\" is no longer listed." in out, "quiet-uninstall: %r" % out)
    started = log.find('Run command: ""C:\\Program Files\\Velmora Tracker\\uninstall.exe" /S".')
    m.c.expect(started >= 0, "the quiet uninstall command was not run:\n" + log)
    waiting = re.search(r"Waiting for the relaunched uninstaller \(process (\d+)\)\.", log)
    m.c.expect(waiting is not None and waiting.start() > started, "no wait for the relaunched uninstaller:\n" + log)
    ended = log.find("The relaunched uninstaller has ended (process %s)." % (waiting.group(1) if waiting else "?"))
    m.c.expect(waiting is not None and ended > waiting.start(), "the relaunched copy's end was not seen:\n" + log)
    m.expect_key("VelmoraTracker", False)


def check_msi_uninstall(m):
    log = m.act(0, "uninstall", "Velmora Sample Notes", "--timeout", "120")[2]
    m.c.expect('Run command: "msiexec.exe /x %s".' % NOTES_CODE in log, "msiexec /x was not run:\n" + log)
    m.expect_key(NOTES_CODE, False)


def check_32bit_msi_uninstall(m):
    out, _, log = m.act(0, "uninstall", "Velmora Sample Calendar", "--timeout", "120")
    m.expect_folder_gone("C:\\Program Files (x86)\\Velmora Samples\\Sample Calendar")
    m.c.expect("\"Velmora Sample Calendar\" is no longer listed." in out, "uninstall: %r" % out)
    m.c.expect('Run command: "msiexec.exe /x %s".' % CALENDAR_CODE in log, "msiexec /x was not run:\n" + log)
    m.expect_key(CALENDAR_CODE, False, "/reg:32")


def check_forget(m):
    out, _, log = m.act(0, "forget", "Velmora Broken Tool")
    m.c.expect("\"Velmora Broken Tool\" is no longer listed." in out, "forget: %r" % out)
    # The root's read also asks the servicing tool for the Windows features.
    commands = [line for line in log.splitlines() if "Run command" in line and "/Get-Features" not in line]
    m.c.expect(not commands, "forget ran a command:\n" + log)
    m.expect_key("VelmoraBrokenTool", True)


def check_errors_and_questions(m):
    err = m.act(9, "uninstall", m.add_update("9990001", "error87"), "--timeout", "30")[1]
    m.c.expect("The command reported an error:\nError: 87\nThe parameter is incorrect." in err,
               "the error text did not reach the terminal: %r" % err)
    # The double writes the keys it got (to the diagnostic log) and deletes nothing: exit 7.
    before = len(m.log("velmora"))
    err = m.act(7, "uninstall", m.add_update("9990002", "ask"), "--timeout", "5", stdin=b"y\nn\n")[1]
    m.c.expect("Removing the sample.\nContinue? (y/n)" in err and "Restart now? (y/n)" in err,
               "the uninstaller's questions were not asked on the terminal: %r" % err)
    typed = m.log("velmora")[before:]
    m.c.expect('Console: "Got: Y (key 89)"' in typed and 'Console: "Got: N (key 78)"' in typed,
               "the answers did not reach the uninstaller:\n" + typed)


def check_combined_command(m):
    name = m.add_update("9990003", "silent", no_repair="0")
    out, _, log = m.act(0, "modify", name, "--timeout", "30")
    m.c.expect("Modify or remove of \"%s\" done." % name in out, "modify: %r" % out)
    m.c.expect('Run command: "C:\\VelmoraActionTests\\console_double.exe silent".' in log,
               "the combined command was not run:\n" + log)


def check_refusals(m):
    err = m.act(5, "repair", "Velmora Legacy Viewer 1.7")[1]
    m.c.expect("does not offer Repair" in err, "an action not offered: %s" % err)
    m.act(4, "uninstall", "Velmora No Such Program")


def main():
    m = Machine(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    for check in (check_refusals, check_forget, check_errors_and_questions, check_combined_command,
                  check_nsis_uninstall, check_msi_uninstall, check_32bit_msi_uninstall):
        check(m)
    return m.c.report()


if __name__ == "__main__":
    sys.exit(main())
