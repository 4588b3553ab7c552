"""Installers built from manifests: the stub reads their install scripts, uses the script's
texts once they are loaded, and tessarin-build refuses bad manifests without writing anything."""
import json
import pathlib
import shutil
import struct
import tempfile
import unittest
import zlib

import winehelper as wh
import xscreen


class InstallScripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-script-"))
        (cls.work / "files").mkdir()
        (cls.work / "files" / "a.txt").write_bytes(b"a\r\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def build(self, name, manifest):
        out = self.work / name
        result = wh.build_from_manifest(self.work, manifest, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    def run_installer(self, path, arguments=""):
        # A message box waits for the test to read it and press OK, through several probes; on
        # a busy machine that can take longer than runexact's default guard against hangs.
        _, windows = wh.stage_program(path, "scripttest", path.name)
        return wh.Process('"%s"%s' % (windows, " " + arguments if arguments else ""),
                          timeout_ms=120000)

    def test_demo_installer_reads_its_script_and_ends(self):
        out = self.work / "demo.exe"
        result = wh.tessarin_build(wh.SOURCE / "examples/demo/setup.toml", "--stub",
                                   wh.STUB, "-o", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        info = json.loads(wh.tessarin_build("--dump", out).stdout)
        self.assertEqual(info["scriptReadCode"], 0)
        self.assertEqual(info["script"]["productName"], "Demo Notes")
        self.assertEqual(info["script"]["languages"], ["English", "Deutsch"])
        self.assertEqual(len(info["files"]), 5)
        # Interactively the wizard's language page comes first: Cancel there ends the
        # installer as cancelled; silently it installs and ends.
        process = self.run_installer(out, "")
        code, _ = wh.probe("--pid", str(process.pid), "--class", "#32770", "--press-caption",
                           "Cancel", "--wait-gone-ms", "15000")
        self.assertEqual(code, 0, "no language page")
        self.assertEqual(process.wait(), 1)
        self.assertEqual(self.run_installer(out, "/silent").wait(), 1)

    def damaged_after_the_script(self, name, manifest):
        """Builds the manifest (with check-image) and a copy whose image check fails (code 40):
        a changed byte in the header padding fails it, after the script has been read, without
        disturbing the loader. Returns (sound installer, damaged installer)."""
        path = self.build(name + ".exe", manifest)
        data = bytearray(path.read_bytes())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        size_of_headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
        self.assertEqual(data[size_of_headers - 1], 0)
        data[size_of_headers - 1] = 0x5A
        damaged = self.work / (name + "-damaged.exe")
        damaged.write_bytes(bytes(data))
        return path, damaged

    def test_corruption_after_the_script_uses_its_messages_13_and_21(self):
        # The script's message 13 is the text: its %d takes the code and "%%" is a percent sign
        # (tessarin-build refuses other conversions in it); message 21 is the caption. Both are
        # in a language outside the system's code page.
        path, damaged = self.damaged_after_the_script(
            "checked", '[product]\nname = "Checked"\n'
            '[options]\ncheck-image = true\nbackground = false\n'
            '[[languages]]\nname = "English"\n'
            'messages = { 13 = "Установка повреждена (код %d, 100%%) ∑", 21 = "Ошибка установки" }\n'
            '[[files]]\nsource = "files"\n')
        self.assertEqual(self.run_installer(path, "/silent").wait(), 1)
        process = self.run_installer(damaged)
        window = wh.read_window(process.pid)
        self.assertEqual(window["caption"], "Ошибка установки")
        self.assertEqual(wh.message_box_text(window), "Установка повреждена (код 40, 100%) ∑")
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)

    def test_stub_shows_its_own_background_window_from_the_script(self):
        # No title in the script: message 0 is painted. The corruption message keeps the
        # process, and so its background window, alive while the window is looked at.
        _, damaged = self.damaged_after_the_script(
            "background", '[product]\nname = "Background"\n'
            '[options]\ncheck-image = true\n'
            '[background]\ntaskbar-text = "Фон Übung Setup"\ntitle-size = 1.0\n'
            'title-color = "#FFFF00"\ntitle-position = 2\n'
            'top-color = "#204060"\nbottom-color = "#204060"\n'
            '[[languages]]\nname = "English"\n'
            'messages = { 0 = "Message Zero Title" }\n'
            '[[files]]\nsource = "files"\n')
        process = self.run_installer(damaged)
        # The corruption message comes after the window has taken the script's look.
        code, boxes = wh.probe("--pid", str(process.pid), "--class", "#32770", "--wait-ms",
                               "20000", "--dump")
        self.assertEqual(code, 0, "no corruption message")
        code, windows = wh.probe("--pid", str(process.pid), "--class", "SEA Window Class",
                                 "--dump")
        self.assertEqual(code, 0, "no background window")
        self.assertEqual(windows[0]["caption"], "Фон Übung Setup")
        display = xscreen.Display(wh.ENV["DISPLAY"])
        try:
            shot = display.grab()
        finally:
            display.close()
        self.assertEqual(shot.pixel(2, shot.height // 2), (0x20, 0x40, 0x60))
        band = shot.height // 8
        title = [(x, y) for y in range(0, band) for x in range(0, shot.width)
                 if shot.pixel(x, y) == (255, 255, 0)]
        self.assertGreater(len(title), 50, "message 0 was not painted as the title")
        middle = sum(x for x, _ in title) / len(title)
        self.assertLess(abs(middle - shot.width / 2), shot.width / 10)
        self.assertTrue(wh.message_box_text(boxes[0]).endswith("Error code: 40"))
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)

    def installer_with_message(self, name, manifest, number, marker, replacement):
        """Builds the manifest, then the same installer again with marker in its script's
        message number replaced by replacement: a text tessarin-build itself refuses to write,
        as a script made by other means may still carry it."""
        built = self.build(name + "-built.exe", manifest)
        info = json.loads(wh.tessarin_build("--dump", built).stdout)
        start = info["section"]["rawOffset"] + info["dataOffset"] - info["scriptPackedSize"]
        packed = bytearray(built.read_bytes()[start:start + info["scriptPackedSize"]])
        mask = struct.pack("<I", int(info["scriptCheck"], 16))
        for i in range(len(packed)):
            packed[i] ^= mask[i % 4]
        script = zlib.decompress(bytes(packed))
        old, new = marker.encode("utf-16-le"), replacement.encode("utf-16-le")
        self.assertEqual(script.count(old), 1, "message %d is not in the script" % number)
        (self.work / (name + ".bin")).write_bytes(script.replace(old, new))
        out = self.work / (name + ".exe")
        result = wh.tessarin_build("--stub", wh.STUB, "--script", self.work / (name + ".bin"),
                                   "--cut-section", "-o", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    def test_refusals_fill_the_scripts_messages_without_formatting_them(self):
        # Each refusal fills its message's "%s" with its values; further conversions in the
        # script's text are shown as they are written, never read as arguments.
        prerequisite = ("[prerequisite]\nregistry-value = \"%s\"\nname = \"Helper Kit\"\n"
                        "minimum-version = \"3.0\"\n")
        old_kit = wh.UNINSTALL + "\\Tessarin Script Old Kit"
        refused_entry = wh.UNINSTALL + "\\Tessarin Script Downgrade"
        previous = wh.drive_c("scripttest-previous")
        previous.mkdir(exist_ok=True)
        for key, values in ((old_kit, {"UninstallString": "x", "DisplayVersion": "2.0"}),
                            (refused_entry, {"InstallLocation": "C:\\scripttest-previous",
                                             "UninstallString": "x",
                                             "NoDowngradeBelow": "9.0"})):
            for value, data in values.items():
                wh.run_system64("reg.exe", "add", key, "/v", value, "/d", data, "/f")
        self.addCleanup(shutil.rmtree, previous, ignore_errors=True)
        self.addCleanup(wh.reg_delete, old_kit)
        self.addCleanup(wh.reg_delete, refused_entry)
        cases = [
            # (message, manifest lines, template with its own "%s", expected text)
            (12, prerequisite % "Tessarin Script No Kit", "Needs %s. MARK",
             "Needs Helper Kit. %s%d%n"),
            (112, prerequisite % "Tessarin Script Old Kit", "Needs %s %s. MARK",
             "Needs Helper Kit 3.0. %s%d%n"),
            (106, '[uninstall]\nkey-name = "Tessarin Script Downgrade"\n', "Not below %s. MARK",
             "Not below 9.0. %s%d%n"),
        ]
        for number, lines, template, expected in cases:
            with self.subTest(message=number):
                manifest = ('[product]\nname = "Refused %d"\nversion = "1.0"\n'
                            'install-folder = "C:\\\\scripttest-%d"\n'
                            '[options]\nbackground = false\n%s%s'
                            '[[languages]]\nname = "English"\nmessages = { %d = "%s" }\n'
                            % (number, number, wh.NO_WIZARD, lines, number, template))
                path = self.installer_with_message("refused-%d" % number, manifest, number,
                                                   "MARK", "%s%d%n")
                process = self.run_installer(path)
                text = wh.message_box_text(wh.read_window(process.pid))
                wh.press(process.pid, "OK")
                self.assertEqual(process.wait(), 1)
                self.assertEqual(text, expected)
                self.assertFalse(wh.drive_c("scripttest-%d" % number).exists())

    def test_excluded_system_message_keeps_the_scripts_conversions(self):
        # Every family bit is set, so whatever Windows version Wine reports is refused.
        manifest = ('[product]\nname = "Excluded"\nexcluded-systems = 2147483647\n'
                    '[options]\nbackground = false\n'
                    '[[languages]]\nname = "English"\n'
                    'messages = { 61 = "Not on %s. MARK" }\n')
        path = self.installer_with_message("excluded", manifest, 61, "MARK", "%s%d%n")
        process = self.run_installer(path)
        text = wh.message_box_text(wh.read_window(process.pid))
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)
        self.assertRegex(text, r"^Not on \S.*\. %s%d%n$")

    def test_bad_manifests_are_refused_without_output(self):
        cases = [
            ('[product]\nname = "X"\nverison = "1"\n', "product.verison: unknown key"),
            ('[product]\nname = "X"\n[wizard]\nstep-delay = "slow"\n',
             "wizard.step-delay: expected an integer, found a string"),
            ('[product]\nname = "X"\n[[files]]\nsource = "missing-folder"\n',
             'files[0].source: "missing-folder" is not a folder'),
        ]
        for manifest, reason in cases:
            with self.subTest(reason=reason):
                out = self.work / "refused.exe"
                result = wh.build_from_manifest(self.work, manifest, out)
                self.assertEqual(result.returncode, 1)
                self.assertIn(str(self.work / "setup.toml") + ": " + reason, result.stderr)
                self.assertFalse(out.exists())


    def test_open_install_folder_without_uninstall_subfolder_is_refused_unless_accepted(self):
        refusal = ("%s: options.install-folder-full-access without uninstall.subfolder"
                   % (self.work / "setup.toml"))
        for uninstall, code in (('subfolder = ""', 1), ('subfolder = "uninstall"', 0),
                                ("records-in-open-folder = true", 0)):
            with self.subTest(uninstall=uninstall):
                out = self.work / "checked.exe"
                out.unlink(missing_ok=True)
                manifest = ('[product]\nname = "X"\n[options]\ninstall-folder-full-access = true\n'
                            '[uninstall]\n%s\n' % uninstall)
                result = wh.build_from_manifest(self.work, manifest, out)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertEqual(out.exists(), code == 0)
                if code:
                    self.assertIn(refusal, result.stderr)
                elif "records" in uninstall:
                    self.assertIn("tessarin-build: warning: " + refusal, result.stderr)
                else:
                    self.assertNotIn(refusal, result.stderr)

if __name__ == "__main__":
    wh.main(verbosity=2)
