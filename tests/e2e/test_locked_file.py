"""A target held open by another process: the installation registers its replacement for the
next restart, logs that a reboot will be required and asks for the restart; a restart of the
prefix (wineboot -r) puts the new file in place."""
import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Locked Fixture"
INSTALL_DIR = "C:\\tessarin-locked\\" + NAME
HELD = INSTALL_DIR + "\\held.dat"
NEW = 1600000000
QUESTION = "Restart the computer now to finish the installation?"
# The installation is automatic (/a), so without no-reboot-without-asking it would restart the
# prefix at once; with it the question is shown and the test answers No.
MANIFEST = """[product]
name = "%s"
version = "1.0"
[options]
%sbackground = false
replace-at-reboot = true
no-reboot-without-asking = true
[uninstall]
key-name = "%s"
subfolder = "Uninstall"
[[languages]]
name = "English"
messages = { 37 = "%s" }
[[files]]
source = "files"
""" % (NAME, wh.NO_WIZARD, NAME, QUESTION)


class LockedFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-locked-"))
        (cls.work / "files").mkdir()
        for name in ("held.dat", "free.txt"):
            (cls.work / "files" / name).write_bytes(b"new " + name.encode() + b"\r\n")
            os.utime(cls.work / "files" / name, (NEW, NEW))
        cls.exe = cls.work / "locked-setup.exe"
        result = wh.build_from_manifest(cls.work, MANIFEST, cls.exe)
        assert result.returncode == 0, result.stderr
        cls.key = wh.UNINSTALL + "\\" + NAME
        cls.target = wh.drive_c("tessarin-locked", NAME)
        cls.clean()

    @classmethod
    def clean(cls):
        wh.reg_delete(cls.key)
        shutil.rmtree(cls.target, ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        cls.clean()
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_held_file_is_replaced_after_a_restart(self):
        self.target.mkdir(parents=True)
        (self.target / "held.dat").write_bytes(b"old\r\n")
        # The unit binary's holder role opens the file without sharing and marks that it has.
        holder = subprocess.Popen([wh.LOADER, str(wh.BUILD / "wine_tests.exe"),
                                   "--hold-file=" + HELD], env=wh.ENV,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wh.wait_for((self.target / "held.dat.held").exists, "the holder")
            process = wh.run_installer(self.exe, "lockedtest", '/a /d:"%s"' % INSTALL_DIR)
            window = wh.read_window(process.pid)
            self.assertEqual(wh.message_box_text(window), QUESTION)
            wh.press(process.pid, "No")
            self.assertEqual(process.wait(), 1)
            self.assertEqual((self.target / "held.dat").read_bytes(), b"old\r\n")
            self.assertEqual((self.target / "free.txt").read_bytes(), b"new free.txt\r\n")
        finally:
            holder.kill()
            holder.wait()
        log = (self.target / "Uninstall" / "Install.log").read_bytes().decode("utf-8")
        self.assertIn('"%s" was successfully registered for replacement.\r\nTemporary file is "'
                      % HELD, log)
        self.assertIn("\r\nReboot will be required.\r\n", log)
        restart = subprocess.run([wh.WINE64, "wineboot", "-r"], env=wh.ENV, capture_output=True,
                                 timeout=120)
        self.assertEqual(restart.returncode, 0, restart.stderr)
        self.assertEqual((self.target / "held.dat").read_bytes(), b"new held.dat\r\n")
        self.assertEqual((self.target / "held.dat").stat().st_mtime, NEW)
        # Only the held file went through a temporary name; none is left beside it.
        (self.target / "held.dat.held").unlink()
        self.assertEqual(sorted(p.name for p in self.target.iterdir()),
                         ["Uninstall", "free.txt", "held.dat"])


if __name__ == "__main__":
    wh.main(verbosity=2)
