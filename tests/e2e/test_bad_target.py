"""A target folder that cannot be made ends the installation before anything is written: the
user is told which folder and why, automatic mode ends quietly, and both end with code 1."""
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Bad Target Fixture"
MANIFEST = """[product]
name = "%s"
[options]
%sbackground = false
[[files]]
source = "files"
""" % (NAME, wh.NO_WIZARD)


class BadTarget(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-badtarget-"))
        (cls.work / "files").mkdir()
        (cls.work / "files" / "a.txt").write_bytes(b"a\r\n")
        cls.exe = cls.work / "bad-target-setup.exe"
        result = wh.build_from_manifest(cls.work, MANIFEST, cls.exe)
        assert result.returncode == 0, result.stderr
        cls.root = wh.drive_c("tessarin-badtarget")
        shutil.rmtree(cls.root, ignore_errors=True)
        cls.root.mkdir()
        (cls.root / "occupied").write_bytes(b"a file, not a folder\r\n")

    @classmethod
    def tearDownClass(cls):
        wh.reg_delete(wh.UNINSTALL + "\\" + NAME)
        shutil.rmtree(cls.root, ignore_errors=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_the_user_is_told_which_folder_could_not_be_made(self):
        cases = [("below a file", "C:\\tessarin-badtarget\\occupied\\product"),
                 ("a refused name", "C:\\tessarin-badtarget\\bad|name")]
        for label, folder in cases:
            with self.subTest(label):
                process = wh.run_installer(self.exe, "badtargettest", '/d:"%s"' % folder)
                text = wh.message_box_text(wh.read_window(process.pid))
                self.assertTrue(text.startswith("Could not create the folder:\r\n" + folder +
                                                "\r\n\r\n"), text)
                self.assertGreater(len(text.splitlines()[-1].strip()), 0, "no reason given")
                wh.press(process.pid, "OK")
                self.assertEqual(process.wait(), 1)
                self.assertEqual((self.root / "occupied").read_bytes(), b"a file, not a folder\r\n")
                self.assertEqual(sorted(p.name for p in self.root.iterdir()), ["occupied"])

    def test_automatic_mode_ends_quietly_with_nothing_written(self):
        folder = "C:\\tessarin-badtarget\\occupied\\product"
        code = wh.run_installer(self.exe, "badtargettest", '/a /d:"%s"' % folder).wait()
        self.assertEqual(code, 1)
        self.assertEqual(sorted(p.name for p in self.root.iterdir()), ["occupied"])
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + NAME))


if __name__ == "__main__":
    wh.main(verbosity=2)
