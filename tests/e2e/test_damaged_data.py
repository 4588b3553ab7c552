"""Installers whose file data was damaged after the build: the installation stops with the
corruption message of its code (the exit code is 1, as at every end of the install branch) and
takes back what it wrote before the damage: the files it made go, in the install folder and in
the system folder, and so do the folders it made."""
import json
import os
import pathlib
import shutil
import struct
import tempfile
import unittest

import winehelper as wh

NAME = "Tessarin Damaged Fixture"
INSTALL_DIR = "C:\\tessarin-damaged\\" + NAME
FILES = {"a.txt": b"hello\r\n", "sub\\b.txt": b"deep file\r\n"}
MANIFEST = """[product]
name = "%s"
[options]
%sbackground = false
compress = false
uninstall-entry = false
[[files]]
source = "files"
""" % (NAME, wh.NO_WIZARD)


def checksum(data):
    """The payload's additive checksum: little-endian words, then the tail bytes as signed
    bytes, then the length, from a fixed start."""
    total = 0x79E2BC9D
    words = len(data) // 4
    for (word,) in struct.iter_unpack("<I", data[:words * 4]):
        total += word
    for byte in data[words * 4:]:
        total += byte - 256 if byte >= 128 else byte
    return (total + len(data)) & 0xFFFFFFFF


class DamagedData(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-damaged-"))
        for name, data in FILES.items():
            path = cls.work / "files" / name.replace("\\", "/")
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        cls.good = cls.work / "good.exe"
        result = wh.build_from_manifest(cls.work, MANIFEST, cls.good)
        assert result.returncode == 0, result.stderr
        dump = json.loads(wh.tessarin_build("--dump", cls.good).stdout)
        assert not dump["compressedBlocks"] and not dump["enciphered"]
        base = dump["section"]["rawOffset"]
        cls.area = (base + dump["dataOffset"], base + dump["dataEnd"])
        cls.data_check = int(dump["dataCheck"], 16)
        cls.target = wh.drive_c("tessarin-damaged", NAME)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.target.parent, ignore_errors=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    def find(self, data, needle):
        at = data.find(needle, *self.area)
        self.assertGreaterEqual(at, 0, needle)
        self.assertEqual(data.find(needle, at + 1, self.area[1]), -1, needle)
        return at

    def fix_block_checks(self, data):
        pos = self.area[0]
        while pos + 8 <= self.area[1]:
            length = struct.unpack_from("<I", data, pos)[0]
            struct.pack_into("<I", data, pos + 4, checksum(bytes(data[pos + 8:pos + 8 + length])))
            pos += 8 + length

    def fix_data_check(self, data):
        at = data.find(struct.pack("<I", self.data_check), self.area[0] - 4096, self.area[0])
        self.assertGreaterEqual(at, 0, "the data checksum is not in the header")
        struct.pack_into("<I", data, at, checksum(bytes(data[self.area[0]:self.area[1]])))

    def flipped_byte(self, data):
        data[self.find(data, b"hello\r\n")] ^= 0x01

    def damaged_block(self, data):
        self.flipped_byte(data)
        self.fix_data_check(data)

    def empty_name(self, data):
        data[self.find(data, b"sub\\b.txt\0")] = 0
        self.fix_block_checks(data)
        self.fix_data_check(data)

    def damaged_file_data(self, data):
        # The file's bytes travel into its temporary file before their checksum is compared.
        data[self.find(data, b"deep file\r\n")] ^= 0x01
        self.fix_block_checks(data)
        self.fix_data_check(data)

    def test_each_damage_ends_with_its_code_and_leaves_nothing(self):
        # The first two are found before any file is written, the others after a.txt was.
        cases = [(self.flipped_byte, 55), (self.damaged_block, 62), (self.empty_name, 70),
                 (self.damaged_file_data, 100)]
        for damage, code in cases:
            with self.subTest(code=code):
                shutil.rmtree(self.target, ignore_errors=True)
                data = bytearray(self.good.read_bytes())
                damage(data)
                path = self.work / ("damaged-%d.exe" % code)
                path.write_bytes(bytes(data))
                process = wh.run_installer(path, "damagedtest", '/a /d:"%s"' % INSTALL_DIR)
                window = wh.read_window(process.pid)
                self.assertTrue(wh.message_box_text(window).endswith("Error code: %d" % code),
                                window)
                wh.press(process.pid, "OK")
                self.assertEqual(process.wait(), 1)
                left = sorted(str(p.relative_to(self.target.parent))
                              for p in self.target.parent.rglob("*")) \
                    if self.target.parent.exists() else []
                self.assertEqual(left, [])
                self.assertFalse(self.target.parent.exists())

    def test_files_made_in_the_system_folder_go_with_the_stop(self):
        """A COM server and a system file written before the damaged record are taken back; a
        system file and a file of the install folder that were there before and were replaced
        stay (their old bytes are gone: the installer keeps no copy), and so does the folder."""
        folder = self.work / "system"
        system = {"tessarin-stop.ocx": b"com server\r\n", "tessarin-stop.dll": b"library\r\n",
                  "tessarin-stop-old.dll": b"replacement\r\n"}
        for name, data in system.items():
            (folder / "system").mkdir(parents=True, exist_ok=True)
            (folder / "system" / name).write_bytes(data)
        shutil.copytree(self.work / "files", folder / "files")
        # The system files travel first, then the install folder's, the last of them damaged.
        manifest = MANIFEST.replace('[[files]]\nsource = "files"\n',
                                    '[[files]]\nsource = "system"\ninclude = ["*.ocx"]\n'
                                    'kind = "system-com"\n'
                                    '[[files]]\nsource = "system"\ninclude = ["*.dll"]\n'
                                    'kind = "system"\n'
                                    '[[files]]\nsource = "files"\n')
        exe = folder / "system.exe"
        result = wh.build_from_manifest(folder, manifest, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        dump = json.loads(wh.tessarin_build("--dump", exe).stdout)
        base = dump["section"]["rawOffset"]
        data = bytearray(exe.read_bytes())
        area = (base + dump["dataOffset"], base + dump["dataEnd"])
        data[data.find(b"deep file\r\n", *area)] ^= 0x01
        self.area, self.data_check = area, int(dump["dataCheck"], 16)
        self.fix_block_checks(data)
        self.fix_data_check(data)
        exe.write_bytes(bytes(data))

        folders = [wh.drive_c("windows", name) for name in ("system32", "syswow64")]
        folders = [f for f in folders if f.is_dir()]
        old = [f / "tessarin-stop-old.dll" for f in folders]
        shutil.rmtree(self.target.parent, ignore_errors=True)
        old.append(self.target / "a.txt")
        self.target.mkdir(parents=True)
        try:
            for path in old:
                path.write_bytes(b"old library\r\n")
                os.utime(path, (946684800, 946684800))  # 2000-01-01: older than the new one
            before = {f: sorted(p.name for p in f.iterdir()) for f in folders}
            process = wh.run_installer(exe, "damagedtest", '/silent /d:"%s"' % INSTALL_DIR)
            self.assertEqual(process.wait(), 1)
            self.assertIn(b"replacement\r\n", [p.read_bytes() for p in old[:-1]],
                          "the system file was not replaced: the test shows nothing")
            for f in folders:
                self.assertEqual(sorted(p.name for p in f.iterdir()), before[f], f)
            self.assertEqual(sorted(p.name for p in self.target.rglob("*")), ["a.txt"])
            self.assertEqual(old[-1].read_bytes(), FILES["a.txt"])
        finally:
            shutil.rmtree(self.target.parent, ignore_errors=True)
            for f in folders:
                for name in system:
                    if (f / name).exists():
                        (f / name).unlink()

    def test_with_the_conventional_codes_a_damaged_installer_ends_as_failed(self):
        exe = self.work / "conventional.exe"
        manifest = MANIFEST.replace("[options]\n", "[options]\nconventional-exit-codes = true\n")
        result = wh.build_from_manifest(self.work, manifest, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        dump = json.loads(wh.tessarin_build("--dump", exe).stdout)
        base = dump["section"]["rawOffset"]
        data = bytearray(exe.read_bytes())
        data[data.find(b"hello\r\n", base + dump["dataOffset"], base + dump["dataEnd"])] ^= 0x01
        exe.write_bytes(bytes(data))
        code = wh.run_installer(exe, "damagedtest", '/silent /d:"%s"' % INSTALL_DIR).wait()
        self.assertEqual(code, 1603)

if __name__ == "__main__":
    wh.main(verbosity=2)
