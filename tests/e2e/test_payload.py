"""Installers built by tessarin-build, run under Wine: a sound payload is accepted, damaged
ones end with the corruption message and their code, and the uninstaller image runs."""
import json
import pathlib
import shutil
import struct
import tempfile
import unittest

import winehelper as wh

CORRUPT = ("This installation program is corrupt.  This is usually caused by a faulty download, "
           "but it can also be caused by a virus on your computer.  The installation cannot "
           "proceed.\r\n\r\nDelete the corrupted installer (to prevent caching), then "
           "re-download it.  If the problem persists, check your system for viruses.\r\n\r\n"
           "Error code: %d")
NO_DATA_START = "This program performs installations and uninstallations.\r\n"


class BuiltInstallers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-payload-"))
        (cls.work / "script.bin").write_bytes(b"install script bytes " * 10)
        (cls.work / "a.txt").write_bytes(b"hello\r\n")
        (cls.work / "b.bin").write_bytes(bytes(range(256)) * 400)
        cls.good = cls.build("good.exe")
        cls.dump = json.loads(wh.tessarin_build("--dump", cls.good).stdout)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def build(cls, name, *extra):
        out = cls.work / name
        result = wh.tessarin_build("--stub", wh.STUB, "--script",
                                   cls.work / "script.bin", "--file", cls.work / "a.txt",
                                   "--file", cls.work / "b.bin", "--block-size", "1000",
                                   "-o", out, *extra)
        assert result.returncode == 0, result.stderr
        return out

    def run_installer(self, path, name, arguments=""):
        _, windows = wh.stage_program(path, "payloadtest", name)
        return '"%s"%s' % (windows, " " + arguments if arguments else "")

    def damaged(self, name, offset_in_section, xor):
        data = bytearray(self.good.read_bytes())
        data[self.dump["section"]["rawOffset"] + offset_in_section] ^= xor
        path = self.work / name
        path.write_bytes(bytes(data))
        return path

    def test_dump_describes_the_payload(self):
        self.assertEqual(self.dump["builderVersion"], "37.0.2")
        self.assertEqual([f["name"] for f in self.dump["files"]], ["a.txt", "b.bin"])
        self.assertEqual(self.dump["files"][1]["size"], 102400)
        self.assertEqual(self.dump["scriptSize"], 210)

    def test_sound_installer_is_accepted_and_still_runs(self):
        product = self.work / "product"
        (product / "files").mkdir(parents=True, exist_ok=True)
        (product / "files" / "a.txt").write_bytes(b"hello\r\n")
        for name, options in (("plain", ""), ("cipher", "cipher = true"),
                              ("external", "block-size = 4096"), ("stored", "compress = false")):
            with self.subTest(name=name):
                manifest = ('[product]\nname = "Sound %s"\ninstall-folder = "C:\\\\sound-%s"\n%s\n'
                            '[options]\nbackground = false\n%s\n[[files]]\nsource = "files"\n'
                            % (name, name, "external-data = true" if name == "external" else "",
                               options))
                path = self.work / ("sound-%s.exe" % name)
                result = wh.build_from_manifest(product, manifest, path)
                self.assertEqual(result.returncode, 0, result.stderr)
                # A sound payload installs: its file lands with its bytes.
                self.assertEqual(
                    wh.Process(self.run_installer(path, path.name, "/silent")).wait(), 1)
                self.assertEqual(wh.drive_c("sound-%s" % name, "a.txt").read_bytes(), b"hello\r\n")

    def test_damaged_payloads_show_the_corruption_message_with_their_code(self):
        cases = [("magic.exe", 0, 0x01, 20), ("size.exe", 18, 0x80, 22),
                 ("script.exe", self.dump["dataOffset"] - 20, 0x10, 25)]
        for name, offset, xor, code in cases:
            with self.subTest(name=name):
                process = wh.Process(self.run_installer(self.damaged(name, offset, xor), name))
                window = wh.read_window(process.pid)
                self.assertEqual(window["caption"], "Error")
                self.assertEqual(wh.message_box_text(window), CORRUPT % code)
                wh.press(process.pid, "OK")
                self.assertEqual(process.wait(), 1)

    def test_damage_is_silent_in_silent_mode(self):
        path = self.damaged("silent.exe", 0, 0x01)
        self.assertEqual(wh.Process(self.run_installer(path, path.name, "/silent")).wait(), 1)

    def test_uninstaller_image_is_a_working_program_without_payload(self):
        image = self.work / "uninstall.exe"
        result = wh.tessarin_build("--uninstaller-image", self.good, image)
        self.assertEqual(result.returncode, 0, result.stderr)
        stub = wh.STUB.read_bytes()
        self.assertEqual(image.read_bytes(), stub)
        process = wh.Process(self.run_installer(image, "uninstall.exe"))
        window = wh.read_window(process.pid)
        self.assertTrue(wh.message_box_text(window).startswith(NO_DATA_START))
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 1)
        # The image is a working uninstaller: a product that is not installed ends it with 0.
        self.assertEqual(wh.Process(self.run_installer(image, "uninstall.exe",
                                                       '/a /u:"Some Product"')).wait(), 0)


if __name__ == "__main__":
    wh.main(verbosity=2)
