"""The fatal-error display of the dialog framework: the message box the user sees, read from
the real window."""
import unittest

import winehelper as wh


class FatalMessage(unittest.TestCase):
    def show(self, option, text, exit_code=0):
        tool = wh.windows_path(wh.BUILD / "bgwindow.exe")
        process = wh.Process('"%s" %s "%s"' % (tool, option, text))
        window = wh.read_window(process.pid)
        wh.press(process.pid, "OK")
        self.assertEqual(process.wait(), exit_code)
        return window

    def test_utf16_message_carries_the_program_title(self):
        window = self.show("--fatal-wide", "Kein Speicher für Übung")
        self.assertEqual(window["caption"], "FATAL ERROR - Tool Title Übung")
        self.assertEqual(wh.message_box_text(window), "Kein Speicher für Übung")

    def test_8bit_message_carries_the_program_title(self):
        window = self.show("--fatal", "Internal Fatal Error")
        self.assertEqual(window["caption"], "FATAL ERROR - Tool Title")
        self.assertEqual(wh.message_box_text(window), "Internal Fatal Error")

    def test_fatal_error_before_the_program_has_a_handler_is_shown(self):
        # The dialog framework's start-up makes the fatal message the display of the
        # library's fatal errors; the process then ends with code 1.
        cases = [("--raise-fatal", "Défaut interne", "FATAL ERROR - Tool Title"),
                 ("--raise-fatal-wide", "Ошибка: нет памяти", "FATAL ERROR - Tool Title Übung")]
        for option, text, caption in cases:
            with self.subTest(option=option):
                window = self.show(option, text, exit_code=1)
                self.assertEqual(window["caption"], caption)
                self.assertEqual(wh.message_box_text(window), text)


if __name__ == "__main__":
    wh.main()
