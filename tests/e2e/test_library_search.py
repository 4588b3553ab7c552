"""Libraries of system names planted beside the installer, as in a downloads folder, are not
loaded: the installer takes the libraries it loads at run time from the system folder."""
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

# Libraries the installer loads by name while it runs: the dialog framework's optional one at
# start-up, the gradient library when the background window is painted. (shcore.dll, which the
# framework asks for as well, is left out: Wine's shlwapi imports it when the program is loaded,
# before any code of the program runs; Windows keeps it among its known libraries. version.dll,
# which the installer loads at run time from the system folder, is left out too: Wine's user32
# imports it when any program is loaded, which Windows' user32 does not. That the installer
# itself imports neither statically is checked on its import table: tests/harness/
# check_imports.py.)
PLANTED = ("dwmapi.dll", "msimg32.dll")


class LibrarySearch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-dll-"))
        (cls.work / "files").mkdir()
        (cls.work / "files" / "a.txt").write_bytes(b"a\r\n")
        # Wine prefers its own builds of system libraries; this lets a DLL found on the search
        # path win, as a real system's own copies would lose to one found first.
        cls.saved = wh.ENV.get("WINEDLLOVERRIDES")
        wh.ENV["WINEDLLOVERRIDES"] = ",".join(n[:-4] for n in PLANTED) + "=n,b"

    @classmethod
    def tearDownClass(cls):
        if cls.saved is None:
            wh.ENV.pop("WINEDLLOVERRIDES", None)
        else:
            wh.ENV["WINEDLLOVERRIDES"] = cls.saved
        shutil.rmtree(cls.work, ignore_errors=True)

    def plant(self, folder):
        """Stages the DLL under each planted name in a folder of drive C:; returns the folder."""
        target = wh.drive_c(folder)
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True)
        for name in PLANTED:
            shutil.copyfile(wh.BUILD / "planted_library.dll", target / name)
        return target

    def marks(self, target):
        return sorted(p.name for p in target.glob("*.loaded"))

    def test_a_plain_load_by_name_takes_the_planted_library(self):
        # The control: a program that loads by bare name picks the planted file up.
        target = self.plant("plantcontrol")
        _, tool = wh.stage_program(wh.BUILD / "bgwindow.exe", "plantcontrol", "tool.exe")
        self.assertEqual(wh.Process('"%s" --load-library dwmapi.dll' % tool).wait(), 0)
        self.assertEqual(self.marks(target), ["dwmapi.dll.loaded"])

    def test_installer_does_not_load_libraries_planted_beside_it(self):
        manifest = ('[product]\nname = "Planted"\n'
                    '[background]\ntaskbar-text = "Planted"\ntitle = "Planted"\n'
                    'title-position = 2\ntitle-size = 1.0\n'
                    'top-color = "#FF0000"\nbottom-color = "#0000FF"\n'
                    '[[files]]\nsource = "files"\n')
        installer = self.work / "setup.exe"
        result = wh.build_from_manifest(self.work, manifest, installer)
        self.assertEqual(result.returncode, 0, result.stderr)
        target = self.plant("planttest")
        _, windows = wh.stage_program(installer, "planttest", "setup.exe")
        # The stub reads its script, shows and paints the background window and its greeting;
        # Cancel ends it.
        process = wh.Process('"%s"' % windows)
        code, _ = wh.probe("--pid", str(process.pid), "--class", "#32770", "--press-caption",
                           "Cancel", "--wait-gone-ms", "15000")
        self.assertEqual(code, 0, "no greeting")
        self.assertEqual(process.wait(), 1)
        self.assertEqual(self.marks(target), [])


if __name__ == "__main__":
    wh.main(verbosity=2)
