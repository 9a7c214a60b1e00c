#!/usr/bin/env python3
"""Checks every #include of the source tree against the layer table scripts/layers.txt.

Fails (exit 1, one line a fault) when a file includes a file of a higher layer, when a
file below the gui layer includes a Qt header, or when a source file under a layered
folder has no layer. Usage: check_layers.py [SOURCE_DIR] (default: this script's tree).

The build reads the table through this script too, so that one parser decides:
check_layers.py --layers-of SOURCE_DIR FILE... prints "LAYER FILE" a line for each file
(a path relative to SOURCE_DIR), "none" as the layer of a file without an entry.
"""
import pathlib
import re
import sys

LAYERS = ["base", "codecs", "document", "viewer_logic", "programs", "gui"]
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".c"}
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>")
# QtWidgets/QWidget, QString, QImage.h: Qt's headers; <queue>, <quadmath.h> are not.
QT_HEADER = re.compile(r"^(Qt[A-Za-z]*/|Q[A-Z]\w*(\.h)?$)")


def read_table(path):
    table = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        fields = line.split()
        if len(fields) != 2 or fields[1] not in LAYERS:
            raise SystemExit(f"{path}:{number}: expected 'path layer' with a layer of {LAYERS}")
        table[fields[0]] = fields[1]
    return table


def layer_of(rel, table):
    """The layer of a path relative to the source root, or None when no entry matches."""
    module = rel.rsplit(".", 1)[0]
    best = None
    for entry, layer in table.items():
        hit = module.startswith(entry) if entry.endswith("/") else module == entry
        if hit and (best is None or len(entry) > len(best[0])):
            best = (entry, layer)
    return best[1] if best else None


def resolve(include, including, root):
    """The included project file relative to the root, or None for anything else."""
    for base in (root, including.parent):
        candidate = (base / include).resolve()
        if candidate.is_file() and root in candidate.parents:
            return candidate.relative_to(root).as_posix()
    return None


def check(root):
    table = read_table(root / "scripts" / "layers.txt")
    folders = {entry.split("/", 1)[0] for entry in table}
    faults = []
    for path in sorted(root.rglob("*")):
        rel = path.relative_to(root).as_posix()
        if path.suffix not in SOURCE_SUFFIXES or rel.split("/", 1)[0] not in folders:
            continue
        if any(part.startswith(".") or part.startswith("build") for part in path.relative_to(root).parts):
            continue
        layer = layer_of(rel, table)
        if layer is None:
            faults.append(f"{rel}: no layer in scripts/layers.txt")
            continue
        rank = LAYERS.index(layer)
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            if m := SYSTEM_INCLUDE.match(line):
                if layer != "gui" and QT_HEADER.match(m.group(1)):
                    faults.append(f"{rel}:{number}: {layer} file includes the Qt header <{m.group(1)}>")
                continue
            m = PROJECT_INCLUDE.match(line)
            if not m:
                continue
            target = resolve(m.group(1), path, root)
            if target is None:
                continue
            target_layer = layer_of(target, table)
            if target_layer is not None and LAYERS.index(target_layer) > rank:
                faults.append(f"{rel}:{number}: {layer} file includes {target} of the higher layer {target_layer}")
    return faults


def print_layers_of(root, files):
    table = read_table(root / "scripts" / "layers.txt")
    for rel in files:
        print(f"{layer_of(rel, table) or 'none'} {rel}")
    return 0


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--layers-of":
        return print_layers_of(pathlib.Path(sys.argv[2]).resolve(), sys.argv[3:])
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent).resolve()
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} layer fault(s)")
        return 1
    print("layers: every include points down or across")
    return 0


if __name__ == "__main__":
    sys.exit(main())
