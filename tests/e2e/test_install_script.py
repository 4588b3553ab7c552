"""Installers built from manifests: the stub reads their install scripts, uses the script's
texts once they are loaded, and tessarin-build refuses bad manifests without writing anything."""
import json
import pathlib
import shutil
import struct
import tempfile
import unittest

import winehelper as wh


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
        _, windows = wh.stage_program(path, "scripttest", path.name)
        return wh.Process('"%s"%s' % (windows, " " + arguments if arguments else ""))

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
        for arguments in ("", "/silent"):
            with self.subTest(arguments=arguments):
                self.assertEqual(self.run_installer(out, arguments).wait(), 1)

    def test_corruption_after_the_script_uses_its_message_13(self):
        # The image check runs when the uninstaller image is built, after the script has been
        # read; a changed byte in the header padding fails it (code 40) without disturbing the
        # loader. The script's message 13 is the format: its %d takes the code and "%%" is a
        # percent sign (tessarin-build refuses other conversions in it).
        path = self.build("checked.exe", '[product]\nname = "Checked"\n'
                          '[options]\ncheck-image = true\nbackground = false\n'
                          '[[languages]]\nname = "English"\n'
                          'messages = { 13 = "Setup is damaged (code %d, 100%%)" }\n'
                          '[[files]]\nsource = "files"\n')
        data = bytearray(path.read_bytes())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        size_of_headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
        self.assertEqual(data[size_of_headers - 1], 0)
        data[size_of_headers - 1] = 0x5A
        damaged = self.work / "checked-damaged.exe"
        damaged.write_bytes(bytes(data))
        self.assertEqual(self.run_installer(path, "/silent").wait(), 1)
        process = self.run_installer(damaged)
        window = wh.read_window(process.pid)
        self.assertEqual(wh.message_box_text(window), "Setup is damaged (code 40, 100%)")
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)

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


if __name__ == "__main__":
    unittest.main(verbosity=2)
