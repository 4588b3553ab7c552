"""Demonstration: packs the example product (examples/demo) into an installer with
tessarin-build, describes it, walks its wizard under Wine as a user would (language, greeting,
licence, folder, Start menu, progress, summary; a screenshot of each page goes to
<build>/demo-screenshots) and shows what a user and an administrator would look at (the
installed tree, the uninstall entry, the shortcuts, the head of Install.log, the exit code);
uninstalls it through the uninstaller's own question (the entry's UninstallString) and shows
that the tree, the entry and the shortcuts are gone; then shows what the installer says about a
damaged copy and what the bare stub says.

The demonstration fails when a page of the wizard does not come, when the installer or the
uninstaller crashes or hangs, or when the uninstallation leaves the tree, the entry or a
shortcut behind; a piece of the installation that is missing is reported as missing."""
import json
import os
import pathlib
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import winehelper as wh  # noqa: E402
import xscreen  # noqa: E402

OUT = wh.BUILD / "demo"
STEP_DELAY_MS = 300
UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Notes"


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
    example = wh.SOURCE / "examples" / "demo"
    # A copy of the example whose progress window lingers a little at each step, long enough
    # for its screenshot: the demo's few small files are otherwise written in a blink.
    source = OUT / "example"
    shutil.rmtree(source, ignore_errors=True)
    shutil.copytree(example, source)
    manifest = source / "setup.toml"
    manifest.write_text(manifest.read_text(encoding="utf-8").replace(
        "[wizard]\n", "[wizard]\nstep-delay = %d\n" % STEP_DELAY_MS), encoding="utf-8")
    result = wh.tessarin_build(manifest, "--stub", wh.STUB, "-o", installer)
    if result.returncode != 0:
        sys.exit("tessarin-build failed:\n" + result.stderr)
    info = json.loads(wh.tessarin_build("--dump", installer).stdout)
    script = info["script"]
    print("=" * 72)
    print("Stub: %s, the %s" % (wh.STUB.name, info["stub"]["description"]))
    print("Packed %s with tessarin-build into %s (%d bytes)" % (
        (example / "setup.toml").relative_to(wh.SOURCE), installer, installer.stat().st_size))
    print("  (with a step delay of %d ms, so that the progress window can be seen)"
          % STEP_DELAY_MS)
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


def section(title):
    print("=" * 72)
    print(title)


def crashed(code):
    """Exit codes of a process that ended through an exception (0xC0000005 and its kin)."""
    return code is not None and (code < 0 or code >= 0xC0000000)


def in_prefix(path):
    """The Windows name of a path on the prefix's C: drive."""
    return "C:\\" + str(path.relative_to(wh.drive_c())).replace("/", "\\")


def show_tree(folder):
    if not folder.is_dir():
        print("  %s: not there" % in_prefix(folder))
        return
    print("  %s:" % in_prefix(folder))
    for path in sorted(folder.rglob("*")):
        relative = str(path.relative_to(folder)).replace("/", "\\")
        if path.is_dir():
            print("    %10s  %s\\" % ("", relative))
        else:
            print("    %10d  %s" % (path.stat().st_size, relative))


def show_uninstall_entry():
    """The 64-bit reg.exe names the view the key is in: a 32-bit installer's key appears under
    WOW6432Node, a 64-bit one's directly under Software."""
    for label, key in (("64-bit view", "HKLM\\" + UNINSTALL_KEY),
                       ("32-bit view (WOW6432Node)",
                        "HKLM\\" + UNINSTALL_KEY.replace("Software\\", "Software\\WOW6432Node\\", 1))):
        result = wh.run_system64("reg.exe", "query", key)
        print("  reg query %s  [%s]" % (key, label))
        if result.returncode != 0:
            print("    (no such key)")
            continue
        for line in result.stdout.splitlines():
            if line.strip() and not line.startswith("HKEY_"):
                print("    " + line.strip())


def new_shortcuts(since):
    links = []
    for root in (wh.drive_c("users"), wh.drive_c("ProgramData")):
        # Not into the folders that Wine links to the Linux home.
        for folder, _, files in os.walk(root, followlinks=False):
            links += [pathlib.Path(folder, f) for f in files if f.lower().endswith(".lnk")]
    return sorted(p for p in links if p.stat().st_mtime >= since)


def show_shortcuts(since):
    links = new_shortcuts(since)
    if not links:
        print("  (no shortcut was made)")
    for link in links:
        print("  " + in_prefix(link))


def show_log_head(log, lines=20):
    if not log.is_file():
        print("  %s: not there" % in_prefix(log))
        return
    text = log.read_bytes().decode("utf-8-sig", errors="replace").splitlines()
    print("  %s (%d lines; the first %d):" % (in_prefix(log), len(text), min(lines, len(text))))
    for line in text[:lines]:
        print("    | " + line)


EXIT_MEANINGS = {1: "the installer's code at every end of an installation",
                 0: "installed", 3010: "installed, restart needed", 1641: "restart started",
                 1602: "cancelled", 1603: "failed"}


SHOTS = wh.BUILD / "demo-screenshots"
PAGE = ("--class", "#32770")


class PageMissing(Exception):
    pass


class Wizard:
    """One run of the demo installer or its uninstaller, page by page through the UI probe;
    each page is photographed once it shows."""

    def __init__(self, process):
        self.process = process
        self.pid = str(process.pid)
        self.display = xscreen.Display(wh.ENV["DISPLAY"])
        self.shots = 0

    def page(self, what, wanted, attempts=100):
        """Waits for the frontmost page or box for which wanted({control ids}) holds; returns
        the window. Raises PageMissing naming the page when it does not come."""
        for _ in range(attempts):
            code, windows = wh.probe("--pid", self.pid, *PAGE, "--dump")
            if code != 0 or not windows:
                break
            if wanted({c["id"] for c in windows[0]["controls"]}):
                return windows[0]
        raise PageMissing("the %s page did not come" % what)

    def screenshot(self, what, window):
        """The page's client area once two grabs in a row agree (the X server may show a
        window's surface a moment after it was painted). Only the client area: without a window
        manager nobody draws the frame."""
        left, top, right, bottom = window["client"]
        previous = None
        deadline = time.monotonic() + 10
        while True:
            shot = self.display.grab(left, top, right - left, bottom - top)
            if previous is not None and shot.same_as(previous) or time.monotonic() > deadline:
                break
            previous = shot
            time.sleep(0.05)
        self.shots += 1
        SHOTS.mkdir(parents=True, exist_ok=True)
        path = SHOTS / ("%02d-%s.png" % (self.shots, what))
        shot.save_png(path)
        return path

    def act(self, *actions, gone=True):
        arguments = ["--pid", self.pid, *PAGE, *actions]
        if gone:
            arguments += ["--wait-gone-ms", "15000"]
        code, lines = wh.probe(*arguments)
        if code != 0:
            raise PageMissing("the probe could not do %r (exit %d): %r" % (actions, code, lines))

    def record(self, what, window):
        """Prints the page's caption and first text and photographs it."""
        texts = [c["text"] for c in window["controls"]
                 if c["visible"] and c["text"] and c["class"].lower() == "static"]
        print("  %-11s %-40s %s" % (what, '"%s"' % window["caption"],
                                    self.screenshot(what, window).relative_to(wh.BUILD)))
        for text in texts[:1]:
            print("  %11s | %s" % ("", text.split("\r\n")[0][:70]))

    def show(self, what, wanted, *actions, gone=True):
        window = self.page(what, wanted)
        self.record(what, window)
        if actions:
            self.act(*actions, gone=gone)
        return window

    def close(self):
        self.display.close()

    def drive(self, steps, who):
        """Runs steps (the page actions), then waits for the program to end; returns its exit
        code, or None when a page did not come (the program is stopped) or it crashed or hung."""
        try:
            steps()
        except PageMissing as error:
            print("  " + str(error))
            wh.run_system64("taskkill.exe", "/F", "/PID", self.pid)
            self.process.wait(timeout=180)
            return None
        finally:
            self.close()
        code = self.process.wait(timeout=180)
        if code is None or crashed(code):
            print("  the %s %s" % (who, "did not end: stopped" if code is None else "crashed"))
            return None
        return code


def walk_wizard(installer):
    """Runs the demo installer as a user would, page by page; returns False when a page did not
    come or the installer crashed or hung."""
    _, windows = wh.stage_program(installer, "demo", "demo-notes-setup.exe")
    command = '"%s"' % windows
    section("Installing the demo through its wizard\n  command line: %s" % command)
    for old in SHOTS.glob("*.png") if SHOTS.is_dir() else []:
        old.unlink()
    process = wh.Process(command, timeout_ms=180000)
    wizard = Wizard(process)

    def pages():
        wizard.show("language", lambda ids: 1017 in ids, "--key", "enter")
        wizard.show("greeting", lambda ids: 65535 in ids, "--press-caption", "OK")
        wizard.show("licence", lambda ids: 1005 in ids, "--press-caption", "I Agree")
        wizard.show("folder", lambda ids: 1036 in ids, "--press-caption", "Next >")
        wizard.show("start-menu", lambda ids: 1015 in ids and 1036 not in ids,
                    "--press-caption", "Install")
        # The progress window stays only as long as the installation runs, which may be too
        # short for a screenshot.
        window = wizard.page("progress", lambda ids: 1007 in ids or 1025 in ids)
        if 1025 not in {c["id"] for c in window["controls"]}:
            wizard.record("progress", window)
        else:
            print("  progress    (gone before it could be photographed)")
        wizard.show("summary", lambda ids: 1025 in ids, "--uncheck", "1025", gone=False)
        wizard.act("--press-caption", "Finish")

    code = wizard.drive(pages, "installer")
    if code is None:
        return False
    print("  exit code: %d (%s)" % (code, EXIT_MEANINGS.get(code, "unexpected")))
    return True


def remove_leftover():
    """An earlier demo that stopped half-way may have left the demo installed: the wizard would
    then ask about replacing it instead of showing its folder page. It goes first, quietly."""
    values = wh.reg_values(uninstall_entry_key())
    if not values or "QuietUninstallString" not in values:
        return
    section("Removing the demo left installed by an earlier run\n  command line: %s"
            % values["QuietUninstallString"][1])
    temp_before = wh.temp_entries()
    print("  exit code: %s" % wh.Process(values["QuietUninstallString"][1]).wait(timeout=180))
    wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the self-removal script")


def installed_folder():
    """Where the installation went, as its uninstall entry says (InstallLocation): a 32-bit
    product lands in the x86 program-files folder of 64-bit Windows whichever build of the
    installer ran. None when the entry names no folder on drive C:."""
    values = wh.reg_values(uninstall_entry_key()) or {}
    location = values.get("InstallLocation", ("", ""))[1].rstrip("\\")
    if not location.lower().startswith("c:\\"):
        return None
    return wh.drive_c(*location[3:].split("\\"))


def show_installation(since):
    """Shows what the installation made; returns False when the entry names no folder, or the
    folder or its Install.log is missing."""
    install_dir = installed_folder()
    section("The installed tree (size in bytes, path)")
    if install_dir is None:
        print("  the uninstall entry names no install folder (InstallLocation)")
    else:
        show_tree(install_dir)
    section("The uninstall entry as the registry holds it")
    show_uninstall_entry()
    section("Shortcuts made by the installation")
    show_shortcuts(since)
    section("The head of Install.log")
    if install_dir is None:
        return False
    log = install_dir / "Uninstall" / "Install.log"
    show_log_head(log)
    return install_dir.is_dir() and log.is_file()


def uninstall_entry_key():
    """The uninstall entry in the 32-bit view, where the installer makes it."""
    return "HKLM\\" + UNINSTALL_KEY.replace("Software\\", "Software\\WOW6432Node\\", 1)


def installed_state(install_dir, since):
    """What the installation made, in a few words."""
    return {"install folder": "%d files and folders" % len(list(install_dir.rglob("*")))
            if install_dir.is_dir() else "not there",
            "uninstall entry": "present" if wh.reg_values(uninstall_entry_key()) is not None
            else "not there",
            "shortcuts": "%d" % len(new_shortcuts(since))}


def uninstall_through_dialogs(since):
    """Runs the UninstallString of the entry as a user starting it from the system's list of
    programs: its question, answered Yes, then its progress; waits for the uninstaller and its
    self-removal script, and shows what is left; returns False when it crashed, hung, did not
    ask or left something behind."""
    values = wh.reg_values(uninstall_entry_key())
    if not values or "UninstallString" not in values:
        section("Uninstalling the demo: the entry has no UninstallString")
        return False
    command = values["UninstallString"][1]
    section("Uninstalling the demo as the uninstall entry says\n  command line: %s" % command)
    install_dir = installed_folder()
    if install_dir is None:
        print("  the uninstall entry names no install folder (InstallLocation)")
        return False
    before = installed_state(install_dir, since)
    temp_before = wh.temp_entries()
    process = wh.Process(command, timeout_ms=120000)
    wizard = Wizard(process)
    wizard.shots = len(list(SHOTS.glob("*.png")))

    def question():
        window = wizard.show("uninstall-question", lambda ids: 65535 in ids)
        if "Demo Notes" not in wh.message_box_text(window):
            raise PageMissing("the question does not name the product")
        wizard.act("--press-caption", "Yes")

    code = wizard.drive(question, "uninstaller")
    if code is None:
        return False
    print("  exit code: %d" % code)
    # The self-removal script deletes the moved uninstaller, the emptied folders and itself.
    try:
        wh.wait_for(lambda: wh.temp_entries() <= temp_before, "the self-removal script")
    except AssertionError as error:
        print("  " + str(error))
    after = installed_state(install_dir, since)
    print("  %-16s %-28s %s" % ("", "before", "after"))
    for what in before:
        print("  %-16s %-28s %s" % (what, before[what], after[what]))
    show_tree(install_dir)
    return after == {"install folder": "not there", "uninstall entry": "not there",
                     "shortcuts": "0"}


def damaged_copy(installer, info):
    data = bytearray(installer.read_bytes())
    data[info["section"]["rawOffset"]] ^= 1  # the header's magic number
    path = OUT / "damaged-setup.exe"
    path.write_bytes(bytes(data))
    return path


def main():
    installer, info = pack()
    remove_leftover()
    since = time.time() - 1
    installed = walk_wizard(installer)
    shown = installed and show_installation(since)
    uninstalled = installed and uninstall_through_dialogs(since)
    screenshot_background_window(installer)
    run("A damaged copy of the demo installer", damaged_copy(installer, info),
        "damaged-setup.exe", expect_window=True)
    run("The bare stub, without a payload", wh.STUB, wh.STUB.name, expect_window=True)
    run("A usage error", wh.STUB, wh.STUB.name, "/u", expect_window=True)
    if not installed:
        sys.exit("The demo installation did not end properly (see above)")
    if not shown:
        sys.exit("The demo installation is missing what it should have made (see above)")
    if not uninstalled:
        sys.exit("The demo uninstallation did not end properly (see above)")


if __name__ == "__main__":
    main()
