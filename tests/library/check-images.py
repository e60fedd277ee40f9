#!/usr/bin/env python3
"""Checks the shipped images of a Windows build tree as a front end's loader
sees them: every image is of the build's machine type, imports nothing but
system libraries (the runtime is linked in), and each library exports its
entry points under their plain names, as GetProcAddress asks for them. Each
is a release image: no debug information inside, a debug link naming the
file beside it that holds it (its CRC matching).
Usage: check-images.py BIN_DIR x86|x64"""
import os
import struct
import sys
import zlib

MACHINES = {"x86": 0x14C, "x64": 0x8664}
AGENT_SUFFIXES = {"x86": "x32", "x64": "x64"}
# What each library must export; anything else it exports is a fault too.
EXPORTS = {
    "VelmoraHelper.dll": {"DllGetInstance", "DllCanUnloadNow", "DllGetVersion"},
    "ProcyraHelper.dll": {"DllGetInstance", "DllCanUnloadNow"},
    "RekovaHelper.dll": {"DllGetInstance", "DllCanUnloadNow"},
    "TrustikaHelper.dll": {"DllGetInstance", "DllCanUnloadNow"},
    "LaunchetHelper.dll": {"DllGetInstance", "DllCanUnloadNow"},
    "ProcyraHelper.Agent.%s.dll": {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                                   "DllUnregisterServer"},
}
PROGRAMS = ["velmora.exe", "velmora-gui.exe"]
# Libraries every Windows (XP and later) has; a runtime DLL of the compiler
# (libstdc++, libgcc, libwinpthread) would be missing on the user's machine.
SYSTEM_LIBRARIES = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "version.dll", "msi.dll", "psapi.dll", "msvcrt.dll",
    "userenv.dll", "wintrust.dll", "crypt32.dll", "bcrypt.dll", "ntdll.dll", "rpcrt4.dll", "mpr.dll",
    "setupapi.dll", "uxtheme.dll", "imagehlp.dll", "dbghelp.dll", "ws2_32.dll", "netapi32.dll",
    "secur32.dll", "wtsapi32.dll", "uuid.dll", "shfolder.dll", "winmm.dll", "iphlpapi.dll", "propsys.dll",
}


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("not a PE image")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, symbols, symbol_count, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(2)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", self.data, table + 40 * i + 8) for i in range(sections)]
        # A long section name is "/N", N an offset into the string table after the symbols.
        strings = symbols + 18 * symbol_count
        self.section_names = []
        for i in range(sections):
            name = self.data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode("ascii")
            if name.startswith("/"):
                start = strings + int(name[1:])
                name = self.data[start:self.data.index(b"\0", start)].decode("ascii")
            self.section_names.append(name)

    def section(self, name):
        index = self.section_names.index(name)
        _, _, raw_size, raw_pointer = self.sections[index]
        return self.data[raw_pointer:raw_pointer + raw_size]

    def offset(self, rva):
        for size, address, raw_size, raw_pointer in self.sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw_pointer
        raise ValueError("address 0x%x lies in no section" % rva)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self):
        rva, size = self.directories[0]
        if not size:
            return set()
        directory = self.offset(rva)
        names = struct.unpack_from("<I", self.data, directory + 24)[0]
        name_table = struct.unpack_from("<I", self.data, directory + 32)[0]
        return {self.text(struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0])
                for i in range(names)}

    def imports(self):
        rva, size = self.directories[1]
        found, entry = set(), self.offset(rva) if size else None
        while entry is not None:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if not (lookup or name or thunks):
                break
            found.add(self.text(name).lower())
            entry += 20
        return found


def release_faults(image, path):
    faults = ["debug section %s inside" % name for name in image.section_names if name.startswith(".debug")]
    if ".gnu_debuglink" not in image.section_names:
        return faults + ["no debug link"]
    link = image.section(".gnu_debuglink")
    file_name = link[:link.index(b"\0")].decode("ascii")
    crc_offset = (len(file_name) + 1 + 3) & ~3
    crc = struct.unpack_from("<I", link, crc_offset)[0]
    if file_name != os.path.basename(path) + ".debug":
        faults.append("debug link names %s" % file_name)
    debug_file = os.path.join(os.path.dirname(path), file_name)
    if not os.path.exists(debug_file):
        faults.append("%s is missing" % file_name)
    else:
        with open(debug_file, "rb") as f:
            if zlib.crc32(f.read()) != crc:
                faults.append("%s does not match the link's CRC" % file_name)
    return faults


def main():
    folder, bitness = sys.argv[1], sys.argv[2]
    failures, checked = [], 0
    expected = {name.replace("%s", AGENT_SUFFIXES[bitness]): exports for name, exports in EXPORTS.items()}
    expected.update({name: None for name in PROGRAMS})
    for name, exports in sorted(expected.items()):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            failures.append("%s is not in %s" % (name, folder))
            continue
        checked += 1
        try:
            image = Image(path)
            if image.machine != MACHINES[bitness]:
                failures.append("%s: machine 0x%x, not %s" % (name, image.machine, bitness))
            foreign = sorted(image.imports() - SYSTEM_LIBRARIES)
            if foreign:
                failures.append("%s imports %s" % (name, ", ".join(foreign)))
            if exports is not None and image.exports() != exports:
                failures.append("%s exports %s, expected %s" % (name, sorted(image.exports()), sorted(exports)))
            failures.extend("%s: %s" % (name, fault) for fault in release_faults(image, path))
        except (ValueError, struct.error) as error:
            failures.append("%s: %s" % (name, error))
    for failure in failures:
        print("FAILED: " + failure)
    print("%d images, %d failed" % (checked, len(failures)))
    return 1 if failures or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
