"""Demonstration: packs the example product (examples/demo) into an installer with
tessarin-build, describes it, and runs it under Wine as a user would; then shows what the
installer says about a damaged copy and what the bare stub says."""
import json
import os
import pathlib
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import winehelper as wh  # noqa: E402
import xscreen  # noqa: E402

OUT = wh.BUILD / "demo"


def run(title, exe, name, arguments="", expect_window=False):
    _, windows = wh.stage_program(exe, "demo", name)
    command = '"%s"%s' % (windows, " " + arguments if arguments else "")
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


def pack():
    OUT.mkdir(parents=True, exist_ok=True)
    installer = OUT / "demo-notes-setup.exe"
    manifest = wh.SOURCE / "examples" / "demo" / "setup.toml"
    result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", installer)
    if result.returncode != 0:
        sys.exit("tessarin-build failed:\n" + result.stderr)
    info = json.loads(wh.tessarin_build("--dump", installer).stdout)
    script = info["script"]
    print("=" * 72)
    print("Stub: %s, the %s" % (wh.STUB.name, info["stub"]["description"]))
    print("Packed %s with tessarin-build into %s (%d bytes)" % (
        manifest.relative_to(wh.SOURCE), installer, installer.stat().st_size))
    print("  product:   %s %s by %s" % (script["productName"], script["version"],
                                       script["companyName"]))
    print("  folder:    %s" % script["defaultInstallDir"])
    print("  languages: %s (the installer starts in %s)" % (
        ", ".join(script["languages"]), script["languages"][script["currentLanguage"]]))
    print("  messages:  %d per language; licence pages: %d" % (script["messageCount"],
                                                              script["licensePages"]))
    print("  files:")
    for f in info["files"]:
        print("    %-28s %6d bytes  checksum %s" % (f["name"], f["size"], f["checksum"]))
    return installer, info


def screenshot_background_window(installer):
    """The stub closes its background window as soon as it has read the script (the wizard
    comes later), so the test tool that builds the window through the same script reader keeps
    it on screen for a screenshot."""
    status = OUT / "window-status.txt"
    status.unlink(missing_ok=True)
    settings = OUT / "window-settings.txt"
    settings.write_text("Installer=%s\nStatusFile=%s\n" % (wh.windows_path(installer),
                                                          wh.windows_path(status)))
    process = wh.Process('"%s" "%s"' % (wh.windows_path(wh.BUILD / "bgwindow.exe"),
                                        wh.windows_path(settings)))
    deadline = time.monotonic() + 30
    while not status.exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    print("=" * 72)
    if not status.exists():
        print("The background window did not appear")
        return
    values = {line.split()[0]: [int(v) for v in line.split()[1:]]
              for line in status.read_text().splitlines()}
    left, top, right, bottom = values["client"]
    time.sleep(0.5)
    display = xscreen.Display(wh.ENV["DISPLAY"])
    shot = display.grab(left, top, right - left, bottom - top)
    display.close()
    png = OUT / "background-window.png"
    shot.save_png(png)
    print("The demo's background window, drawn from its install script (%dx%d)" % (
        right - left, bottom - top))
    print("  colour at the top: #%02X%02X%02X, at the bottom: #%02X%02X%02X" % (
        *shot.pixel(left + 1, top), *shot.pixel(left + 1, bottom - 1)))
    print("  screenshot: %s" % png)
    wh.probe("--pid", str(process.pid), "--close", "--wait-gone-ms", "10000")
    process.wait()


def damaged_copy(installer, info):
    data = bytearray(installer.read_bytes())
    data[info["section"]["rawOffset"]] ^= 1  # the header's magic number
    path = OUT / "damaged-setup.exe"
    path.write_bytes(bytes(data))
    return path


def main():
    installer, info = pack()
    run("The demo installer: it reads its payload and install script, then ends (the wizard "
        "and the install actions come in later versions)", installer, "demo-notes-setup.exe")
    screenshot_background_window(installer)
    run("The demo installer in silent mode", installer, "demo-notes-setup.exe", "/silent")
    run("A damaged copy of the demo installer", damaged_copy(installer, info),
        "damaged-setup.exe", expect_window=True)
    run("The bare stub, without a payload", wh.STUB, wh.STUB.name, expect_window=True)
    run("A usage error", wh.STUB, wh.STUB.name, "/u", expect_window=True)


if __name__ == "__main__":
    main()
