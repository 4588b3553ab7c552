"""Demonstration: the stub without a payload, started as a user would start it, under Wine."""
import sys

sys.path.insert(0, __import__("os").path.join(__import__("os").path.dirname(__file__), "..", "tests", "e2e"))
import winehelper as wh  # noqa: E402


def show(title, arguments, expect_window):
    _, stub = wh.stage_program(wh.BUILD / "tessarin-setup.exe", "demo", "tessarin-setup.exe")
    command = '"%s"%s' % (stub, " " + arguments if arguments else "")
    print("=" * 72)
    print("%s\n  command line: %s" % (title, command))
    process = wh.Process(command, timeout_ms=30000)
    if expect_window:
        window = wh.read_window(process.pid)
        print("  window caption: %s" % window["caption"])
        print("  message text:")
        for line in wh.message_box_text(window).split("\r\n"):
            print("    | " + line)
        wh.press(process.pid, "OK")
        print("  (pressed OK)")
    print("  exit code: %s" % process.wait())


def main():
    show("No payload, no options", "", True)
    show("Silent mode: no user interface at all", "/silent", False)
    show("A usage error", "/u", True)
    show("Uninstall mode with a product name", '/u:"Some Product"', False)


if __name__ == "__main__":
    main()
