#!/usr/bin/env python3
"""Files quorix does not own are left as they were, met as a new user meets them on a shared machine.

- --home on a folder that is there already, shared (mode 1777) with another user's file (0644)
  and a script (0755): the folder and the files keep their rights and owners; the folders quorix
  makes in it are its user's only.
- `render` onto a character device and onto a FIFO: the picture goes through them, and they are
  still a device and a FIFO afterwards; the machine's own /dev/null is never risked. An export
  beside a link that leads nowhere, under the export's own name, takes the next name.
- A Preferences.json that is a FIFO, and one its user may not read (quorix run as nobody, since
  root reads any file): the start names the cause, and the file stays as it was, unsaved over.
- A Secrets.json that is a FIFO, and one its user may not read: the start goes on, the log
  names the cause, and the file stays as it was.
- One run as root on the folder of another user, with their database and with none yet: every
  file quorix writes or makes stays that user's, and their next run reads their settings.
- Two damaged settings files within one second (the same --start-time): both copies are kept.

usage: others_files.py QUORIX WORKDIR
"""
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import threading

from script_checks import check, finish

quorix, work = sys.argv[1:3]
START = "2026-12-07T09:00"
NOBODY = 65534
as_root = os.geteuid() == 0
AS_NOBODY = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]


def quorix_run(home, commands, prefix=()):
    """quorix on `home` with the commands piped in; its exit code and everything it printed."""
    try:
        done = subprocess.run([*prefix, quorix, "--home", home, "--start-time", START],
                              input="\n".join(commands) + "\nquit\n", capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        return None, "quorix did not end within two minutes"
    return done.returncode, done.stdout + done.stderr


def mode(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
if as_root:
    # Where nobody can reach it, whatever the folders above the build are.
    work = tempfile.mkdtemp(prefix="quorix-others-files-")
os.chmod(work, 0o755)

# ---- a shared folder named as the data folder ------------------------------------------------------
shared = os.path.join(work, "shared")
os.makedirs(shared)
os.chmod(shared, 0o1777)
theirs, script = os.path.join(shared, "theirs.txt"), os.path.join(shared, "backup.sh")
write(theirs, "another user's notes\n")
write(script, "#!/bin/sh\necho backup\n")
os.chmod(theirs, 0o644)
os.chmod(script, 0o755)
if as_root:
    os.chown(theirs, NOBODY, NOBODY)
code, out = quorix_run(shared, ["tab Settings", 'toggle "Sound OFF by Shake"'])
check(code == 0, f"quorix on a shared folder ends well, not with {code}: {out}")
check(mode(shared) == 0o1777, f"the shared folder keeps its mode: {oct(mode(shared))}")
check(mode(theirs) == 0o644 and mode(script) == 0o755,
      f"the files keep theirs: {oct(mode(theirs))} and {oct(mode(script))}")
if as_root:
    check(os.stat(theirs).st_uid == NOBODY, "another user's file stays theirs")
for made in (os.path.join(shared, name) for name in ("Documents", "Photos", "Outbox", "Caches")):
    check(mode(made) == 0o700, f"the folder {made} quorix made is {oct(mode(made))}")
check(mode(os.path.join(shared, "Preferences.json")) == 0o600, "the settings quorix wrote are its user's only")

# ---- render onto a device and a FIFO; an export beside a link leading nowhere ------------------------------
home = os.path.join(work, "home")
os.makedirs(os.path.join(home, "Documents"))
device, fifo = os.path.join(work, "null"), os.path.join(work, "picture.fifo")
try:
    os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # a null device of the test's own
except OSError as e:
    print(f"no device node of our own here ({e.strerror}): only the FIFO is rendered onto")
    device = None
os.mkfifo(fifo)
received = []
# The reader opens the FIFO as a person's `cat picture.fifo` would: it waits for the writer.
reader = threading.Thread(target=lambda: received.append(open(fifo, "rb").read()), daemon=True)
reader.start()
rows = ["date,der,variation,de,accumulation,latitude,longitude,altitude,name"]
rows += [f"2026-12-05T{8 + i:02d}:00:00Z,0.1{i},10,1.5,,50.00{i},8.6,,p{i}" for i in range(3)]
write(os.path.join(home, "Documents", "walk.csv"), "\n".join(rows) + "\n")
export = os.path.join(home, "Documents", "Waypoints 2026-12-07 09-00-00.gpx")
os.symlink(os.path.join(work, "moved-away.gpx"), export)
code, out = quorix_run(home, [
    *([f"render {device}"] if device else []),
    f"render {fifo}",
    "tab Settings", 'tap "Import Data"', "tap walk.csv", 'expect "Imported: 3"', "press OK", "back",
    "tab History", 'toggle "Saturday, December 5, 2026"', "tap Share", "press Export", 'press "to GPX file"',
    'expect "Waypoints 2026-12-07 09-00-00-1.gpx"', "tap Cancel",
])
# Written through, the picture ends with quorix's closing the FIFO. A FIFO replaced by a file
# leaves the reader waiting on a FIFO no name leads to any more; it ends with this script.
reader.join(timeout=60)
check(code == 0, f"the renders and the export succeed, not with {code}: {out}")
if device:
    check(stat.S_ISCHR(os.lstat(device).st_mode), "the device is still a device")
check(stat.S_ISFIFO(os.lstat(fifo).st_mode), "the FIFO is still a FIFO")
check(received and received[0].startswith(b"\x89PNG\r\n\x1a\n"), "the picture went through the FIFO")
check(os.path.islink(export), "the link under the export's name is left as it is")
check(os.path.isfile(export[:-4] + "-1.gpx"), "the export took the next name")

# ---- settings quorix cannot read ---------------------------------------------------------------------------
prefix = ()
if as_root:
    if shutil.which("setpriv") and subprocess.run([*AS_NOBODY, quorix, "--help"], capture_output=True).returncode == 0:
        prefix = AS_NOBODY
    else:
        print("the user nobody cannot run quorix here: the settings closed to their user are not tried")
        prefix = None


def user_folder(name):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    if as_root:
        os.chown(folder, NOBODY, NOBODY)
    return folder


def unreadable(path, kind, text):
    """A FIFO at `path`, or `text` in a file there closed to all but root; nobody's in a run as root."""
    if kind == "fifo":
        os.mkfifo(path)
    else:
        write(path, text)
        os.chmod(path, 0)
    if as_root:
        os.chown(path, NOBODY, NOBODY)


def left_as_it_was(path, kind, text, what):
    if kind == "fifo":
        check(stat.S_ISFIFO(os.lstat(path).st_mode), f"the FIFO at {what} is still a FIFO")
    else:
        os.chmod(path, 0o600)
        check(open(path).read() == text, f"the {what} quorix could not read are not written over")


stored = json.dumps({"CoeffN": 7.25, "ZENETServer": "https://zenet.example.org"})
if prefix is not None:
    closed = user_folder("closed")
    cases = [("closed", "quorix has no permission to read it"), ("fifo", "it is not a plain file")]
    for kind, reason in cases:
        folder = user_folder(kind + "-prefs") if kind != "closed" else closed
        prefs = os.path.join(folder, "Preferences.json")
        unreadable(prefs, kind, stored)
        code, out = quorix_run(folder, [
            'expect "Settings Not Read"', f'expect "{reason}"', "check-layout", "press OK",
            "tab Settings", 'toggle "Sound OFF by Shake"',
            'expect "The changed settings could not be saved: the settings file could not be read."', "press OK",
        ], prefix)
        check(code == 0, f"a {kind} settings file is named at the start, exit {code}: {out}")
        check(sorted(os.listdir(folder)) == ["Caches", "Documents", "Outbox", "Photos", "Preferences.json",
                                             "VennorlabsDB.sqlite", "quorix.lock", "quorix.log"],
              f"nothing moved aside beside the {kind} settings file: {sorted(os.listdir(folder))}")
        left_as_it_was(prefs, kind, stored, "settings")

# ---- a secret store quorix cannot read ---------------------------------------------------------------------
# The settings page asks the store for the service password; nothing is there to be saved over it.
secret = json.dumps({"ZENET": {"ann": "s3cret-kept"}})
for kind, reason in [("fifo", "it is not a plain file"), ("closed", "no permission")]:
    if kind == "closed" and prefix is None:
        continue
    folder = user_folder(kind + "-secrets")
    secrets = os.path.join(folder, "Secrets.json")
    unreadable(secrets, kind, secret)
    code, out = quorix_run(folder, ["tab Settings", 'expect "ZENET"'], prefix if kind == "closed" else ())
    check(code == 0, f"a {kind} secret store does not hold up the start, exit {code}: {out}")
    log = open(os.path.join(folder, "quorix.log"), errors="replace").read()
    check(f'Secrets.json": ' in log and reason in log, f"the log names why the {kind} secret store was not read")
    check(not [name for name in os.listdir(folder) if name.startswith("Secrets.json.")],
          f"nothing moved aside beside the {kind} secret store: {sorted(os.listdir(folder))}")
    left_as_it_was(secrets, kind, secret, "secrets")
    check("s3cret" not in log, "no secret reaches the log")

# ---- one run under sudo on a person's folder ---------------------------------------------------------------
# On the folder their first run made, and on one with no database yet, which the run as root makes.
for name, first_run in [("person", True), ("newcomer", False)]:
    if not as_root:
        break
    person = user_folder(name)
    prefs = os.path.join(person, "Preferences.json")
    write(prefs, stored)
    kept = [prefs]
    if first_run:
        # Their database, as their first run left it (SQLite starts on an empty file).
        write(os.path.join(person, "VennorlabsDB.sqlite"), "")
        kept.append(os.path.join(person, "VennorlabsDB.sqlite"))
    for path in kept:
        os.chown(path, NOBODY, NOBODY)
        os.chmod(path, 0o600)
    code, out = quorix_run(person, ["tab Settings", 'toggle "Sound OFF by Shake"'])
    check(code == 0, f"the run as root ends well, not with {code}: {out}")
    check(os.path.isfile(os.path.join(person, "VennorlabsDB.sqlite")), f"the {name}'s database is there")
    for folder, dirs, files in os.walk(person):
        for path in [os.path.join(folder, name) for name in dirs + files]:
            check(os.lstat(path).st_uid == NOBODY, f"{os.path.relpath(path, person)} stays the person's")
    check(json.load(open(prefs)).get("ShakeMute") is True, "the run as root saved its change")
    if prefix:
        code, out = quorix_run(person, ['expect-not "Settings Not Read"', 'expect-not "Settings reset"',
                                        "tab History"], prefix)
        check(code == 0, f"the person's next run reads their settings, exit {code}: {out}")
        check(json.load(open(prefs)).get("CoeffN") == 7.25, "the person's calibration is kept")

# ---- two damaged settings files within one second ----------------------------------------------------------
damaged = os.path.join(work, "damaged")
os.makedirs(damaged)
for text in ("{first damaged", "{second damaged"):
    write(os.path.join(damaged, "Preferences.json"), text)
    code, out = quorix_run(damaged, ['expect "Settings reset"', "press OK"])
    check(code == 0, f"a damaged settings file is told, exit {code}: {out}")
copies = sorted(name for name in os.listdir(damaged) if ".corrupt-" in name)
kept = sorted(open(os.path.join(damaged, name)).read() for name in copies)
check(kept == ["{first damaged", "{second damaged"], f"both damaged files are kept: {copies} holding {kept}")

if as_root:
    shutil.rmtree(work, ignore_errors=True)
finish()
print("files of others checked")
