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
import select
import shutil
import subprocess
import sys
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
    command = [WINE64, "C:\\windows\\system32\\" + program, *map(str, args)]
    code, out, err = _run_to_files(command, timeout)

    def text(data):  # as text mode reads it: universal newlines
        return data.decode("utf-8", "replace").replace("\r\n", "\n").replace("\r", "\n")

    return subprocess.CompletedProcess(command, code, text(out), text(err))


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


def _run_to_files(command, timeout):
    """Runs a Wine program with its output going to temporary files, not pipes: a program that
    opens a window may start Wine's desktop process, which inherits its output handles and
    keeps a pipe open long after the program ended. Returns (exit code, stdout, stderr) as
    bytes; raises AssertionError when the program does not end within timeout seconds."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            code = subprocess.run(command, env=ENV, stdout=out, stderr=err,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            raise AssertionError("%s did not end within %d s" % (command[1], timeout)) from None
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


class Process:
    """A program started with an exact command line through runexact.exe.

    runexact's output is read line by line as it comes ("pid N" at the start, "exit N" or
    "timeout" at the end), never to the end of the pipe: Wine's desktop process, started when
    the program opens its first window, inherits the pipe and may hold it open until the last
    window of the session is gone."""

    # The hang guard is generous: on a loaded machine a program may take many seconds to show
    # the window a test waits for, and a guard that fires first makes the test fail instead.
    def __init__(self, command_line, timeout_ms=120000, cwd=None):
        self._file = tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".cmdline",
                                                 delete=False)
        self._file.write(command_line)
        self._file.close()
        self._errors = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            [LOADER, str(BUILD / "runexact.exe"), "--timeout-ms", str(timeout_ms),
             *(["--cwd", cwd] if cwd else []), "--cmdline-file", windows_path(self._file.name)],
            env=ENV, stdout=subprocess.PIPE, stderr=self._errors)
        self._pending = b""
        self._code = None
        first = (self._line(120) or "").split()
        if len(first) != 2 or first[0] != "pid":
            raise RuntimeError("runexact did not start the program: %r %s" %
                               (first, self._error_text()))
        self.pid = int(first[1])

    def __del__(self):
        # The pipe stays open after wait() for wait_until_output_closed; it goes with the object.
        if getattr(self, "proc", None) and self.proc.stdout and not self.proc.stdout.closed:
            self.proc.stdout.close()

    def _error_text(self):
        self._errors.seek(0)
        return self._errors.read().decode("utf-8", "replace")

    def _line(self, timeout):
        """The next line of runexact's output; None at its end. Raises TimeoutError when no
        line comes within timeout seconds."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("runexact wrote no line within %d s" % timeout)
            if not select.select([self.proc.stdout], [], [], left)[0]:
                continue
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                if not self._pending:
                    self.proc.stdout.close()
                    return None
                chunk = b"\n"
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line.decode("utf-8", "replace").rstrip("\r")

    def wait(self, timeout=120):
        """Returns the exit code as soon as runexact reports it, or None when runexact had to
        stop a hung program."""
        if self._code is None:
            line = self._line(timeout)
            while line is not None and not (line.startswith("exit ") or line == "timeout"):
                line = self._line(timeout)
            if line is None:
                raise RuntimeError("runexact ended without an exit line: %s" % self._error_text())
            self._code = "timeout" if line == "timeout" else int(line.split()[1])
            self.proc.wait(timeout=30)
            self._errors.close()
            os.unlink(self._file.name)
        return None if self._code == "timeout" else self._code

    def wait_until_output_closed(self, timeout=120):
        """Waits until every process that inherited runexact's output (the programs the
        started program started in turn) has ended; returns the exit code as wait() does."""
        code = self.wait(timeout)
        while self._line(timeout) is not None:
            pass
        return code


def probe(*args, timeout=60):
    """Runs uiprobe.exe; returns (exit code, parsed JSON lines)."""
    code, out, _ = _run_to_files([LOADER, str(BUILD / "uiprobe.exe"), *args], timeout)
    lines = [json.loads(l) for l in out.decode("utf-8").splitlines() if l.strip()]
    return code, lines


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


# Wine's own programs, which it starts in a prefix when a program first needs them and which
# stay for the prefix's life: they are not anything a test left behind.
WINE_SERVICES = {"wineserver", "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
                 "rpcss.exe", "explorer.exe", "tabtip.exe"}


def _process_name(command_line):
    first = command_line.split("\0", 1)[0]
    return re.split(r"[\\/]", first)[-1].lower()


def lane_processes():
    """{Linux pid: command line} of every process running in this lane's prefix, read from
    /proc (a Wine process carries its prefix in its environment)."""
    mark = ("WINEPREFIX=" + ENV["WINEPREFIX"]).encode()
    found = {}
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry.name, "rb") as f:
                if mark not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % entry.name, "rb") as f:
                command_line = f.read().decode("utf-8", "replace").rstrip("\0")
        except OSError:
            continue  # ended meanwhile, or not ours to read
        found[int(entry.name)] = command_line
    return found


def visible_windows():
    """{handle: (class, caption, Windows pid)} of the lane desktop's visible top-level
    windows."""
    code, lines = probe("--list")
    return {w["hwnd"]: (w["class"], w["caption"], w["pid"]) for w in lines} if code == 0 else {}


def leftovers(before_processes, before_windows, grace_attempts=600):
    """What a test file left running: programs started since, other than Wine's own services,
    and visible windows that were not there before; [] when it left nothing. Programs that are
    on their way out get grace_attempts times 50 ms (thirty seconds) to end; the programs left
    after that are ended."""
    def programs():
        return {pid: line for pid, line in lane_processes().items()
                if pid not in before_processes and _process_name(line) not in WINE_SERVICES}

    def windows():
        return {h: w for h, w in visible_windows().items() if h not in before_windows}

    try:
        wait_for(lambda: not programs() and not windows(), "the test's programs to end",
                 attempts=grace_attempts)
        return []
    except AssertionError:
        pass
    found = ["window %r of class %r (process %s)" % (w[1], w[0], w[2])
             for w in windows().values()]
    for pid, line in programs().items():
        found.append("program %s" % line.replace("\0", " "))
        try:
            os.kill(pid, 9)  # the next test file starts alone
        except OSError:
            pass
    return found


def main(verbosity=1):
    """unittest.main for a test file, followed by the check that the file left the lane as it
    found it: no program of its own still running and no new window on the desktop. A leftover
    fails the file (and is ended, so that the next file starts alone)."""
    before_processes, before_windows = lane_processes(), visible_windows()
    program = unittest.main(verbosity=verbosity, exit=False)
    left = leftovers(before_processes, before_windows)
    for line in left:
        print("LEFT BEHIND by this test file: " + line, file=sys.stderr)
    sys.exit(0 if program.result.wasSuccessful() and not left else 1)
