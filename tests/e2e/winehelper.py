"""Running Windows programs of the build tree under Wine, with exact command lines, and
reading their windows through the UI probe.

The Wine environment (prefix, Xvfb display, persistent wineserver) is prepared by
tests/harness/wine-env.sh; CTest starts it as a fixture, and a test run on its own starts it
through the same script.
"""
import json
import os
import pathlib
import re
import shutil
import subprocess
import unittest
import tempfile
import time

SOURCE = pathlib.Path(os.environ.get("TESSARIN_SOURCE", pathlib.Path(__file__).resolve().parents[2]))
BUILD = pathlib.Path(os.environ.get("TESSARIN_BUILD", SOURCE / "build" / "cross"))
NATIVE_BUILD = pathlib.Path(os.environ.get("TESSARIN_NATIVE_BUILD", SOURCE / "build" / "native"))


def _stub():
    """The tree's stub: tessarin-setup.exe (32-bit, the product) or tessarin-setup64.exe (the
    64-bit build of the same sources)."""
    if os.environ.get("TESSARIN_STUB"):
        return pathlib.Path(os.environ["TESSARIN_STUB"])
    for name in ("tessarin-setup.exe", "tessarin-setup64.exe"):
        if (BUILD / name).exists():
            return BUILD / name
    return BUILD / "tessarin-setup.exe"


STUB = _stub()


def loader_for(program):
    """The Wine loader for a program, chosen by its bitness (never the "wine" wrapper's pick)."""
    return subprocess.run([str(SOURCE / "tests/harness/wine-loader.sh"), "for", str(program)],
                          check=True, capture_output=True, text=True).stdout.strip()


# The tree's own programs (stub, test tools) all have the stub's bitness.
LOADER = loader_for(STUB)

# The prefix's 64-bit system programs (C:\windows\system32 as a 64-bit process sees it) run
# with the 64-bit loader.
WINE64 = subprocess.run([str(SOURCE / "tests/harness/wine-loader.sh"), "64"], check=True,
                        capture_output=True, text=True).stdout.strip()
IS_64BIT = LOADER == WINE64


def tessarin_build(*args):
    """Runs the native build tool; returns the completed process (output as text)."""
    return subprocess.run([str(NATIVE_BUILD / "tessarin-build"), *map(str, args)],
                          capture_output=True, text=True)


def product_tier_runs():
    """Whether this machine runs the 32-bit tier: the product's own build."""
    return subprocess.run([str(SOURCE / "tests/harness/wine-loader.sh"), "can-run-32"],
                          capture_output=True).returncode == 0


def walked_in_tier(bits):
    """For the long page-by-page walks of the wizard, whose pages are the same code in both
    builds: where both tiers run, the walks are shared out between them (the tier of the other
    bitness says so in its list of skipped tests); where only the 64-bit tier can run, it walks
    them all."""
    def decorate(test):
        other = bits == 32 and IS_64BIT or bits == 64 and not IS_64BIT
        return unittest.skipIf(other and product_tier_runs(),
                               "the %d-bit tier walks these pages (the same code)" % bits)(test)
    return decorate


# Option lines for tests that look at the installer's own messages: without the wizard's greeting,
# folder, Start-menu and progress pages, the only windows are the ones under test.
NO_WIZARD = ("greeting-never = true\nfolder-page = false\nstart-menu-page = false\n"
             "progress-window = false\n")


def build_from_manifest(folder, manifest_text, output):
    """Writes setup.toml into folder and builds it with the cross-built stub; returns the
    completed process."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "setup.toml").write_text(manifest_text, encoding="utf-8")
    return tessarin_build(folder / "setup.toml", "--stub", STUB,
                          "-o", output)


def _environment():
    """The environment of the test's lane (tests/harness/wine-env.sh says what lanes are),
    started when the test runs on its own."""
    script = str(SOURCE / "tests/harness/wine-env.sh")
    where = subprocess.run([script, "where", str(BUILD)], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    state, prefix_link = pathlib.Path(where[0]), pathlib.Path(where[1])
    if not (state / "display").exists() or not prefix_link.exists():
        subprocess.run([script, "start", str(BUILD)], check=True, stdout=subprocess.DEVNULL)
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.realpath(prefix_link)
    env["DISPLAY"] = (state / "display").read_text().strip()
    env["WINEDEBUG"] = "-all"
    # Wine's recycle bin is the desktop's trash under XDG_DATA_HOME: kept in the lane's folder.
    env["XDG_DATA_HOME"] = str(state / "xdg-data")
    os.makedirs(env["XDG_DATA_HOME"], exist_ok=True)
    return env


ENV = _environment()
PREFIX = pathlib.Path(ENV["WINEPREFIX"])


def run_system64(program, *args, timeout=60):
    """Runs a 64-bit program of the prefix's system32 folder (such as reg.exe) with the 64-bit
    loader; returns the completed process (output as text; bytes that are not UTF-8, such as
    a value's 8-bit text, show as U+FFFD)."""
    return subprocess.run([WINE64, "C:\\windows\\system32\\" + program, *map(str, args)],
                          env=ENV, capture_output=True, text=True, errors="replace",
                          timeout=timeout)


def windows_path(path):
    """The Windows name of a Linux path (Wine maps / to drive Z:)."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def drive_c(*parts):
    return PREFIX.joinpath("drive_c", *parts)


def stage_program(exe, folder, name):
    """Copies a built program into the prefix's C: drive under a chosen file name."""
    target_dir = drive_c(folder)
    target_dir.mkdir(parents=True, exist_ok=True)
    target = target_dir / name
    shutil.copyfile(exe, target)
    return target, "C:\\" + folder + "\\" + name


class Process:
    """A program started with an exact command line through runexact.exe."""

    # The hang guard is generous: on a loaded machine a program may take many seconds to show
    # the window a test waits for, and a guard that fires first makes the test fail instead.
    def __init__(self, command_line, timeout_ms=120000):
        self._file = tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".cmdline",
                                                 delete=False)
        self._file.write(command_line)
        self._file.close()
        self.proc = subprocess.Popen(
            [LOADER, str(BUILD / "runexact.exe"), "--timeout-ms", str(timeout_ms),
             "--cmdline-file", windows_path(self._file.name)],
            env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline().split()
        if len(first) != 2 or first[0] != "pid":
            raise RuntimeError("runexact did not start the program: %r %s" %
                               (first, self.proc.stderr.read()))
        self.pid = int(first[1])

    def wait(self, timeout=120):
        """Returns the exit code, or None when runexact had to stop a hung program."""
        out, err = self.proc.communicate(timeout=timeout)
        os.unlink(self._file.name)
        last = out.strip().splitlines()[-1] if out.strip() else ""
        if last == "timeout":
            return None
        if not last.startswith("exit "):
            raise RuntimeError("unexpected runexact output: %r %r" % (out, err))
        return int(last.split()[1])


def probe(*args, timeout=60):
    """Runs uiprobe.exe; returns (exit code, parsed JSON lines)."""
    command = [LOADER, str(BUILD / "uiprobe.exe"), *args]
    try:
        result = subprocess.run(command, env=ENV, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        # Now and then the probe itself does not come back from a loaded Wine, while the window
        # it looks for is there: it is asked once more.
        result = subprocess.run(command, env=ENV, capture_output=True, timeout=timeout)
    lines = [json.loads(l) for l in result.stdout.decode("utf-8").splitlines() if l.strip()]
    return result.returncode, lines


def read_window(pid, wait_ms=20000):
    code, lines = probe("--pid", str(pid), "--wait-ms", str(wait_ms), "--dump")
    if code != 0 or not lines:
        raise AssertionError("no window for process %d (uiprobe exit %d)" % (pid, code))
    return lines[0]


def message_box_text(window):
    """The message text of a standard message box: the static control with id 65535."""
    for control in window["controls"]:
        if control["class"].lower() == "static" and control["id"] == 65535:
            return control["text"]
    raise AssertionError("no message text in %r" % window)


def press(pid, caption):
    code, _ = probe("--pid", str(pid), "--press-caption", caption, "--wait-gone-ms", "10000")
    if code != 0:
        raise AssertionError("could not press %r (uiprobe exit %d)" % (caption, code))


# The HKLM\Software key as the tree's programs see it: WOW6432Node for the 32-bit stub, the
# native key for the 64-bit build (reg.exe runs as a 64-bit program and sees both).
SOFTWARE = "HKLM\\Software" if IS_64BIT else "HKLM\\Software\\WOW6432Node"
# The uninstall entry is made in the 32-bit view, whatever the bitness of the installer.
UNINSTALL = "HKLM\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
# The shared-file counts, in the view of the tree's programs.
SHARED_DLLS = SOFTWARE + "\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"


def reg_values(key):
    """The values of a key as the 64-bit reg.exe lists them: {name: (type, data text)}, or
    None when the key does not exist."""
    result = run_system64("reg.exe", "query", key)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        match = re.match(r"^    (.*?)    (REG_\w+)(?:    (.*))?$", line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3) or "")
    return values


def reg_delete(key):
    run_system64("reg.exe", "delete", key, "/f")


def copy_fixture(name, folder, replacements=()):
    """Copies tests/e2e/fixtures/<name> into folder, with each (old, new) text replaced in its
    setup.toml; returns the manifest's path."""
    folder = pathlib.Path(folder)
    shutil.copytree(SOURCE / "tests/e2e/fixtures" / name, folder, dirs_exist_ok=True)
    manifest = folder / "setup.toml"
    text = manifest.read_text(encoding="utf-8")
    for old, new in replacements:
        text = text.replace(old, new)
    manifest.write_text(text, encoding="utf-8")
    return manifest


def run_installer(exe, folder, arguments=""):
    """Stages an installer under C:\\<folder> and starts it; returns the Process."""
    _, windows = stage_program(exe, folder, pathlib.Path(exe).name)
    return Process('"%s"%s' % (windows, " " + arguments if arguments else ""))


def start_menu_folders(name):
    """The Start-menu program folders of that name that exist: the users' and the all-users
    one. The users' other folders are never walked: a fresh prefix links them to the host's
    home."""
    menus = list(PREFIX.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/"
                             "Programs"))
    menus.append(drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs"))
    return [menu / name for menu in menus if (menu / name).is_dir()]


def temp_folders():
    """The temporary folders of the prefix: the users' (Wine makes them as users\\NAME\\Temp,
    Windows as AppData\\Local\\Temp) and the Windows one."""
    users = [*PREFIX.glob("drive_c/users/*/Temp"),
             *PREFIX.glob("drive_c/users/*/AppData/Local/Temp")]
    return [p for p in users if p.is_dir()] + [drive_c("windows", "temp")]


def temp_entries():
    """What the temporary folders hold: an uninstaller's self-removal is over when nothing
    is left there that was not there before it started."""
    return {p for folder in temp_folders() if folder.is_dir() for p in folder.iterdir()}


def wait_for(condition, what, attempts=2400):
    """Checks condition every 50 ms; a hang guard of two minutes, not a timing assumption."""
    for _ in range(attempts):
        if condition():
            return
        time.sleep(0.05)
    raise AssertionError("gave up waiting for " + what)


def shared_count(path):
    """The shared-file count of a path (0 when it has none)."""
    value = (reg_values(SHARED_DLLS) or {}).get(path)
    return int(value[1], 16) if value else 0
