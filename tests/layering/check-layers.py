#!/usr/bin/env python3
"""Checks that the folders of the library depend only downwards.

Each subsystem folder is one static library. Its CMake link edges (the
velmora_<folder> libraries it names) must point to folders lower in LAYERS,
and every header it includes from another folder must come from a folder it
reaches through those edges. The public contract (api/) includes nothing of
ours; the stand-ins and the front end (components/, tools/) reach only api/
and platform/. Prints every violation; exits 1 if there is one.
"""
import re
import sys
from pathlib import Path

# From the bottom up.
LAYERS = ["platform", "api", "frame", "console", "msi", "inventory", "locations", "usage",
          "features", "forceremove", "library", "components", "tools"]
ONLY_CONTRACT = {"components": {"api", "platform"}, "tools": {"api", "platform"}}
# Folders outside the layers: they hold no library code.
OUTSIDE = {"tests", "bench", "fuzz", "resources", "cmake", "docs", "build"}

SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cpp", ".rc"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/', re.MULTILINE)
LIBRARY = re.compile(r"\bvelmora_([a-z]+)\b")


def link_edges(root, folder):
    """The folders whose libraries the folder's CMake files name."""
    edges = set()
    for cmake in (root / folder).rglob("CMakeLists.txt"):
        for name in LIBRARY.findall(cmake.read_text()):
            if name in LAYERS and name != folder:
                edges.add(name)
    return edges


def reachable(edges, folder):
    seen, stack = set(), list(edges[folder])
    while stack:
        current = stack.pop()
        if current not in seen:
            seen.add(current)
            stack.extend(edges.get(current, ()))
    return seen


def main(root):
    root = Path(root)
    problems = []
    for path in sorted(p for p in root.iterdir() if p.is_dir() and not p.name.startswith(".")):
        has_code = any(f.suffix in SOURCE_SUFFIXES for f in path.rglob("*"))
        if has_code and path.name not in LAYERS and path.name not in OUTSIDE:
            problems.append(f"{path.name}/: a folder with code that has no place in the layers")

    rank = {folder: i for i, folder in enumerate(LAYERS)}
    present = [f for f in LAYERS if (root / f).is_dir()]
    edges = {f: link_edges(root, f) for f in present}
    for folder in present:
        for target in sorted(edges[folder]):
            if rank[target] >= rank[folder]:
                problems.append(f"{folder}/ links {target}/, which is not below it")
        allowed_only = ONLY_CONTRACT.get(folder)
        if allowed_only is not None:
            for target in sorted(edges[folder] - allowed_only):
                problems.append(f"{folder}/ links {target}/; it may use only {', '.join(sorted(allowed_only))}")

    for folder in present:
        allowed = set() if folder == "api" else reachable(edges, folder)
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in SOURCE_SUFFIXES:
                continue
            for used in sorted(set(INCLUDE.findall(source.read_text(errors="replace")))):
                if used in rank and used != folder and used not in allowed:
                    problems.append(f"{source.relative_to(root)} includes from {used}/, "
                                    f"which {folder}/ does not link")

    for problem in problems:
        print(problem)
    print(f"{len(present)} folders checked: " + ("dependencies point down" if not problems
                                                 else f"{len(problems)} violations"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]))
