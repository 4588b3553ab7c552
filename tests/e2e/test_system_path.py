"""A product with add-to-path puts its folder into the machine's PATH once, as an expandable
text, however often it is installed; the rest of the PATH stays as it was."""
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Path Fixture"
INSTALL_DIR = "C:\\tessarin-path\\" + NAME
ENVIRONMENT = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
MANIFEST = """[product]
name = "%s"
add-to-path = "bin"
[options]
background = false
uninstall-entry = false
log = false
[[files]]
source = "bin"
into = "bin"
""" % NAME


def system_path():
    """(type, text) of the PATH value, whatever the case of its name."""
    values = wh.reg_values(ENVIRONMENT)
    return next(value for name, value in values.items() if name.lower() == "path")


def set_path(kind, text):
    result = wh.run_system64("reg.exe", "add", ENVIRONMENT, "/v", "Path", "/t", kind, "/d", text,
                             "/f")
    assert result.returncode == 0, result.stderr


class SystemPath(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-path-"))
        (self.work / "bin").mkdir()
        (self.work / "bin" / "tool.txt").write_text("tool")
        self.root = wh.drive_c("tessarin-path")
        shutil.rmtree(self.root, ignore_errors=True)
        self.original = system_path()

    def tearDown(self):
        set_path(*self.original)
        shutil.rmtree(self.root, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)

    def test_folder_joins_the_path_once(self):
        exe = self.work / "path-setup.exe"
        result = wh.build_from_manifest(self.work, MANIFEST, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        before = "C:\\windows\\system32;C:\\windows;" + INSTALL_DIR + "\\bin2"
        set_path("REG_SZ", before)
        for _ in range(2):
            wh.run_installer(exe, "pathtest", '/silent /d:"%s"' % INSTALL_DIR).wait()
        self.assertEqual(system_path(),
                         ("REG_EXPAND_SZ", before + ";" + INSTALL_DIR + "\\bin"))


if __name__ == "__main__":
    wh.main(verbosity=2)
