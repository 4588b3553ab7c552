"""The background window under Wine, judged from real screenshots of the Xvfb display: the
gradient from top to bottom, the title and copyright where their positions put them, the
picture where each stretch mode puts it, and the taskbar text as the window's caption; the
uninstaller paints the picture its installation kept."""
import pathlib
import shutil
import struct
import tempfile
import time
import unittest

import winehelper as wh
import xscreen

TOP = (200, 30, 30)
BOTTOM = (20, 40, 220)
YELLOW = (255, 255, 0)
CYAN = (0, 255, 255)
MAGENTA = (255, 0, 255)
GREEN = (0, 255, 0)
PICTURE_SIZE = (50, 30)  # upper half magenta, lower half green
TASKBAR_TEXT = "Tessarin Übung Setup"
KEPT_NAME = "Tessarin Background Kept"
KEPT_STAGE = "tessarin-bg-stage"  # C:\<KEPT_STAGE>\setup.exe
KEPT_FOLDER = "tessarin-bg-kept"  # C:\<KEPT_FOLDER>: its install folder
KEPT_MANIFEST = """[product]
name = "%s"
version = "1.0"
[options]
background-picture-file = true
[background]
taskbar-text = "%s"
title-position = 0
top-color = "#C81E1E"
bottom-color = "#1428DC"
picture = "picture.bmp"
picture-size = 80
stretch-mode = 1
[uninstall]
key-name = "%s"
subfolder = "Uninstall"
[[files]]
source = "files"
""" % (KEPT_NAME, KEPT_NAME, KEPT_NAME)


def colorref(rgb):
    r, g, b = rgb
    return "0x%06X" % (b << 16 | g << 8 | r)


def write_bitmap(path, width, height, upper, lower):
    """A 24-bit bitmap file; rows are stored bottom-up."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for stored in range(height):
        r, g, b = upper if height - 1 - stored < height // 2 else lower
        rows.append(bytes([b, g, r]) * width + b"\0" * (stride - width * 3))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    pathlib.Path(path).write_bytes(head + info + pixels)


def close(a, b, tolerance=3):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class Rect:
    def __init__(self, left, top, right, bottom):
        self.left, self.top, self.right, self.bottom = left, top, right, bottom

    width = property(lambda self: self.right - self.left)
    height = property(lambda self: self.bottom - self.top)

    def __repr__(self):
        return "Rect(%d, %d, %d, %d)" % (self.left, self.top, self.right, self.bottom)


def centred(area, width, height):
    left = area.left + (area.width - width) // 2
    top = area.top + (area.height - height) // 2
    return Rect(left, top, left + width, top + height)


def fit(area, width, height):
    if area.width * height <= area.height * width:
        return centred(area, area.width, area.width * height // width)
    return centred(area, area.height * width // height, area.height)


class BackgroundWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-bg-"))
        cls.picture = cls.folder / "picture.bmp"
        write_bitmap(cls.picture, *PICTURE_SIZE, MAGENTA, GREEN)
        cls.display = xscreen.Display(wh.ENV["DISPLAY"])

    @classmethod
    def tearDownClass(cls):
        cls.display.close()

    def start(self, **fields):
        """Starts the window with the given settings; returns the process and the status the
        tool reports once the window is painted. The window is closed at the end of the test."""
        status = self.folder / ("status-%d.txt" % time.monotonic_ns())
        fields.setdefault("TaskbarText", TASKBAR_TEXT)
        fields["StatusFile"] = wh.windows_path(status)
        settings = self.folder / "settings.txt"
        settings.write_text("".join("%s=%s\n" % kv for kv in fields.items()), encoding="utf-8")
        process = wh.Process('"%s" "%s"' % (wh.windows_path(wh.BUILD / "bgwindow.exe"),
                                            wh.windows_path(settings)))
        self.addCleanup(self.close_window, process)
        deadline = time.monotonic() + 30
        while not status.exists():
            self.assertLess(time.monotonic(), deadline, "the window never reported itself")
            time.sleep(0.05)
        values = {line.split()[0]: [int(v) for v in line.split()[1:]]
                  for line in status.read_text().splitlines()}
        return process, values

    def show(self, **fields):
        """Starts the window; returns (process, client rectangle, settled screenshot)."""
        process, values = self.start(**fields)
        client = Rect(*values["client"])
        return process, client, self.settled(client)

    def settled(self, client):
        """The client area once two screenshots in a row agree (the X server may show the
        window's surface a moment after it was painted)."""
        deadline = time.monotonic() + 20
        previous = None
        while True:
            shot = self.display.grab(client.left, client.top, client.width, client.height)
            if previous is not None and shot.same_as(previous):
                return shot
            self.assertLess(time.monotonic(), deadline, "the screen never settled")
            previous = shot
            time.sleep(0.2)

    def close_window(self, process):
        wh.probe("--pid", str(process.pid), "--close", "--wait-gone-ms", "10000")
        self.assertEqual(process.wait(), 0)

    def pixels_of(self, shot, client, colour, step=2):
        """Screen points of the given colour, sampled on a grid."""
        return [(x, y) for y in range(client.top, client.bottom, step)
                for x in range(client.left, client.right, step) if shot.pixel(x, y) == colour]

    def test_gradient_title_copyright_and_caption(self):
        process, client, shot = self.show(
            DisplayTitle="Tessarin Test Title", TitleColor=colorref(YELLOW), TitleSize="1.0",
            TitleFont="Tahoma", TitlePosition=3, TitleShadow=100, TopColor=colorref(TOP),
            BottomColor=colorref(BOTTOM), CopyrightPos=4, CopyrightColor=colorref(CYAN),
            CopyrightSize="1.0", CopyrightText="Copyright Test", CopyrightFont="Tahoma")
        middle = client.left + client.width // 2
        self.assertTrue(close(shot.pixel(middle, client.top), TOP), shot.pixel(middle, client.top))
        self.assertTrue(close(shot.pixel(middle, client.bottom - 1), BOTTOM, 6),
                        shot.pixel(middle, client.bottom - 1))
        column = [shot.pixel(middle, y) for y in range(client.top, client.bottom, 16)]
        self.assertEqual([c[0] for c in column], sorted((c[0] for c in column), reverse=True))
        self.assertEqual([c[2] for c in column], sorted(c[2] for c in column))

        title = self.pixels_of(shot, client, YELLOW)
        self.assertGreater(len(title), 50, "no title painted")
        self.assertGreater(min(x for x, _ in title), client.left + client.width // 2)
        self.assertGreater(max(x for x, _ in title), client.right - client.width // 20)
        self.assertLess(max(y for _, y in title), client.top + client.height // 10)
        # The shadow: black pixels among the title's, below and right of its strokes.
        shadow = [(x + dx, y + dy) for x, y in title for dx, dy in ((2, 2), (3, 3))
                  if x + dx < client.right and y + dy < client.bottom
                  and shot.pixel(x + dx, y + dy) == (0, 0, 0)]
        self.assertTrue(shadow, "no shadow painted")

        copyright = self.pixels_of(shot, client, CYAN)
        self.assertGreater(len(copyright), 20, "no copyright line painted")
        self.assertLess(max(x for x, _ in copyright), client.left + client.width // 2)
        self.assertGreater(min(y for _, y in copyright), client.bottom - client.height // 10)
        low_black = [p for p in self.pixels_of(shot, client, (0, 0, 0))
                     if p[1] > client.bottom - client.height // 10]
        self.assertEqual(low_black, [], "the copyright line has a shadow")

        window = wh.read_window(process.pid)
        self.assertEqual(window["class"], "SEA Window Class")
        self.assertEqual(window["caption"], TASKBAR_TEXT)

    def test_same_colours_no_size_no_position_paint_a_plain_window(self):
        colour = (40, 120, 60)
        _, client, shot = self.show(
            DisplayTitle="Not Shown", TitleColor=colorref(YELLOW), TitleSize="1.0",
            TitlePosition=0, TopColor=colorref(colour), BottomColor=colorref(colour),
            PictureFile=wh.windows_path(self.picture), BitmapSize=0, StretchMode=0)
        for y in range(client.top, client.bottom, 7):
            for x in range(client.left, client.right, 11):
                self.assertEqual(shot.pixel(x, y), colour, (x, y))

    def test_default_title_when_the_title_is_blank(self):
        _, client, shot = self.show(
            DisplayTitle="   ", DefaultTitle="Message Zero", TitleColor=colorref(YELLOW),
            TitleSize="1.0", TitlePosition=4, TopColor=colorref(TOP),
            BottomColor=colorref(BOTTOM))
        title = self.pixels_of(shot, client, YELLOW)
        self.assertGreater(len(title), 50, "the default title was not painted")
        self.assertLess(max(x for x, _ in title), client.left + client.width // 2)
        self.assertGreater(min(y for _, y in title), client.bottom - client.height // 8)

    def test_picture_placement_for_each_stretch_mode(self):
        width, height = PICTURE_SIZE
        for mode in (0, 1, 2, 3):
            with self.subTest(mode=mode):
                _, client, shot = self.show(
                    TopColor=colorref(TOP), BottomColor=colorref(BOTTOM),
                    PictureFile=wh.windows_path(self.picture), BitmapSize=50, StretchMode=mode)
                if mode == 3:
                    self.check_tiles(shot, client)
                    continue
                area = centred(client, client.width * 50 // 100, client.height * 50 // 100)
                if mode == 0:
                    placed = area
                elif mode == 1:
                    placed = fit(area, width, height)
                else:
                    k = min(area.width // width, area.height // height)
                    placed = centred(area, k * width, k * height)
                self.check_picture(shot, client, placed)

    def test_title_too_wide_is_shrunk_to_fit(self):
        _, client, shot = self.show(
            DisplayTitle="A Title Far Too Long For Any Window At This Size " * 2,
            TitleColor=colorref(YELLOW), TitleSize="4.0", TitlePosition=1,
            TopColor=colorref(TOP), BottomColor=colorref(BOTTOM))
        title = self.pixels_of(shot, client, YELLOW, step=1)
        self.assertGreater(len(title), 50)
        margin = client.width // 200
        self.assertGreaterEqual(min(x for x, _ in title), client.left + margin)
        self.assertLess(max(x for x, _ in title), client.right - margin)
        self.assertGreater(max(x for x, _ in title), client.left + client.width * 3 // 4)

    def test_maximized_and_minimized(self):
        colours = dict(TopColor=colorref(TOP), BottomColor=colorref(BOTTOM))
        _, values = self.start(Maximized=1, **colours)
        self.assertEqual(values["state"], [1, 0])
        _, values = self.start(Minimized=1, **colours)
        self.assertEqual(values["state"], [0, 1])
        _, values = self.start(**colours)
        self.assertEqual(values["state"], [0, 0])

    def test_window_from_the_demo_installers_script(self):
        # The demo product's manifest, built into an installer, read back through the
        # installer's own script reader: colours, title and picture come from the script.
        demo = wh.SOURCE / "examples" / "demo"
        manifest = (demo / "setup.toml").read_text(encoding="utf-8")
        self.assertIn("stretch-mode = 1\n", manifest)
        top, bottom, white = (0x1F, 0x3F, 0x7F), (0x05, 0x07, 0x0F), (255, 255, 255)
        for mode in (1, 2):
            with self.subTest(mode=mode):
                folder = self.folder / ("demo-%d" % mode)
                shutil.copytree(demo, folder, dirs_exist_ok=True)
                (folder / "setup.toml").write_text(
                    manifest.replace("stretch-mode = 1\n", "stretch-mode = %d\n" % mode),
                    encoding="utf-8")
                installer = folder / "setup.exe"
                result = wh.tessarin_build(folder / "setup.toml", "--stub",
                                           wh.STUB, "-o", installer)
                self.assertEqual(result.returncode, 0, result.stderr)
                _, client, shot = self.show(Installer=wh.windows_path(installer))
                self.assertEqual(shot.pixel(client.left + 1, client.top), top)
                self.assertTrue(close(shot.pixel(client.left + 1, client.bottom - 1), bottom, 4))
                title = self.pixels_of(shot, client, white, step=1)
                self.assertGreater(len(title), 50, "the title was not painted")
                middle = sum(x for x, _ in title) / len(title)
                self.assertLess(abs(middle - (client.left + client.right) / 2), client.width / 10)
                self.assertLess(max(y for _, y in title), client.top + client.height // 4)
                area = centred(client, client.width * 40 // 100, client.height * 40 // 100)
                if mode == 1:
                    placed = fit(area, 96, 64)
                else:
                    k = min(area.width // 96, area.height // 64)
                    self.assertGreater(k, 1)
                    placed = centred(area, k * 96, k * 64)
                self.check_picture(shot, client, placed)

    def test_uninstaller_paints_the_picture_its_installation_kept(self):
        # The installation keeps its background picture in the uninstall folder; the
        # uninstaller as the user starts it shows the same background, picture included, while
        # it asks whether to remove the product. No answers it; the quiet removal cleans up.
        product = self.folder / "kept"
        shutil.copytree(wh.SOURCE / "tests/e2e/fixtures/product/files/app", product / "files")
        shutil.copyfile(self.picture, product / "picture.bmp")
        result = wh.build_from_manifest(product, KEPT_MANIFEST, product / "setup.exe")
        self.assertEqual(result.returncode, 0, result.stderr)
        _, installer = wh.stage_program(product / "setup.exe", KEPT_STAGE, "setup.exe")
        self.addCleanup(self.remove_kept_product)
        # Automatic, not silent: a silent installation keeps no background for its uninstaller.
        wh.Process('"%s" /a /d:"C:\\%s"' % (installer, KEPT_FOLDER)).wait()
        self.assertTrue(wh.drive_c(KEPT_FOLDER, "Uninstall", "Installer Background.bmp").is_file())
        entry = wh.reg_values(wh.UNINSTALL + "\\" + KEPT_NAME)
        uninstaller = wh.Process(entry["UninstallString"][1])
        pid = str(uninstaller.pid)
        try:
            code, boxes = wh.probe("--pid", pid, "--class", "#32770", "--dump")
            self.assertEqual(code, 0, "no removal question")
            self.assertIn("Do you want to remove", wh.message_box_text(boxes[0]))
            code, windows = wh.probe("--pid", pid, "--class", "SEA Window Class", "--dump")
            self.assertEqual(code, 0, "no background window")
            self.assertEqual(windows[0]["caption"], KEPT_NAME)
            client = Rect(*windows[0]["client"])
            shot = self.settled(client)
            self.assertEqual(shot.pixel(client.left + 1, client.top), TOP)
            area = centred(client, client.width * 80 // 100, client.height * 80 // 100)
            # The question sits over the middle of the picture; its frame is not part of its
            # client rectangle, hence the margin.
            question = Rect(*boxes[0]["client"])
            hidden = Rect(question.left - 40, question.top - 40, question.right + 40,
                          question.bottom + 40)
            self.check_picture(shot, client, fit(area, *PICTURE_SIZE), hidden)
            code, _ = wh.probe("--pid", pid, "--class", "#32770", "--press", "7",
                               "--wait-gone-ms", "10000")
            self.assertEqual(code, 0, "could not answer No")
            self.assertEqual(uninstaller.wait(), 1)
        finally:
            if uninstaller.proc.poll() is None:
                wh.run_system64("taskkill.exe", "/F", "/PID", pid)
                uninstaller.wait()

    def remove_kept_product(self):
        entry = wh.reg_values(wh.UNINSTALL + "\\" + KEPT_NAME)
        if entry and "QuietUninstallString" in entry:
            temp_before = wh.temp_entries()
            wh.Process(entry["QuietUninstallString"][1]).wait()
            wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the uninstaller's self-removal")
        wh.reg_delete(wh.UNINSTALL + "\\" + KEPT_NAME)
        for menu in wh.start_menu_folders(KEPT_NAME):
            shutil.rmtree(menu)
        shutil.rmtree(wh.drive_c(KEPT_FOLDER), ignore_errors=True)
        shutil.rmtree(wh.drive_c(KEPT_STAGE), ignore_errors=True)

    def check_picture(self, shot, client, placed, hidden=None):
        """The picture's colours inside the placed rectangle and the background's just outside
        it; points under the hidden rectangle (a window in front) are not looked at."""
        def seen(x, y):
            return hidden is None or not (hidden.left <= x < hidden.right and
                                          hidden.top <= y < hidden.bottom)

        inside = 3
        for x, y, colour in ((placed.left + inside, placed.top + inside, MAGENTA),
                             (placed.right - 1 - inside, placed.top + inside, MAGENTA),
                             (placed.left + inside, placed.bottom - 1 - inside, GREEN),
                             (placed.right - 1 - inside, placed.bottom - 1 - inside, GREEN)):
            self.assertTrue(seen(x, y), ("corner hidden", x, y, placed, hidden))
            self.assertEqual(shot.pixel(x, y), colour, ("inside", x, y, placed))
        mid_y = (placed.top + placed.bottom) // 2
        mid_x = (placed.left + placed.right) // 2
        for x, y in ((placed.left - 2, mid_y), (placed.right + 1, mid_y),
                     (mid_x, placed.top - 2), (mid_x, placed.bottom + 1)):
            if seen(x, y):
                self.assertNotIn(shot.pixel(x, y), (MAGENTA, GREEN), ("outside", x, y, placed))

    def check_tiles(self, shot, client):
        width, height = PICTURE_SIZE
        for row in range(0, client.height // height):
            for column in range(0, client.width // width, 5):
                x, y = client.left + column * width, client.top + row * height
                self.assertEqual(shot.pixel(x + 2, y + 2), MAGENTA, (column, row))
                self.assertEqual(shot.pixel(x + width - 3, y + height - 3), GREEN, (column, row))
        self.assertIn(shot.pixel(client.right - 1, client.bottom - 1), (MAGENTA, GREEN))


if __name__ == "__main__":
    wh.main()
