#!/usr/bin/env python3
"""The source folders' include graph, and the check that keeps it layered.

    tools/layers.py check [ROOT]   fails, naming file and line, on an include that points up the
                                   layer order or a QtWidgets header outside src/gui and src/app
    tools/layers.py graph [ROOT]   prints the folder graph made from the #include lines
    tools/layers.py selftest       checks the check on a small tree with known faults
"""
import os
import re
import sys

# Lowest first. Folders on one level never include each other.
LEVELS = [
    ["platform"],
    ["text"],
    ["net"],
    ["workspace"],
    ["harvest", "stats", "branding"],
    ["commands"],
    ["gui", "cli"],
    ["app"],
]
LEVEL = {folder: rank for rank, names in enumerate(LEVELS) for folder in names}
WIDGET_FOLDERS = {"gui", "app"}

LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>")


def widget_headers():
    """Every header name QtWidgets installs, so no list of ours can go stale."""
    names = set()
    for base in ("/usr/include/x86_64-linux-gnu/qt6/QtWidgets", "/usr/include/qt6/QtWidgets",
                 "/usr/include/aarch64-linux-gnu/qt6/QtWidgets"):
        if os.path.isdir(base):
            names.update(os.listdir(base))
    names.add("QtWidgets")
    return names


def sources(root):
    src = os.path.join(root, "src")
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                path = os.path.join(folder, name)
                yield path, os.path.relpath(path, src).split(os.sep)[0]


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            local = LOCAL_INCLUDE.match(line)
            if local:
                yield number, "local", local.group(1)
                continue
            system = SYSTEM_INCLUDE.match(line)
            if system:
                yield number, "system", system.group(1)


def check(root):
    widgets = widget_headers()
    faults = []
    for path, folder in sources(root):
        shown = os.path.relpath(path, root)
        if folder not in LEVEL:
            faults.append(f"{shown}:1: folder src/{folder}/ has no place in the layer order")
            continue
        for number, kind, target in includes(path):
            if kind == "system":
                header = target.split("/")[-1]
                if folder not in WIDGET_FOLDERS and (target.startswith("QtWidgets/") or header in widgets):
                    faults.append(f"{shown}:{number}: includes QtWidgets header <{target}> outside src/gui and src/app")
                continue
            dest = target.split("/")[0]
            if "/" not in target or dest == folder:
                continue
            if dest not in LEVEL:
                faults.append(f"{shown}:{number}: includes \"{target}\" from unknown folder {dest}/")
            elif LEVEL[dest] >= LEVEL[folder]:
                how = "a sibling" if LEVEL[dest] == LEVEL[folder] else "up"
                faults.append(f"{shown}:{number}: includes \"{target}\": {folder}/ may not include {how} ({dest}/)")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) break the layers", file=sys.stderr)
        return 1
    return 0


def graph(root):
    edges = {}
    for path, folder in sources(root):
        for _, kind, target in includes(path):
            if kind == "local" and "/" in target and target.split("/")[0] != folder:
                key = (folder, target.split("/")[0])
                edges[key] = edges.get(key, 0) + 1
    for (a, b), count in sorted(edges.items()):
        back = " (cycle)" if (b, a) in edges else ""
        print(f"{a} -> {b}  [{count}]{back}")
    return 0


def selftest():
    """A tree with one fault of each kind and as many sound includes: exactly the faults are named."""
    import contextlib
    import io
    import tempfile

    files = {
        "src/platform/Ini.h": '#include <QString>\n',
        "src/text/Cut.h": '#include "platform/Ini.h"\n#include "text/Other.h"\n',
        "src/workspace/Ws.h": '#include "text/Cut.h"\n#include "stats/Run.h"\n',  # up: line 2
        "src/harvest/H.cpp": '#include "workspace/Ws.h"\n#include "stats/Run.h"\n',  # sibling: line 2
        "src/stats/Run.h": '#include <QPushButton>\n',  # widgets: line 1
        "src/gui/Win.cpp": '#include <QPushButton>\n#include "commands/C.h"\n#include "cli/X.h"\n',  # sibling: line 3
        "src/commands/C.h": '#include "harvest/H.h"\n#include <QtWidgets/QLabel>\n',  # widgets: line 2
        "src/extra/E.h": "",  # unknown folder
    }
    expected = ["src/workspace/Ws.h:2:", "src/harvest/H.cpp:2:", "src/stats/Run.h:1:", "src/gui/Win.cpp:3:",
                "src/commands/C.h:2:", "src/extra/E.h:1:"]
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as f:
                f.write(text)
        out = io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(io.StringIO()):
            status = check(root)
    found = sorted(line.split(" ")[0] for line in out.getvalue().splitlines())
    if status != 1 or found != sorted(expected):
        print(f"layer check found {found}, expected {sorted(expected)}")
        return 1
    return 0


def main(argv):
    if len(argv) >= 2 and argv[1] == "selftest":
        return selftest()
    if len(argv) < 2 or argv[1] not in ("check", "graph"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = argv[2] if len(argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    return check(root) if argv[1] == "check" else graph(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
