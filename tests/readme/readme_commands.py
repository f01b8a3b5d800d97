#!/usr/bin/env python3
"""Keeps the README honest: every `make TARGET` it names is a rule of the Makefile that `make -n`
accepts, and every repository file or folder it names in backticks exists (scripts executable).

    readme_commands.py ROOT
"""
import os
import re
import subprocess
import sys

CODE_SPAN = re.compile(r"`([^`\n]+)`")
MAKE_CALL = re.compile(r"(?:^|[\s(;])make\s+([a-z][a-z0-9-]*)")
TOP_FOLDERS = ("src/", "tests/", "tools/", "bench/", "fuzz/", "resources/", "docs/", ".ci/", "packaging/")


def code_texts(readme):
    """The README's inline code spans and the lines of its fenced blocks."""
    texts, fenced = [], False
    for line in readme.splitlines():
        if line.startswith("```"):
            fenced = not fenced
            continue
        if fenced:
            texts.append(line)
        else:
            texts.extend(CODE_SPAN.findall(line))
    return texts


def named_paths(texts, readme):
    paths = set()
    for text in texts:
        for word in text.split():
            word = word.strip("\"'(),")
            if word.startswith(TOP_FOLDERS) and re.fullmatch(r"[\w./*-]+", word) and "*" not in word:
                paths.add(word)
    # Pictures: ![caption](docs/x.png)
    paths.update(re.findall(r"!\[[^\]]*\]\(([^)\s]+)\)", readme))
    return paths


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    with open(os.path.join(root, "Makefile"), encoding="utf-8") as f:
        makefile = f.read()
    texts = code_texts(readme)
    faults = []

    targets = sorted({t for text in texts for t in MAKE_CALL.findall(text)})
    if not targets:
        faults.append("the README names no make target at all")
    phony = set()
    for line in makefile.splitlines():
        if line.startswith(".PHONY:"):
            phony.update(line.split(":", 1)[1].split())
    for target in targets:
        # A folder of the same name would satisfy make on its own; the rule must be there.
        if not re.search(rf"^{re.escape(target)}\s*:", makefile, re.M):
            faults.append(f"make {target}: the Makefile has no such rule")
            continue
        if os.path.exists(os.path.join(root, target)) and target not in phony:
            faults.append(f"make {target}: a file or folder of that name hides the rule (not .PHONY)")
        done = subprocess.run(["make", "-n", "-C", root, target], capture_output=True, text=True)
        if done.returncode != 0:
            faults.append(f"make -n {target} fails: {done.stderr.strip()}")

    for path in sorted(named_paths(texts, readme)):
        full = os.path.join(root, path)
        # A unit may be named without its extension (src/platform/ProgramFolder).
        if not any(os.path.exists(full + ext) for ext in ("", ".h", ".cpp")):
            faults.append(f"{path}: named by the README, missing")
        elif path.endswith(".sh") and not os.access(full, os.X_OK):
            faults.append(f"{path}: a script the README names is not executable")

    for fault in faults:
        print(fault)
    print(f"{len(targets)} make targets and {len(named_paths(texts, readme))} paths checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
