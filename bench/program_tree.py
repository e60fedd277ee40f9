"""The synthetic program folder that the forced removal's scan benchmark
scans: 20,000 files in 2,000 folders (the program folder and 1,999 below
it, of varied depth), with the names and sizes of an installed program.
The files are sparse: their sizes cost no disk space. The same tree every
time (fixed seed).
"""
import hashlib
import os
import random
import shutil

FILES = 20000
FOLDERS = 2000
MAX_DEPTH = 9
# Below the prefix's C: drive.
PROGRAM_FOLDER = ("Program Files", "BenchVendor", "BenchApp")

FOLDER_WORDS = ["bin", "lib", "plugins", "Resources", "locales", "Themes", "x64", "Modules", "Data",
                "Templates", "Help", "Fonts", "Samples", "Scripts", "Drivers", "Extensions", "Icons",
                "Äquivalente", "Données", "Sprachen"]
FILE_WORDS = ["core", "Runtime", "ui", "Network", "codec", "Render", "helper", "Update", "crash",
              "Telemetry", "license", "README", "config", "strings", "Vorlage", "résumé"]
EXTENSIONS = [".dll", ".exe", ".dat", ".json", ".png", ".xml", ".pak", ".mui", ".txt", ".ico", ".bin"]


def layout():
    """The tree as (folders, files): relative folder paths (the program folder
    is ""), and (relative path, size) of each file."""
    rng = random.Random(20261206)
    folders, depth = [""], {"": 0}
    while len(folders) < FOLDERS:
        parent = rng.choice(folders)
        if depth[parent] >= MAX_DEPTH:
            continue
        name = "%s %d" % (rng.choice(FOLDER_WORDS), len(folders)) if rng.random() < 0.3 else \
            "%s%d" % (rng.choice(FOLDER_WORDS), len(folders))
        folder = os.path.join(parent, name)
        folders.append(folder)
        depth[folder] = depth[parent] + 1
    files = []
    for n in range(FILES):
        folder = folders[n % FOLDERS] if n < FOLDERS else rng.choice(folders)
        name = "%s_%s%d%s" % (rng.choice(FILE_WORDS), rng.choice(FILE_WORDS).lower(), n, rng.choice(EXTENSIONS))
        size = rng.choice([0, rng.randint(1, 4096), rng.randint(4096, 1 << 20), rng.randint(1 << 20, 1 << 26)])
        files.append((os.path.join(folder, name), size))
    return folders, files


def make(prefix):
    """Writes the tree into the prefix's C: drive unless the same tree is
    there; answers its Windows path (with a trailing "\\"), its file count,
    folder count and total size."""
    folders, files = layout()
    root = os.path.join(prefix, "drive_c", *PROGRAM_FOLDER)
    stamp = hashlib.sha256(repr((folders, files)).encode()).hexdigest()[:16]
    stamp_file = os.path.join(prefix, ".velmora-bench-program-folder")
    if not os.path.exists(stamp_file) or open(stamp_file).read().strip() != stamp:
        print("Writing the benchmark's program folder (%d files in %d folders)" % (len(files), len(folders)),
              flush=True)
        shutil.rmtree(root, ignore_errors=True)
        for folder in folders:
            os.makedirs(os.path.join(root, folder), exist_ok=True)
        for path, size in files:
            with open(os.path.join(root, path), "wb") as f:
                f.truncate(size)
        with open(stamp_file, "w") as f:
            f.write(stamp + "\n")
    windows_path = "C:\\" + "\\".join(PROGRAM_FOLDER) + "\\"
    return windows_path, len(files), len(folders), sum(size for _, size in files)
