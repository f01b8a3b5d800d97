#!/usr/bin/python3
"""The keyword table benchmark beside the same operations done with pandas.

Runs bench_TableBench (which leaves its input files in a folder), then reads the same files with
pandas, sorts, filters and writes CSV, and prints one Markdown table of both.

    /usr/bin/python3 bench/table_compare.py [build-bench/bench/bench_TableBench]

vorlith-cli beside the benchmark's folder (build-bench/vorlith-cli) also runs the whole job end to
end, each program as one process, timed with its peak memory.
"""
import csv
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd


def timed(action, repeat=3):
    """Best wall and CPU milliseconds of a few runs, and the last result."""
    best_wall = best_cpu = float("inf")
    result = None
    for _ in range(repeat):
        wall, cpu = time.perf_counter(), time.process_time()
        result = action()
        best_wall = min(best_wall, (time.perf_counter() - wall) * 1000)
        best_cpu = min(best_cpu, (time.process_time() - cpu) * 1000)
    return best_wall, best_cpu, result


def read_keywords(path):
    # One keyword per line, nothing quoted, empty lines kept.
    return pd.read_csv(path, header=None, names=["Keywords"], sep="\x01", quoting=csv.QUOTE_NONE,
                       dtype=str, keep_default_na=False, skip_blank_lines=False, engine="c")


def counts(column):
    return pd.to_numeric(column.str.replace(",", "", regex=False), errors="coerce").fillna(0).astype("int64")


# The same job as `vorlith-cli --keywords FILE [--remove-duplicates] --sort 1 --save OUT`, as a
# pandas user scripts it: read, drop case-insensitive duplicates, sort ignoring case, write the six
# quoted columns with CR LF.
PANDAS_JOB = r"""
import csv, sys
import pandas as pd
source, target, dedupe = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
k = pd.read_csv(source, header=None, names=["Keywords"], sep="\x01", quoting=csv.QUOTE_NONE, dtype=str,
                keep_default_na=False, skip_blank_lines=False, engine="c")
k.insert(0, "No", (k.index + 1).astype(str))
if dedupe:
    k = k[~k["Keywords"].str.lower().duplicated(keep="first")]
k = k.sort_values("Keywords", key=lambda c: c.str.lower(), kind="stable")
for column in ("Searches", "Google", "Yahoo", "Msn"):
    k[column] = ""
k.to_csv(target, index=False, quoting=csv.QUOTE_ALL, lineterminator="\r\n")
"""


# Peak memory counts what a process inherits before it execs, so the program is started from a
# small launcher instead of from this (by then large) Python process.
LAUNCHER = r"""
import os, sys, time
start = time.perf_counter()
pid = os.fork()
if pid == 0:
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 1)
    os.dup2(null, 2)
    os.execv(sys.argv[1], sys.argv[1:])
_, status, usage = os.wait4(pid, 0)
print(time.perf_counter() - start, usage.ru_maxrss, status)
"""


def whole_process(command):
    """Wall seconds and peak resident MiB of one run of a program."""
    out = subprocess.run(["/usr/bin/python3", "-S", "-c", LAUNCHER] + command, check=True, capture_output=True,
                         text=True).stdout.split()
    if out[2] != "0":
        raise RuntimeError(f"{command[0]} failed with status {out[2]}")
    return float(out[0]), int(out[1]) / 1024


def end_to_end(cli, keywords_file, folder):
    rows = []
    for dedupe in (False, True):
        ours = whole_process([cli, "--folder", folder, "--keywords", keywords_file]
                             + (["--remove-duplicates"] if dedupe else [])
                             + ["--sort", "1", "--save", os.path.join(folder, "cli.csv")])
        theirs = whole_process(["/usr/bin/python3", "-c", PANDAS_JOB, keywords_file,
                                os.path.join(folder, "pandas-job.csv"), "1" if dedupe else "0"])
        rows.append((dedupe, ours, theirs))
    return rows


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench/bench_TableBench"
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, VORLITH_BENCH_DATA=folder)
        out = subprocess.run([binary, "--benchmark_format=json"], env=env, check=True, capture_output=True, text=True)
        ours = {b["name"].split("/iterations")[0]: b for b in json.loads(out.stdout)["benchmarks"]}

        keywords_file = os.path.join(folder, "keywords.txt")
        table = pd.read_csv(os.path.join(folder, "results.csv"), dtype=str, keep_default_na=False)
        rows = len(table)
        cli = os.path.join(os.path.dirname(os.path.dirname(binary)), "vorlith-cli")
        whole = end_to_end(cli, keywords_file, folder) if os.path.exists(cli) else []
        panda = {}
        panda["import"] = timed(lambda: read_keywords(keywords_file))
        frame = panda["import"][2]
        panda["memory"] = frame.memory_usage(deep=True, index=True).sum() / rows
        panda["sort count"] = timed(lambda: table.iloc[np.argsort(counts(table["Google"]).to_numpy(), kind="stable")])
        panda["sort keywords"] = timed(lambda: table.sort_values("Keywords", key=lambda k: k.str.lower(), kind="stable"))
        ticked = np.arange(rows) % 2 == 0
        panda["delete half"] = timed(lambda: table[~ticked])
        lower = table["Keywords"].str.lower()
        panda["dedupe"] = timed(lambda: table[~lower.duplicated(keep="first")])
        panda["contains"] = timed(lambda: table[table["Keywords"].str.contains("g", case=False, regex=False)])
        target = os.path.join(folder, "pandas.csv")
        panda["save"] = timed(lambda: table.to_csv(target, index=False, quoting=csv.QUOTE_ALL, lineterminator="\r\n"))

    def ms(name):
        b = ours[name]
        return f"{b['real_time']:.0f} ms ({b['cpu_time']:.0f} ms CPU)"

    def pms(key):
        wall, cpu, _ = panda[key]
        return f"{wall:.0f} ms ({cpu:.0f} ms CPU)"

    print(f"| {rows:,} rows | Vorlith | target | pandas {pd.__version__} |")
    print("|---|---|---|---|")
    print(f"| import the keyword file | {ms('BM_ImportKeywordFile')} | < 1 s | {pms('import')} |")
    print(f"| sort by a count column | {ms('BM_SortByCount')} | < 150 ms | {pms('sort count')} |")
    print(f"| sort by Keywords, C locale | {ms('BM_SortByKeywords/C')} | < 1.0 s | {pms('sort keywords')} (lower-cased bytes) |")
    print(f"| sort by Keywords, en_US (ICU) | {ms('BM_SortByKeywords/en_US')} | < 1.0 s | |")
    print(f"| filter, one typed letter (mean of g, go, gol) | {ms('BM_FilterTypedLetter')} | < 100 ms | {pms('contains')} (`str.contains`, g) |")
    print(f"| Remove Duplicates, C locale | {ms('BM_RemoveDuplicates/0')} | < 0.5 s | {pms('dedupe')} (`drop_duplicates` of lower-cased) |")
    print(f"| Remove Duplicates, en_US | {ms('BM_RemoveDuplicates/1')} | < 0.5 s | |")
    print(f"| move every row to a random place (a sort without its keys) | {ms('BM_ReorderRows')} | | |")
    print(f"| Delete Selected, half ticked | {ms('BM_DeleteSelectedHalf')} | < 0.2 s | {pms('delete half')} |")
    print(f"| Save Results | {ms('BM_SaveResults')} | < 0.5 s | {pms('save')} |")
    mem = ours["BM_MemoryPerRow"]["imported_bytes_per_row"]
    print(f"| memory per row beyond the text | {mem:.0f} bytes | < 120 bytes | {panda['memory']:.0f} bytes with the text |")
    for dedupe, (our_time, our_rss), (their_time, their_rss) in whole:
        job = "import, Remove Duplicates, sort, save" if dedupe else "import, sort, save"
        print(f"| vorlith-cli {job}, whole process | {our_time * 1000:.0f} ms, {our_rss:.0f} MiB peak "
              f"({our_time / their_time:.2f} of the time, {our_rss / their_rss:.2f} of the memory) "
              f"| <= 0.25 of the time, <= 0.6 of the memory | {their_time * 1000:.0f} ms, {their_rss:.0f} MiB peak |")


if __name__ == "__main__":
    main()
