#!/usr/bin/env python3
"""Imports files of hostile sizes through quorix and measures the program's peak memory: a
2 GB file of no lines that is no waypoint file, a 256 MB CSV whose middle is one line of
256 MB between good rows (both sparse, so they cost no disk), and a CSV of half a million good
rows, which an import holding every row until the end would need far more than the bound for,
imported twice.
The peak resident size of each run must stay under 200 MB (not checked in a sanitizer build,
whose own memory would count).

usage: import_memory.py QUORIX HOME [--no-memory-bound] [--rows N]

--rows sets the good rows' number (by hand: 3700000 make a file of some 256 MB).
"""
import os
import shutil
import sqlite3
import sys
import time

from sent_mail import run_measured

quorix, home = sys.argv[1:3]
bounded = "--no-memory-bound" not in sys.argv[3:]
valid_rows = int(sys.argv[sys.argv.index("--rows") + 1]) if "--rows" in sys.argv[3:] else 500000
limit_mb = 200
shutil.rmtree(home, ignore_errors=True)
documents = os.path.join(home, "Documents")
os.makedirs(documents)

with open(os.path.join(documents, "huge.csv"), "wb") as f:
    f.truncate(2 << 30)
with open(os.path.join(documents, "long-line.csv"), "wb") as f:
    f.write(b"date,der\n2026-12-01T10:00:00Z,0.1\n")
    f.seek(256 << 20)
    f.write(b"\n2026-12-01T11:00:00Z,0.2\n")
with open(os.path.join(documents, "valid.csv"), "w", encoding="utf-8") as f:
    f.write("date,der,variation,latitude,longitude,name\n")
    start = 1772359200  # 2026-03-01, a row every 2 s over some twelve days
    f.writelines(f"{time.strftime('%Y-%m-%dT%H:%M:%SZ', time.gmtime(start + 2 * i))},{0.08 + i % 997 * 0.00131:.3f},{5 + i % 40},{48 + i % 10000 * 0.000123:.6f},"
                 f"{11 + i // 10000 * 0.0457:.6f},P{i}\n" for i in range(valid_rows))
os.link(os.path.join(documents, "valid.csv"), os.path.join(documents, "again.csv"))

cases = [
    ("huge.csv", ['expect "Nothing was imported."', 'expect "The header row cannot be read"']),
    ("long-line.csv", ['expect "Imported: 2"', 'expect "Skipped: 1"', 'expect "a row of less than 4 MB"']),
    ("valid.csv", [f'expect "Imported: {valid_rows}"', 'expect "Skipped: 0"']),
    # The same rows into a store that holds them already: the save reads index pages from all
    # over a large file, which must not all stay in memory.
    ("again.csv", [f'expect "Imported: {valid_rows}"', 'expect "Skipped: 0"']),
]
failures = []
for name, checks in cases:
    script = os.path.join(home, name + ".qx")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(["tab Settings", 'tap "Import Data"', f"tap {name}", *checks, "press OK", ""]))
    log = os.path.join(home, name + ".out")
    code, peak_mb = run_measured(quorix, home, script, log)
    size_mb = os.path.getsize(os.path.join(documents, name)) >> 20
    print(f"{name} ({size_mb} MB): exit {code}, peak resident size {peak_mb:.1f} MB")
    if code != 0:
        with open(log, encoding="utf-8", errors="replace") as f:
            failures.append(f"{name}: quorix failed with status {code}\n{f.read()[-3000:]}")
    if bounded and peak_mb >= limit_mb:
        failures.append(f"{name}: peak memory {peak_mb:.1f} MB, not under {limit_mb} MB")
# Every row of the batches is stored, once.
with sqlite3.connect(os.path.join(home, "VennorlabsDB.sqlite")) as db:
    stored = db.execute("SELECT COUNT(*) FROM Measurement").fetchone()[0]
if stored != 2 * valid_rows + 2:
    failures.append(f"{stored} readings stored, not {2 * valid_rows + 2}")
if failures:
    sys.exit("\n".join(failures))
