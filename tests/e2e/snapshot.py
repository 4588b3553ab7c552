"""A snapshot of the Wine prefix, to show what a program left behind: every file and folder on
drive C: (with size and SHA-256) and the registry of the machine and of the user in both views,
as the 64-bit reg.exe exports it (the 32-bit view is the WOW6432Node part of that export).

    before = snapshot.take()
    ...
    differences = snapshot.diff(before, snapshot.take())

diff() lists every difference except those of WINE_CHURN, a short list of things Wine itself
changes while programs run; each entry says why it is Wine's and not ours. Run as a script, it
takes two snapshots around a command (or around nothing) and prints what differs:

    python3 snapshot.py [--all] [-- COMMAND LINE...]

(--all: Wine's churn included).
"""
import hashlib
import os
import pathlib
import re
import stat
import sys
import tempfile

import winehelper as wh

# Registry roots exported. The 64-bit export of HKLM holds HKLM\Software\WOW6432Node (the
# 32-bit view) and, through HKLM\Software\Classes, the classes root; the user's hive holds the
# user's own Software\Wow6432Node where Wine keeps one.
ROOTS = ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER")

# What Wine changes on its own while our programs run: (key pattern, value name or None for
# the whole key, why it is Wine's). Patterns are matched against the whole key path
# (case-insensitively). A residue of ours would have to live in one of these very places to
# hide, so the list holds only churn seen in real runs, each as narrow as it allows; add to it
# only what a run shows to be Wine's, with the reason.
WINE_CHURN = [
    # The console host stores the window settings of each console it opened; a hidden console
    # (our batch scripts run in one) makes a key named after the program's path, and the
    # first console of a fresh prefix makes the Console key itself, which Windows ships with.
    (r"HKEY_CURRENT_USER\\Console(\\.*)?", None,
     "the console host's per-program window settings"),
    # Wine's shell32 writes a folder's default into this key the first time a 64-bit program
    # asks for the folder (the installer resolves every path variable); Windows has the
    # folder's value from the start.
    (r"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion",
     "ProgramFilesCommonX64", "shell32's cached default of a known folder"),
    # Each new desktop session of Wine's graphics driver registers its display adapters under
    # a fresh identifier (seen when the machine was loaded and explorer was restarted).
    (r"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\\{[0-9a-f-]+\}(\\0000)?",
     None, "the graphics driver's display adapters of a new desktop session"),
    # Wine's user32 keeps the session's mouse parameters in a volatile key of its own once a
    # program has the system's mouse settings applied (seen when the wizard's pages were driven).
    (r"HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters(\\.*)?", None,
     "user32's volatile copy of the session's mouse parameters"),
]


def _churn(key, value=None):
    return any(re.fullmatch(pattern, key, re.IGNORECASE) and name in (None, value)
               for pattern, name, _ in WINE_CHURN)


_hash_cache = {}


def _sha256(path, info):
    # A file whose inode, size, modification and change time are those of a file already read
    # has its content: the change time moves on every write and cannot be set back.
    identity = (info.st_dev, info.st_ino, info.st_size, info.st_mtime_ns, info.st_ctime_ns)
    if identity not in _hash_cache:
        digest = hashlib.sha256()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
        _hash_cache[identity] = digest.hexdigest()
    return _hash_cache[identity]


def files(root=None):
    """{Windows path: description} for every file, folder and link below drive C:. Links are
    listed with their target and not followed; an unreadable entry is listed with its error."""
    root = pathlib.Path(root or wh.drive_c())
    found = {}

    def name(path):
        relative = os.path.relpath(path, root)
        return "C:\\" + ("" if relative == "." else relative.replace("/", "\\"))

    def walk_error(error):
        found[name(error.filename)] = "unreadable: %s" % error.strerror

    for folder, dirs, names in os.walk(root, onerror=walk_error, followlinks=False):
        for entry in dirs + names:
            path = os.path.join(folder, entry)
            try:
                info = os.lstat(path)
                if stat.S_ISLNK(info.st_mode):
                    found[name(path)] = "link to %s" % os.readlink(path)
                elif stat.S_ISDIR(info.st_mode):
                    found[name(path)] = "folder"
                elif stat.S_ISREG(info.st_mode):
                    found[name(path)] = "%d bytes, sha256 %s" % (info.st_size,
                                                                 _sha256(path, info))
                else:
                    found[name(path)] = "special file %o" % info.st_mode
            except OSError as error:
                found[name(path)] = "unreadable: %s" % error.strerror
    return found


def parse_reg_export(text):
    """{key: {value name: data text}} from the text of a .reg export ("@" is the default
    value; continued lines are joined)."""
    keys = {}
    current = None
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and line and not line.startswith(";"):
            match = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            if not match:
                raise ValueError("unexpected line in the registry export: %r" % line)
            current[match.group(1)] = match.group(2)
    return keys


def registry():
    """{key: {value name: data text}} of ROOTS, from the 64-bit reg.exe's exports."""
    keys = {}
    with tempfile.TemporaryDirectory(prefix="tessarin-snapshot-") as folder:
        for root in ROOTS:
            target = pathlib.Path(folder) / (root + ".reg")
            result = wh.run_system64("reg.exe", "export", root, wh.windows_path(target), "/y",
                                     timeout=300)
            if result.returncode != 0 or not target.exists():
                raise RuntimeError("reg export %s failed: %s%s" % (root, result.stdout,
                                                                   result.stderr))
            data = target.read_bytes()
            text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else \
                data.decode("utf-8", errors="replace")
            keys.update(parse_reg_export(text))
    return keys


class Snapshot:
    def __init__(self, file_entries, keys):
        self.files = file_entries
        self.keys = keys


def take(with_registry=True):
    """The prefix's files and, unless with_registry is False, its registry. The registry export
    takes seconds; a check between the steps of one test may look at the files alone and leave
    the registry to the check at the test's end."""
    return Snapshot(files(), registry() if with_registry else None)


def diff(before, after, churn=True):
    """Every difference between two snapshots as lines of text, sorted, without Wine's own
    churn (unless churn is False)."""
    lines = []
    for path in sorted(set(before.files) | set(after.files)):
        old, new = before.files.get(path), after.files.get(path)
        if old == new:
            continue
        if old is None:
            lines.append("file added: %s (%s)" % (path, new))
        elif new is None:
            lines.append("file removed: %s (%s)" % (path, old))
        else:
            lines.append("file changed: %s (%s -> %s)" % (path, old, new))
    if before.keys is None or after.keys is None:
        return lines
    for key in sorted(set(before.keys) | set(after.keys)):
        old, new = before.keys.get(key), after.keys.get(key)
        if old is None or new is None:
            if churn and _churn(key):
                continue
            lines.append("key %s: %s %r" % ("added" if old is None else "removed", key,
                                            new if old is None else old))
            continue
        if old == new or (churn and _churn(key)):
            continue
        for value in sorted(set(old) | set(new)):
            if old.get(value) == new.get(value) or (churn and _churn(key, value.strip('"'))):
                continue
            if value not in old:
                lines.append("value added: %s [%s] = %s" % (key, value, new[value]))
            elif value not in new:
                lines.append("value removed: %s [%s] = %s" % (key, value, old[value]))
            else:
                lines.append("value changed: %s [%s]: %s -> %s" % (key, value, old[value],
                                                                  new[value]))
    return lines


def main(argv):
    options, command = (argv[:argv.index("--")], argv[argv.index("--") + 1:]) \
        if "--" in argv else (argv, [])
    before = take()
    if command:
        print("exit code %s" % wh.Process(" ".join(command)).wait())
    for line in diff(before, take(), churn="--all" not in options):
        print(line)


if __name__ == "__main__":
    main(sys.argv[1:])
