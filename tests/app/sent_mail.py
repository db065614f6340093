"""Runs quorix on a script and reads back the one mail it sent, for the script tests in Python."""
import email
import email.policy
import glob
import os
import subprocess
import sys


def run_and_read_mail(quorix, home, script, start):
    """Runs the script on the data folder `home`; the one mail in its Outbox, parsed by Python's
    own mail parser and free of defects. Ends the test when any of that fails."""
    run = subprocess.run([quorix, "--home", home, "--script", script, "--start-time", start],
                         capture_output=True, text=True)
    print(run.stdout)
    print(run.stderr, file=sys.stderr)
    if run.returncode != 0:
        sys.exit(f"quorix failed with status {run.returncode}")
    sent = glob.glob(os.path.join(home, "Outbox", "*.eml"))
    if len(sent) != 1:
        sys.exit(f"expected one sent mail, found {len(sent)}")
    with open(sent[0], "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    problems = [f"{part.get_content_type()}: {d!r}" for part in message.walk() for d in part.defects]
    if problems:
        sys.exit("the mail has defects: " + "; ".join(problems))
    return message, os.path.basename(sent[0])
