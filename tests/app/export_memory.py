#!/usr/bin/env python3
"""Exports every day of a generated store of 150,000 waypoints to a GPX file and sends it by mail,
with the program's peak memory measured against a run that only marks the same days: the export
holds a few batches of records and the mail reads the file where it lies, so the peak may be at
most 64 MB above the marking's (not checked in a sanitizer build, whose own memory would count).
The sent mail is read back with Python's mail parser: its attachment is the exported file, byte
for byte.

usage: export_memory.py QUORIX HOME [--no-memory-bound]
"""
import glob
import os
import shutil
import sqlite3
import sys

from sent_mail import read_mail, run_measured

quorix, home = sys.argv[1:3]
bounded = "--no-memory-bound" not in sys.argv[3:]
over_marking_mb = 64
days, per_day = 5, 30000
shutil.rmtree(home, ignore_errors=True)
os.makedirs(home)


def run(name, commands):
    """Runs the commands in a program of its own; its peak resident size in MB."""
    script = os.path.join(home, name + ".qx")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(commands + ["quit", ""]))
    log = os.path.join(home, name + ".out")
    code, peak = run_measured(quorix, home, script, log)
    if code != 0:
        with open(log, encoding="utf-8", errors="replace") as f:
            sys.exit(f"{name}: quorix failed with status {code}\n{f.read()[-3000:]}")
    print(f"{name}: peak resident size {peak:.1f} MB")
    return peak


run("store", [])
with sqlite3.connect(os.path.join(home, "VennorlabsDB.sqlite")) as db:
    row = 0
    for day in range(days):
        noon = 1772366400 + 86400 * day  # 1 to 5 March 2026, 12:00 UTC
        db.execute('INSERT INTO "Set" (id, date) VALUES (?, ?)', (day + 1, noon))
        points, readings = [], []
        for i in range(per_day):
            row += 1
            # Every tenth point was taken without an elevation.
            points.append((row, f"Point {row} by the river, on the way back", 48 + i * 1e-5, 11 + day * 0.1,
                           -1 if i % 10 == 0 else 500 + i % 300, day + 1, i))
            readings.append((row, noon - 40000 + i, 0.05 + i % 97 * 0.01, day + 1, i, row))
        db.executemany('INSERT INTO "Waypoint" (id, name, latitude, longitude, altitude, set_id, set_pos)'
                       " VALUES (?, ?, ?, ?, ?, ?, ?)", points)
        db.executemany('INSERT INTO "Measurement" (id, date, der, de, variation, deviceName, set_id, set_pos,'
                       " waypoint_id) VALUES (?, ?, ?, 1, 12.5, 'VN2450', ?, ?, ?)", readings)

names = [f"{d}, March {n}, 2026" for n, d in enumerate(["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday"], 1)]
marking = ["tab History"] + [f'toggle "{name}"' for name in names]
marked = run("marking", marking)
exported = run("export", marking + ["tap Share", "press Export", 'press "to GPX file"', "type To: a@example.org",
                                     "tap Send"])
failures = []
if bounded and exported > marked + over_marking_mb:
    failures.append(f"the export's peak of {exported:.1f} MB is more than {over_marking_mb} MB above the "
                    f"{marked:.1f} MB of marking the days")

files = glob.glob(os.path.join(home, "Documents", "*.gpx"))
sent = glob.glob(os.path.join(home, "Outbox", "*.eml"))
if len(files) != 1 or len(sent) != 1:
    sys.exit(f"expected one GPX file and one sent mail, found {files} and {sent}")
message = read_mail(sent[0])
attachments = list(message.iter_attachments())
with open(files[0], "rb") as f:
    gpx = f.read()
if len(attachments) != 1:
    failures.append(f"{len(attachments)} attachments")
else:
    part = attachments[0]
    if part.get_filename() != os.path.basename(files[0]) or part.get_content_type() != "application/gpx+xml":
        failures.append(f"the attachment is {part.get_filename()!r} of {part.get_content_type()}")
    if part.get_content() != gpx:
        failures.append("the attachment is not the exported file")
if gpx.count(b"<wpt ") != days * per_day or gpx.count(b"<ele>") != days * per_day * 9 // 10:
    failures.append(f"{gpx.count(b'<wpt ')} waypoints and {gpx.count(b'<ele>')} elevations in the file")
print(f"{os.path.basename(files[0])}: {len(gpx) >> 20} MB, mailed as {os.path.basename(sent[0])}")
if failures:
    sys.exit("\n".join(failures))
shutil.rmtree(home, ignore_errors=True)
