"""Chains of installations of one product followed by one uninstallation leave the prefix as it
was before the first: a reinstallation, an upgrade that drops files, a shortcut, a registry
value and a shared file, and a permitted downgrade each carry what the earlier installations
made into the record they write. A damaged earlier record, or one that users who are not
administrators could change, does not stop an installation: it is logged and skipped.

The products install below a publisher's folder in the program files folder that the first
installation makes, as a new user's first product would."""
import pathlib
import re
import shutil
import tempfile
import unittest

import snapshot
import winehelper as wh
from test_uninstall import run_uninstaller, uninstall_command

STAGE = "tessarin-reinstall-stage"
COMPANY = "Tessarin Reinstall Co"
# A registry value the first version names for removal (remove-previous-install-key); the test
# writes it as that version's product would. Below HKCU, which both registry views share. Its key
# exists before any snapshot: the uninstaller removes the value, not the key.
VALUE_KEY = "HKCU\\Software\\Tessarin Tests\\Reinstall Chain"
VALUE_NAME = "Folder"
SHARED_FOLDER = "Tessarin Reinstall Shared"


def manifest(name, version, files, shortcut, value, kept):
    """The product with files (from files/) and permanent ones (kept, from kept/); the first
    version of a chain (value) also names the registry value and installs a shared file."""
    text = """[product]
name = "%s"
company = "%s"
version = "%s"
install-folder = "%%ProgramsDir%%\\\\%s\\\\%s"
start-menu-folder = "%s"
shared-folder = "%s"
shared-base = "app-data"
""" % (name, COMPANY, version, COMPANY, name, name, SHARED_FOLDER)
    if value:
        text += 'previous-install-key = "%s\\\\%s"\n' % (VALUE_KEY.replace("\\", "\\\\"),
                                                         VALUE_NAME)
    text += """
[options]
background = false
greeting-never = true
folder-page = false
start-menu-page = false
progress-window = false
compare-versions = true
no-upgrade-confirmation = true
remove-previous-install-key = %s

[uninstall]
key-name = "%s"
subfolder = "Uninstall"

[[files]]
source = "files"
""" % ("true" if value else "false", name)
    if kept:
        text += """
[[files]]
source = "kept"
permanent = true
"""
    if value:
        text += """
[[files]]
source = "shared"
kind = "shared"
"""
    if shortcut:
        text += """
[[shortcuts]]
target = "%%InstallDir%%\\\\%s"
name = "Chain Tool"
start-menu = true
""" % files[0]
    return text


class Chains(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-reinstall-"))
        cls.names = []
        wh.run_system64("reg.exe", "add", VALUE_KEY, "/f")

    @classmethod
    def tearDownClass(cls):
        cls.clean()
        wh.reg_delete(VALUE_KEY)
        shutil.rmtree(wh.drive_c(STAGE), ignore_errors=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def clean(cls):
        for name in cls.names:
            wh.reg_delete(wh.UNINSTALL + "\\" + name)
            for menu in wh.start_menu_folders(name):
                shutil.rmtree(menu)
        for program_files in ("Program Files", "Program Files (x86)"):
            shutil.rmtree(wh.drive_c(program_files, COMPANY), ignore_errors=True)
        wh.run_system64("reg.exe", "delete", VALUE_KEY, "/v", VALUE_NAME, "/f")
        shutil.rmtree(wh.drive_c("ProgramData", SHARED_FOLDER), ignore_errors=True)
        for value in wh.reg_values(wh.SHARED_DLLS) or {}:
            if SHARED_FOLDER in value:
                wh.run_system64("reg.exe", "delete", wh.SHARED_DLLS, "/v", value, "/f")

    def tearDown(self):
        self.clean()

    def build(self, name, version, files, shortcut=False, value=False, kept=()):
        folder = self.work / ("%s-%s" % (name, version))
        (folder / "files").mkdir(parents=True)
        for f in files:
            (folder / "files" / f).write_text("%s of %s %s\r\n" % (f, name, version))
        (folder / "kept").mkdir()
        for f in kept:
            (folder / "kept" / f).write_text("%s of %s %s\r\n" % (f, name, version))
        (folder / "shared").mkdir()
        (folder / "shared" / "common.dat").write_text("shared of %s\r\n" % name)
        (folder / "setup.toml").write_text(manifest(name, version, files, shortcut, value, kept),
                                           encoding="utf-8")
        exe = self.work / ("%s-%s.exe" % (name.replace(" ", "-"), version))
        result = wh.tessarin_build(folder / "setup.toml", "--stub", wh.STUB, "-o", exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        if name not in self.names:
            self.names.append(name)
        return wh.stage_program(exe, STAGE, exe.name)[1]

    def install(self, installer, name, version, switch="/silent"):
        wh.Process('"%s" %s' % (installer, switch)).wait()
        values = wh.reg_values(wh.UNINSTALL + "\\" + name)
        self.assertIsNotNone(values, "no entry after installing %s %s" % (name, version))
        self.assertEqual(values["DisplayVersion"], ("REG_SZ", version))
        return pathlib.PureWindowsPath(values["InstallLocation"][1])

    def uninstall(self, name, before):
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        differences = snapshot.diff(before, snapshot.take())
        self.assertEqual(differences, [], "left behind:\n" + "\n".join(differences))

    def company_folder(self):
        return [p for p in (wh.drive_c("Program Files", COMPANY),
                            wh.drive_c("Program Files (x86)", COMPANY)) if p.is_dir()]

    def test_reinstall_then_uninstall_leaves_nothing(self):
        name = "Tessarin Reinstall Same"
        installer = self.build(name, "1.0", ["a.txt", "b.txt"], shortcut=True)
        before = snapshot.take()
        self.install(installer, name, "1.0")
        self.install(installer, name, "1.0")
        self.assertTrue(self.company_folder())
        self.uninstall(name, before)

    def chain(self, name, steps, switch="/a"):
        """Installs each step over the one before (the first silently, the others with switch),
        writing the value a step names after it installed, then uninstalls once; a step is
        (version, files, shortcut, value)."""
        installers = [self.build(name, *step) for step in steps]
        shared = "C:\\ProgramData\\%s\\common.dat" % SHARED_FOLDER
        before = snapshot.take()
        installed, counted = set(), False
        for index, (installer, step) in enumerate(zip(installers, steps)):
            folder = self.install(installer, name, step[0], switch if index else "/silent")
            installed |= set(step[1])
            counted = counted or step[3]
            if step[2]:
                # The shell link's extension is written "LNK".
                self.assertTrue(any((menu / "Chain Tool.LNK").is_file()
                                    for menu in wh.start_menu_folders(name)))
            if step[3]:
                wh.run_system64("reg.exe", "add", VALUE_KEY, "/v", VALUE_NAME, "/d", str(folder),
                                "/f")
            linux = wh.drive_c(*folder.parts[1:])
            self.assertEqual(sorted(p.name for p in linux.iterdir() if p.is_file()),
                             sorted(installed))
            self.assertEqual(wh.shared_count(shared), 1 if counted else 0)
        self.uninstall(name, before)

    def test_upgrade_that_drops_files_a_shortcut_and_a_value_leaves_nothing(self):
        self.chain("Tessarin Reinstall Upgrade",
                   [("1.0", ["a.txt", "b.txt"], True, True),
                    ("2.0", ["b.txt", "c.txt"], False, False)])

    def test_three_versions_leave_nothing_of_any(self):
        self.chain("Tessarin Reinstall Three",
                   [("1.0", ["a.txt", "b.txt"], True, True),
                    ("2.0", ["b.txt", "c.txt"], False, False),
                    ("3.0", ["c.txt", "d.txt"], False, False)])

    def test_permitted_downgrade_leaves_nothing(self):
        self.chain("Tessarin Reinstall Downgrade",
                   [("2.0", ["b.txt", "c.txt"], False, False),
                    ("1.0", ["a.txt", "b.txt"], True, True)])

    def test_a_file_the_new_version_keeps_for_good_stays(self):
        """Version 1 installs a and b; version 2 installs b, and a as a permanent file: the
        uninstallation leaves a, and nothing else, however version 1 recorded it."""
        name = "Tessarin Reinstall Kept"
        installers = [self.build(name, "1.0", ["a.txt", "b.txt"]),
                      self.build(name, "2.0", ["b.txt"], kept=["a.txt"])]
        before = snapshot.take()
        self.install(installers[0], name, "1.0")
        folder = self.install(installers[1], name, "2.0", "/a")
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        kept = "C:\\" + "\\".join(folder.parts[1:])
        parents = [kept[:kept.rindex("\\")], kept]
        left = [re.sub(r" \(\d+ bytes, sha256 \w+\)$", "", line)
                for line in snapshot.diff(before, snapshot.take())]
        self.assertEqual(left, ["file added: %s (folder)" % p for p in parents] +
                         ["file added: %s\\a.txt" % kept])

    def replace_with_spoilt_record(self, name, spoil, logged):
        """Installs 1.0 (files a, b), spoils its record, installs 2.0 (files b, c) over it:
        the installation completes with its own record only and logs why."""
        installers = [self.build(name, "1.0", ["a.txt", "b.txt"]),
                      self.build(name, "2.0", ["b.txt", "c.txt"])]
        folder = self.install(installers[0], name, "1.0")
        uninstall_folder = wh.drive_c(*folder.parts[1:], "Uninstall")
        record = uninstall_folder / "Uninstall.DAT"
        spoil(uninstall_folder, record)
        self.install(installers[1], name, "2.0", "/a")
        log = (uninstall_folder / "Install.log").read_bytes().decode("utf-8", "replace")
        self.assertIn("Previous uninstall record not carried over: %s: %s\\Uninstall\\"
                      "Uninstall.DAT\r\n" % (logged, folder), log)
        self.assertIn("Installation Complete", log.split("Install type: Reinstall")[-1])
        text = record.read_bytes()
        self.assertIn(b"\\c.txt\r\n", text)
        self.assertNotIn(b"\\a.txt\r\n", text)

    def test_a_damaged_earlier_record_is_logged_and_the_installation_completes(self):
        def cut(folder, record):
            # Cut off in its deletion list, as a full disk would leave it.
            record.write_bytes(record.read_bytes()[:40])
        self.replace_with_spoilt_record("Tessarin Reinstall Damaged", cut, "it is damaged")

    def test_an_earlier_record_other_users_can_change_is_not_carried(self):
        """Wine keeps no access lists: it reports one made from the Unix mode, with an entry
        for Everyone that allows writing once every Unix user may write; such a mode stands
        here for a list that lets every user change the record."""
        def open_up(folder, record):
            record.chmod(record.stat().st_mode | 0o666)
        self.replace_with_spoilt_record(
            "Tessarin Reinstall Open", open_up,
            "users who are not administrators can change it")

if __name__ == "__main__":
    wh.main(verbosity=2)
