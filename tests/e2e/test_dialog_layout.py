"""The wizard's templates at 100 % and 150 % display scaling: the gallery tool (which carries the
installer's manifest, so it is DPI-aware as the installer is) shows each template in turn and
checks its controls against the layout rules at that scale; every template is saved as a
screenshot under the build tree (screenshots/<scale>/<Template>.png) for a look by eye.

The scale is the prefix's "LogPixels" value, which Wine reads when a process starts: the
wineserver keeps running, and the value is put back afterwards.

Also the execution level that tessarin-build writes into an installer's manifest, in the bytes
of an installer built from the real stub."""
import json
import re
import subprocess
import tempfile
import time
import unittest

import winehelper as wh
import xscreen

DESKTOP = "HKCU\\Control Panel\\Desktop"
TEMPLATE_COUNT = 33  # eight pages in four layouts but the greeting's "2", and two dialogs


def log_pixels():
    values = wh.reg_values(DESKTOP) or {}
    value = values.get("LogPixels")
    return int(value[1], 16) if value else None


def set_log_pixels(dpi):
    if dpi is None:
        wh.run_system64("reg.exe", "delete", DESKTOP, "/v", "LogPixels", "/f")
    else:
        wh.run_system64("reg.exe", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                        str(dpi), "/f")


class DialogLayout(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.display = xscreen.Display(wh.ENV["DISPLAY"])
        cls.original_dpi = log_pixels()

    @classmethod
    def tearDownClass(cls):
        set_log_pixels(cls.original_dpi)
        cls.display.close()

    def settled(self, left, top, width, height):
        """The dialog's pixels once two screenshots in a row agree (the X server may show a
        window's surface a moment after it was painted)."""
        deadline = time.monotonic() + 20
        previous = None
        while True:
            shot = self.display.grab(left, top, width, height)
            if previous is not None and shot.same_as(previous):
                return shot
            self.assertLess(time.monotonic(), deadline, "the screen never settled")
            previous = shot
            time.sleep(0.05)

    def show_all(self, scale, dpi):
        set_log_pixels(dpi)
        folder = wh.BUILD / "screenshots" / scale
        folder.mkdir(parents=True, exist_ok=True)
        gallery = subprocess.Popen([wh.LOADER, str(wh.BUILD / "dialog_gallery.exe")], env=wh.ENV,
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        shown = []
        try:
            for line in gallery.stdout:
                report = json.loads(line)
                name = report["template"]
                self.assertNotIn("error", report, "%s could not be created" % name)
                self.assertEqual(report["dpi"], dpi, name)
                self.assertEqual(report["problems"], [], "%s at %s" % (name, scale))
                left, top, right, bottom = report["client"]
                shot = self.settled(left, top, right - left, bottom - top)
                shot.save_png(folder / (name + ".png"))
                # Painted: the dialog's face and its texts, not one flat colour.
                colours = {shot.pixel(x, y) for x in range(left, right, 7)
                           for y in range(top, bottom, 7)}
                self.assertGreater(len(colours), 2, "%s is blank at %s" % (name, scale))
                shown.append((name, right - left))
                gallery.stdin.write("\n")
                gallery.stdin.flush()
        finally:
            gallery.stdin.close()
            code = gallery.wait(timeout=60)
            gallery.stdout.close()
        self.assertEqual(code, 0)
        self.assertEqual(len(shown), TEMPLATE_COUNT)
        return dict(shown)

    def test_templates_keep_their_layout_at_100_and_150_percent(self):
        normal = self.show_all("100", 96)
        large = self.show_all("150", 144)
        # The pages really grew with the scale (about one and a half times as wide).
        for name, width in normal.items():
            self.assertGreater(large[name] * 4, width * 5, name)

    def test_execution_level_is_written_into_the_installer(self):
        with tempfile.TemporaryDirectory(prefix="tessarin-level-") as folder:
            built = {}
            for level in ("admin", "highest", "user"):
                output = "%s/%s.exe" % (folder, level)
                result = wh.build_from_manifest(
                    "%s/%s" % (folder, level),
                    '[product]\nname = "Level"\nexecution-level = "%s"\n' % level, output)
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(output, "rb") as f:
                    built[level] = f.read()
        element = re.compile(rb'<requestedExecutionLevel level="(\w+)"( *) uiAccess="false"/>')
        found = {level: element.findall(data) for level, data in built.items()}
        self.assertEqual(found["admin"], [(b"requireAdministrator", b"")])
        self.assertEqual(found["highest"], [(b"highestAvailable", b" " * 4)])
        self.assertEqual(found["user"], [(b"asInvoker", b" " * 11)])


if __name__ == "__main__":
    wh.main()
