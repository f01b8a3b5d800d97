#!/usr/bin/env python3
"""The README's demo, end to end without a window: lays out BUILD/run exactly as `make run` does
(tools/run-demo.sh --layout-only), starts the stand-in, and gathers keywords through the laid-out
vorlith-cli with --folder BUILD/run.

    demo_run.py ROOT BUILD
"""
import csv
import io
import os
import subprocess
import sys
import tempfile


def main(argv):
    root, build = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    run = os.path.join(build, "run")
    standin = subprocess.Popen([os.path.join(build, "vorlith-standin"), "--port", "0", "--quiet"],
                               stdout=subprocess.PIPE, text=True)
    try:
        first = standin.stdout.readline().split()
        base = first[-1] if first else ""
        if not base.startswith("http://127.0.0.1:"):
            print(f"vorlith-standin did not name its address: {first}")
            return 1
        env = dict(os.environ, BUILD_DIR=build)
        subprocess.run([os.path.join(root, "tools", "run-demo.sh"), "--layout-only", base], env=env, check=True)

        faults = []
        for name in ("vorlith", "vorlith-cli", "dbconfig.dat", "dbimg1.dat"):
            if not os.path.isfile(os.path.join(run, name)):
                faults.append(f"run/{name} is missing")
        with open(os.path.join(run, "dbconfig.dat"), encoding="latin-1") as f:
            config = f.read()
        if "[Endpoints]" not in config or f"SuggestionServiceBase={base}" not in config or "@STANDIN@" in config:
            faults.append("dbconfig.dat does not point the endpoints at the stand-in")

        cli = os.path.join(run, "vorlith-cli")
        branding = subprocess.run([cli, "--folder", run, "--branding"], capture_output=True, text=True,
                                  timeout=60)
        if branding.returncode != 0 or "v1.04" not in branding.stdout:
            faults.append(f"--branding: exit {branding.returncode}, {branding.stdout!r} {branding.stderr!r}")

        with tempfile.TemporaryDirectory() as scratch:
            saved = os.path.join(scratch, "golf.csv")
            gathered = subprocess.run([cli, "--folder", run, "--main-keyword", "golf clubs", "--gather-keywords",
                                       "--save", saved], capture_output=True, text=True, timeout=120)
            if gathered.returncode != 0:
                faults.append(f"--gather-keywords: exit {gathered.returncode}: {gathered.stderr!r}")
            else:
                with open(saved, newline="", encoding="latin-1") as f:
                    rows = list(csv.reader(io.StringIO(f.read())))
                if len(rows) < 21 or rows[0][:2] != ["No", "Keywords"] or not all(r[1] for r in rows[1:]):
                    faults.append(f"the saved table holds {len(rows) - 1} rows: {rows[:3]}")
        for fault in faults:
            print(fault)
        return 1 if faults else 0
    finally:
        standin.terminate()
        standin.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
