"""A real installation of the fixture product under Wine, run silently twice: the files with
their bytes, times and attributes, the uninstall entry, the shortcuts, the shared-file counts,
Install.log and Uninstall.DAT, and the uninstaller copy with the product's icon."""
import os
import pathlib
import shutil
import struct
import tempfile
import time
import unittest

import winehelper as wh

NAME = "Tessarin Install Fixture"
MTIME = 1600000000  # 2020-09-13 12:26:40 UTC: whole seconds survive every time format
INSTALL_DIR = "C:\\tessarin-install\\" + NAME
SHARED_DIR = "C:\\ProgramData\\" + NAME + " Shared"
# Fixture file (below files/) and where the manifest puts it.
FILES = [
    ("app/readme.txt", INSTALL_DIR + "\\readme.txt"),
    ("app/bin/tool.dat", INSTALL_DIR + "\\bin\\tool.dat"),
    ("app/bin/settings.ini", INSTALL_DIR + "\\bin\\settings.ini"),
    ("docs/manual.txt", INSTALL_DIR + "\\docs\\manual.txt"),
    ("shared/common.dat", SHARED_DIR + "\\common.dat"),
]


def linux_path(windows):
    """The prefix's file for a C: path."""
    assert windows[:3].upper() == "C:\\", windows
    return wh.drive_c(*windows[3:].split("\\"))


def icon_bytes():
    """A one-image icon file (16x16, 32 bits per pixel, all orange), unlike the stub's own."""
    pixels = bytes([0x00, 0x80, 0xFF, 0xFF]) * 256
    mask = bytes(64)
    image = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0,
                        0) + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32,
                                                      len(image), 22) + image


def pe_layout(data):
    """(section names, [(virtual address, virtual size, raw offset)], resource table RVA)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from(
        "<H", data, pe + 20)[0]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    names, ranges = [], []
    for i in range(count):
        at = optional + optional_size + 40 * i
        names.append(data[at:at + 8].rstrip(b"\0").decode("ascii"))
        vsize, vaddr, _, raw = struct.unpack_from("<IIII", data, at + 8)
        ranges.append((vaddr, vsize, raw))
    return names, ranges, resource_rva


def pe_resources(data):
    """{(type, name, language): bytes} for the numbered resources of a PE file."""
    _, ranges, root_rva = pe_layout(data)

    def offset(rva):
        for vaddr, vsize, raw in ranges:
            if vaddr <= rva < vaddr + vsize:
                return rva - vaddr + raw
        raise AssertionError("RVA %#x outside every section" % rva)

    root = offset(root_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield ident, target

    found = {}
    for type_id, type_target in entries(root):
        for name_id, name_target in entries(root + (type_target & 0x7FFFFFFF)):
            for language, leaf in entries(root + (name_target & 0x7FFFFFFF)):
                rva, size = struct.unpack_from("<II", data, root + leaf)
                found[(type_id, name_id, language)] = data[offset(rva):offset(rva) + size]
    return found


def link_target(path):
    """The target of a shell link: its local base path, else its relative path taken from the
    link's folder."""
    data = path.read_bytes()
    assert struct.unpack_from("<I", data, 0)[0] == 0x4C, "%s is not a shell link" % path
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 0x1:  # target ID list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if flags & 0x2:  # link info
        size, header_size, _, _, base = struct.unpack_from("<IIIII", data, at)
        if header_size >= 0x24:
            unicode_base = struct.unpack_from("<I", data, at + 28)[0]
            if unicode_base:
                text = data[at + unicode_base:at + size].decode("utf-16-le")
                return text.split("\0")[0]
        if base:
            return data[at + base:at + size].split(b"\0")[0].decode("cp1252")
        at += size
    unicode = flags & 0x80
    for bit in (0x4, 0x8):  # name, relative path
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            width = 2 if unicode else 1
            text = data[at + 2:at + 2 + count * width].decode("utf-16-le" if unicode else "cp1252")
            at += 2 + count * width
            if bit == 0x8:
                return text
    raise AssertionError("%s names no target" % path)


def find_no_case(folder, name):
    """The file of that name in folder, whatever the letter case of either."""
    found = [p for p in folder.iterdir() if p.name.lower() == name.lower()]
    assert len(found) == 1, (folder, name, found)
    return found[0]


class Installation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-install-"))
        manifest = wh.copy_fixture("product", cls.work, [("Tessarin Fixture", NAME)])
        cls.icon = icon_bytes()
        (cls.work / "product.ico").write_bytes(cls.icon)
        for source, _ in FILES:
            os.utime(cls.work / "files" / source, (MTIME, MTIME))
        cls.exe = cls.work / "fixture-setup.exe"
        result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", cls.exe)
        assert result.returncode == 0, result.stderr
        cls.key = wh.UNINSTALL + "\\" + NAME
        cls.clean()
        shared = SHARED_DIR + "\\common.dat"
        cls.counts = [wh.shared_count(shared)]
        cls.exit_codes = []
        for _ in range(2):
            arguments = '/silent /d:"%s"' % INSTALL_DIR
            cls.exit_codes.append(wh.run_installer(cls.exe, "installtest", arguments).wait())
            cls.counts.append(wh.shared_count(shared))
        cls.values = wh.reg_values(cls.key)

    @classmethod
    def clean(cls):
        wh.reg_delete(cls.key)
        for folder in (INSTALL_DIR, SHARED_DIR):
            path = linux_path(folder)
            if path.exists():
                for item in path.rglob("*"):
                    item.chmod(0o755 if item.is_dir() else 0o644)
                shutil.rmtree(path)
        for menu in wh.start_menu_folders(NAME):
            shutil.rmtree(menu)

    @classmethod
    def tearDownClass(cls):
        cls.clean()
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_every_end_of_the_install_branch_exits_with_1(self):
        self.assertEqual(self.exit_codes, [1, 1])

    def test_files_land_with_their_bytes_times_and_attributes(self):
        for source, target in FILES:
            with self.subTest(target=target):
                path = linux_path(target)
                self.assertEqual(path.read_bytes(), (self.work / "files" / source).read_bytes())
                self.assertEqual(path.stat().st_mtime, MTIME)
                listed = wh.run_system64("attrib.exe", target).stdout
                flags = listed[:listed.upper().index(target.upper())]
                self.assertEqual("R" in flags, source == "docs/manual.txt", listed)

    def test_uninstall_entry_holds_every_value_with_its_type(self):
        uninstaller = INSTALL_DIR + "\\Uninstall\\uninstall.exe"
        arguments = '/u:"%s"' % NAME
        exact = {
            "UninstallString": ("REG_SZ", '"%s" %s' % (uninstaller, arguments)),
            "QuietUninstallString": ("REG_SZ", '"%s" /a %s' % (uninstaller, arguments)),
            "DisplayName": ("REG_SZ", NAME),
            "InstallSource": ("REG_SZ", "C:\\installtest\\fixture-setup.exe"),
            "Publisher": ("REG_SZ", "Tessarin Tests"),
            "Bitness": ("REG_DWORD", "0x0"),
            "DisplayVersion": ("REG_SZ", "2.5.1"),
            "NoDowngradeBelow": ("REG_SZ", "2.0"),
            "DisplayIcon": ("REG_SZ", INSTALL_DIR + "\\Uninstall\\product.ico"),
            "VersionMajor": ("REG_DWORD", "0x2"),
            "VersionMinor": ("REG_DWORD", "0x5"),
            "ProductStartMenu": ("REG_SZ", NAME),
            "SharedPath": ("REG_SZ", SHARED_DIR),
            "UninstallSubdir": ("REG_SZ", "Uninstall"),
            "ShortcutMode": ("REG_DWORD", "0x0"),
            "HelpLink": ("REG_SZ", "https://example.com/fixture/help"),
            "NoModify": ("REG_DWORD", "0x1"),
            "InstallLocation": ("REG_SZ", INSTALL_DIR),
        }
        self.assertIn('"%s\\common.dat"' % SHARED_DIR, self.values["SharedFiles"][1])
        for name, value in exact.items():
            with self.subTest(name=name):
                self.assertEqual(self.values.get(name), value)
        typed = {"SharedFiles": "REG_SZ", "ProductFlags": "REG_SZ", "ProductFlags2": "REG_SZ",
                 "EstimatedSize": "REG_DWORD", "DisplayTitle": "REG_SZ", "TitleColor": "REG_DWORD", "TitleSize": "REG_SZ",
                 "TopColor": "REG_DWORD", "MonoColor": "REG_DWORD", "TitleShadow": "REG_DWORD",
                 "TitlePosition": "REG_DWORD", "TitleFont": "REG_SZ", "TaskbarText": "REG_SZ",
                 "CopyrightText": "REG_SZ", "CopyrightFont": "REG_SZ", "CopyrightSize": "REG_SZ",
                 "CopyrightColor": "REG_SZ", "CopyrightPos": "REG_DWORD", "InstallDate": "REG_SZ"}
        for name, kind in typed.items():
            with self.subTest(name=name):
                self.assertIn(name, self.values)
                self.assertEqual(self.values[name][0], kind)
        # Empty texts and settings without a picture are deleted, not written empty.
        for name in ("ProductRegistry", "ProductFonts", "UninstallBatch1", "UninstallBatch2",
                     "AddToPathSubfolder", "NotifyURL", "SupportOffer", "DesktopFolder",
                     "BitmapSize", "BitmapTPI", "StretchMode"):
            self.assertNotIn(name, self.values)
        self.assertRegex(self.values["ProductFlags"][1], r"^-?\d+$")
        self.assertRegex(self.values["ProductFlags2"][1], r"^\d+$")
        today = {time.strftime("%Y%m%d", time.localtime(time.time() + d)) for d in (-86400, 0)}
        self.assertIn(self.values["InstallDate"][1], today)
        # Files rounded up to 4096-byte clusters, plus the uninstaller image.
        image = self.work / "image.exe"
        wh.tessarin_build("--uninstaller-image", self.exe, image)
        size = sum(-(-(self.work / "files" / s).stat().st_size // 4096) * 4096 for s, _ in FILES)
        self.assertEqual(int(self.values["EstimatedSize"][1], 16),
                         (size + image.stat().st_size) // 1024)

    def test_wine_uninstaller_lists_the_product(self):
        listed = wh.run_system64("uninstaller.exe", "--list").stdout
        self.assertIn("|||" + NAME, listed)

    def test_shortcuts_resolve_to_their_targets(self):
        menus = list(wh.start_menu_folders(NAME))
        self.assertEqual(len(menus), 1, menus)
        expected = {"Fixture Manual.lnk": INSTALL_DIR + "\\docs\\manual.txt"}
        for name, target in expected.items():
            with self.subTest(name=name):
                self.assertEqual(link_target(find_no_case(menus[0], name)).lower(),
                                 target.lower())

    def test_shared_count_rises_once_for_the_product(self):
        # The second installation replaces the first: the product still holds one count.
        self.assertEqual(self.counts[1:], [self.counts[0] + 1, self.counts[0] + 1])

    def test_log_and_uninstall_data_list_every_item_made(self):
        uninstall = linux_path(INSTALL_DIR + "\\Uninstall")
        log = (uninstall / "Install.log").read_bytes()
        self.assertTrue(log.startswith(b"\xef\xbb\xbf"))
        # Each installation appends its block; the last one is the second installation's.
        last = log.decode("utf-8").split("**********************************************")[-1]
        for source, target in FILES[:-1]:
            self.assertIn("%s >>> %s\r\n" % (source.split("/")[-1], target), last)
        # A shared file is replaced only by a newer one: the second time it is kept.
        self.assertIn("%s is up to date.\r\n" % FILES[-1][1], last)
        menu = list(wh.start_menu_folders(NAME))[0]
        menu_windows = "C:\\" + str(menu.relative_to(wh.drive_c())).replace("/", "\\")
        for name in ("Fixture Manual",):
            self.assertIn(("Start Menu Shortcut(%s) >>> %s\\%s.lnk\r\n" %
                           (name, menu_windows, name)).lower(), last.lower())
        data = (uninstall / "Uninstall.DAT").read_bytes().decode("cp1252")
        listed = {line.lower() for line in data.split("\r\n[")[0].split("\r\n")}
        made = [target for source, target in FILES if not source.startswith("shared/")]
        made += ["~" + INSTALL_DIR + "\\bin", "~" + INSTALL_DIR + "\\docs",
                 INSTALL_DIR + "\\Uninstall\\product.ico",
                 menu_windows + "\\Fixture Manual.lnk"]
        for item in made:
            self.assertIn(item.lower(), listed)

    def test_uninstaller_copy_has_the_product_icon_and_no_payload(self):
        uninstall = linux_path(INSTALL_DIR + "\\Uninstall")
        self.assertEqual((uninstall / "product.ico").read_bytes(), self.icon)
        data = (uninstall / "uninstall.exe").read_bytes()
        names, _, _ = pe_layout(data)
        self.assertNotIn(".setup", names)
        resources = pe_resources(data)
        group = resources[(14, 1, 1033)]
        self.assertEqual(struct.unpack_from("<HHH", group, 0), (0, 1, 1))
        identifier = struct.unpack_from("<H", group, 6 + 12)[0]
        self.assertEqual(group[6:6 + 12], self.icon[6:6 + 12])
        self.assertEqual(resources[(3, identifier, 1033)], self.icon[22:])


class WithoutUninstaller(unittest.TestCase):
    """A product without uninstall support still puts its shared files into its shared folder
    below the shared base, never below whatever folder the installer was started in."""

    def test_shared_file_lands_in_the_shared_folder(self):
        name = "Tessarin Install Bare"
        work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-install-bare-"))
        install_dir = wh.drive_c("tessarin-install", name)
        shared_dir = wh.drive_c("ProgramData", name + " Shared")
        parent = install_dir.parent
        parent_existed = parent.exists()
        self.addCleanup(lambda: parent_existed or parent.rmdir())
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        self.addCleanup(shutil.rmtree, install_dir, ignore_errors=True)
        self.addCleanup(shutil.rmtree, shared_dir, ignore_errors=True)
        # The installer starts in this process's folder, as it would in a downloads folder.
        misplaced = pathlib.Path.cwd() / (name + " Shared")
        self.addCleanup(shutil.rmtree, misplaced, ignore_errors=True)
        shutil.copytree(wh.SOURCE / "tests/e2e/fixtures/product/files/shared", work / "shared")
        manifest = ('[product]\nname = "%s"\nshared-folder = "%s Shared"\n'
                    'shared-base = "app-data"\n[options]\nbackground = false\n'
                    'uninstall-entry = false\n[[files]]\nsource = "shared"\nkind = "shared"\n'
                    % (name, name))
        exe = work / "bare.exe"
        result = wh.build_from_manifest(work, manifest, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        arguments = '/silent /d:"C:\\tessarin-install\\%s"' % name
        self.assertEqual(wh.run_installer(exe, "installtest", arguments).wait(), 1)
        self.assertFalse(misplaced.exists(), "shared files below the starting folder")
        self.assertEqual((shared_dir / "common.dat").read_bytes(),
                         (work / "shared" / "common.dat").read_bytes())
        # Without an uninstaller nothing is counted.
        self.assertEqual(wh.shared_count("C:\\ProgramData\\%s Shared\\common.dat" % name), 0)


if __name__ == "__main__":
    wh.main(verbosity=2)
