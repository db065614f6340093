#!/usr/bin/env python3
"""One quorix per data folder, kept to its owner, and whole after a kill.

Two programs on one folder: the second is refused, naming the folder and the first one's
process, and touches nothing. Every file and folder the program makes is its owner's only,
SQLite's log files included; the folders that were there (an older run's, open to others) keep
their rights. Then quorix is
killed (SIGKILL) at random moments of an import, a recording, a settings save, an export, a
rename, a day's deletion, a track's save, a waypoint added by hand and a mail, and started
again on the same folder each time: the database must pass its integrity check, keep everything
stored before the kill that was not being deleted, change no record but the one edited, delete
a day whole or not at all, hold no track left without its figures, and no temporary file may be
left behind.

usage: datafolder.py QUORIX HOME [SEED]
"""
import json
import os
import random
import re
import shutil
import signal
import sqlite3
import stat
import subprocess
import sys
import time

quorix, home = sys.argv[1:3]
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 19)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)


class Program:
    """quorix reading commands from a pipe; `run` waits until the commands before it are done."""

    def __init__(self):
        # A fixed morning, so a recording's hours never cross a midnight.
        self.p = subprocess.Popen([quorix, "--home", home, "--start-time", "2026-12-07T09:00"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, text=True, bufsize=1)

    def send(self, *commands):
        for c in commands:
            self.p.stdin.write(c + "\n")
        self.p.stdin.flush()

    def run(self, *commands):
        """Sends the commands, then `store`, and returns the stored counts once it answered."""
        self.send(*commands, "store")
        while True:
            line = self.p.stdout.readline()
            if not line:
                raise RuntimeError("quorix ended: " + self.p.stderr.read())
            if line.startswith("sets "):
                return {k: int(v) for k, v in (part.split(" ") for part in line.strip().split(", "))}

    def kill_after(self, seconds):
        time.sleep(seconds)
        self.p.send_signal(signal.SIGKILL)
        self.p.wait()

    def quit(self):
        self.send("quit")
        self.p.stdin.close()
        return self.p.wait(timeout=60)


def mode(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


def leftovers():
    found = []
    for folder, _, files in os.walk(home):
        found += [os.path.join(folder, f) for f in files if re.search(r"\.tmp-\d+-\d+$", f)]
    return found


def database():
    return os.path.join(home, "VennorlabsDB.sqlite")


# ---- an older run's folder, open to everyone ----------------------------------------------------
shutil.rmtree(home, ignore_errors=True)
os.makedirs(os.path.join(home, "Documents"))
os.chmod(home, 0o755)
with open(os.path.join(home, "quorix.log"), "w") as f:
    f.write("an older run's log\n")
os.chmod(os.path.join(home, "quorix.log"), 0o644)
# Waypoints enough that importing and exporting them takes a while to be killed in.
with open(os.path.join(home, "Documents", "many.gpx"), "w") as gpx:
    gpx.write('<?xml version="1.0"?>\n<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">\n')
    for i in range(6000):
        gpx.write(f'<wpt lat="{50 + i * 1e-4:.4f}" lon="8.6"><ele>{100 + i % 50}</ele>'
                  f'<time>2026-03-0{1 + i % 5}T10:{i // 60 % 60:02d}:{i % 60:02d}Z</time><name>p{i}</name></wpt>\n')
    gpx.write("</gpx>\n")
# What a killed program of an earlier version left: removed at start, other files kept.
for name in ["Preferences.json.tmp-99999-3", "Documents/Waypoints 2026-03-01 10-00-00.gpx.tmp-99999-0",
             "Outbox/mail-20260301-100000.eml.tmp-99999-1"]:
    os.makedirs(os.path.dirname(os.path.join(home, name)), exist_ok=True)
    with open(os.path.join(home, name), "w") as f:
        f.write("half")
with open(os.path.join(home, "Documents", "notes.tmp-file.csv"), "w") as f:
    f.write("mine\n")

# The folders that were there keep their rights: quorix cannot tell an older run's folder from
# one of the person's.
existing = {d: mode(d) for d, _, _ in os.walk(home)}
first = Program()
first.run("tab Track")

# ---- a second program on the same folder -----------------------------------------------------------
log_before = open(os.path.join(home, "quorix.log")).read()
second = subprocess.run([quorix, "--home", home, "--script", "/dev/null"], capture_output=True, text=True, timeout=60)
check(second.returncode == 1, f"the second program exits with 1, not {second.returncode}")
expected = f"quorix: the data folder {home} is in use by another quorix (process {first.p.pid})"
check(second.stderr.startswith(expected), f"the second program says {second.stderr!r}, not {expected!r}")
check(open(os.path.join(home, "quorix.log")).read() == log_before, "the second program left the log alone")

# ---- kept to the owner -----------------------------------------------------------------------------
first.run("tap Record", "advance 120")
check(mode(home) == 0o755, f"the data folder that was there keeps its rights: {oct(mode(home))}")
made = [os.path.join(d, f) for d, _, files in os.walk(home) for f in files]
check(any(p.endswith("-wal") for p in made) and any(p.endswith("-shm") for p in made), "SQLite's -wal and -shm are there")
for path in made:
    if path.endswith("many.gpx") or path.endswith("notes.tmp-file.csv"):
        continue  # the test's own files
    check(mode(path) == 0o600, f"{os.path.relpath(path, home)} is {oct(mode(path))}")
for d, dirs, _ in os.walk(home):
    for sub in (os.path.join(d, s) for s in dirs):
        want = existing.get(sub, 0o700)
        check(mode(sub) == want, f"{os.path.relpath(sub, home)} is a {oct(mode(sub))} folder, not {oct(want)}")
check(not leftovers(), f"an older run's temporary files are gone: {leftovers()}")
check(os.path.exists(os.path.join(home, "Documents", "notes.tmp-file.csv")), "a file of the user's that only looks alike stays")
first.run("tap Stop", "press Cancel", "tab Settings", "tap \"Import Data\"", "tap many.gpx", "press OK", "back")
check(first.quit() == 0, "the first program ends well")

# ---- killed at random moments ------------------------------------------------------------------------
days = [f"{d}, March {n}, 2026" for n, d in enumerate(["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday"], 1)]
# The first row of 5 March's list: its latest point (10:59:59), as the row shows it.
renamed = "p3599 Mar 5, 2026"


def scenarios(round_):
    """Each moment: the commands before it, the commands killed in, and whether stored records may go."""
    doomed = days[round_]  # a day deleted whole or not at all, another each round
    return {
        # First, while 5 March has one latest point; later rounds may find a copy imported since.
        "rename": (["tab History", f"tap \"{days[4]}\"", "tap Manage", "tap Edit#1", f"type \"{renamed}\"#1 Zed"],
                   ["tap Done"], False),
        "import": (["tab Settings", "tap \"Import Data\""], ["tap many.gpx"], False),
        "recording": (["tab Track", "tap Record", "advance 300"], ["advance 3000"], False),
        "settings": (["tab Settings"], ["toggle \"Sound OFF by Shake\""] * 40, False),
        "export": (["tab History"] + [f"toggle \"{d}\"" for d in days[3:]],
                   ["tap Share", "press Export", "press \"to GPX file\"", "type To: a@example.org", "tap Send"], False),
        "day deleted": (["tab History", "tap Manage"], [f"delete \"{doomed}\""], True),
        "track saved": (["tab Track", "tap Record", "advance 600"],
                        ["tap Stop", "type \"Track Name\" Walk", "press Save"], False),
        "waypoint added": (["tab Track"], ["tap \"Add Waypoint\"", "type \"Waypoint Name\" Hilltop", "press Save"], False),
        "mail": (["tab History"] + [f"toggle \"{d}\"" for d in days[3:]],
                 ["tap Share", "press Email", "press OK", "type To: a@example.org", "tap Send"], False),
    }


def records(db):
    """Every stored waypoint with its name and reading, and the points each March day holds."""
    points = set(db.execute("SELECT w.id, w.name, m.date, m.der FROM Waypoint w JOIN Measurement m ON m.waypoint_id = w.id"))
    per_day = dict(db.execute('SELECT s.date, (SELECT COUNT(*) FROM Waypoint w WHERE w.set_id = s.id) FROM "Set" s'))
    return points, per_day


def start_again_and_check(before, what, deleting, stored):
    again = Program()
    counts = again.run()
    check(again.quit() == 0, f"{what}: the program starts again")
    db = sqlite3.connect(database())
    check(db.execute("PRAGMA integrity_check").fetchone()[0] == "ok", f"{what}: integrity check")
    for kind in ("waypoints", "measurements"):
        check(deleting or counts[kind] >= before[kind],
              f"{what}: {kind} stored before the kill are kept ({counts[kind]} < {before[kind]})")
    points, per_day = records(db)
    # Only the record being renamed may have changed, and only to its new name.
    changed = {p for p in stored[0] - points if p[0] in {q[0] for q in points}}
    check(all(p[1] == renamed.split(" ")[0] and (p[0], "Zed", p[2], p[3]) in points for p in changed),
          f"{what}: records changed that were not edited: {sorted(changed)[:3]}")
    gone = {p[0] for p in stored[0]} - {p[0] for p in points}
    check(deleting or not gone, f"{what}: {len(gone)} stored waypoints are gone")
    for day, count in stored[1].items():
        check(per_day.get(day) in (None, count) if deleting else per_day.get(day, 0) >= count,
              f"{what}: a day held {count} points and holds {per_day.get(day)}")
    open_tracks = db.execute('SELECT COUNT(*) FROM "Track" WHERE set_id IS NULL OR dateTo <= dateFrom').fetchone()[0]
    check(open_tracks == 0, f"{what}: {open_tracks} tracks left open")
    for row, points, span, distance in db.execute(
            'SELECT t.id, COUNT(w.id), t.dateTo - t.dateFrom, t.distance FROM "Track" t '
            'JOIN "Waypoint" w ON w.track_id = t.id GROUP BY t.id'):
        check(points < 2 or (span > 0 and distance > 0), f"{what}: track {row} with {points} points has no figures")
    db.close()
    check(not leftovers(), f"{what}: temporary files left: {leftovers()}")
    try:
        json.load(open(os.path.join(home, "Preferences.json")))
    except (OSError, ValueError) as e:
        check(False, f"{what}: the preferences cannot be read: {e}")
    log = open(os.path.join(home, "quorix.log")).read()
    return counts, "tracks left open" in log


kills = closed = left = 0
for round_ in range(3):
    for name, (setup, action, deleting) in scenarios(round_).items():
        program = Program()
        before = program.run(*setup)
        with sqlite3.connect(database()) as db:
            stored = records(db)
        program.send(*action)
        delay = rng.uniform(0.0, 0.6)
        program.kill_after(delay)
        kills += 1
        left += len(leftovers())
        after, reopened = start_again_and_check(before, f"{name} #{round_ + 1}", deleting, stored)
        closed += reopened
        print(f"{name} #{round_ + 1}: killed after {delay:.3f} s; waypoints {before['waypoints']} -> "
              f"{after['waypoints']}{'; a track left open was closed' if reopened else ''}")
        if name == "recording":
            check(reopened, f"{name} #{round_ + 1}: the recording's track was closed at the next start")

print(f"{kills} kills, {left} temporary files found after them and removed at the next start; {len(failures)} failures")
sys.exit(1 if failures else 0)
