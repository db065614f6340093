#!/usr/bin/env python3
"""Runs a quorix script that mails a report, then reads the sent mail with Python's own mail
parser and HTML parser: one HTML document in the body, in the interface language throughout.

usage: mail_report.py QUORIX SCRIPT CSV HOME
"""
import html.parser
import os
import re
import shutil
import sys

from sent_mail import run_and_read_mail

quorix, script, csv, home = sys.argv[1:5]
shutil.rmtree(home, ignore_errors=True)
os.makedirs(os.path.join(home, "Documents"))
shutil.copy(csv, os.path.join(home, "Documents"))

message, sent_name = run_and_read_mail(quorix, home, script, "2026-12-07T09:00")
bodies = [part for part in message.walk() if part.get_content_type() == "text/html"]
if len(bodies) != 1:
    sys.exit(f"expected one HTML part, found {len(bodies)}")
page = bodies[0].get_content()


class Document(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.starts, self.ends, self.texts, self.title, self.in_title = {}, {}, [], "", False

    def handle_starttag(self, tag, attrs):
        self.starts[tag] = self.starts.get(tag, 0) + 1
        self.in_title = tag == "title"

    def handle_endtag(self, tag):
        self.ends[tag] = self.ends.get(tag, 0) + 1
        self.in_title = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        self.texts.append(data)


doc = Document()
doc.feed(page)
doc.close()
for tag in ("html", "head", "title", "body"):
    if doc.starts.get(tag) != 1 or doc.ends.get(tag) != 1:
        sys.exit(f"<{tag}> opens {doc.starts.get(tag, 0)} and closes {doc.ends.get(tag, 0)} times")
if not page.rstrip().endswith("</html>"):
    sys.exit("something follows the document")
if doc.starts.get("table") != doc.ends.get("table"):
    sys.exit(f"{doc.starts.get('table')} tables open, {doc.ends.get('table')} close")
if not doc.title.startswith("Отчёт "):
    sys.exit(f"the title reads {doc.title!r}")
for wanted in ("Точки:", "Измерения:", "Пруд", "Мост", "Мощность дозы"):
    if wanted not in doc.texts:
        sys.exit(f"{wanted!r} is not in the report")
# Every text of the report is Russian: none holds a word in Latin letters.
english = [t for t in doc.texts if re.search(r"[A-Za-z]{2,}", t)]
if english:
    sys.exit(f"untranslated text in the report: {english!r}")
print("mail checked:", sent_name, "title", doc.title)
shutil.rmtree(home, ignore_errors=True)
