"""The installer's and the uninstaller's questions on their real dialogs, under Wine and Xvfb,
driven through the UI probe: installing over a previous installation asks about the upgrade,
reinstallation or downgrade (No cancels, Yes keeps the previous folder and skips the folder
page), warns below the upgrade-warning version and refuses a version below the installed
no-downgrade version; a forced uninstallation runs the previous uninstaller, which starts the
installer again; a program to close is closed, or asked about with Retry and Cancel; the
uninstaller asks about a shared file nobody uses any more and ends with its completion
message."""
import shutil
import unittest

import snapshot
import winehelper as wh
from test_wizard import CANCELLED, Installer, Walk, WizardTest

ROOT = "tessarin-branches"  # C:\<ROOT>\<product>: install folders chosen with /d:
REFUSED = 1603
HOLDER_CLASS = "TessarinCloseProbe"
HOLDER_CLOSED = 7  # the helper window's process ends with this code once its window is closed

# Message box buttons by their standard ids.
IDOK, IDCANCEL, IDRETRY, IDYES, IDNO = 1, 2, 4, 6, 7


# Without the greeting and the licence page, which test_wizard walks.
SHORT_WIZARD = [("[options]\n", "[options]\ngreeting-never = true\n"),
                ('licenses = ["LICENSE.txt"]\n', "")]


def version(text):
    return ('version = "1.4.2"', 'version = "%s"' % text)


def buttons(window):
    """The captions of a message box's push buttons by id."""
    return {c["id"]: c["text"] for c in window["controls"] if c["class"].lower() == "button"}


@wh.walked_in_tier(64)
class BranchTest(WizardTest):
    def setUp(self):
        wh.drive_c(ROOT).mkdir(exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(wh.drive_c(ROOT), ignore_errors=True)

    def installer(self, name, replacements=(), file=None):
        """The demo without its greeting and licence (the questions come after them)."""
        installer = Installer(name, self.work, [*SHORT_WIZARD, *replacements], file=file)
        self.installers.append(installer)
        return installer

    def choose_language(self, walk, language="\tEnglish"):
        walk.page(1017)
        if language != "\tEnglish":
            walk.act("--select", "1017", language, gone=False)
        walk.act("--key", "enter")

    def box(self, walk):
        """The message box the installer shows next: (caption, text, {id: button caption})."""
        _, window = walk.page(65535)
        return window["caption"], wh.message_box_text(window), buttons(window)

    def finish(self, walk):
        """From the progress window to the summary page, leaving the launch box unchecked."""
        walk.page(1025)
        walk.act("--uncheck", "1025", gone=False)
        walk.press("Finish")
        self.assertEqual(walk.end(), 0)

    def cancelled_with_notice(self, walk, name):
        caption, text, _ = self.box(walk)
        self.assertEqual(text, "The installation of %s has been canceled." % name)
        walk.act("--press", str(IDOK))
        self.assertEqual(walk.end(), CANCELLED)

    def entry(self, name):
        return wh.reg_values(wh.UNINSTALL + "\\" + name)


@wh.walked_in_tier(64)
class PreviousInstallation(BranchTest):
    def test_upgrade_reinstall_downgrade_and_refusal(self):
        name = "Demo Notes Again"
        german = ('49 = "Abbrechen"', '49 = "Abbrechen", 79 = "&Ja", 80 = "&Nein"')
        warning = ("[options]\n", "[options]\nupgrade-warning = true\n")
        below = ("[versions]\n", '[versions]\nupgrade-warning-below = "1.2"\n')
        build = {v: self.installer(name, [version(v), german, warning, below], "again-" + v)
                 for v in ("1.1", "2.0", "0.9")}
        current = self.installer(name, [german, warning, below])
        folder = "C:\\%s\\again" % ROOT
        linux_folder = wh.drive_c(ROOT, "again")

        self.assertEqual(build["1.1"].start(' /silent /d:"%s"' % folder).wait(), 0)
        question = ("%s " + name + " is %sinstalled in the following folder:\r\n" + folder +
                    "\r\n\r\nSetup will replace the existing installation.\r\n\r\n"
                    "Do you want to continue?")
        before = snapshot.take()

        with self.subTest("upgrade, No"):
            walk = Walk(current.start())
            self.choose_language(walk)
            caption, text, labels = self.box(walk)
            self.assertEqual((caption, text), ("Existing Installation",
                                               question % ("An older version of", "")))
            self.assertEqual(labels, {IDYES: "&Yes", IDNO: "&No"})
            walk.act("--press", str(IDNO))
            self.cancelled_with_notice(walk, name)
            self.assertNoResidue(before, with_registry=False)

        with self.subTest("upgrade, Yes, then Cancel on the warning"):
            walk = Walk(current.start())
            self.choose_language(walk)
            self.box(walk)
            walk.act("--press", str(IDYES))
            caption, text, labels = self.box(walk)
            self.assertEqual(caption, "Warning")
            self.assertTrue(text.startswith("You are upgrading from an older version of %s."
                                            % name), text)
            self.assertEqual(labels, {IDOK: "OK", IDCANCEL: "Cancel"})
            walk.act("--press", str(IDCANCEL))
            # The warning's Cancel ends at once, without the cancellation notice.
            self.assertEqual(walk.end(), CANCELLED)
            self.assertNoResidue(before)

        with self.subTest("upgrade, Yes and OK: the previous folder, no folder page"):
            walk = Walk(current.start())
            self.choose_language(walk)
            self.box(walk)
            walk.act("--press", str(IDYES))
            self.box(walk)
            walk.act("--press", str(IDOK))
            self.finish(walk)
            values = self.entry(name)
            self.assertEqual(values["DisplayVersion"], ("REG_SZ", "1.4.2"))
            self.assertEqual(values["InstallLocation"], ("REG_SZ", folder))
            self.assertTrue((linux_folder / "notes.txt").is_file())
            self.assertFalse(current.folder().exists())

        with self.subTest("reinstall in German: relabelled buttons, no warning"):
            walk = Walk(current.start())
            self.choose_language(walk, "\tDeutsch")
            caption, text, labels = self.box(walk)
            self.assertEqual(text, question % ("This version of", "already "))
            self.assertEqual(labels, {IDYES: "&Ja", IDNO: "&Nein"})
            walk.act("--press", str(IDYES))
            self.finish(walk)
            self.assertEqual(self.entry(name)["InstallLocation"], ("REG_SZ", folder))

        # 2.0 goes in silently (silent installations compare no versions); 1.4.2 over it is a
        # downgrade, still above the installed no-downgrade version 1.0.
        self.assertEqual(build["2.0"].start(" /silent").wait(), 0)
        before = snapshot.take()
        with self.subTest("downgrade, No"):
            walk = Walk(current.start())
            self.choose_language(walk)
            _, text, _ = self.box(walk)
            self.assertEqual(text, question % ("A newer version of", ""))
            walk.act("--press", str(IDNO))
            self.cancelled_with_notice(walk, name)
            self.assertNoResidue(before, with_registry=False)

        with self.subTest("below the no-downgrade version"):
            walk = Walk(build["0.9"].start())
            self.choose_language(walk)
            caption, text, labels = self.box(walk)
            self.assertEqual((caption, text), (
                name + " Setup",
                "A newer version of %s is installed. It cannot be replaced by a version earlier "
                "than 1.0.\r\n\r\nTo install this version, uninstall %s first." % (name, name)))
            walk.act("--press", str(IDOK))
            self.assertEqual(walk.end(), REFUSED)
            self.assertNoResidue(before)
        self.assertEqual(self.entry(name)["DisplayVersion"], ("REG_SZ", "2.0"))


@wh.walked_in_tier(64)
class ForcedUninstallation(BranchTest):
    def test_uninstaller_runs_and_starts_the_installer_again(self):
        name = "Demo Notes Forced"
        options = [("[options]\n", "[options]\nforce-uninstall-old = true\n"),
                   ("[versions]\n", '[versions]\nmust-uninstall-below = "1.3"\n')]
        old = self.installer(name, [version("1.1")] + options, "forced-1.1")
        current = self.installer(name, options)
        folder = "C:\\%s\\forced" % ROOT
        self.assertEqual(old.start(' /silent /d:"%s"' % folder).wait(), 0)
        before = snapshot.take()

        with self.subTest("Cancel"):
            walk = Walk(current.start())
            self.choose_language(walk)
            controls, window = walk.page(1001)
            self.assertEqual(window["caption"], "Error")
            self.assertEqual(controls[1009]["text"], "A previous version of %s must be "
                             "uninstalled before this version can be installed." % name)
            self.assertEqual((controls[1001]["text"], controls[1003]["text"]),
                             ("&Uninstall", "Cancel"))
            walk.act("--press", "1003")
            self.assertEqual(walk.end(), REFUSED)
            self.assertNoResidue(before)

        temp_before = wh.temp_entries()
        walk = Walk(current.start())
        self.choose_language(walk)
        walk.page(1001)
        walk.act("--press", "1001")
        self.assertEqual(walk.process.wait(), REFUSED)
        # The previous uninstaller removes 1.1 and starts this installer again: its language
        # page comes up in a process of its own.
        wh.wait_for(lambda: self.entry(name) is None, "the forced uninstallation")
        self.assertFalse(wh.drive_c(ROOT, "forced").exists())
        code, windows = wh.probe("--class", "#32770", "--wait-ms", "60000", "--dump")
        self.assertEqual(code, 0, "the installer did not start again")
        # Not this test's child: driven by its process id alone.
        again = Walk.__new__(Walk)
        again.pid = str(windows[0]["pid"])
        self.assertIn(1017, {c["id"] for c in windows[0]["controls"]})
        self.choose_language(again)
        # Nothing installed any more: the folder page and the Start-menu page of a fresh
        # installation.
        self.assertEqual(again.text(1015), current.windows_folder())
        again.press("Next >")
        again.page(1015)
        again.press("Install")
        again.page(1025)
        again.act("--uncheck", "1025", gone=False)
        again.press("Finish")
        # The uninstaller and the installer it started inherited the first installer's output:
        # its end tells that both have ended.
        walk.process.wait_until_output_closed()
        values = self.entry(name)
        self.assertEqual(values["DisplayVersion"], ("REG_SZ", "1.4.2"))
        self.assertEqual(values["InstallLocation"], ("REG_SZ", current.windows_folder()))
        wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the self-removal")


@wh.walked_in_tier(64)
class ProgramsToClose(BranchTest):
    TITLE = "BranchesHolder"

    def holder(self):
        """A helper process with a visible top-level window of class TessarinCloseProbe."""
        process = wh.Process('"%s" --hold-window=%s' % (wh.windows_path(wh.BUILD / "wine_tests.exe"),
                                                         self.TITLE))
        Walk(process)  # ended with the test's installers when the test fails
        code, _ = wh.probe("--class", HOLDER_CLASS, "--title", self.TITLE, "--dump")
        self.assertEqual(code, 0, "the helper window did not come up")
        return process

    def rule(self, action):
        return ("[[files]]\n", '[[programs-to-close]]\nwindow-class = "%s"\nwindow-title = "%s"\n'
                'display-name = "Branch Holder"\naction = "%s"\n\n[[files]]\n'
                % (HOLDER_CLASS, self.TITLE, action))

    def test_close_rule_closes_the_window_first(self):
        installer = self.installer("Demo Notes Close", [self.rule("close")])
        holder = self.holder()
        self.assertEqual(installer.start(" /silent").wait(), 0)
        self.assertEqual(holder.wait(), HOLDER_CLOSED)
        self.assertEqual(self.entry(installer.name)["DisplayVersion"], ("REG_SZ", "1.4.2"))

    def test_ask_rule_retries_until_the_window_is_gone_or_cancels(self):
        name = "Demo Notes Ask"
        installer = self.installer(name, [self.rule("ask")])
        before = snapshot.take()
        prompt = ("Branch Holder must be closed before Setup can continue.\r\n\r\nClose it, "
                  "then click Retry. Click Cancel to quit Setup.")
        with self.subTest("Retry"):
            holder = self.holder()
            walk = Walk(installer.start())
            self.choose_language(walk)
            for _ in range(2):
                caption, text, labels = self.box(walk)
                self.assertEqual((caption, text), (name + " Setup", prompt))
                self.assertEqual(labels, {IDRETRY: "&Retry", IDCANCEL: "Cancel"})
                walk.act("--press", str(IDRETRY))
            self.box(walk)
            wh.probe("--class", HOLDER_CLASS, "--title", self.TITLE, "--close",
                     "--wait-gone-ms", "15000")
            self.assertEqual(holder.wait(), HOLDER_CLOSED)
            walk.act("--press", str(IDRETRY))
            # The installation goes on: the folder page.
            walk.page(1013)
            walk.act("--key", "escape")
            self.cancelled_with_notice(walk, name)
            self.assertNoResidue(before, with_registry=False)

        with self.subTest("Cancel"):
            holder = self.holder()
            walk = Walk(installer.start())
            self.choose_language(walk)
            self.assertEqual(self.box(walk)[1], prompt)
            walk.act("--press", str(IDCANCEL))
            self.cancelled_with_notice(walk, name)
            self.assertNoResidue(before)
            self.assertIsNone(holder.proc.poll())


@wh.walked_in_tier(64)
class UninstallerQuestions(BranchTest):
    SHARED = "C:\\ProgramData\\Tessarin Branches Shared\\"

    def test_shared_file_question_and_completion_message(self):
        name = "Tessarin Branches"  # its shared folder is "<name> Shared"
        folder = self.work / "shared"
        manifest = wh.copy_fixture("product", folder, [
            ("Tessarin Fixture", name),
            ("[options]\n", "[options]\nuninstall-ask-shared = true\n"
                            "uninstall-completion-message = true\n")])
        # A second shared file: one answer for each.
        (folder / "files/shared/second.dat").write_bytes(b"second shared file\r\n")
        shutil.copyfile(wh.BUILD / "resources/setup.ico", folder / "product.ico")
        exe = self.work / "shared-setup.exe"
        result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        shared = wh.drive_c(*self.SHARED[3:].split("\\"))
        self.addCleanup(shutil.rmtree, shared, True)
        self.addCleanup(wh.reg_delete, wh.UNINSTALL + "\\" + name)

        self.assertEqual(wh.run_installer(exe, ROOT, '/silent /d:"C:\\%s\\shared"' % ROOT)
                         .wait(), 1)
        answers = {"common.dat": IDNO, "second.dat": IDYES}
        for file in answers:
            self.assertEqual(wh.shared_count(self.SHARED + file), 1)
        temp_before = wh.temp_entries()
        walk = Walk(wh.Process(self.entry(name)["UninstallString"][1]))
        self.assertIn("Do you want to remove %s" % name, self.box(walk)[1])
        walk.act("--press", str(IDYES))
        asked = []
        for _ in answers:
            caption, text, labels = self.box(walk)
            self.assertEqual(caption, "Remove Shared File?")
            self.assertEqual(labels, {IDYES: "&Yes", IDNO: "&No"})
            asked += [f for f in answers if "\r\n%s%s\r\n" % (self.SHARED, f) in text]
            walk.act("--press", str(answers[asked[-1]]))
        self.assertEqual(sorted(asked), sorted(answers))
        caption, text, _ = self.box(walk)
        self.assertEqual((caption, text), ("Uninstall Complete",
                                           "%s has been removed from your computer." % name))
        walk.act("--press", str(IDOK))
        self.assertEqual(walk.end(), 0)
        wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the self-removal")
        # No keeps the file, Yes deletes it; neither is counted any more.
        self.assertEqual(sorted(p.name for p in shared.iterdir()), ["common.dat"])
        for file in answers:
            self.assertEqual(wh.shared_count(self.SHARED + file), 0)
        self.assertIsNone(self.entry(name))
        self.assertFalse(wh.drive_c(ROOT, "shared").exists())


if __name__ == "__main__":
    wh.main(verbosity=2)
