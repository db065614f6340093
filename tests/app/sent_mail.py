"""Runs quorix on a script and reads back the one mail it sent, for the script tests in Python;
runs it with its peak memory measured."""
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
    return read_mail(sent[0]), os.path.basename(sent[0])


def read_mail(path):
    """The mail in the file, parsed by Python's own mail parser; ends the test when it has defects."""
    with open(path, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    problems = [f"{part.get_content_type()}: {d!r}" for part in message.walk() for d in part.defects]
    if problems:
        sys.exit("the mail has defects: " + "; ".join(problems))
    return message


def run_measured(quorix, home, script, log):
    """Runs the script on the data folder `home` without an instrument, its output into `log`;
    its exit code and peak resident size in MB. Spawned and waited for here, so that the peak is
    this run's own."""
    with open(log, "w") as out:
        pid = os.posix_spawn(quorix, [quorix, "--home", home, "--script", script, "--no-demo"], os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, out.fileno(), 1),
                                           (os.POSIX_SPAWN_DUP2, out.fileno(), 2)])
        _, status, usage = os.wait4(pid, 0)
    return os.waitstatus_to_exitcode(status), usage.ru_maxrss / 1024
