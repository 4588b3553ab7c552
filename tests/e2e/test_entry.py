"""The installer stub's entry under Wine: command lines given exactly, the messages the user
sees (read from the real message boxes) and the exit codes."""
import unittest

import winehelper as wh

NO_DATA = ("This program performs installations and uninstallations.\r\n"
           "There is no installation data present.\r\n"
           "No uninstallation parameters were specified.\r\n\r\n"
           "You should not delete this program or execute it directly.")

USAGE_TAIL = (
    "\r\n\r\nUsage:\r\n{name} [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] "
    "[/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
    "/a                  \tAutomatic mode.\r\n"
    "/d:\"dir\"        \tOverride installation path.\r\n"
    "/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
    "/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
    "/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
    "/n:\"name\"\tOverride product name.\r\n"
    "/u:\"name\"\tUninstall product by name.\r\n"
    "/r:\"program\"\tRun the specified program after a successful installation.\r\n"
    "/silent\tDisplay no user interface.")

# A file name with a blank and a character outside ASCII, to see it reach the usage text.
STUB_NAME = "Setup Übung.exe"


class Entry(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        _, cls.stub = wh.stage_program(wh.STUB, "entrytest", STUB_NAME)

    def command(self, arguments):
        return '"%s"%s' % (self.stub, (" " + arguments) if arguments else "")

    def show_and_dismiss(self, arguments):
        """Runs the stub, reads its message box, presses OK; returns (window, exit code)."""
        process = wh.Process(self.command(arguments))
        window = wh.read_window(process.pid)
        wh.press(process.pid, "OK")
        return window, process.wait()

    def run_quietly(self, arguments, timeout_ms=20000):
        """Runs the stub expecting it to end by itself (a message box would block it)."""
        return wh.Process(self.command(arguments), timeout_ms=timeout_ms).wait()

    def test_no_arguments_shows_the_no_installation_data_message(self):
        window, code = self.show_and_dismiss("")
        self.assertEqual(window["caption"], "Error")
        self.assertEqual(wh.message_box_text(window), NO_DATA)
        self.assertEqual(code, 1)

    def test_silent_ends_with_code_1_and_no_window(self):
        for arguments in ("/silent", "-SILENT", "/silent /x"):
            with self.subTest(arguments=arguments):
                self.assertEqual(self.run_quietly(arguments), 1)

    def test_uninstall_with_a_name_ends_with_code_0(self):
        # A product that is not installed: named in a message, and quietly under /a.
        window, code = self.show_and_dismiss('/u:"Some Product"')
        self.assertEqual(wh.message_box_text(window),
                         "No product named 'Some Product' is installed.")
        self.assertEqual(code, 0)
        self.assertEqual(self.run_quietly('/a /u:"Some Product"'), 0)

    def test_usage_errors_show_the_usage_message_with_the_program_name(self):
        cases = [
            ("/ux", "Product name required"),
            ("/u", "Product name required"),
            ("/bogus", "Illegal command line atom:\r\n/bogus"),
            ("/silently", "Illegal command line atom:\r\n/silently"),
            ('/a "C:\\some file"', "Unexpected command line parameter:\r\n\"C:\\some file\""),
            ("/\u00e9t\u00e9", "Illegal command line atom:\r\n/\u00e9t\u00e9"),
        ]
        for arguments, error in cases:
            with self.subTest(arguments=arguments):
                window, code = self.show_and_dismiss(arguments)
                self.assertEqual(window["caption"], "Error")
                self.assertEqual(wh.message_box_text(window),
                                 error + USAGE_TAIL.format(name=STUB_NAME))
                self.assertEqual(code, 1)

    def test_nineteen_options_are_read_and_the_twentieth_ignored(self):
        eighteen = " ".join(["/a"] * 18)
        # The nineteenth selects uninstall mode (exit 0); a read twentieth would be a usage error.
        self.assertEqual(self.run_quietly(eighteen + ' /u:"Some Product" /bogus'), 0)
        # One fewer in front and the same bogus option is read: usage error, exit 1 (silent).
        self.assertEqual(self.run_quietly(" ".join(["/a"] * 17) + " /silent /u /bogus"), 1)


if __name__ == "__main__":
    wh.main(verbosity=2)
