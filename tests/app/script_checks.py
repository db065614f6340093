"""What the Python script tests share: failed checks are told at once and gathered, so that one
run reports every fault it met; `finish` ends the script with them."""
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)


def finish():
    if failures:
        sys.exit("\n".join(failures))
