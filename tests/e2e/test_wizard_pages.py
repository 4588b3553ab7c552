"""Single pages of the wizard under Wine and Xvfb, driven through the UI probe: a wrong password
is refused and the right one accepted; the pages speak the language chosen on the first page; a
licence in RTF shows as rich text without its byte-order mark; button images sit beside the
labels of the pages' and the questions' buttons. The installers and the walk are
test_wizard.py's."""
import unittest

import winehelper as wh
from test_wizard import CANCELLED, Walk, WizardTest


@wh.walked_in_tier(64)
class Password(WizardTest):
    def test_wrong_password_is_refused_and_the_right_one_accepted(self):
        installer = self.installer("Demo Notes Password",
                                   [("[product]\n", '[product]\npassword = "Open Sesame"\n')])
        walk = Walk(installer.start())
        walk.page(1017)
        walk.act("--key", "enter")
        walk.page(65535)
        walk.press("OK")
        controls, window = walk.page(1019)
        self.assertEqual(controls[1001]["text"], "OK")
        walk.act("--set-text", "1019", "open sesame", "--press", "1001", gone=False)
        refusal = wh.message_box_text(walk.page(65535)[1])
        self.assertEqual(refusal, "The password is incorrect. Please try again.")
        walk.press("OK")
        walk.act("--set-text", "1019", "Open Sesame", "--press", "1001")
        # The licence page follows the accepted password.
        walk.page(1005)
        walk.act("--key", "escape")
        walk.page(65535)
        walk.press("OK")
        self.assertEqual(walk.end(), CANCELLED)


@wh.walked_in_tier(64)
class German(WizardTest):
    def test_pages_speak_the_chosen_language(self):
        installer = self.installer("Demo Notes Sprache")
        walk = Walk(installer.start())
        walk.page(1017)
        walk.act("--select", "1017", "\tDeutsch", gone=False)
        walk.act("--key", "enter")
        _, box = walk.page(65535)
        self.assertEqual(box["caption"], "Demo Notes Sprache Installation")
        walk.press("OK")
        walk.page(1005)
        walk.press("I Agree")
        controls, page = walk.page(1015)
        self.assertEqual(page["caption"], "Demo Notes Sprache Installation")
        self.assertEqual(controls[1003]["text"], "Abbrechen")
        walk.act("--key", "escape")
        walk.page(65535)
        walk.press("OK")
        self.assertEqual(walk.end(), CANCELLED)


@wh.walked_in_tier(64)
class RichLicence(WizardTest):
    def test_rtf_licence_shows_as_rich_text_without_its_mark(self):
        rtf = b"\xef\xbb\xbf{\\rtf1\\ansi {\\b Rich} licence of the product.\\par}"
        installer = self.installer("Demo Notes Rich", [('licenses = ["LICENSE.txt"]',
                                                        'licenses = ["LICENSE.rtf"]')],
                                   {"LICENSE.rtf": rtf})
        walk = Walk(installer.start())
        walk.page(1017)
        walk.act("--key", "enter")
        walk.page(65535)
        walk.press("OK")
        controls, _ = walk.page(1005)
        self.assertIn("richedit", controls[1005]["class"].lower())
        self.assertEqual(controls[1005]["text"].strip(), "Rich licence of the product.")
        walk.press("I Do Not Agree")
        walk.page(65535)
        walk.press("OK")
        self.assertEqual(walk.end(), CANCELLED)


BS_ICON, BS_BITMAP = 0x40, 0x80  # button styles that show the image instead of the label


@wh.walked_in_tier(64)
class ButtonImages(WizardTest):
    """With button images (ProductFlags2 0x400) the pages' accept, cancel and browse buttons and
    the buttons of a question hold their image and keep their label, after one blank. Wine
    shows that the image is set and the button is not of a style that shows only its image; how
    common controls 6 draws the two side by side is seen on Windows only."""

    def assertImageBeside(self, controls, labels):
        for control_id, label in labels.items():
            with self.subTest(button=control_id):
                button = controls[control_id]
                self.assertTrue(button["image"], button)
                self.assertEqual(button["style"] & (BS_ICON | BS_BITMAP), 0, button)
                self.assertEqual(button["text"], " " + label)

    def test_buttons_carry_images_beside_their_labels(self):
        installer = self.installer("Demo Notes Images", [(
            "[options]\n", "[options]\nraw-product-flags2 = 1024\nask-create-folder = true\n")])
        walk = Walk(installer.start())
        controls, _ = walk.page(1017)
        self.assertImageBeside(controls, {1001: "&Next >", 1003: "Cancel"})
        walk.act("--key", "enter")
        walk.page(65535)
        walk.press("OK")
        controls, _ = walk.page(1005)
        self.assertImageBeside(controls, {1001: "I &Agree", 1003: "I &Do Not Agree"})
        walk.act("--press", "1001")
        controls, _ = walk.page(1015)
        self.assertImageBeside(controls, {1001: "&Next >", 1003: "Cancel", 1013: "&Browse..."})
        # The folder does not exist: the question whether to make it.
        walk.act("--press", "1001")
        controls, box = walk.page(65535)
        self.assertIn("does not exist", wh.message_box_text(box))
        self.assertImageBeside(controls, {6: "&Yes", 7: "&No"})
        walk.act("--press", "7")
        walk.page(1015)
        walk.act("--key", "escape")
        walk.page(65535)
        walk.press("OK")
        self.assertEqual(walk.end(), CANCELLED)


if __name__ == "__main__":
    wh.main(verbosity=2)
