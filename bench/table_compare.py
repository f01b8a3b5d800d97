#!/usr/bin/python3
"""The keyword table benchmark beside the same operations done with pandas.

Runs bench_TableBench (which leaves its input files in a folder), then reads the same files with
pandas, sorts, filters and writes CSV, and prints one Markdown table of both.

    /usr/bin/python3 bench/table_compare.py [build-bench/bench/bench_TableBench]
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


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench/bench_TableBench"
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, VORLITH_BENCH_DATA=folder)
        out = subprocess.run([binary, "--benchmark_format=json"], env=env, check=True, capture_output=True, text=True)
        ours = {b["name"].split("/iterations")[0]: b for b in json.loads(out.stdout)["benchmarks"]}

        keywords_file = os.path.join(folder, "keywords.txt")
        table = pd.read_csv(os.path.join(folder, "results.csv"), dtype=str, keep_default_na=False)
        rows = len(table)
        panda = {}
        panda["import"] = timed(lambda: read_keywords(keywords_file))
        frame = panda["import"][2]
        panda["memory"] = frame.memory_usage(deep=True, index=True).sum() / rows
        panda["sort count"] = timed(lambda: table.iloc[np.argsort(counts(table["Google"]).to_numpy(), kind="stable")])
        panda["sort keywords"] = timed(lambda: table.sort_values("Keywords", key=lambda k: k.str.lower(), kind="stable"))
        ticked = np.arange(rows) % 2 == 0
        panda["delete half"] = timed(lambda: table[~ticked])
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
    print(f"| sort by a count column | {ms('BM_SortByCount')} | < 0.5 s | {pms('sort count')} |")
    print(f"| sort by Keywords, C locale | {ms('BM_SortByKeywords/C')} | < 1.5 s | {pms('sort keywords')} (lower-cased bytes) |")
    print(f"| sort by Keywords, en_US (ICU) | {ms('BM_SortByKeywords/en_US')} | < 1.5 s | |")
    print(f"| Delete Selected, half ticked | {ms('BM_DeleteSelectedHalf')} | < 0.2 s | {pms('delete half')} |")
    print(f"| Save Results | {ms('BM_SaveResults')} | < 0.5 s | {pms('save')} |")
    mem = ours["BM_MemoryPerRow"]["imported_bytes_per_row"]
    print(f"| memory per row beyond the text | {mem:.0f} bytes | < 250 bytes | {panda['memory']:.0f} bytes with the text |")


if __name__ == "__main__":
    main()
