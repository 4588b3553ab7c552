"""The registry views seen from outside: a 32-bit program of ours (regview.exe, built on the
library's key object) writes and deletes values in the 64-bit or the 32-bit view of
HKLM\\Software, and the prefix's 64-bit reg.exe says where they landed."""
import os
import subprocess
import unittest

import winehelper as wh

def regview(*args):
    """Runs regview.exe; returns (exit code, its one output line)."""
    result = subprocess.run([wh.LOADER, str(wh.BUILD / "regview.exe"), *args], env=wh.ENV,
                            capture_output=True, text=True, timeout=60)
    return result.returncode, result.stdout.strip()


def reg(*args):
    """The prefix's 64-bit reg.exe."""
    return wh.run_system64("reg.exe", *args)


def query(key, name, view=None):
    """The data of a REG_SZ value as reg.exe lists it, or None when reg finds no such value."""
    result = reg("query", "HKLM\\" + key, "/v", name, *([view] if view else []))
    if result.returncode != 0:
        return None
    for line in result.stdout.splitlines():
        fields = line.strip().split(None, 2)
        if len(fields) == 3 and fields[0] == name and fields[1] == "REG_SZ":
            return fields[2]
    raise AssertionError("unexpected reg output: %r" % result.stdout)


class RegistryViews(unittest.TestCase):
    def setUp(self):
        self.key = "Software\\TessarinTest\\view-%d-%s" % (os.getpid(), self._testMethodName)
        self.path = "\\HKLM\\" + self.key

    def tearDown(self):
        for view in ("/reg:64", "/reg:32"):
            reg("delete", "HKLM\\" + self.key, "/f", view)

    def write(self, bits, name, data):
        self.assertEqual(regview("write", bits, self.path, name, data), (0, "ok"))

    def test_value_written_in_the_64_bit_view_is_seen_only_there(self):
        self.write("64", "Bits", "sixty four")
        self.assertEqual(query(self.key, "Bits", "/reg:64"), "sixty four")
        # A 64-bit program sees the 64-bit view without asking.
        self.assertEqual(query(self.key, "Bits"), "sixty four")
        self.assertIsNone(query(self.key, "Bits", "/reg:32"))

    def test_value_written_in_the_32_bit_view_is_seen_only_there(self):
        self.write("32", "Bits", "thirty two")
        self.assertEqual(query(self.key, "Bits", "/reg:32"), "thirty two")
        self.assertIsNone(query(self.key, "Bits", "/reg:64"))
        self.assertIsNone(query(self.key, "Bits"))

    def test_deletion_removes_the_value_of_its_own_view_only(self):
        self.write("64", "Both", "64")
        self.write("32", "Both", "32")
        self.assertEqual(regview("delete", "64", self.path, "Both"), (0, "ok"))
        self.assertIsNone(query(self.key, "Both", "/reg:64"))
        self.assertEqual(query(self.key, "Both", "/reg:32"), "32")
        # Gone is gone: a second deletion finds nothing (ERROR_FILE_NOT_FOUND).
        self.assertEqual(regview("delete", "64", self.path, "Both"), (1, "error 2"))

    def test_failed_open_shows_the_registry_error_box_when_asked(self):
        command = '"%s" show-error %s\\Missing' % (wh.windows_path(wh.BUILD / "regview.exe"),
                                                   self.path)
        process = wh.Process(command)
        window = wh.read_window(process.pid)
        self.assertEqual(window["caption"], "Registry Error")
        # The system's own text for ERROR_FILE_NOT_FOUND, whatever its wording here.
        self.assertNotEqual(wh.message_box_text(window).strip(), "")
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)


if __name__ == "__main__":
    wh.main()
