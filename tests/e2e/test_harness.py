"""The harness's own promises, on which every other end-to-end test relies: a started program's
exit code is reported as soon as it ends, even while a program it started holds its output
open (as Wine's desktop process does when a test program happens to start it), and a test file
that leaves a program or a window behind is caught, told and cleaned up."""
import unittest

import winehelper as wh

HOLDER = wh.windows_path(wh.BUILD / "wine_tests.exe")
HOLDER_CLOSED = 7  # the helper window's process ends with this code once its window is closed


def close_holder(title):
    code, _ = wh.probe("--class", "TessarinCloseProbe", "--title", title, "--close",
                       "--wait-gone-ms", "15000")
    return code


class ProgramOutput(unittest.TestCase):
    def test_exit_is_reported_while_a_started_program_holds_the_output(self):
        # cmd's "start /b" hands the helper cmd's own output handles, as Wine hands a test
        # program's to the desktop process it starts.
        process = wh.Process('C:\\windows\\system32\\cmd.exe /c start "" /b "%s" '
                             "--hold-window=HarnessHolder" % HOLDER)
        try:
            self.assertEqual(process.wait(timeout=30), 0)
            code, _ = wh.probe("--class", "TessarinCloseProbe", "--title", "HarnessHolder",
                               "--dump")
            self.assertEqual(code, 0, "the helper is not up: nothing held the output")
        finally:
            self.assertEqual(close_holder("HarnessHolder"), 0)
        # Once the helper is gone, the output closes.
        self.assertEqual(process.wait_until_output_closed(timeout=30), 0)


class Leftovers(unittest.TestCase):
    def test_a_program_and_window_left_running_are_named_and_ended(self):
        before = wh.lane_processes(), wh.visible_windows()
        holder = wh.Process('"%s" --hold-window=HarnessLeftover' % HOLDER)
        code, _ = wh.probe("--class", "TessarinCloseProbe", "--title", "HarnessLeftover",
                           "--dump")
        self.assertEqual(code, 0, "the helper window did not come up")
        found = wh.leftovers(*before, grace_attempts=20)
        self.assertEqual(len(found), 3, found)  # runexact, the helper and its window
        self.assertTrue(any("'HarnessLeftover'" in line for line in found), found)
        self.assertTrue(any("--hold-window=HarnessLeftover" in line for line in found), found)
        # Ended by the check: nothing is left for the next test.
        self.assertEqual(wh.leftovers(*before, grace_attempts=200), [])
        holder.proc.wait(timeout=30)

    def test_a_program_that_ended_leaves_nothing(self):
        before = wh.lane_processes(), wh.visible_windows()
        holder = wh.Process('"%s" --hold-window=HarnessEnded' % HOLDER)
        self.assertEqual(close_holder("HarnessEnded"), 0)
        self.assertEqual(holder.wait(), HOLDER_CLOSED)
        self.assertEqual(wh.leftovers(*before, grace_attempts=200), [])


if __name__ == "__main__":
    wh.main(verbosity=2)
