"""Lists the tests a Wine tier skipped, with the reason each gave, from CTest's log: GoogleTest's
skipped unit tests and unittest's skipped end-to-end tests.

    report_skips.py TIER LastTest.log
"""
import re
import sys


def skipped_tests(log):
    """(test name, reason) for every "[  SKIPPED ]" test line in GoogleTest output; the reason
    is the message of the "Skipped" line that precedes it."""
    found = {}
    reason = ""
    lines = log.splitlines()
    for i, line in enumerate(lines):
        if line.rstrip().endswith(": Skipped") and i + 1 < len(lines):
            reason = lines[i + 1].strip()
        m = re.match(r"\[  SKIPPED \] (\S+) \(\d+ ms\)", line)
        if m:
            found.setdefault(m.group(1), reason)
            reason = ""
        m = re.match(r"(\w+) \(__main__\.([\w.]+)\) \.\.\. skipped '(.*)'$", line.rstrip())
        if m:
            found.setdefault(m.group(2), m.group(3))
    return found


def main():
    tier, path = sys.argv[1], sys.argv[2]
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            log = f.read()
    except OSError:
        return
    for name, reason in sorted(skipped_tests(log).items()):
        print("   %s tier skipped %s: %s" % (tier, name, reason or "no reason given"))


if __name__ == "__main__":
    main()
