#!/usr/bin/env python3
"""The person's own files beside quorix's, met the way a person meets them.

- Links in the data folder: quorix.log links to the person's notes, Documents/ to a folder of
  theirs open to others; the notes keep their words and the folder its rights, and the log is
  a file of its own. A quorix.lock that links to a file is refused, naming it.
- Temporary files: only those of names quorix gives its own files, directly in the folders it
  writes them, are removed at start; a file of the person's that merely looks alike stays, and
  so does anything in a subfolder of theirs.
- A file whose name holds a line break, opened from outside: the log keeps it on one line.
- A GPX export of 13 readings, one of them without a position: the mail sheet says 1 is left out.
- Documents/ and Outbox/ without rights for the program's user: the export and the mail say
  why they failed, and the program goes on. As root (CI), the program runs as another user, for
  whom the folder's rights count.
- A Preferences.json holding 2147483648 for a whole-number setting and a text for a switch: the
  person is told once which were reset, and the number is never written back wrapped round.

usage: userfiles.py QUORIX WORKDIR
"""
import json
import os
import shutil
import stat
import subprocess
import sys
import urllib.parse

quorix, work = sys.argv[1:3]
START = "2026-12-07T09:00"
SKIP = 77  # ctest's SKIP_RETURN_CODE for this test
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def run(home, lines, prefix=(), name="walk"):
    """Runs quorix on `home` with the script lines; returns the finished process."""
    script = os.path.join(work, name + ".qx")
    write(script, "\n".join(lines) + "\n")
    os.chmod(script, 0o644)
    command = list(prefix) + [quorix, "--home", home, "--script", script, "--start-time", START]
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    print(f"--- {name}: exit {done.returncode}\n{done.stdout}{done.stderr}")
    return done


def share_day(channel, choice):
    """The History tab's lines that share the day of the readings by `channel`, taking `choice`."""
    return ['toggle "Saturday, December 5, 2026"', "tap Share", f"press {channel}", f"press {choice}"]


def readings_csv():
    """13 readings of 5 December; the fifth was taken without a position."""
    rows = ["date,der,variation,de,accumulation,latitude,longitude,altitude,name"]
    for i in range(13):
        place = "," if i == 4 else f"{50 + i / 1000:.3f},8.6"
        rows.append(f"2026-12-05T{8 + i // 6:02d}:{i % 6 * 10:02d}:00Z,0.1{i % 10},10,1.5,,{place},,p{i}")
    return "\n".join(rows) + "\n"


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
os.chmod(work, 0o755)

# ---- links, leftovers, a line break in a name, a GPX export ------------------------------------
home = os.path.join(work, "home")
mine = os.path.join(work, "mine")  # the person's own files, outside the data folder
notes = os.path.join(mine, "notes.txt")
docs = os.path.join(mine, "documents")
write(notes, "my notes, not a log\n")
os.makedirs(os.path.join(docs, "archive"))
os.chmod(docs, 0o755)
os.makedirs(os.path.join(home, "Outbox", "kept"))
os.symlink(notes, os.path.join(home, "quorix.log"))
os.symlink(docs, os.path.join(home, "Documents"))
removed = [os.path.join(docs, "Waypoints 2026-01-01 10-00-00.gpx.tmp-4242-0"),
           os.path.join(docs, "Waypoints 2026-01-01 10-00-00-2.csv.tmp-4242-1"),
           os.path.join(home, "Outbox", "mail-20260101-100000.eml.tmp-4242-2"),
           os.path.join(home, "Preferences.json.tmp-4242-3")]
kept = [os.path.join(docs, "archive", "budget.tmp-2024-05"),
        os.path.join(docs, "budget.tmp-2024-05"),
        os.path.join(docs, "archive", "Waypoints 2026-01-01 10-00-00.gpx.tmp-4242-4"),
        os.path.join(docs, "Waypoints of my walk.gpx.tmp-4242-5"),
        os.path.join(home, "Outbox", "kept", "mail-20260101-100000.eml.tmp-4242-6")]
for path in removed + kept:
    write(path, "half\n")
forged = "quorix: removed 99 temporary files left by an ended run"
odd_name = "walk\n" + forged + ".csv"
write(os.path.join(docs, odd_name), readings_csv())

walk = run(home, [
    "open-url file://" + urllib.parse.quote(os.path.join(docs, odd_name)),
    'expect "Imported: 13"',
    "press OK",
    "tab History",
    *share_day("Export", '"to GPX file"'),
    'expect "New Message"',
    'expect "Readings without a position, left out of the GPX file: 1"',
    "tap Cancel",
], name="links")
check(walk.returncode == 0, f"the walk through links ends well, not with {walk.returncode}")
check(read(notes) == "my notes, not a log\n", f"the notes behind quorix.log keep their words: {read(notes)!r}")
log = os.path.join(home, "quorix.log")
check(not os.path.islink(log) and os.path.isfile(log), "quorix.log is a file of its own")
check(stat.S_IMODE(os.stat(docs).st_mode) == 0o755, f"the linked folder keeps its rights: {oct(os.stat(docs).st_mode)}")
for path in removed:
    check(not os.path.exists(path), f"a leftover of quorix is removed: {os.path.relpath(path, work)}")
for path in kept:
    check(os.path.exists(path), f"a file of the person's stays: {os.path.relpath(path, work)}")
log_lines = read(log).splitlines() if os.path.isfile(log) else []
check(forged not in log_lines, "no line of the log is the one forged by a file's name")
check(any("\\n" + forged in line for line in log_lines), "the log names the file on one line, its break escaped")
gpx = [f for f in os.listdir(docs) if f.endswith(".gpx") and f.startswith("Waypoints ")]
check(len(gpx) == 1, f"one GPX file is exported: {gpx}")
if gpx:
    check(read(os.path.join(docs, gpx[0])).count("<wpt ") == 12, "the GPX file holds the 12 readings with a position")

# ---- a lock file that links to the person's file ----------------------------------------------------
locked = os.path.join(work, "locked")
other_notes = os.path.join(mine, "other-notes.txt")
write(other_notes, "other notes\n")
os.makedirs(locked)
os.symlink(other_notes, os.path.join(locked, "quorix.lock"))
refused = run(locked, ["tab Settings"], name="lock-link")
check(refused.returncode == 1, f"a linked lock file is refused with 1, not {refused.returncode}")
check("quorix.lock is a link" in refused.stderr, f"the refusal names the lock file: {refused.stderr!r}")
check(read(other_notes) == "other notes\n", "the file behind quorix.lock keeps its words")

# ---- stored settings the program cannot use -----------------------------------------------------------
prefs_home = os.path.join(work, "prefs")
prefs = os.path.join(prefs_home, "Preferences.json")
write(prefs, json.dumps({"NotFistRun": True, "WMthresholdScaleRange": 2147483648, "Metric": "yes",
                         "CoeffN": 7.5, "DERThresholdMultiplier1": -2147483649}))
told = run(prefs_home, [
    'expect "Settings reset"',
    'expect "DERThresholdMultiplier1, Metric, WMthresholdScaleRange"',
    "press OK",
    "tab Settings",
], name="prefs")
check(told.returncode == 0, f"the reset settings are told, exit {told.returncode}")
stored = json.loads(read(prefs))
check(stored.get("WMthresholdScaleRange") == 0, f"the number is back to its default: {stored.get('WMthresholdScaleRange')}")
check(stored.get("DERThresholdMultiplier1") not in (2147483647, -2147483649),
      f"no number wraps round: {stored.get('DERThresholdMultiplier1')}")
check(stored.get("Metric") is True and stored.get("CoeffN") == 7.5, f"the other settings stay: {stored}")
again = run(prefs_home, ['expect-not "Settings reset"', "tab Settings"], name="prefs-again")
check(again.returncode == 0, "the next start is quiet")

# ---- Documents/ and Outbox/ the program's user may not search --------------------------------------
closed = os.path.join(work, "closed")
write(os.path.join(closed, "Documents", "walk.csv"), readings_csv())
first = run(closed, ["tab Settings", 'tap "Import Data"', "tap walk.csv", 'expect "Imported: 13"', "press OK"],
            name="closed-import")
check(first.returncode == 0, "the readings are imported before the rights go")


def own_all(top, uid):
    for folder, dirs, files in os.walk(top):
        for entry in [folder] + [os.path.join(folder, f) for f in dirs + files]:
            os.lchown(entry, uid, uid)


def reaches_all(candidate):
    """Whether quorix run with `candidate` reaches the program, its script and its data folder."""
    write(os.path.join(work, "closed.qx"), "")
    os.chmod(os.path.join(work, "closed.qx"), 0o644)
    probe = 'test -r "$1" && test -w "$2" && test -x "$2" && "$3" --version >/dev/null'
    return subprocess.run(list(candidate) + ["sh", "-c", probe, "sh", os.path.join(work, "closed.qx"), closed,
                                             quorix], capture_output=True).returncode == 0


prefix = ()
if os.geteuid() == 0:
    # Root may search any folder. The program runs as nobody, owning its data folder; where
    # nobody cannot reach it (a checkout in root's home), it runs as root without the rights
    # that let root past a folder's permissions.
    if not shutil.which("setpriv"):
        print("SKIPPED: running as root, and no setpriv to run quorix without root's rights")
        sys.exit(SKIP if not failures else 1)
    own_all(closed, 65534)
    prefix = ("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups")
    if not reaches_all(prefix):
        own_all(closed, 0)
        prefix = ("setpriv", "--bounding-set=-dac_override,-dac_read_search")
        if not reaches_all(prefix):
            print("SKIPPED: quorix cannot run here as another user nor as root without its rights")
            sys.exit(SKIP if not failures else 1)
for folder in ("Documents", "Outbox"):
    os.chmod(os.path.join(closed, folder), 0)
denied = run(closed, [
    "tab History",
    *share_day("Export", '"to CSV file"'),
    'expect "Export failed"',
    'expect "The file could not be written: quorix has no permission to write there."',
    "press OK",
    *share_day("Email", "OK"),
    'type "To:" "ann@example.org"',
    "tap Send",
    'expect "Message Not Sent"',
    'expect "The message could not be written: quorix has no permission to write there."',
    "press OK",
    'expect "New Message"',
    "tap Cancel",
    "tab Settings",
], prefix=prefix, name="closed")
for folder in ("Documents", "Outbox"):
    os.chmod(os.path.join(closed, folder), 0o700)
check(denied.returncode == 0, f"without rights the program goes on and ends well, not with {denied.returncode}")
check("terminate called" not in denied.stderr, "nothing is thrown out of the program")

if failures:
    sys.exit(f"{len(failures)} checks failed")
print("user files checked")
