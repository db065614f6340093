#!/usr/bin/env python3
"""Puts a photo taken with the camera on its side (a JPEG whose EXIF orientation is 6) into the
photo library, runs the script that attaches it to a waypoint, and reads the photo as the
program drew it: upright, the picture's left half (red) on top and its right half (blue) below.
A damaged PNG picked first is refused and linked to no waypoint; the data folder copied to
another place still shows the photo, from the copy's library.

usage: photo_page.py QUORIX SCRIPT JPEG HOME
"""
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import zlib

quorix, template, jpeg, home = sys.argv[1:5]
shutil.rmtree(home, ignore_errors=True)
photos = os.path.join(home, "Photos")
os.makedirs(photos)
shutil.copy(jpeg, photos)


def png(width, height, rgb):
    """A PNG of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def pixels(path):
    """Width, height and rows of RGBA pixels of an 8-bit RGBA PNG as the program renders them."""
    data = open(path, "rb").read()
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if (depth, colour) != (8, 6):
                sys.exit(f"{path}: not an 8-bit RGBA picture")
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b = line[i - 4] if i >= 4 else 0, prev[i]
            c = prev[i - 4] if i >= 4 else 0
            p = a + b - c
            predictor = [0, a, b, (a + b) // 2,
                         a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c]
            line[i] = (line[i] + predictor[kind]) & 0xFF
        rows.append(line)
        prev = line
    return width, height, rows


with open(os.path.join(photos, "plain.png"), "wb") as f:
    f.write(png(4, 4, (0, 160, 0)))
with open(os.path.join(photos, "notes.txt"), "w") as f:
    f.write("not a picture\n")
# A picture whose data fails its checksum.
broken = bytearray(png(4, 4, (200, 0, 0)))
broken[broken.index(b"IEND") - 5] ^= 0x40
with open(os.path.join(photos, "broken.png"), "wb") as f:
    f.write(broken)


def run_script(folder, path):
    with open(path, encoding="utf-8") as f:
        script = f.read().replace("{RENDER_DIR}", folder)
    script_path = os.path.join(folder, os.path.basename(path))
    with open(script_path, "w", encoding="utf-8") as f:
        f.write(script)
    run = subprocess.run([quorix, "--home", folder, "--script", script_path, "--start-time", "2026-12-07T09:00"],
                         capture_output=True, text=True)
    print(run.stdout)
    print(run.stderr, file=sys.stderr)
    if run.returncode != 0:
        sys.exit(f"quorix failed with status {run.returncode}")


run_script(home, template)
with sqlite3.connect(os.path.join(home, "VennorlabsDB.sqlite")) as db:
    linked = [row[0] for row in db.execute("SELECT photoUrl FROM Waypoint WHERE photoUrl IS NOT NULL")]
if len(linked) != 1 or not linked[0].endswith("/Photos/turned-photo.jpg"):
    sys.exit(f"the waypoints link {linked}, not the one photo that could be read")
with open(os.path.join(home, "quorix.log"), encoding="utf-8") as f:
    log = f.read()
if "out of memory" in log or "broken.png" not in log or "CRC" not in log:
    sys.exit("the log does not name the damaged picture's fault:\n" + log)

# The folder copied elsewhere: its waypoints keep the first folder's address.
copy = home + "-copy"
shutil.rmtree(copy, ignore_errors=True)
shutil.copytree(home, copy)
run_script(copy, os.path.join(os.path.dirname(template), "photo-page-moved.qx"))

for shot in ("photo-picked.png", "photo-reopened.png", os.path.join(copy, "photo-moved.png")):
    width, height, rows = pixels(os.path.join(home, shot))

    def colour(x, y):
        r, g, b, _ = rows[y][x * 4:x * 4 + 4]
        return "red" if r > 200 and b < 60 else "blue" if b > 200 and r < 60 else f"({r},{g},{b})"

    seen = (colour(width // 2, height // 4), colour(width // 2, height * 3 // 4))
    if seen != ("red", "blue"):
        sys.exit(f"{shot}: the photo's upper and lower middle are {seen}, not red above blue")
print("photo shown upright in", width, "by", height)
shutil.rmtree(home, ignore_errors=True)
shutil.rmtree(copy, ignore_errors=True)
