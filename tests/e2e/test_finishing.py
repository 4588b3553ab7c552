"""The files an installation writes at its end (readme and licence texts, the background
picture for the uninstaller, the reboot marker), the program it launches on exit, and the
conventional exit code a publisher can choose."""
import pathlib
import shutil
import struct
import tempfile
import time
import unittest

import winehelper as wh

NAME = "Tessarin Finishing Fixture"
ROOT = "C:\\tessarin-finishing"
INSTALL_DIR = ROOT + "\\" + NAME
LAUNCHED = ROOT + "\\launched.txt"
MANIFEST = """[product]
name = "%s"
version = "1.0"
[options]
readme-files = true
license-files = true
background-picture-file = true
reboot-marker = true
conventional-exit-codes = true
[wizard]
readmes = ["first.txt", "second.txt"]
licenses = ["licence.txt"]
[background]
picture = "picture.bmp"
[uninstall]
subfolder = "Uninstall"
[[files]]
source = "files"
""" % NAME


def bitmap_file():
    """A 2 x 2 bitmap of 24 bits, as a paint program saves it."""
    pixels = (b"\x00\x00\xff\xff\x00\x00\x00\x00" * 2)
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


class Finishing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-finishing-"))
        (cls.work / "files").mkdir()
        (cls.work / "files" / "app.txt").write_bytes(b"app\r\n")
        (cls.work / "first.txt").write_bytes(b"first readme\r\n")
        (cls.work / "second.txt").write_bytes(b"second readme\r\n")
        (cls.work / "licence.txt").write_bytes(b"the licence\r\n")
        (cls.work / "picture.bmp").write_bytes(bitmap_file())
        exe = cls.work / "finishing-setup.exe"
        result = wh.build_from_manifest(cls.work, MANIFEST, exe)
        assert result.returncode == 0, result.stderr
        cls.root = wh.drive_c("tessarin-finishing")
        shutil.rmtree(cls.root, ignore_errors=True)
        launch = "C:\\windows\\system32\\cmd.exe /c echo launched>" + LAUNCHED
        cls.exit_code = wh.run_installer(
            exe, "finishingtest", '/silent /d:"%s" /r:"%s"' % (INSTALL_DIR, launch)).wait()
        cls.target = cls.root / NAME
        cls.records = (cls.target / "Uninstall" / "Uninstall.DAT").read_bytes()

    @classmethod
    def tearDownClass(cls):
        wh.reg_delete(wh.UNINSTALL + "\\" + NAME)
        shutil.rmtree(cls.root, ignore_errors=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_a_clean_installation_ends_with_the_conventional_success_code(self):
        self.assertEqual(self.exit_code, 0)

    def test_texts_for_the_user_are_numbered_and_recorded(self):
        expected = {"readme1.txt": b"first readme\r\n", "readme2.txt": b"second readme\r\n",
                    "eula.txt": b"the licence\r\n"}
        for name, data in expected.items():
            with self.subTest(name=name):
                self.assertEqual((self.target / name).read_bytes(), data)
                self.assertIn((INSTALL_DIR + "\\" + name).encode(), self.records)

    def test_the_background_picture_is_kept_for_the_uninstaller_as_a_bitmap_file(self):
        picture = self.target / "Uninstall" / "Installer Background.bmp"
        self.assertEqual(picture.read_bytes(), bitmap_file())
        self.assertIn(b"Installer Background.bmp", self.records)

    def test_the_reboot_marker_is_made_and_its_deletion_waits_for_the_restart(self):
        self.assertEqual((self.target / "reboot.dat").read_bytes(), b"")
        result = wh.run_system64(
            "reg.exe", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
            "/v", "PendingFileRenameOperations")
        self.assertIn(INSTALL_DIR + "\\reboot.dat", result.stdout)

    def test_the_program_given_with_r_is_launched_at_the_end(self):
        launched = self.root / "launched.txt"
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not launched.exists():
            time.sleep(0.1)
        self.assertEqual(launched.read_bytes().strip(), b"launched")


if __name__ == "__main__":
    wh.main(verbosity=2)
