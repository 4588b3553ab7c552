"""Uninstallation round trips under Wine: an installation followed by the uninstaller that it
registered (QuietUninstallString, or UninstallString through Wine's own uninstaller) leaves the
prefix as it was, down to the last file and registry value; a file in use stays, is reported
and goes with the next run; shared files are counted down; the support offer stops the run with
nothing removed; a program named by the record is closed first, and an MSI package that cannot
be removed keeps its line and the entry; bad entries and records stop the uninstaller with their
message and delete nothing; an untrusted record cannot reach the system's files and keys.

Each scenario has its own product name and folder. The installers are staged on drive C:
before any snapshot is taken, and everything a scenario makes is removed after it."""
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import unittest

import snapshot
import winehelper as wh

STAGE = "tessarin-uninstall-stage"  # C:\<STAGE>\<installer>
ROOT = "tessarin-uninstall"  # C:\<ROOT>\<scenario>: install folders
DEMO_COMPANY = "Tessarin Examples"  # the demo installs below <program files>\<company>
SHARED_FOLDER = "Tessarin Uninstall Shared"
SHARED_FILE = "C:\\ProgramData\\" + SHARED_FOLDER + "\\common.dat"


def small_manifest(name, extra="", uninstall="", options="", subfolder="Uninstall"):
    """A product of the fixture's app files and its shared file; subfolder None names no
    uninstall subfolder."""
    if subfolder is not None:
        uninstall = 'subfolder = "%s"\n%s' % (subfolder, uninstall)
    return """[product]
name = "%s"
version = "1.0"
shared-folder = "%s"
shared-base = "app-data"
[options]
background = false
%s[uninstall]
key-name = "%s"
%s[[files]]
source = "files/app"
[[files]]
source = "files/shared"
kind = "shared"
%s""" % (name, SHARED_FOLDER, options, name, uninstall, extra)


# Every install action the fixture offers that the uninstaller has to undo: files in
# subfolders, a read-only file, shortcuts on the desktop and in the Start menu (also to the
# uninstaller), a shared file with its count, the product's registry key, the log, readme and
# licence texts and the background picture kept for the uninstaller. Fonts are left out: the
# machine has no font file to install.
FULL_OPTIONS = """uninstaller-start-menu-shortcut = true
uninstaller-desktop-shortcut = true
readme-files = true
license-files = true
background-picture-file = true
"""
FULL_TABLES = """
[wizard]
licenses = ["licence.txt"]
readmes = ["readme-page.txt"]

[background]
picture = "background.bmp"

[[shortcuts]]
target = "%InstallDir%\\\\bin\\\\tool.dat"
name = "Fixture Tool"
desktop = true
start-menu = true
"""


def desktop_entries():
    return list(wh.PREFIX.glob("drive_c/users/*/Desktop/*"))


def uninstall_command(name, value="QuietUninstallString"):
    values = wh.reg_values(wh.UNINSTALL + "\\" + name)
    assert values and value in values, "no %s in the entry of %s: %r" % (value, name, values)
    return values[value][1]


def wait_for_self_removal(temp_before):
    """The self-removal script deletes the moved uninstaller and then itself; both sit in the
    temporary folder, so the run is over when that folder holds nothing new."""
    wh.wait_for(lambda: wh.temp_entries() <= temp_before,
                "the self-removal script to delete the uninstaller and itself")


def run_uninstaller(command, cwd=None):
    """Runs an uninstall command line (in the Windows folder cwd when given) and waits for its
    self-removal; returns the exit code."""
    temp_before = wh.temp_entries()
    code = wh.Process(command, cwd=cwd).wait()
    wait_for_self_removal(temp_before)
    return code


def link_fields(path):
    """What a shell link holds: its target (the local base path of its link information) and
    its string fields ("arguments", "icon", ...), as Windows reads them."""
    data = path.read_bytes()
    assert struct.unpack_from("<I", data, 0)[0] == 0x4C, "%s is not a shell link" % path
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    fields = {}
    if flags & 0x1:  # target ID list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if flags & 0x2:  # link information
        size, header_size, _, _, base = struct.unpack_from("<IIIII", data, at)
        unicode_base = struct.unpack_from("<I", data, at + 28)[0] if header_size >= 0x24 else 0
        if unicode_base:
            fields["target"] = data[at + unicode_base:at + size].decode("utf-16-le").split("\0")[0]
        elif base:
            fields["target"] = data[at + base:at + size].split(b"\0")[0].decode("cp1252")
        at += size
    width = 2 if flags & 0x80 else 1
    for bit, name in ((0x4, "name"), (0x8, "relative path"), (0x10, "working folder"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            text = data[at + 2:at + 2 + count * width]
            # Wine counts the terminating zero in; Windows does not.
            fields[name] = text.decode("utf-16-le" if width == 2 else "cp1252").split("\0")[0]
            at += 2 + count * width
    return fields


def linux_path(windows):
    assert windows[:3].upper() == "C:\\", windows
    return wh.drive_c(*windows[3:].split("\\"))


class Products:
    """Builds and stages installers; removes everything the products may have left."""

    def __init__(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-uninstall-"))
        self.names = []
        self.desktop = set(desktop_entries())
        # The install folders' parent exists before any snapshot, as a user's chosen parent
        # folder would: the uninstaller removes the install folder, never its parents.
        wh.drive_c(ROOT).mkdir(exist_ok=True)

    def fixture(self, name, options="", tables=""):
        folder = self.work / name
        registry_key = 'registry-key = "Software\\\\Tessarin Tests\\\\%s"\n' % name
        manifest = wh.copy_fixture("product", folder, [("Tessarin Fixture", name),
                                                       ("[product]\n", "[product]\n" + registry_key),
                                                       ("[options]\n", "[options]\n" + options)])
        manifest.write_text(manifest.read_text(encoding="utf-8") + tables, encoding="utf-8")
        shutil.copyfile(wh.BUILD / "resources/setup.ico", folder / "product.ico")
        shutil.copyfile(wh.SOURCE / "examples/demo/background.bmp", folder / "background.bmp")
        (folder / "licence.txt").write_text("Licence of %s\r\n" % name)
        (folder / "readme-page.txt").write_text("Readme of %s\r\n" % name)
        return self._build(name, manifest)

    def small(self, name, extra="", uninstall="", options="", subfolder="Uninstall"):
        folder = self.work / name
        shutil.copytree(wh.SOURCE / "tests/e2e/fixtures/product/files", folder / "files")
        (folder / "setup.toml").write_text(
            small_manifest(name, extra, uninstall, options, subfolder), encoding="utf-8")
        return self._build(name, folder / "setup.toml")

    def demo(self, name):
        folder = self.work / name
        shutil.copytree(wh.SOURCE / "examples/demo", folder)
        manifest = folder / "setup.toml"
        manifest.write_text(manifest.read_text(encoding="utf-8").replace("Demo Notes", name),
                            encoding="utf-8")
        return self._build(name, manifest)

    def _build(self, name, manifest):
        exe = self.work / (name.replace(" ", "-") + ".exe")
        result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", exe)
        assert result.returncode == 0, result.stderr
        self.names.append(name)
        _, windows = wh.stage_program(exe, STAGE, exe.name)
        return windows

    def clean(self):
        for name in self.names:
            wh.reg_delete(wh.UNINSTALL + "\\" + name)
            for menu in wh.start_menu_folders(name):
                shutil.rmtree(menu)
            for program_files in ("Program Files", "Program Files (x86)"):
                shutil.rmtree(wh.drive_c(program_files, DEMO_COMPANY, name), ignore_errors=True)
                company = wh.drive_c(program_files, DEMO_COMPANY)
                if company.is_dir() and not any(company.iterdir()):
                    company.rmdir()
            shutil.rmtree(wh.drive_c("ProgramData", name + " Shared"), ignore_errors=True)
        for link in set(desktop_entries()) - self.desktop:
            link.unlink()
        for value in wh.reg_values(wh.SHARED_DLLS) or {}:
            if any(name in value for name in self.names + [SHARED_FOLDER]):
                wh.run_system64("reg.exe", "delete", wh.SHARED_DLLS, "/v", value, "/f")
        for folder in (wh.drive_c(ROOT), wh.drive_c("ProgramData", SHARED_FOLDER)):
            if folder.exists():
                for item in folder.rglob("*"):
                    item.chmod(0o755 if item.is_dir() else 0o644)
                shutil.rmtree(folder)

    def remove(self):
        self.clean()
        shutil.rmtree(wh.drive_c(STAGE), ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)


def install(installer, folder=None):
    """Installs silently (into C:\\<ROOT>\\<folder> when given); returns the folder's path."""
    arguments = " /silent"
    if folder:
        arguments += ' /d:"C:\\%s\\%s"' % (ROOT, folder)
    wh.Process('"%s"%s' % (installer, arguments)).wait()
    return wh.drive_c(ROOT, folder) if folder else None


class ProductsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.products = Products()

    @classmethod
    def tearDownClass(cls):
        cls.products.remove()

    def assertNoResidue(self, before):
        differences = snapshot.diff(before, snapshot.take())
        self.assertEqual(differences, [], "left behind:\n" + "\n".join(differences))


class RoundTrip(ProductsTest):
    """Install silently, run the QuietUninstallString, compare the whole prefix."""

    def round_trip(self, name, installer, folder=None):
        before = snapshot.take()
        install(installer, folder)
        command = uninstall_command(name)
        self.assertIn("/a", command)
        self.assertEqual(run_uninstaller(command), 0)
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertNoResidue(before)

    def test_demo_product_leaves_nothing(self):
        name = "Demo Notes Round Trip"
        self.round_trip(name, self.products.demo(name))

    def test_every_install_action_is_undone(self):
        name = "Tessarin Uninstall Full"
        installer = self.products.fixture(name, FULL_OPTIONS, FULL_TABLES)
        self.round_trip(name, installer, "full")


class ProgramsAndFeatures(ProductsTest):
    """Wine's own "Programs and Features" runs the UninstallString as registered, so the
    uninstaller asks its question; the answer Yes removes the product."""

    def test_wine_uninstaller_runs_the_registered_command(self):
        name = "Tessarin Uninstall Listed"
        install(self.products.small(name), "listed")
        folder = wh.drive_c(ROOT, "listed")
        self.assertTrue((folder / "readme.txt").is_file())
        temp_before = wh.temp_entries()
        listing = subprocess.Popen([wh.WINE64, "uninstaller", "--remove", name], env=wh.ENV,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            caption = name + " Uninstall"
            code, windows = wh.probe("--class", "#32770", "--title", caption, "--dump")
            self.assertEqual(code, 0, "no confirmation question")
            self.assertEqual(wh.message_box_text(windows[0]),
                             "Do you want to remove %s and all of its components from your "
                             "computer?" % name)
            code, _ = wh.probe("--class", "#32770", "--title", caption, "--press-caption", "Yes",
                               "--wait-gone-ms", "10000")
            self.assertEqual(code, 0, "could not answer Yes")

            def finished():
                # A product may end with a completion message; it is acknowledged like a user.
                code, shown = wh.probe("--class", "#32770", "--title", "Uninstall Complete",
                                       "--list")
                if code == 0 and shown:
                    wh.probe("--class", "#32770", "--title", "Uninstall Complete",
                             "--wait-ms", "0", "--press-caption", "OK")
                return not folder.exists()

            wh.wait_for(finished, "the install folder to go", attempts=600)
            wait_for_self_removal(temp_before)
            self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
            self.assertFalse(linux_path(SHARED_FILE).exists())
        finally:
            listing.kill()
            listing.wait()


class Questions(ProductsTest):
    """The uninstaller as a user starts it: the confirmation, then the product's support offer;
    choosing support ends the run with nothing removed."""

    def test_support_offer_stops_before_anything_is_removed(self):
        name = "Tessarin Uninstall Support"
        address = "mailto:support@example.com"
        folder = install(self.products.small(name, uninstall='support-offer = "%s"\n' % address),
                         "support")
        uninstaller = wh.Process(uninstall_command(name, "UninstallString"))
        window = ("--pid", str(uninstaller.pid), "--class", "#32770", "--title",
                  name + " Uninstall")
        try:
            code, windows = wh.probe(*window, "--dump")
            self.assertEqual(code, 0, "no confirmation question")
            self.assertIn("Do you want to remove", wh.message_box_text(windows[0]))
            code, _ = wh.probe(*window, "--press-caption", "Yes", "--wait-gone-ms", "10000")
            self.assertEqual(code, 0, "could not answer Yes")
            code, windows = wh.probe(*window, "--dump")
            self.assertEqual(code, 0, "no support offer")
            controls = {c["id"]: c["text"] for c in windows[0]["controls"]}
            self.assertEqual(controls.get(1009), address)
            self.assertEqual((controls.get(1001), controls.get(1003)),
                             ("Get Support", "Uninstall"))
            code, _ = wh.probe(*window, "--press-caption", "Get Support", "--wait-gone-ms",
                               "10000")
            self.assertEqual(code, 0, "could not choose support")
            # Without the conventional exit codes a run that was not performed ends with 0.
            self.assertEqual(uninstaller.wait(), 0)
        finally:
            uninstaller.proc.kill()
        self.assertTrue((folder / "readme.txt").is_file())
        self.assertTrue((folder / "Uninstall" / "Uninstall.DAT").is_file())
        self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertFalse(folder.exists())


class ForeignActions(ProductsTest):
    """What other parts of the system hold for a product, as its record names it: a program
    to close before the removal, an MSI package, firewall exceptions and a driver. The record
    is written by the test, as an installation with those actions would have written it."""

    def test_program_is_closed_and_a_package_that_stays_keeps_the_entry(self):
        name = "Tessarin Uninstall Foreign"
        installer = self.products.small(name)
        before = snapshot.take()
        folder = install(installer, "foreign")
        record = folder / "Uninstall" / "Uninstall.DAT"
        package = '"C:\\%s\\no such package.msi",3' % STAGE
        foreign = ("\r\n[AutoClose]\r\nTessarinCloseProbe,ForeignProbe,Foreign Probe,0\r\n"
                   "\r\n[Firewall]\r\nbin\\tool.dat;Fixture Tool;0;0\r\n8123;Fixture Port;3;0\r\n"
                   "\r\n[INF]\r\nC:\\windows\\inf\\oem9999.inf\r\n"
                   "\r\n[MSI]\r\n%s\r\n" % package)
        record.write_bytes(record.read_bytes() + foreign.encode("cp1252"))
        holder = subprocess.Popen([wh.LOADER, str(wh.BUILD / "wine_tests.exe"),
                                   "--hold-window=ForeignProbe"], env=wh.ENV,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code, _ = wh.probe("--title", "ForeignProbe", "--dump")
            self.assertEqual(code, 0, "the helper window did not show")
            self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
            # The helper ends with 7 only when its window was closed.
            self.assertEqual(holder.wait(timeout=60), 7)
        finally:
            if holder.poll() is None:
                holder.kill()
                holder.wait()
        # The package could not be removed: its line, and with it the entry, stays for a later
        # run; everything else of the product is gone.
        self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        kept = record.read_bytes().decode("cp1252")
        self.assertIn("\r\n[MSI]\r\n%s\r\n" % package, kept)
        self.assertFalse((folder / "readme.txt").exists())
        self.assertFalse((folder / "bin" / "tool.dat").exists())
        # Once the package is gone by other means the next run completes.
        record.write_bytes(kept.split("\r\n\r\n[MSI]")[0].encode("cp1252") + b"\r\n")
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertNoResidue(before)


class ProgramsToClose(ProductsTest):
    """A program the product names for its uninstaller is left alone by the installation, kept
    in the record the installation writes, and closed by the uninstaller before the removal."""

    def test_the_record_carries_the_program_to_the_uninstaller(self):
        name = "Tessarin Uninstall Closing"
        installer = self.products.small(name, extra="""
[[programs-to-close]]
window-class = "TessarinCloseProbe"
window-title = "*ClosingProbe"
display-name = "Closing Probe"
during-install = false
during-uninstall = true
""")
        holder = subprocess.Popen([wh.LOADER, str(wh.BUILD / "wine_tests.exe"),
                                   "--hold-window=ClosingProbe"], env=wh.ENV,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code, _ = wh.probe("--title", "ClosingProbe", "--dump")
            self.assertEqual(code, 0, "the helper window did not show")
            folder = install(installer, "closing")
            self.assertIsNone(holder.poll(), "the installation closed a program kept for the "
                              "uninstaller only")
            record = (folder / "Uninstall" / "Uninstall.DAT").read_bytes().decode("cp1252")
            self.assertIn("\r\n\r\n[AutoClose]\r\n"
                          "TessarinCloseProbe,*ClosingProbe,Closing Probe,0\r\n", record)
            self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
            # The helper ends with 7 only when its window was closed.
            self.assertEqual(holder.wait(timeout=60), 7)
        finally:
            if holder.poll() is None:
                holder.kill()
                holder.wait()
        self.assertFalse(folder.exists())


class UninstallerShortcut(ProductsTest):
    """The uninstaller's Start-menu shortcut names its product's uninstall key as it is, also
    outside the system's code page, and the command it runs removes the product."""

    def test_the_shortcut_removes_a_product_with_a_cyrillic_name(self):
        name = "Тессарин Удаление"
        installer = self.products.small(name, options="uninstaller-start-menu-shortcut = true\n")
        before = snapshot.take()
        install(installer, "cyrillic")
        menus = list(wh.start_menu_folders(name))
        self.assertEqual(len(menus), 1, menus)
        links = [p for p in menus[0].iterdir() if p.name.lower() == "uninstall %s.lnk" % name.lower()]
        self.assertEqual(len(links), 1, list(menus[0].iterdir()))
        fields = link_fields(links[0])
        self.assertEqual(fields.get("arguments"), '/u:"%s"' % name)
        self.assertEqual(fields.get("target", "").lower(),
                         "c:\\%s\\cyrillic\\uninstall\\uninstall.exe" % ROOT)
        command = '"%s" /a %s' % (fields["target"], fields["arguments"])
        self.assertEqual(run_uninstaller(command), 0)
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertNoResidue(before)


class LockedFile(ProductsTest):
    """A file held open by another process stays, stays recorded and keeps the entry; the
    next run after its release finishes the job."""

    def test_held_file_is_kept_and_removed_by_the_next_run(self):
        name = "Tessarin Uninstall Held"
        installer = self.products.small(name)
        before = snapshot.take()
        folder = install(installer, "held")
        held = folder / "bin" / "tool.dat"
        held_windows = "C:\\%s\\held\\bin\\tool.dat" % ROOT
        holder = subprocess.Popen([wh.LOADER, str(wh.BUILD / "wine_tests.exe"),
                                   "--hold-file=" + held_windows], env=wh.ENV,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            marker = held.with_name(held.name + ".held")
            wh.wait_for(marker.exists, "the holder")
            self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
            self.assertTrue(held.is_file())
            self.assertFalse((folder / "readme.txt").exists())
            self.assertFalse((folder / "bin" / "settings.ini").exists())
            self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
            record = (folder / "Uninstall" / "Uninstall.DAT").read_bytes().decode("cp1252")
            self.assertIn(held_windows + "\r\n", record)
            self.assertNotIn(held_windows.replace("tool.dat", "settings.ini"), record)
            self.assertTrue((folder / "Uninstall" / "uninstall.exe").is_file())
        finally:
            holder.kill()
            holder.wait()
        marker.unlink()
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertNoResidue(before)


WHOLE_FOLDER = "uninstall-delete-install-folder = true\n"


def tree(folder):
    """The entries below the folder, as relative paths with "/"; links are not entered."""
    entries = []
    for parent, folders, files in os.walk(folder):
        for entry in folders + files:
            entries.append((pathlib.Path(parent) / entry).relative_to(folder).as_posix())
    return sorted(entries)


class WholeInstallFolder(ProductsTest):
    """A product that asks for its install folder to go with everything in it: only a folder
    the installation made goes whole, and not while a failure keeps the record for the next
    run; nothing a link inside it leads to is touched."""

    def test_a_folder_the_installation_made_goes_with_what_the_product_left(self):
        name = "Tessarin Uninstall Whole Made"
        installer = self.products.small(name, options=WHOLE_FOLDER)
        before = snapshot.take()
        folder = install(installer, "whole-made")
        (folder / "bin" / "cache" / "a.tmp").parent.mkdir()
        (folder / "bin" / "cache" / "a.tmp").write_text("left by the product")
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertFalse(folder.exists())
        self.assertNoResidue(before)

    def test_a_folder_that_was_there_keeps_what_the_installation_did_not_put_there(self):
        # The user's own folder, named with /d: ("D:\Games"): their files in it stay.
        name = "Tessarin Uninstall Whole Chosen"
        installer = self.products.small(name, options=WHOLE_FOLDER)
        folder = wh.drive_c(ROOT, "games")
        (folder / "saves").mkdir(parents=True)
        (folder / "saves" / "slot1.dat").write_text("the user's")
        (folder / "high scores.txt").write_text("the user's")
        install(installer, "games")
        self.assertTrue((folder / "bin" / "tool.dat").is_file())
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertEqual(tree(folder), ["high scores.txt", "saves", "saves/slot1.dat"])
        shutil.rmtree(folder)

    def test_a_failed_run_keeps_the_record_for_the_next(self):
        name = "Tessarin Uninstall Whole Held"
        installer = self.products.small(name, options=WHOLE_FOLDER)
        before = snapshot.take()
        folder = install(installer, "whole-held")
        held_windows = "C:\\%s\\whole-held\\bin\\tool.dat" % ROOT
        holder = subprocess.Popen([wh.LOADER, str(wh.BUILD / "wine_tests.exe"),
                                   "--hold-file=" + held_windows], env=wh.ENV,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        marker = folder / "bin" / "tool.dat.held"
        try:
            wh.wait_for(marker.exists, "the holder")
            self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
            self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
            record = (folder / "Uninstall" / "Uninstall.DAT").read_bytes().decode("cp1252")
            self.assertIn(held_windows + "\r\n", record)
            self.assertTrue((folder / "Uninstall" / "uninstall.exe").is_file())
            self.assertFalse((folder / "readme.txt").exists())
        finally:
            holder.kill()
            holder.wait()
        marker.unlink()
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertFalse(folder.exists())
        self.assertNoResidue(before)

    def test_links_inside_are_not_followed(self):
        # Wine shows a Unix symbolic link to a folder as a reparse point but opens what it
        # points to even when asked for the link itself, and shows one to a file as a plain
        # file; deleting either by name deletes its target. The links stand here for a
        # junction put in place during the removal, which a test cannot time: the names lead
        # out of the folder. Windows would remove the links themselves; Wine cannot remove a
        # link without its target, so here they stay.
        name = "Tessarin Uninstall Whole Links"
        installer = self.products.small(name, options=WHOLE_FOLDER)
        folder = install(installer, "whole-links")
        outside = wh.drive_c(ROOT, "outside")
        (outside / "empty").mkdir(parents=True)
        (outside / "precious.txt").write_text("not the product's")
        links = {folder / "bin" / "to-folder": outside,
                 folder / "to-empty-folder": outside / "empty",
                 folder / "bin" / "to-file.txt": outside / "precious.txt"}
        for link, target in links.items():
            os.symlink(target, link)
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertEqual(tree(outside), ["empty", "precious.txt"])
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertEqual(tree(folder), ["bin", "bin/to-file.txt", "bin/to-folder",
                                        "to-empty-folder"])
        for link in links:
            link.unlink()
        shutil.rmtree(folder)
        shutil.rmtree(outside)


class StartedInside(ProductsTest):
    """An uninstaller started with its current folder inside the installation (a console in
    the product's folder) removes every folder all the same: a process's current folder cannot
    be removed, by the uninstaller or by the script it leaves behind."""

    def test_current_folder_inside_the_installation(self):
        name = "Tessarin Uninstall Inside"
        installer = self.products.small(name)
        before = snapshot.take()
        folder = install(installer, "inside")
        self.assertTrue((folder / "bin").is_dir())
        for inside in ("bin", "Uninstall"):
            with self.subTest(inside):
                if not folder.exists():
                    folder = install(installer, "inside")
                cwd = "C:\\%s\\inside\\%s" % (ROOT, inside)
                self.assertEqual(run_uninstaller(uninstall_command(name), cwd=cwd), 0)
                self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
                self.assertFalse(folder.exists())
        self.assertNoResidue(before)


class InstallerStartedWithU(ProductsTest):
    """The installer itself started with /u: removes the product; only the uninstaller copy of
    an installation removes itself, so the installer a user downloaded stays."""

    def test_the_installer_removes_the_product_and_stays(self):
        name = "Tessarin Uninstall Downloaded"
        installer = self.products.small(name)
        folder = install(installer, "downloaded")
        self.assertTrue((folder / "readme.txt").is_file())
        self.assertEqual(run_uninstaller('"%s" /a /u:"%s"' % (installer, name)), 0)
        self.assertIsNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertFalse(folder.exists())
        self.assertTrue(linux_path(installer).is_file())


class SharedFile(ProductsTest):
    """Two products share one file: it stays until the last of them is removed."""

    def test_count_falls_and_the_last_removal_deletes_the_file(self):
        names = ["Tessarin Uninstall Share A", "Tessarin Uninstall Share B"]
        installers = [self.products.small(name) for name in names]
        for installer, folder in zip(installers, ("share-a", "share-b")):
            install(installer, folder)
        self.assertEqual(wh.shared_count(SHARED_FILE), 2)
        self.assertEqual(run_uninstaller(uninstall_command(names[0])), 0)
        self.assertEqual(wh.shared_count(SHARED_FILE), 1)
        self.assertTrue(linux_path(SHARED_FILE).is_file())
        self.assertFalse(wh.drive_c(ROOT, "share-a").exists())
        self.assertEqual(run_uninstaller(uninstall_command(names[1])), 0)
        self.assertNotIn(SHARED_FILE, wh.reg_values(wh.SHARED_DLLS) or {})
        self.assertFalse(linux_path(SHARED_FILE).exists())
        self.assertFalse(wh.drive_c("ProgramData", SHARED_FOLDER).exists())

    def test_a_reinstallation_counts_the_file_once(self):
        """Installed twice over itself, the product holds one count: its one uninstallation
        takes the count back to where it was and the file goes with the last user."""
        other, name = "Tessarin Uninstall Share Other", "Tessarin Uninstall Share Twice"
        install(self.products.small(other), "share-other")
        installer = self.products.small(name)
        for _ in range(2):
            install(installer, "share-twice")
        self.assertEqual(wh.shared_count(SHARED_FILE), 2)
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertEqual(wh.shared_count(SHARED_FILE), 1)
        self.assertTrue(linux_path(SHARED_FILE).is_file())
        self.assertEqual(run_uninstaller(uninstall_command(other)), 0)
        self.assertNotIn(SHARED_FILE, wh.reg_values(wh.SHARED_DLLS) or {})
        self.assertFalse(linux_path(SHARED_FILE).exists())


class BadInput(ProductsTest):
    """Entries and records the uninstaller cannot use: an error box (caption "Error": the
    record with the product's texts is not read yet), nothing deleted. Without /a, since the
    automatic mode shows these only when the product asks for it."""

    def error_text(self, command):
        process = wh.Process(command)
        window = wh.read_window(process.pid)
        self.assertEqual(window["caption"], "Error")
        text = wh.message_box_text(window)
        wh.press(process.pid, "OK")
        self.assertIsNotNone(process.wait())
        return text

    def test_messages_and_nothing_deleted(self):
        name = "Tessarin Uninstall Bad"
        installer = self.products.small(name)
        folder = install(installer, "bad")
        with self.subTest("no such product"):
            self.assertEqual(self.error_text('"%s" /u:"NoSuchProduct"' % installer),
                             "No product named 'NoSuchProduct' is installed.")
        with self.subTest("no install location"):
            corrupt = "Tessarin Uninstall Corrupt"
            self.products.names.append(corrupt)
            wh.run_system64("reg.exe", "add", wh.UNINSTALL + "\\" + corrupt, "/v",
                            "DisplayName", "/d", "Corrupt Display Name", "/f")
            self.assertEqual(self.error_text('"%s" /u:"%s"' % (installer, corrupt)),
                             "The uninstall information for Corrupt Display Name is corrupt."
                             "\r\n\r\nThe uninstallation cannot be performed.")
            self.assertEqual(wh.reg_values(wh.UNINSTALL + "\\" + corrupt)["DisplayName"][1],
                             "Corrupt Display Name")
        with self.subTest("record missing"):
            record = folder / "Uninstall" / "Uninstall.DAT"
            record.rename(record.with_name("Uninstall.bak"))
            text = self.error_text(uninstall_command(name, "UninstallString"))
            record.with_name("Uninstall.bak").rename(record)
            expected = ("The uninstall information for %s could not be loaded.\r\n\r\n"
                        "Filepath: C:\\%s\\bad\\Uninstall\\Uninstall.DAT\r\nCode 3: "
                        % (name, ROOT))
            self.assertTrue(text.startswith(expected), text)
        self.assertTrue((folder / "readme.txt").is_file())
        self.assertTrue((folder / "bin" / "tool.dat").is_file())
        self.assertTrue((folder / "Uninstall" / "uninstall.exe").is_file())
        self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))


class OpenRecords(ProductsTest):
    """The installer and the uninstaller run elevated here (Wine's user is an administrator).
    A product whose manifest names no uninstall subfolder keeps its records in one of its own,
    and an uninstaller that finds its folder or Uninstall.DAT changeable by other users refuses
    and changes nothing. Wine keeps no access lists: it reports one made from the Unix mode,
    with an entry for Everyone that allows writing once every Unix user may write; such a mode
    stands here for a list that lets every user change the record."""

    def test_records_in_a_subfolder_of_their_own_and_open_ones_refused(self):
        name = "Tessarin Uninstall Open Records"
        installer = self.products.small(name, subfolder=None)
        before = snapshot.take()
        folder = install(installer, "open")
        records = folder / "Uninstall"
        self.assertTrue((records / "Uninstall.DAT").is_file())
        self.assertTrue((records / "uninstall.exe").is_file())
        self.assertFalse((folder / "Uninstall.DAT").exists())
        self.assertEqual(wh.reg_values(wh.UNINSTALL + "\\" + name)["UninstallSubdir"][1],
                         "Uninstall")
        for opened, shown in ((records, "Uninstall"), (records / "Uninstall.DAT",
                                                        "Uninstall\\Uninstall.DAT")):
            with self.subTest(opened=shown):
                mode = opened.stat().st_mode & 0o777
                opened.chmod(mode | 0o666)
                try:
                    text = BadInput.error_text(self, uninstall_command(name, "UninstallString"))
                finally:
                    opened.chmod(mode)
                self.assertEqual(text, "The uninstall information for %s is not protected: users "
                                 "who are not administrators can change it.\r\n\r\n"
                                 "Path: C:\\%s\\open\\%s\r\n\r\n"
                                 "The uninstallation cannot be performed." % (name, ROOT, shown))
                self.assertTrue((folder / "readme.txt").is_file())
                self.assertTrue((records / "uninstall.exe").is_file())
                self.assertIsNotNone(wh.reg_values(wh.UNINSTALL + "\\" + name))
        self.assertEqual(run_uninstaller(uninstall_command(name)), 0)
        self.assertNoResidue(before)


class UntrustedRecord(ProductsTest):
    """An Uninstall.DAT that names the system's folders, files and keys: the uninstaller
    removes the product and nothing of the system."""

    def test_system_paths_and_keys_survive(self):
        name = "Tessarin Uninstall Untrusted"
        folder = install(self.products.small(name), "untrusted")
        user = next(p.name for p in wh.drive_c("users").iterdir()
                    if p.name != "Public" and p.is_dir())
        folders = ["C:\\windows", "C:\\windows\\system32", "C:\\Program Files",
                   "C:\\users\\" + user, "C:\\"]
        keys = ["HKEY_LOCAL_MACHINE\\Software\\Microsoft", "\\HKLM\\Software\\Microsoft",
                "HKEY_LOCAL_MACHINE\\Software", "HKEY_CURRENT_USER\\Software",
                "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet"]
        # Files inside the system folders are not refused: products do install there.
        planted = folders + ["~" + f for f in folders] + \
            ["^" + k for k in keys] + ["*" + k for k in keys]
        record = folder / "Uninstall" / "Uninstall.DAT"
        record.write_bytes("\r\n".join(planted).encode("cp1252") + b"\r\n" + record.read_bytes())
        run_uninstaller(uninstall_command(name))
        for path in folders:
            self.assertTrue(linux_path(path).exists(), path)
        for key in ("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion",
                    "HKLM\\Software\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                    "HKCU\\Software\\Wine",
                    "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"):
            self.assertIsNotNone(wh.reg_values(key), key)
        self.assertFalse((folder / "readme.txt").exists())
        self.assertFalse((folder / "bin" / "tool.dat").exists())


if __name__ == "__main__":
    wh.main(verbosity=2)
