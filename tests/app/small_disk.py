#!/usr/bin/env python3
"""quorix on a real disk of 2 MB (a tmpfs mounted for the test, which needs root; without it
the test is skipped).

- A long recording keeps being stored: the database's log stays short instead of filling the
  disk, and a clean end gives its room back; killed, the program leaves its points whole.
- The disk filled by another file during a recording: the readings are refused with the disk
  named, and the track stopped then keeps the name typed; with room again all is there.
- An existing data folder on a full disk: the person is told that the disk is full and that
  nothing is lost, no recording starts, and once there is room every day is back.

usage: small_disk.py QUORIX HOME WALK
"""
import os
import signal
import subprocess
import sys

from script_checks import check, finish

quorix, home, walk = sys.argv[1:4]
SKIP = 77


class Program:
    """quorix reading commands from a pipe; `run` returns the output up to the store's counts."""

    def __init__(self, folder, *options):
        self.p = subprocess.Popen([quorix, "--home", folder, "--start-time", "2026-12-07T09:00", *options],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  text=True, bufsize=1)

    def run(self, *commands):
        for c in [*commands, "store"]:
            self.p.stdin.write(c + "\n")
        self.p.stdin.flush()
        out = []
        while True:
            line = self.p.stdout.readline()
            if not line:
                raise RuntimeError("quorix ended: " + "".join(out))
            out.append(line)
            if line.startswith("sets "):
                return "".join(out)

    def counts(self, *commands):
        last = self.run(*commands).splitlines()[-1]
        return {k: int(v) for k, v in (part.split(" ") for part in last.split(", "))}

    def quit(self):
        self.p.stdin.write("quit\n")
        self.p.stdin.close()
        rest = self.p.stdout.read()
        return self.p.wait(timeout=60), rest

    def kill(self):
        self.p.send_signal(signal.SIGKILL)
        self.p.wait()


def fill(path):
    """Writes a file until the disk refuses it."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o600)
    try:
        while True:
            os.write(fd, b"\0" * 4096)
    except OSError:
        pass
    finally:
        os.close(fd)


def used_kb():
    s = os.statvfs(disk)
    return (s.f_blocks - s.f_bfree) * s.f_frsize // 1024


def log_bytes(folder):
    path = os.path.join(folder, "VennorlabsDB.sqlite-wal")
    return os.path.getsize(path) if os.path.exists(path) else 0


disk = os.path.join(home, "disk")
os.makedirs(disk, exist_ok=True)
subprocess.run(["umount", disk], stderr=subprocess.DEVNULL)
if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m,mode=0755", "tmpfs", disk], stderr=subprocess.DEVNULL).returncode:
    print("cannot mount a small disk here (it needs root): skipped")
    sys.exit(SKIP)

try:
    # ---- a long recording on the small disk --------------------------------------------------------
    folder = os.path.join(disk, "long")
    program = Program(folder, "--demo-replay", walk)
    program.run("tab Track", "tap Record")
    stored, logs = [], []
    for _ in range(18):  # three hours; a log that never shrinks filled the disk in 50 minutes
        stored.append(program.counts("advance 600")["autosaved"])
        logs.append(log_bytes(folder) >> 10)
    check(max(logs) < 256, f"the log stays short (KB every ten minutes): {logs}")
    check(all(b > a for a, b in zip(stored, stored[1:])), f"readings are stored every ten minutes: {stored}")
    screen = program.run("show")
    check("Readings Not Stored" not in screen, "no reading was refused")
    program.kill()
    # Killed: the next start keeps every point and closes the track from them.
    program = Program(folder, "--no-demo")
    check(program.counts()["autosaved"] == stored[-1], "the points stored before the kill are all there")
    code, _ = program.quit()
    check(code == 0, "quorix ends well after the kill")
    check(not os.path.exists(os.path.join(folder, "VennorlabsDB.sqlite-wal")),
          "a clean end copies the log back and removes it")
    check(used_kb() < 512, f"the folder takes {used_kb()} KB of the disk after three hours of readings")

    # ---- the disk filled by another file during a recording ----------------------------------------
    folder = os.path.join(disk, "filled")
    filler = os.path.join(disk, "filler")
    program = Program(folder, "--demo-replay", walk)
    before = program.counts("tab Track", "tap Record", "advance 600")["autosaved"]
    fill(filler)
    refused = ""
    for _ in range(30):
        refused = program.run("advance 600")
        if "Readings Not Stored" in program.run("show"):
            break
    screen = program.run("show")
    check("New readings cannot be stored: the disk is full. Recording goes on, and readings are stored again as "
          "soon as there is room." in screen, "the refused readings name the full disk:\n" + screen[-400:])
    points = program.counts("press OK")["autosaved"]
    check(points > before, "the log's room still took readings once the disk was full")
    program.run("tap Stop", 'type "Track Name" "Ridge walk"', "press Save")
    program.quit()
    os.remove(filler)
    program = Program(folder, "--no-demo")
    tracks = program.run("tracks")
    check('"Ridge walk": ' + str(points) + " waypoints" in tracks, "the track keeps its name and points:\n" + tracks)
    program.quit()

    # ---- an existing data folder on a full disk ----------------------------------------------------
    fill(filler)
    program = Program(folder, "--no-demo")
    screen = program.run("show")
    check('Alert "Database Error"' in screen and "The stored readings cannot be opened while the disk is full. "
          "Nothing is lost: they are back once there is room. Until then new readings cannot be stored." in screen,
          "a start on a full disk says so:\n" + screen[-600:])
    screen = program.run("press OK", "tab Track", "tap Record", "show")
    check("The track could not be started: the disk is full." in screen, "no recording starts:\n" + screen[-400:])
    program.quit()
    os.remove(filler)
    program = Program(folder, "--no-demo")
    screen = program.run("show", "tab History", "show")
    check("Database Error" not in screen and "Monday, December 7, 2026" in screen,
          "with room again the day is back, and nothing is told:\n" + screen[-600:])
    check(program.counts()["autosaved"] == points, "every point is there again")
    program.quit()
finally:
    subprocess.run(["umount", disk])

finish()
