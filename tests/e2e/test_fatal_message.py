"""The fatal-error display of the dialog framework: the message box the user sees, read from
the real window."""
import unittest

import winehelper as wh


class FatalMessage(unittest.TestCase):
    def show(self, option, text):
        tool = wh.windows_path(wh.BUILD / "bgwindow.exe")
        process = wh.Process('"%s" %s "%s"' % (tool, option, text))
        window = wh.read_window(process.pid)
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), 0)
        return window

    def test_utf16_message_carries_the_program_title(self):
        window = self.show("--fatal-wide", "Kein Speicher für Übung")
        self.assertEqual(window["caption"], "FATAL ERROR - Tool Title Übung")
        self.assertEqual(wh.message_box_text(window), "Kein Speicher für Übung")

    def test_8bit_message_carries_the_program_title(self):
        window = self.show("--fatal", "Internal Fatal Error")
        self.assertEqual(window["caption"], "FATAL ERROR - Tool Title")
        self.assertEqual(wh.message_box_text(window), "Internal Fatal Error")


if __name__ == "__main__":
    unittest.main()
