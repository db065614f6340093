#!/usr/bin/env python3
"""Drives quorix through the History tab on days of readings written here as a GPX file, then
checks the mail it sent with Python's own mail parser.

usage: history.py QUORIX SCRIPT_TEMPLATE HOME RENDER_DIR
"""
import datetime
import os
import shutil
import sys

from sent_mail import run_and_read_mail

quorix, template, home, render_dir = sys.argv[1:5]
shutil.rmtree(home, ignore_errors=True)
os.makedirs(os.path.join(home, "Documents"))
os.makedirs(render_dir, exist_ok=True)

# The program's clock starts on a fixed morning, and the days are counted from that one, so the
# run never straddles a midnight.
START = "2026-12-07T09:00"
today = datetime.datetime.strptime(START, "%Y-%m-%dT%H:%M").date()
older, yesterday = today - datetime.timedelta(days=3), today - datetime.timedelta(days=1)


def long_date(day):
    return day.strftime("%A, %B ") + str(day.day) + day.strftime(", %Y")


def utc(day, hour):
    moment = datetime.datetime(day.year, day.month, day.day, hour).astimezone(datetime.timezone.utc)
    return moment.strftime("%Y-%m-%dT%H:%M:%SZ")


# name, day, hour, dose rate; the last is the point added by hand to today's track.
points = [
    ("Bridge <b>&amp; river</b>", older, 9, 2.5),
    ("Old mill", older, 10, 0.11),
    ("Yesterday's field", yesterday, 11, 0.13),
    ("Пруд у дороги", today, 0, 0.12),
    ("東京タワー", today, 0, 0.14),
]
track_point = ("На треке 軌跡", today, None, None)
with open(os.path.join(home, "Documents", "history-days.gpx"), "w", encoding="utf-8") as gpx:
    gpx.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="test" '
              'xmlns="http://www.topografix.com/GPX/1/1" xmlns:qx="http://quorix.example/gpx/1">\n')
    for name, day, hour, der in points:
        escaped = name.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        gpx.write(f'<wpt lat="50.1" lon="8.6"><time>{utc(day, hour)}</time><name>{escaped}</name>'
                  f'<extensions><qx:der>{der}</qx:der><qx:de>1.5</qx:de><qx:deviceType>3</qx:deviceType>'
                  f'<qx:deviceSerial>SN-1</qx:deviceSerial></extensions></wpt>\n')
    gpx.write("</gpx>\n")

with open(template, encoding="utf-8") as f:
    script = f.read()
values = {
    "OLDER": long_date(older), "YESTERDAY": long_date(yesterday), "TODAY": long_date(today),
    "RANGE_HEADER": f'Sets: {yesterday.strftime("%d.%m.%Y")} - {today.strftime("%d.%m.%Y")}',
    "RENDER_DIR": render_dir,
}
for key, value in values.items():
    script = script.replace("{" + key + "}", value)
script_path = os.path.join(home, "history.qx")
with open(script_path, "w", encoding="utf-8") as f:
    f.write(script)

message, sent_name = run_and_read_mail(quorix, home, script_path, START)
recipients = message["To"].addresses
if [(a.display_name, a.addr_spec) for a in recipients] != [("Ann Ödegaard", "ann@example.org")]:
    sys.exit(f"the recipient reads as {recipients!r}")
html = message.get_body(("html",)).get_content()
for name, day, _, _ in points + [track_point]:
    shown = name.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    wanted = day in (today, older)
    if (shown in html) != wanted:
        sys.exit(f"{name!r} of {day} is {'missing from' if wanted else 'in'} the mail")
print("mail checked:", sent_name, "with", len(html), "characters of report")
shutil.rmtree(home, ignore_errors=True)
