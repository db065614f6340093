#!/usr/bin/env python3
"""A database file quorix cannot write: read-only, closed to its user, or not a database at all.
Each start says which, in plain words; the readings of a read-only file are shown; no recording
starts; the readings are refused with the same cause; and the file is left as it was.

Run by root, quorix runs as the user nobody, since root may write any file whatever its
permissions (skipped when nobody cannot run the program).

usage: database_file.py QUORIX HOME
"""
import os
import shutil
import subprocess
import sys
import tempfile

from script_checks import check, finish

quorix, home = sys.argv[1:3]
SKIP = 77
NOBODY = 65534
as_root = os.geteuid() == 0


def quorix_run(folder, commands, user=True):
    prefix = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] if as_root and user else []
    result = subprocess.run([*prefix, quorix, "--home", folder, "--start-time", "2026-12-07T09:00"],
                            input="\n".join(commands) + "\nquit\n", capture_output=True, text=True, timeout=120)
    return result.stdout + result.stderr


shutil.rmtree(home, ignore_errors=True)
os.makedirs(home)
if as_root:
    # Where nobody can reach it, whatever the folders above the build are.
    home = tempfile.mkdtemp(prefix="quorix-database-file-")
os.chmod(home, 0o755)
if as_root and subprocess.run(["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", quorix, "--help"],
                              capture_output=True).returncode != 0:
    print("the user nobody cannot run quorix here: skipped")
    shutil.rmtree(home)
    sys.exit(SKIP)

# A folder with a day of readings, as its user made it.
original = os.path.join(home, "original")
os.makedirs(original)
if as_root:
    os.chown(original, NOBODY, NOBODY)
quorix_run(original, ["tab Track", 'tap "Add Waypoint"', 'type "Waypoint Name" Alpha', "press Save"])
database = "VennorlabsDB.sqlite"
if not os.path.exists(os.path.join(original, database)):
    sys.exit("quorix made no database in " + original)


def read_only(path):
    os.chmod(path, 0o444)


def closed(path):
    # Another user's file, readable by no one else.
    if as_root:
        os.chown(path, 0, 0)
    os.chmod(path, 0o000 if not as_root else 0o600)


def damaged(path):
    with open(path, "r+b") as f:
        f.write(os.urandom(os.path.getsize(path)))


cases = [
    # How the file is spoilt; what the start says; whether the day is still shown; the cause.
    ("read-only", read_only, "The database file is read-only: the stored readings can be viewed, but new readings "
     "cannot be stored.", True, "the database file is read-only"),
    ("no-permission", closed, "The stored readings cannot be opened: quorix has no permission to use the database "
     "file. New readings cannot be stored.", False, "quorix has no permission to use the database file"),
    ("damaged", damaged, "The stored readings cannot be opened: the database file is damaged. New readings cannot be "
     "stored.", False, "the database file is damaged"),
]
for name, spoil, told, shown, cause in cases:
    folder = os.path.join(home, name)
    shutil.copytree(original, folder, symlinks=True)
    if as_root:
        for d, _, files in os.walk(folder):
            for f in [d, *(os.path.join(d, f) for f in files)]:
                os.chown(f, NOBODY, NOBODY)
    path = os.path.join(folder, database)
    spoil(path)
    before = None
    if os.access(path, os.R_OK):
        with open(path, "rb") as f:
            before = f.read()
    documents = os.path.join(folder, "Documents")
    with open(os.path.join(documents, "walk.csv"), "w") as f:
        f.write("date,der,variation,de,accumulation,latitude,longitude,altitude,name\n"
                "2026-12-06T10:00:00Z,0.12,12.5,0.5,00:10:00,48.858222,2.2945,35,Pond\n")
    if as_root:
        os.chown(os.path.join(documents, "walk.csv"), NOBODY, NOBODY)
    out = quorix_run(folder, ["show", "press OK", "tab History", "show", "tab Track", "tap Record", "show",
                              "press OK", "tab Dashboard", "advance 4000", "show", "press OK", "tab Settings",
                              'tap "Import Data"', "tap walk.csv", "show", "press OK"])
    check(f'Alert "Database Error"\n    Label "{told}"' in out, f"{name}: the start says {told!r}:\n{out[-1500:]}")
    check(("Monday, December 7, 2026" in out) == shown, f"{name}: the stored day is {'' if shown else 'not '}shown")
    check(f'Alert "Track Not Started"\n    Label "The track could not be started: {cause}."' in out,
          f"{name}: no recording starts, for {cause}")
    check(f"The data could not be saved: {cause}." in out, f"{name}: the import names {cause}:\n{out[-800:]}")
    check(f'Label "New readings cannot be stored: {cause}."' in out, f"{name}: readings are refused, for {cause}")
    check("as soon as there is room" not in out, f"{name}: room is not blamed")
    os.chmod(path, 0o600)
    with open(path, "rb") as f:
        check(before is None or f.read() == before, f"{name}: the file is left as it was")
    if name != "read-only":
        continue
    # Writable again, the database takes readings: the side files the read-only run left are no
    # obstacle.
    out = quorix_run(folder, ["show", "tab Track", "tap Record", "advance 5", "show"])
    check("Database Error" not in out and "could not be started" not in out,
          f"{name}: made writable, the database is used again:\n{out[-800:]}")

if as_root:
    shutil.rmtree(home)
finish()
