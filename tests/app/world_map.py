#!/usr/bin/env python3
"""The World Map tab on a generated store, through quorix: stacks of readings at one spot each
around the world (one alarm in each), a crowd of 400 readings around Munich with many equal dose
rates, and a reading without a position fix. The map shows one pin per cell of about 10 screen
points laid on the world, the cell's highest dose rate (of equal ones the oldest), at the world
view, and after panning to the crowd and zooming into it, a small pan, and a zoom by one level.
The expected pins are worked out here from the points themselves.

usage: world_map.py QUORIX HOME
"""
import math
import os
import random
import re
import shutil
import sqlite3
import subprocess
import sys

quorix, home = sys.argv[1:3]
shutil.rmtree(home, ignore_errors=True)
os.makedirs(home)

WORLD = 2.0 ** 28
MAP_WIDTH = 320  # points: the world view shows the whole world across
LIMIT = math.degrees(math.atan(math.sinh(math.pi)))


def map_point(lat, lon):
    x = max(0.0, min(268435455.99, (lon + 180.0) / 360.0 * WORLD))
    s = math.sin(max(min(lat, LIMIT), -LIMIT) * math.pi / 180.0)
    y = max(0.0, min(268435455.99, (0.5 - math.log((1 + s) / (1 - s)) / (4 * math.pi)) * WORLD))
    return x, y


def cell_size(map_points_per_point):
    """Cells of at least 10 points: a whole number of squares of a power of two."""
    target = 10 * map_points_per_point
    shift = math.floor(math.log2(target / 4))
    return math.ceil(target / 2.0 ** shift - 1e-9) * 2.0 ** shift


def run(commands):
    script = os.path.join(home, "walk.qx")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(commands + ["quit", ""]))
    done = subprocess.run([quorix, "--home", home, "--no-demo", "--script", script], capture_output=True, text=True,
                          timeout=120)
    if done.returncode != 0:
        sys.exit(f"quorix failed:\n{done.stdout}\n{done.stderr}")
    return done.stdout


run([])  # makes the store
points = []  # (row, name, lat, lon, der)
rng = random.Random(3)
for i in range(12):
    lat, lon = -50 + i * 9.5, -170 + i * 30
    for k, der in enumerate([0.1, 0.2, 0.15, 4.0 + i / 10, 0.12]):
        points.append((f"S{i}_{k}", lat, lon, der))
for j in range(400):
    points.append((f"C{j}", 48.13 + rng.random() * 0.02, 11.56 + rng.random() * 0.03, rng.randint(5, 60) / 100))
points.append(("Cmax", 48.14, 11.575, 7.5))
points.append(("NoFix", -1, -1, 9.9))
db = sqlite3.connect(os.path.join(home, "VennorlabsDB.sqlite"))
db.execute('INSERT INTO "Set" (id, date) VALUES (1, 1700000000)')
rows = []
for row, (name, lat, lon, der) in enumerate(points, start=1):
    db.execute('INSERT INTO "Waypoint" (id, name, latitude, longitude, set_id, set_pos) VALUES (?, ?, ?, ?, 1, ?)',
               (row, name, lat, lon, row))
    db.execute('INSERT INTO "Measurement" (id, date, der, set_id, set_pos, waypoint_id) VALUES (?, ?, ?, 1, ?, ?)',
               (row, 1700000000 + row, der, row, row))
    rows.append((row, name, lat, lon, der))
db.commit()
db.close()


def expected(map_points_per_point, names=lambda n: n != "NoFix"):
    size = cell_size(map_points_per_point)
    best = {}
    for row, name, lat, lon, der in rows:
        if not names(name):
            continue
        x, y = map_point(lat, lon)
        cell = (math.floor(x / size), math.floor(y / size))
        if cell not in best or der > best[cell][0] or (der == best[cell][0] and row < best[cell][1]):
            best[cell] = (der, row, name)
    return sorted(v[2] for v in best.values())


def shows(output):
    """The pins' names of each `show`, in order, with the map's centre and span."""
    states = []
    for line in output.splitlines():
        text = line.strip()
        m = re.match(r"Map \w+ centre ([-\d.]+),([-\d.]+) span ([\d.]+)x([\d.]+)", text)
        if m:
            states.append({"centre": (float(m[1]), float(m[2])), "span": float(m[4]), "pins": []})
        elif text.startswith("Pin ") and states:
            states[-1]["pins"].append(re.match(r'Pin "[^"]* (\S+)"', text)[1])
    for s in states:
        s["pins"].sort()
    return states


failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: shown {len(got)} pins, expected {len(want)}; only shown: "
                        f"{sorted(set(got) - set(want))[:8]}, missing: {sorted(set(want) - set(got))[:8]}")


world = WORLD / MAP_WIDTH
# Munich to the centre of the world view: a drag moves the map under the finger.
cx, cy = map_point(0, 0)
mx, my = map_point(48.14, 11.575)
pan = [f"pan {-(mx - cx) / world:.4f} {-(my - cy) / world:.4f}"]
output = run(['tab "World Map"', "show", *pan, "pinch 16", "pinch 16", "pinch 8", "show", "pan 7 3", "show",
              "pinch 2.5", "show"])
states = shows(output)
if len(states) != 4:
    sys.exit(f"expected four maps, read {len(states)}:\n{output}")

# The whole world: every stack shows its alarm, the crowd its loudest, the point without a fix nothing.
check("world view", states[0]["pins"], expected(world))
for i in range(12):
    if f"S{i}_3" not in states[0]["pins"]:
        failures.append(f"world view: the alarm of stack {i} is not shown")
if "Cmax" not in states[0]["pins"] or "NoFix" in states[0]["pins"]:
    failures.append("world view: the crowd's alarm is hidden or the point without a fix is shown")

crowd = lambda n: n.startswith("C")  # noqa: E731
for index, what in [(1, "zoomed into the crowd"), (2, "after a small pan"), (3, "zoomed in once more")]:
    state = states[index]
    # The map's scale from the longitudes it spans across its width.
    scale = state["span"] / 360.0 * WORLD / MAP_WIDTH
    want = expected(scale, crowd)
    got = [p for p in state["pins"] if crowd(p)]
    check(what, got, want)
    if "Cmax" not in got:
        failures.append(f"{what}: the crowd's alarm is hidden")
    if len(want) < 10:
        failures.append(f"{what}: only {len(want)} cells hold the crowd; the walk does not zoom in enough")

if failures:
    sys.exit("\n".join(failures))
print(f"world map: {len(states[0]['pins'])} pins at the world view, "
      f"{len(states[1]['pins'])} and {len(states[3]['pins'])} over the crowd")
