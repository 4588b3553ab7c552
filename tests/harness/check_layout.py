"""Fails when a source file includes a header of a floor above its own, or of the other folder
of its own floor. The program is built in floors, each on the ones below it:

    setup/                the entry and the two flows (install sequence, uninstall sequence)
    actions/, uninstall/  the install actions; the uninstaller's removals (side by side)
    ui/                   the wizard, the background, progress and summary windows
    services/             log, progress, batches, path variables, the uninstall record, state
    package/              the payload container and the install script: stub and build tool
    core/, resources/     the system layer; resource ids

tools/ (the build tool) stands on package/ and core/ alone. Tests may include anything.

    check_layout.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

FLOORS = {"core": 0, "resources": 0, "package": 1, "services": 2, "ui": 3, "actions": 4,
          "uninstall": 4, "setup": 5, "tools": 2}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_0-9]+)/[^"]+"', re.M)


def faults(root):
    for folder, floor in FLOORS.items():
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in (".cpp", ".h"):
                continue
            for target in INCLUDE.findall(source.read_text(encoding="utf-8")):
                if target == folder or target not in FLOORS:
                    continue
                if FLOORS[target] >= floor:
                    line = f"{source.relative_to(root)} includes from {target}/"
                    yield line + (", beside it" if FLOORS[target] == floor else ", above it")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(faults(root))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layout's floors")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
