"""Reports what a Wine tier's CTest log shows beyond passed and failed: the tests that were run
a second time after a failure (a flaky test is a fault to find, so every retry is named, with
where to find its first failure), and the tests the tier skipped, with the reason each gave
(GoogleTest's skipped unit tests and unittest's skipped end-to-end tests).

    report_tier.py TIER LastTest.log
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


def runs(log):
    """[(test name, passed)] for every run of a test, in the log's order."""
    found = []
    name = None
    for line in log.splitlines():
        m = re.match(r"\d+/\d+ Test: (\S+)$", line.rstrip())
        if m:
            name = m.group(1)
        elif name and line.rstrip() in ("Test Passed.", "Test Failed."):
            found.append((name, line.rstrip() == "Test Passed."))
            name = None
    return found


def retried_tests(log):
    """The tests that ran more than once, each with its outcomes in order ("failed, passed")."""
    outcomes = {}
    for name, passed in runs(log):
        outcomes.setdefault(name, []).append("passed" if passed else "failed")
    return {name: ", ".join(o) for name, o in outcomes.items() if len(o) > 1}


def main():
    tier, path = sys.argv[1], sys.argv[2]
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            log = f.read()
    except OSError:
        print("   %s tier: no test log at %s" % (tier, path))
        return 1
    retried = retried_tests(log)
    for name, outcomes in sorted(retried.items()):
        verdict = ("passed only on its second run: a flaky test, to be found and fixed"
                   if outcomes.endswith("passed") else "failed on every run")
        print("   %s tier RETRIED %s (%s): %s; its first failure is printed above"
              % (tier, name, outcomes, verdict))
    if not retried:
        print("   %s tier: no test was retried" % tier)
    for name, reason in sorted(skipped_tests(log).items()):
        print("   %s tier skipped %s: %s" % (tier, name, reason or "no reason given"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
