"""A product without files still runs the whole installation, its batches included, and
removes the install folder that it created and left empty."""
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Empty Fixture"
INSTALL_DIR = "C:\\tessarin-empty\\" + NAME
STEPS = "C:\\\\tessarin-empty\\\\steps.txt"
MANIFEST = """[product]
name = "%s"
[options]
background = false
uninstall-entry = false
log = false
[batches]
post-install = "echo post>>%s"
exit = "echo exit>>%s"
""" % (NAME, STEPS, STEPS)


class EmptyProduct(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-empty-"))
        self.root = wh.drive_c("tessarin-empty")
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir()

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)

    def test_runs_to_the_end_and_removes_its_empty_folder(self):
        exe = self.work / "empty-setup.exe"
        result = wh.build_from_manifest(self.work, MANIFEST, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        code = wh.run_installer(exe, "emptytest", '/silent /d:"%s"' % INSTALL_DIR).wait()
        self.assertEqual(code, 1)
        self.assertEqual((self.root / "steps.txt").read_text().split(), ["post", "exit"])
        self.assertEqual([p.name for p in self.root.iterdir()], ["steps.txt"])


if __name__ == "__main__":
    wh.main(verbosity=2)
