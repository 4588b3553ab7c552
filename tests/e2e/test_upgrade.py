"""Installing over a previous installation of the fixture product, automatically: the same
version, an upgrade and a permitted downgrade reuse the previous folder whatever /d: says and
run their batches; a version below the installed NoDowngradeBelow is refused with nothing
written, silently or with its message."""
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Upgrade Fixture"
FIRST_DIR = "C:\\tessarin-upgrade\\first"
OTHER_DIR = "C:\\tessarin-upgrade\\other"
BRANCHES = "C:\\tessarin-upgrade\\branches.txt"
# Each batch appends its name, so the file shows which branches a run took.
BATCHES = ('\n[batches]\npre-install = "echo pre>>%s"\nupgrade = "echo upgrade>>%s"\n'
           'reinstall = "echo reinstall>>%s"\n' % ((BRANCHES.replace("\\", "\\\\"),) * 3))
REFUSAL = ("A newer version of %s is installed. It cannot be replaced by a version earlier than "
           "2.0.\r\n\r\nTo install this version, uninstall %s first." % (NAME, NAME))


def snapshot(folder):
    """Every file below folder with its bytes and time."""
    return {p.relative_to(folder): (p.read_bytes(), p.stat().st_mtime)
            for p in sorted(folder.rglob("*")) if p.is_file()}


class Upgrades(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-upgrade-"))
        cls.key = wh.UNINSTALL + "\\" + NAME
        cls.root = wh.drive_c("tessarin-upgrade")
        cls.clean()
        cls.root.mkdir()
        cls.installers = {v: cls.build(v) for v in ("2.5.1", "3.0", "2.2", "1.5")}

    @classmethod
    def build(cls, version):
        folder = cls.work / version
        manifest = wh.copy_fixture("product", folder, [("Tessarin Fixture", NAME),
                                                       ('version = "2.5.1"',
                                                        'version = "%s"' % version)])
        manifest.write_text(manifest.read_text(encoding="utf-8") + BATCHES, encoding="utf-8")
        (folder / "files/app/readme.txt").write_bytes(b"readme of " + version.encode() + b"\r\n")
        shutil.copyfile(wh.BUILD / "resources/setup.ico", folder / "product.ico")
        exe = cls.work / ("setup-%s.exe" % version)
        result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", exe)
        assert result.returncode == 0, result.stderr
        return exe

    @classmethod
    def clean(cls):
        wh.reg_delete(cls.key)
        if cls.root.exists():
            for item in cls.root.rglob("*"):
                item.chmod(0o755 if item.is_dir() else 0o644)
            shutil.rmtree(cls.root)
        for menu in wh.start_menu_folders(NAME):
            shutil.rmtree(menu)

    @classmethod
    def tearDownClass(cls):
        cls.clean()
        shutil.rmtree(cls.work, ignore_errors=True)

    # Automatic, not silent: silent mode also switches the version comparison off, so every
    # silent installation over another is a plain reinstall.
    def install(self, version, folder, switch="/a"):
        branches = self.root / "branches.txt"
        if branches.exists():
            branches.unlink()
        code = wh.run_installer(self.installers[version], "upgradetest",
                                '%s /d:"%s"' % (switch, folder)).wait()
        taken = branches.read_text().split() if branches.exists() else []
        return code, taken

    def test_branches_in_order(self):
        first = self.root / "first"
        cases = [
            # version, exit code, batches run, DisplayVersion afterwards
            ("2.5.1", FIRST_DIR, ["pre"]),
            ("2.5.1", OTHER_DIR, ["pre", "reinstall"]),
            ("3.0", OTHER_DIR, ["pre", "upgrade", "reinstall"]),
            ("2.2", OTHER_DIR, ["pre", "reinstall"]),
        ]
        for version, folder, batches in cases:
            with self.subTest(version=version, folder=folder):
                self.assertEqual(self.install(version, folder), (1, batches))
                values = wh.reg_values(self.key)
                self.assertEqual(values["DisplayVersion"], ("REG_SZ", version))
                self.assertEqual(values["InstallLocation"], ("REG_SZ", FIRST_DIR))
                self.assertEqual((first / "readme.txt").read_bytes(),
                                 b"readme of " + version.encode() + b"\r\n")
                self.assertFalse((self.root / "other").exists())

        # 1.5 is below the NoDowngradeBelow that the installed versions recorded (2.0).
        files, values = snapshot(first), wh.reg_values(self.key)
        with self.subTest(refused="silently"):
            self.assertEqual(self.install("1.5", OTHER_DIR, "/silent"), (1, []))
        with self.subTest(refused="with its message"):
            process = wh.run_installer(self.installers["1.5"], "upgradetest",
                                       '/d:"%s"' % OTHER_DIR)
            self.assertEqual(wh.message_box_text(wh.read_window(process.pid)), REFUSAL)
            wh.press(process.pid, "OK")
            self.assertEqual(process.wait(), 1)
        self.assertEqual(snapshot(first), files)
        self.assertEqual(wh.reg_values(self.key), values)
        self.assertFalse((self.root / "other").exists())


if __name__ == "__main__":
    wh.main(verbosity=2)
