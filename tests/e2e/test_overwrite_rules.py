"""The overwrite modes and the version and date rules on real files: one installation over
pre-placed targets (a program with a version resource, plain files, a read-only file), each case
checked by the bytes and time left on disk and by its line in Install.log."""
import os
import pathlib
import shutil
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Rules Fixture"
INSTALL_DIR = "C:\\tessarin-rules\\" + NAME
NEW = 1600000000
OLDER, LATER = NEW - 86400, NEW + 86400
STUB_VERSION = "37.0.2"  # FileVersion of the stub's version resource

# (file, kind, overwrite, version, existing target, its time, replaced, log line after the path)
# Existing "program" is a copy of the stub (it has a version resource), "text" a plain file,
# "read-only" a plain read-only file (the product clears protective attributes), None nothing.
CASES = [
    ("older-version.dll", "versioned", "always", "38.0", "program", OLDER, True,
     " needs replacement because its version (38.0) is newer than %s and its date (" %
     STUB_VERSION),
    ("newer-version.dll", "versioned", "always", "36.1", "program", OLDER, False,
     " was not installed because its version (36.1) is not newer than %s\r\n" % STUB_VERSION),
    ("equal-version.dll", "versioned", "always", STUB_VERSION, "program", OLDER, False,
     " was not installed because its version (%s) is not newer than %s\r\n" %
     (STUB_VERSION, STUB_VERSION)),
    ("newer-version-older-date.dll", "versioned", "always", "38.0", "program", LATER, False,
     " was not installed because its date ("),
    ("no-version-resource.txt", "versioned", "always", "1.0", "text", OLDER, True,
     " needs replacement because its date ("),
    ("no-version-resource-later.txt", "versioned", "always", "1.0", "text", LATER, False,
     " was not installed because its date ("),
    ("read-only.txt", "versioned", "always", "1.0", "read-only", OLDER, True,
     " needs replacement because its date ("),
    ("missing.dll", "versioned", "always", "1.0", None, None, True, None),
    ("if-missing.txt", "install", "if-missing", "", "text", OLDER, False,
     " was not installed because it already exists.\r\n"),
    ("if-exists.txt", "install", "if-exists", "", None, None, False,
     " was not installed because it does not already exist.\r\n"),
    ("unless-newer-later.txt", "install", "unless-newer", "", "text", LATER, False,
     " was not installed because the existing file is newer.\r\n"),
    ("unless-newer-older.txt", "install", "unless-newer", "", "text", OLDER, True, None),
    ("skip.txt", "install", "skip", "", None, None, False, None),
]


def manifest():
    text = ('[product]\nname = "%s"\nversion = "1.0"\n'
            '[options]\nbackground = false\noverwrite-protected = true\n'
            '[uninstall]\nkey-name = "%s"\nsubfolder = "Uninstall"\n' % (NAME, NAME))
    for name, kind, overwrite, version, *_ in CASES:
        text += ('[[files]]\nsource = "cases"\ninclude = ["%s"]\nkind = "%s"\noverwrite = "%s"\n'
                 % (name, kind, overwrite))
        if version:
            text += 'version = "%s"\n' % version
    return text


class OverwriteRules(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-rules-"))
        (cls.work / "cases").mkdir()
        for name, *_ in CASES:
            path = cls.work / "cases" / name
            path.write_bytes(b"new " + name.encode() + b"\r\n")
            os.utime(path, (NEW, NEW))
        exe = cls.work / "rules-setup.exe"
        result = wh.build_from_manifest(cls.work, manifest(), exe)
        assert result.returncode == 0, result.stderr
        cls.key = wh.UNINSTALL + "\\" + NAME
        cls.target = wh.drive_c("tessarin-rules", NAME)
        cls.clean()
        cls.target.mkdir(parents=True)
        cls.before = {}
        for name, _, _, _, existing, mtime, *_ in CASES:
            if not existing:
                continue
            path = cls.target / name
            if existing == "program":
                shutil.copyfile(wh.STUB, path)
            else:
                path.write_bytes(b"existing " + name.encode() + b"\r\n")
            os.utime(path, (mtime, mtime))
            if existing == "read-only":
                path.chmod(0o444)
            cls.before[name] = path.read_bytes()
        arguments = '/silent /d:"%s"' % INSTALL_DIR
        cls.exit_code = wh.run_installer(exe, "rulestest", arguments).wait()
        log = cls.target / "Uninstall" / "Install.log"
        cls.log = log.read_bytes().decode("utf-8") if log.exists() else ""

    @classmethod
    def clean(cls):
        wh.reg_delete(cls.key)
        if cls.target.exists():
            for item in cls.target.rglob("*"):
                item.chmod(0o755 if item.is_dir() else 0o644)
            shutil.rmtree(cls.target)

    @classmethod
    def tearDownClass(cls):
        cls.clean()
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_installation_ends_with_1(self):
        self.assertEqual(self.exit_code, 1)

    def test_each_case_keeps_or_replaces_its_target(self):
        for name, _, _, _, existing, mtime, replaced, line in CASES:
            with self.subTest(name=name):
                path = self.target / name
                if replaced:
                    self.assertEqual(path.read_bytes(), b"new " + name.encode() + b"\r\n")
                    self.assertEqual(path.stat().st_mtime, NEW)
                elif existing:
                    self.assertEqual(path.read_bytes(), self.before[name])
                    self.assertEqual(path.stat().st_mtime, mtime)
                else:
                    self.assertFalse(path.exists())
                if line:
                    self.assertIn(INSTALL_DIR + "\\" + name + line, self.log)

    def test_skipped_files_leave_no_log_line(self):
        self.assertNotIn("skip.txt", self.log)


if __name__ == "__main__":
    wh.main(verbosity=2)
