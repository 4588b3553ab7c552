"""The wizard as a user meets it, under Wine and Xvfb, driven through the UI probe: the demo
installer's pages show the script's texts, in both of its languages on the language page; Next,
Cancel, Enter and Esc do what they should; the folder page's space line follows the folder and
its browse button fills it; the Start-menu page refuses a bad name; a walk through every page
installs exactly what the silent installation installs, and the uninstaller's questions take it
away again; cancelling on any page ends with the cancelled code and leaves nothing behind. The
single pages (password, language, rich text) are in test_wizard_pages.py."""
import pathlib
import re
import shutil
import tempfile
import unittest

import snapshot
import winehelper as wh

STAGE = "tessarin-wizard-stage"
DEMO = "Demo Notes"
PAGE = ("--class", "#32770")
CANCELLED = 1602


def changed_paths(lines):
    """What a snapshot difference touched, without the values: an installation's times and
    sizes differ from run to run, its files, keys and value names must not."""
    touched = []
    for line in lines:
        found = (re.match(r"(file \w+: .*?) \(", line) or re.match(r"(key \w+: .*?) \{", line)
                 or re.match(r"(value \w+: .*?\]) ?[=:]", line))
        touched.append(found.group(1) if found else line)
    return sorted(touched)


class Installer:
    """A demo installer under its own product name, staged on drive C: as <file>.exe (by
    default the name with dashes for blanks: installers of one product need files of their
    own)."""

    def __init__(self, name, work, replacements=(), files=None, file=None):
        file = file or name.replace(" ", "-")
        folder = work / file
        shutil.copytree(wh.SOURCE / "examples/demo", folder)
        for file_name, data in (files or {}).items():
            (folder / file_name).write_bytes(data)
        manifest = folder / "setup.toml"
        text = manifest.read_text(encoding="utf-8").replace(DEMO, name)
        # Conventional exit codes tell a cancelled installation (1602) from a completed one (0);
        # without them every installation ends with 1.
        text = text.replace("[options]\n", "[options]\nconventional-exit-codes = true\n")
        for old, new in replacements:
            text = text.replace(old, new)
        manifest.write_text(text, encoding="utf-8")
        exe = work / (file + ".exe")
        result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", exe)
        assert result.returncode == 0, result.stderr
        self.name = name
        _, self.path = wh.stage_program(exe, STAGE, exe.name)

    def start(self, arguments=""):
        return wh.Process('"%s"%s' % (self.path, arguments))

    def windows_folder(self):
        # The demo is a 32-bit product: on 64-bit Windows its programs folder is the x86 one,
        # whichever build of the installer runs.
        return "C:\\Program Files (x86)\\Tessarin Examples\\" + self.name

    def folder(self):
        return wh.drive_c(*self.windows_folder()[3:].split("\\"))

    def clean(self):
        wh.reg_delete(wh.UNINSTALL + "\\" + self.name)
        shutil.rmtree(self.folder(), ignore_errors=True)
        for menu in wh.start_menu_folders(self.name):
            shutil.rmtree(menu)
        for link in wh.PREFIX.glob("drive_c/users/*/Desktop/*"):
            if link.name.lower() == self.name.lower() + ".lnk":
                link.unlink()


class Walk:
    """One run of an installer, page by page."""

    running = []

    def __init__(self, process):
        self.process = process
        self.pid = str(process.pid)
        Walk.running.append(self)

    @classmethod
    def stop_all(cls):
        """Ends what a failed test left waiting on a page, so that the next test starts alone
        (the demo admits one installer at a time)."""
        for walk in cls.running:
            if walk.process.proc.poll() is None:
                wh.run_system64("taskkill.exe", "/F", "/PID", walk.pid)
                walk.process.proc.kill()
                walk.process.proc.wait()
        cls.running = []

    def page(self, control=None):
        """The frontmost page or box of the installer, once it shows control (an id) when
        given; returns {id: control} and the window."""
        for _ in range(50):
            code, windows = wh.probe("--pid", self.pid, *PAGE, "--dump")
            assert code == 0, "no page of the installer came up; " + self.state()
            controls = {c["id"]: c for c in windows[0]["controls"]}
            if control is None or control in controls:
                return controls, windows[0]
        raise AssertionError("the page with control %d did not come up" % control)

    def act(self, *actions, gone=True):
        arguments = ["--pid", self.pid, *PAGE, *actions]
        if gone:
            arguments += ["--wait-gone-ms", "15000"]
        code, lines = wh.probe(*arguments)
        assert code == 0, "probe %r failed with %d: %r; %s" % (actions, code, lines,
                                                               self.state())

    def state(self):
        """What a failed step found: whether the installer still runs, and its windows."""
        ended = self.process.proc.poll()
        _, windows = wh.probe("--pid", self.pid, "--list")
        return "the installer %s, its visible windows: %r" % (
            "runs" if ended is None else "has ended (runexact %d)" % ended,
            [(w["class"], w["caption"]) for w in windows])

    def press(self, caption):
        self.act("--press-caption", caption)

    def text(self, control_id):
        controls, _ = self.page(control_id)
        return controls[control_id]["text"]

    def end(self):
        return self.process.wait()


class WizardTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-wizard-"))
        cls.installers = []

    @classmethod
    def tearDownClass(cls):
        for installer in cls.installers:
            installer.clean()
        shutil.rmtree(wh.drive_c(STAGE), ignore_errors=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    def tearDown(self):
        Walk.stop_all()

    def installer(self, name, replacements=(), files=None):
        installer = Installer(name, self.work, replacements, files)
        self.installers.append(installer)
        return installer

    def assertNoResidue(self, before, with_registry=True):
        self.assertEqual(snapshot.diff(before, snapshot.take(with_registry)), [])


@wh.walked_in_tier(32)
class FullWalk(WizardTest):
    def test_walk_installs_what_the_silent_installation_installs(self):
        installer = self.installer("Demo Notes Walk")
        before = snapshot.take()
        self.assertEqual(installer.start(" /silent").wait(), 0)
        silent = changed_paths(snapshot.diff(before, snapshot.take()))
        self.assertTrue(silent)
        temp_before = wh.temp_entries()
        self.assertEqual(wh.Process(wh.reg_values(wh.UNINSTALL + "\\" + installer.name)
                                    ["QuietUninstallString"][1]).wait(), 0)
        wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the silent uninstallation")

        walk = Walk(installer.start())
        # Language page: both languages, the user's (English) chosen; German texts follow the
        # choice at once.
        controls, _ = walk.page(1017)
        self.assertEqual(controls[1017]["lines"], ["\tEnglish", "\tDeutsch"])
        self.assertEqual(controls[1017]["selection"], 0)
        self.assertEqual(controls[1009]["text"],
                         "Select the language to use during the installation:")
        walk.act("--select", "1017", "\tDeutsch", gone=False)
        self.assertEqual(walk.page(1017)[0][1003]["text"], "Abbrechen")
        walk.act("--select", "1017", "\tEnglish", gone=False)
        self.assertEqual(walk.page(1017)[0][1003]["text"], "Cancel")
        walk.act("--key", "enter")
        # Greeting: a message box (the demo's layout 0).
        greeting = wh.message_box_text(walk.page(65535)[1])
        self.assertTrue(greeting.startswith("Welcome to the Demo Notes Walk Setup."), greeting)
        walk.press("OK")
        # Licence page.
        self.assertTrue(walk.text(1005).startswith("Demo Notes licence"))
        walk.press("I Agree")
        # Folder page: the space line follows the folder's drive.
        controls, _ = walk.page(1015)
        self.assertEqual(controls[1015]["text"], installer.windows_folder())
        self.assertTrue(controls[1036]["text"].startswith("Space required: "))
        self.assertTrue(controls[1037]["text"].startswith("Space available: "))
        walk.act("--set-text", "1015", "Q:\\Nowhere", gone=False)
        self.assertEqual(walk.page(1015)[0][1037]["text"], "")
        # Browse opens the system's folder picker on the field's folder; its choice fills the
        # field (the picker names the folder as the file system spells it).
        walk.act("--set-text", "1015", "c:\\WINDOWS", "--press", "1013", gone=False)
        picker = wh.probe("--pid", walk.pid, *PAGE, "--title", "Browse for Folder",
                          "--press-caption", "OK", "--wait-gone-ms", "15000")
        self.assertEqual(picker[0], 0, "no folder picker: %r" % (picker,))
        self.assertEqual(walk.page(1015)[0][1015]["text"].lower(), "c:\\windows")
        self.assertNotEqual(walk.page(1015)[0][1015]["text"], "c:\\WINDOWS")
        walk.act("--set-text", "1015", installer.windows_folder(), gone=False)
        self.assertTrue(walk.page(1015)[0][1037]["text"].startswith("Space available: "))
        walk.press("Next >")
        # Start-menu page: a name with two backslashes in a row cannot be accepted.
        self.assertEqual(walk.text(1015), installer.name)
        walk.act("--set-text", "1015", "Bad\\\\Name", gone=False)
        self.assertFalse(walk.page(1015)[0][1001]["enabled"])
        walk.act("--set-text", "1015", installer.name, gone=False)
        self.assertTrue(walk.page(1015)[0][1001]["enabled"])
        walk.press("Install")
        # Summary page: the launch option is offered; the walk leaves it off.
        controls, _ = walk.page(1025)
        self.assertEqual(controls[1009]["text"],
                         "Setup has finished installing Demo Notes Walk on your computer.")
        self.assertTrue(controls[1025]["visible"])
        self.assertFalse(controls[1023]["visible"])
        walk.act("--uncheck", "1025", gone=False)
        walk.press("Finish")
        self.assertEqual(walk.end(), 0)
        self.assertEqual(changed_paths(snapshot.diff(before, snapshot.take())), silent)

        # The uninstaller as the user starts it: its question, then its progress.
        uninstall = Walk(wh.Process(wh.reg_values(wh.UNINSTALL + "\\" + installer.name)
                                    ["UninstallString"][1]))
        question = wh.message_box_text(uninstall.page(65535)[1])
        self.assertIn("Do you want to remove Demo Notes Walk", question)
        uninstall.press("Yes")
        self.assertEqual(uninstall.end(), 0)
        wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the self-removal")
        self.assertNoResidue(before)


@wh.walked_in_tier(32)
class Cancelling(WizardTest):
    """Cancel on any page: the cancelled exit code and nothing left in the prefix."""

    # (the page's control, how to leave it, whether the cancellation notice follows)
    PAGES = [
        ("language", [], ("--press-caption", "Cancel"), False),
        ("greeting", [(1017, ("--key", "enter"))], ("--press-caption", "Cancel"), False),
        ("licence", [(1017, ("--key", "enter")), (65535, ("--press-caption", "OK"))],
         ("--press-caption", "I Do Not Agree"), True),
        ("folder", [(1017, ("--key", "enter")), (65535, ("--press-caption", "OK")),
                    (1005, ("--press-caption", "I Agree"))], ("--key", "escape"), True),
        ("start menu", [(1017, ("--key", "enter")), (65535, ("--press-caption", "OK")),
                        (1005, ("--press-caption", "I Agree")),
                        (1036, ("--press-caption", "Next >"))], ("--press-caption", "Cancel"),
         True),
    ]

    def test_cancel_on_each_page_ends_as_cancelled_and_leaves_nothing(self):
        installer = self.installer("Demo Notes Cancel")
        before = snapshot.take()
        for page, way, leave, notice in self.PAGES:
            with self.subTest(page=page):
                walk = Walk(installer.start())
                for control, action in way:
                    walk.page(control)
                    walk.act(*action)
                walk.page()
                walk.act(*leave)
                if notice:
                    text = wh.message_box_text(walk.page(65535)[1])
                    self.assertEqual(text, "The installation of Demo Notes Cancel has been "
                                           "canceled.")
                    walk.press("OK")
                self.assertEqual(walk.end(), CANCELLED)
                self.assertNoResidue(before, with_registry=False)
        self.assertNoResidue(before)


if __name__ == "__main__":
    wh.main(verbosity=2)
