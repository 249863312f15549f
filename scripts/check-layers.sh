#!/usr/bin/env bash
# Checks the include directions between the layers of src/, lowest first:
#   common < library < audiofile < loudness = dsp < engine = vst < export = cdimport < views < core < app = cli
# A file may include headers of its own layer or below. Qt stays out of everything below views
# and out of core; views may use QtGui (with the QtCore types it needs) but no other module;
# QtWidgets only in app. tests/, bench/ and fuzz/ may include anything and are not checked.
# Prints one line per offending include and exits 1 when there is any.
#   scripts/check-layers.sh [ROOT]
set -euo pipefail
ROOT="$(cd "${1:-$(dirname "$0")/..}" && pwd)"
QT_HEADERS="$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || true)"
exec python3 - "$ROOT" "$QT_HEADERS" <<'PY'
import os, re, sys

root, qt_headers = sys.argv[1], sys.argv[2]
src = os.path.join(root, "src")
RANK = {"common": 0, "library": 1, "audiofile": 2, "loudness": 3, "dsp": 3, "engine": 4, "vst": 4, "export": 5, "cdimport": 5,
        "views": 6, "core": 7, "app": 8, "cli": 8}
VIEWS = RANK["views"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

if not qt_headers or not os.path.isdir(qt_headers):
    for guess in ("/usr/include/x86_64-linux-gnu/qt6", "/usr/include/aarch64-linux-gnu/qt6", "/usr/include/qt6"):
        if os.path.isdir(guess):
            qt_headers = guess
            break
qt_modules = sorted(d for d in os.listdir(qt_headers) if d.startswith("Qt")) if qt_headers and os.path.isdir(qt_headers) else []

def qt_module(name):
    """The Qt module of an angle include, or None when it is not a Qt header."""
    first = name.split("/")[0]
    if re.match(r"Qt[A-Z]\w*$", first) and "/" in name:
        return first
    if re.match(r"Qt[A-Z]\w*$", name):  # a module's all-in-one header, <QtWidgets>
        return name
    if not re.match(r"(Q[A-Z]\w*|q\w+\.h)$", name):
        return None
    for m in qt_modules:
        if os.path.exists(os.path.join(qt_headers, m, name)):
            return m
    # Not found in the installed headers: a Q-named class header is still Qt.
    return "Qt?" if name[0] == "Q" else None

def layer_of(path):
    rel = os.path.relpath(path, src)
    return rel.split(os.sep)[0] if not rel.startswith("..") else None

problems = []
unknown = set()
for dirpath, dirs, files in os.walk(src):
    dirs.sort()
    for f in sorted(files):
        if not f.endswith((".h", ".hpp", ".cpp", ".cc", ".c", ".inc")):
            continue
        path = os.path.join(dirpath, f)
        layer = layer_of(path)
        if layer not in RANK:
            unknown.add(layer)
            continue
        rank = RANK[layer]
        rel = os.path.relpath(path, root)
        with open(path, encoding="utf-8", errors="replace") as fh:
            for no, line in enumerate(fh, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, name = m.groups()
                where = f"{rel}:{no}"
                if kind == "<":
                    mod = qt_module(name)
                    if mod:
                        if layer == "core":
                            problems.append(f"{where}: <{name}> ({mod}): core is free of Qt")
                        elif rank < VIEWS:
                            problems.append(f"{where}: <{name}> ({mod}): no Qt below views")
                        elif layer == "views" and mod not in ("QtGui", "QtCore"):
                            problems.append(f"{where}: <{name}> ({mod}): views use QtGui only")
                        elif mod == "QtWidgets" and layer != "app":
                            problems.append(f"{where}: <{name}> (QtWidgets): widgets only in app")
                        continue
                # Our own header: beside the file, else from src/.
                target = None
                for base in (dirpath, src):
                    cand = os.path.normpath(os.path.join(base, name))
                    if os.path.isfile(cand):
                        target = cand
                        break
                if target is None:
                    first = name.split("/")[0]
                    if "/" in name and first in RANK:
                        target_layer = first
                    else:
                        continue  # a system or generated header
                else:
                    target_layer = layer_of(target)
                    if target_layer is None:
                        continue  # outside src/
                    if target_layer not in RANK:
                        problems.append(f'{where}: "{name}" is in src/{target_layer}, which is no layer')
                        continue
                if RANK[target_layer] > rank:
                    problems.append(f'{where}: "{name}": {target_layer} is above {layer}')

for u in sorted(x for x in unknown if x and x != "CMakeLists.txt"):
    problems.append(f"src/{u}/: a folder that is no layer (add it to the order in scripts/check-layers.sh)")
for p in problems:
    print(p)
if problems:
    print(f"check-layers: {len(problems)} include(s) against the layering", file=sys.stderr)
    sys.exit(1)
print("check-layers: every include follows the layering")
PY
