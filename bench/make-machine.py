#!/usr/bin/env python3
"""Writes the benchmark's synthetic machine as a .reg file on standard output:
2,000 uninstall entries (machine 64-bit and 32-bit views, current user) with
the values real setup tools write, 200 of them Windows Installer products with
their installer registrations (packed code under the installer class root and
under the machine's installer data, with InstallProperties); and the classes
the forced removal's registry scanners read: 4,000 COM classes (1,000 more in
the 32-bit view), 3,000 ProgIDs, 1,000 file extensions, 500 AppIDs, 300
applications and App Paths, with the benchmark program's own among them and
a system type and another program's type whose "open" verb it took
over. The same file
every time (fixed seed), so the prefix is filled once.
"""
import random
import sys

ENTRIES = 2000
INSTALLER_PRODUCTS = 200
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
USERDATA = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Products"
CLASSES = r"HKEY_LOCAL_MACHINE\Software\Classes\Installer\Products"

VENDORS = ["Arvel Labs", "Brightmoor Software", "Cindra Systems", "Dunhallow Tools", "Eskerfield",
           "Fenwick Data", "Glimmerstone", "Harrowgate Media", "Islay Networks", "Jorvik Games",
           "Kestrel Utilities", "Larkspur Audio", "Morrow Devices", "Northby Graphics", "Oakhurst Office"]
WORDS = ["Studio", "Viewer", "Sync", "Backup", "Editor", "Player", "Converter", "Manager", "Monitor",
         "Toolkit", "Runtime", "Driver", "Assistant", "Designer", "Reader", "Recorder", "Scanner"]


def text(value):
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def dword(value):
    return "dword:%08x" % value


def packed(guid):
    g = guid.strip("{}").replace("-", "")
    return g[:8][::-1] + g[8:12][::-1] + g[12:16][::-1] + "".join(g[i + 1] + g[i] for i in range(16, 32, 2))


def key(out, path, values):
    out.append("[%s]" % path)
    out.extend('"%s"=%s' % (name, value) for name, value in values)
    out.append("")


CLASSES_ROOT = r"HKEY_LOCAL_MACHINE\Software\Classes"
APP_PATHS = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths"
BENCH_APP = r"C:\Program Files\BenchVendor\BenchApp"


def classes(out, rng):
    def guid():
        return "{%08X-%04X-%04X-%04X-%012X}" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16),
                                                 rng.getrandbits(16), rng.getrandbits(48))

    def folder(n):
        return r"C:\Program Files\%s\%s %d" % (rng.choice(VENDORS), rng.choice(WORDS), n)

    clsids, appids = [], []
    for n in range(500):
        appid = guid()
        appids.append(appid)
        key(out, r"%s\AppID\%s" % (CLASSES_ROOT, appid), [("", text("%s service %d" % (rng.choice(WORDS), n)))])
        key(out, r"%s\AppID\svc%d.exe" % (CLASSES_ROOT, n), [("AppID", text(appid))])
    for view, count in (("", 4000), ("\\Wow6432Node", 1000)):
        for n in range(count):
            clsid = guid()
            clsids.append(clsid)
            server = "InprocServer32" if n % 4 else "LocalServer32"
            values = [("", text("%s %s class" % (rng.choice(WORDS), rng.choice(WORDS))))]
            if n % 5 == 0:
                values.append(("AppID", text(rng.choice(appids))))
            key(out, r"%s%s\CLSID\%s" % (CLASSES_ROOT, view, clsid), values)
            key(out, r"%s%s\CLSID\%s\%s" % (CLASSES_ROOT, view, clsid, server),
                [("", text(r"%s\module%d.%s" % (folder(n), n, "dll" if n % 4 else "exe")))])
    progids = []
    for n in range(3000):
        progid = "%s.%s.%d" % (rng.choice(VENDORS).split()[0], rng.choice(WORDS), n)
        progids.append(progid)
        key(out, r"%s\%s" % (CLASSES_ROOT, progid), [("", text("%s document" % rng.choice(WORDS)))])
        if n % 2:
            key(out, r"%s\%s\CLSID" % (CLASSES_ROOT, progid), [("", text(rng.choice(clsids)))])
        else:
            key(out, r"%s\%s\DefaultIcon" % (CLASSES_ROOT, progid), [("", text(r"%s\app.exe,1" % folder(n)))])
            for verb in ("open", "print") if n % 4 else ("open",):
                key(out, r"%s\%s\shell\%s\command" % (CLASSES_ROOT, progid, verb),
                    [("", text(r'"%s\app%d.exe" "%%1"' % (folder(n), n)))])
    for n in range(1000):
        ext = ".x%03d" % n
        key(out, r"%s\%s" % (CLASSES_ROOT, ext), [("", text(rng.choice(progids)))])
        key(out, r"%s\%s\OpenWithProgids" % (CLASSES_ROOT, ext),
            [(rng.choice(progids), '""') for _ in range(3)])
        key(out, r"%s\%s\OpenWithList\app%d.exe" % (CLASSES_ROOT, ext, rng.randrange(3000)), [])
    for n in range(300):
        key(out, r"%s\Applications\app%d.exe\shell\open\command" % (CLASSES_ROOT, n),
            [("", text(r'"%s\app%d.exe" "%%1"' % (folder(n), n)))])
        key(out, r"%s\app%d.exe" % (APP_PATHS, n), [("", text(r"%s\app%d.exe" % (folder(n), n))),
                                                      ("Path", text(folder(n)))])
    # The benchmark program's own: a class, its ProgID and extension, and the
    # system's text type whose "open" it took over.
    own = guid()
    key(out, r"%s\CLSID\%s\LocalServer32" % (CLASSES_ROOT, own),
        [("", text('"%s\\benchapp.exe" -Embedding' % BENCH_APP))])
    key(out, r"%s\BenchVendor.Doc\CLSID" % CLASSES_ROOT, [("", text(own))])
    key(out, r"%s\.benchdoc\OpenWithProgids" % CLASSES_ROOT, [("BenchVendor.Doc", '""')])
    key(out, r"%s\.txt" % CLASSES_ROOT, [("", text("txtfile"))])
    key(out, r"%s\txtfile\shell\open\command" % CLASSES_ROOT,
        [("", text('"%s\\benchapp.exe" "%%1"' % BENCH_APP))])
    key(out, r"%s\BenchVendor.Text\shell\open\command" % CLASSES_ROOT,
        [("", text('"%s\\benchapp.exe" "%%1"' % BENCH_APP))])
    key(out, r"%s\BenchVendor.Text\shell\print\command" % CLASSES_ROOT,
        [("", text(r'C:\Windows\system32\notepad.exe /p "%1"'))])
    key(out, r"%s\txtfile\shell\print\command" % CLASSES_ROOT,
        [("", text(r'C:\Windows\system32\notepad.exe /p "%1"'))])


def main():
    rng = random.Random(20261205)
    out = ["Windows Registry Editor Version 5.00", ""]
    for n in range(ENTRIES):
        vendor = rng.choice(VENDORS)
        product = "%s %s %d" % (rng.choice(WORDS), rng.choice(WORDS), n)
        name = "%s %s" % (vendor.split()[0], product)
        version = "%d.%d.%d" % (rng.randint(1, 20), rng.randint(0, 9), rng.randint(0, 9999))
        date = "20%02d%02d%02d" % (rng.randint(15, 26), rng.randint(1, 12), rng.randint(1, 28))
        size = rng.randint(200, 4000000)
        msi = n < INSTALLER_PRODUCTS
        if msi or n % 3 == 0:
            root, folder = "HKEY_LOCAL_MACHINE\\" + UNINSTALL, r"C:\Program Files"
        elif n % 3 == 1:
            root, folder = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", \
                r"C:\Program Files (x86)"
        else:
            root, folder = "HKEY_CURRENT_USER\\" + UNINSTALL, r"C:\Users\Public\AppData\Local\Programs"
        location = "%s\\%s\\%s" % (folder, vendor, product)
        guid = "{%08X-%04X-%04X-%04X-%012X}" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16),
                                                 rng.getrandbits(16), rng.getrandbits(48))
        common = [("DisplayName", text(name)), ("DisplayVersion", text(version)), ("Publisher", text(vendor)),
                  ("InstallLocation", text(location)), ("InstallDate", text(date)),
                  ("EstimatedSize", dword(size)), ("URLInfoAbout", text("https://%s.example/" % vendor.split()[0].lower())),
                  ("HelpLink", text("https://%s.example/help" % vendor.split()[0].lower()))]
        if msi:
            key(out, root + "\\" + guid, common + [
                ("UninstallString", text("MsiExec.exe /X" + guid)), ("ModifyPath", text("MsiExec.exe /I" + guid)),
                ("WindowsInstaller", dword(1)), ("Language", dword(1033)),
                ("VersionMajor", dword(int(version.split(".")[0]))), ("VersionMinor", dword(int(version.split(".")[1])))])
            code = packed(guid)
            key(out, "%s\\%s\\InstallProperties" % (USERDATA, code), common + [
                ("LocalPackage", text("C:\\Windows\\Installer\\%x.msi" % rng.getrandbits(24))),
                ("UninstallString", text("MsiExec.exe /X" + guid)), ("WindowsInstaller", dword(1))])
            key(out, "%s\\%s" % (CLASSES, code), [
                ("ProductName", text(name)), ("PackageCode", text("%032X" % rng.getrandbits(128))),
                ("Language", dword(1033)), ("Version", dword(rng.getrandbits(24))), ("Assignment", dword(1)),
                ("AdvertiseFlags", dword(388))])
        else:
            style = n % 4
            subkey = guid if style == 0 else ("%s_is1" % name if style == 1 else name.replace(" ", ""))
            uninstaller = "%s\\unins000.exe" % location if style == 1 else "%s\\uninstall.exe" % location
            key(out, root + "\\" + subkey, common + [
                ("UninstallString", text('"%s"' % uninstaller)),
                ("QuietUninstallString", text('"%s" /S' % uninstaller)),
                ("DisplayIcon", text("%s\\%s.exe,0" % (location, product.split()[0].lower()))),
                ("NoModify", dword(1)), ("NoRepair", dword(1))])
    classes(out, rng)
    sys.stdout.write("\r\n".join(out) + "\r\n")


if __name__ == "__main__":
    main()
