#!/usr/bin/env python3
"""The World Map's search on a generated store of 20,000 named points, through quorix: the
search opened, then "T", "Tow", "Quarry" and "X" typed. Each screen must list only the rows in
view (the newest matches, in order) and say how many rows match, as worked out here from the
points; a match far down the list is scrolled to by `tap` and its review opens.

usage: world_search.py QUORIX HOME
"""
import os
import re
import shutil
import sqlite3
import subprocess
import sys

from script_checks import check, finish

quorix, home = sys.argv[1:3]
shutil.rmtree(home, ignore_errors=True)
os.makedirs(home)
COUNT = 20000


def run(commands):
    """Runs the commands piped in, as a person types them, and returns what quorix printed."""
    done = subprocess.run([quorix, "--home", home, "--no-demo"], input="\n".join(commands + ["quit", ""]),
                          capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        sys.exit(f"quorix failed:\n{done.stdout[-3000:]}\n{done.stderr}")
    return done.stdout


def name_of(i):
    if i % 1000 == 7:
        return f"Quarry {i // 1000}"
    return f"Tower {i}" if i % 10 == 0 else f"Point {i}"


run([])  # makes the store
db = sqlite3.connect(os.path.join(home, "VennorlabsDB.sqlite"))
db.execute('INSERT INTO "Set" (id, date) VALUES (1, 1700000000)')
for i in range(COUNT):
    db.execute('INSERT INTO "Waypoint" (id, name, latitude, longitude, set_id, set_pos) VALUES (?, ?, 47.4, 8.5, 1, ?)',
               (i + 1, name_of(i), i))
    db.execute('INSERT INTO "Measurement" (id, date, der, set_id, set_pos, waypoint_id) VALUES (?, ?, 0.1, 1, ?, ?)',
               (i + 1, 1700000000 + 60 * i, i, i + 1))
db.commit()
db.close()

typed = ["", "T", "Tow", "Quarry", "X"]
commands = ['tab "World Map"', "tap Search", "show"]
for text in typed[1:]:
    commands += [f'type Search "{text}"', "show"]
commands += ['type Search "Quarry"', 'tap "Quarry 0"', "show"]
output = run(commands)


def screens(text):
    """Each shown search: the number of rows it says it has and the names of the rows it lists."""
    found = []
    for line in text.splitlines():
        line = line.strip()
        m = re.match(r"Section 0 \((\d+) rows?\)", line)
        if m:
            found.append({"rows": int(m[1]), "names": []})
        m = re.match(r'TextField "(\S+ \d+) ', line)
        if m and found:
            found[-1]["names"].append(m[1])
    return found


shown = screens(output)
if len(shown) != len(typed):
    sys.exit(f"expected {len(typed)} searches shown, read {len(shown)}:\n{output[-3000:]}")
for text, screen in zip(typed, shown):
    newest_first = [name_of(i) for i in reversed(range(COUNT)) if name_of(i).startswith(text)]
    check(screen["rows"] == len(newest_first), f'"{text}": says {screen["rows"]} rows, {len(newest_first)} match')
    want = newest_first[:len(screen["names"])]
    check(not newest_first or 3 <= len(screen["names"]) <= 8, f'"{text}": lists {len(screen["names"])} rows, not a screenful')
    check(screen["names"] == want, f'"{text}": lists {screen["names"]}, the newest matches are {want}')

# The oldest quarry lies below the screenful: tapped, it is scrolled to and its review opens.
review = output[output.rfind("Window"):]
check('Waypoint review "Waypoint"' in review and "Nov 14, 2023" in review,
      f"the oldest quarry's review did not open:\n{review[:800]}")
finish()
print(f"searched {COUNT} points for {len(typed)} texts")
