#!/usr/bin/env python3
"""Tessarin Setup against NSIS: the same generated product tree packed by both, installed
silently and uninstalled silently under Wine, in interleaved rounds in one prefix on tmpfs, then
installed once more per round into a prefix on disk.

    bench.py --builder TESSARIN_BUILD --cross DIR --cross64 DIR --work DIR
             [--profiles "tiny small"] [--rounds 3] [--out results.json]

Per profile and round it measures, for Tessarin Setup and for NSIS (zlib, not solid, the NSIS
default): the build time and the installer's size, the silent installation time, the peak
memory of the installing process, the silent uninstallation time (each product's registered
QuietUninstallString, up to the end of the uninstaller and of what it leaves running: our
self-removal script, the copy that the NSIS uninstaller starts from the temporary folder) and
the installation time into a prefix on disk. Each round runs the two products in turns, the
first one alternating; the table gives the median of the per-round ratios Tessarin / NSIS with
their minimum and maximum. Both installed trees must equal the source tree byte for byte and
both uninstallers must remove their folder and uninstall entry, or the run fails.

Peak memory is the high-water mark of the resident set (VmHWM in /proc/PID/status) of the Wine
process that runs the installer (the loader we start becomes that process), read every
2 ms until it ends: the last reading before the end can miss a rise in its last 2 ms.

On a machine that cannot execute 32-bit x86 code the 64-bit build of our stub is measured
alone, and the NSIS columns say why they are empty.
"""
import argparse
import filecmp
import json
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parents[1]
sys.path.insert(0, str(HERE))
import make_tree  # noqa: E402

UNINSTALL_FOLDER = "Uninstall"  # both products keep their uninstaller in this subfolder
POLL = 0.002  # seconds between two looks at a condition being timed
HANG_GUARD = 900  # seconds: a run that takes longer is stopped and the bench fails

MEASURES = [  # key, label, unit
    ("build_s", "build time", "s"),
    ("size_bytes", "installer size", "bytes"),
    ("install_s", "silent install (tmpfs)", "s"),
    ("uninstall_s", "silent uninstall (tmpfs)", "s"),
    ("peak_kib", "installer peak memory", "KiB"),
    ("disk_install_s", "silent install (disk)", "s"),
]


class BenchError(Exception):
    pass


def run_quiet(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          **kwargs).returncode == 0


# ---- NSIS and the machine ---------------------------------------------------------------------

def ensure_nsis():
    """Installs Debian's nsis package when it is missing (quietly; nothing when present).
    Returns (makensis path, None) or (None, the reason it cannot be used)."""
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "nsis"], capture_output=True,
                            text=True)
    if "install ok installed" not in status.stdout:
        print("Installing NSIS (Debian package nsis) for the comparison")
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        if not (run_quiet(sudo + ["apt-get", "update", "-qq"], env=env) and
                run_quiet(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                                  "nsis"], env=env)):
            return None, "the Debian package nsis could not be installed"
    makensis = shutil.which("makensis")
    if not makensis:
        return None, "makensis is not on the PATH after installing nsis"
    return makensis, None


def can_run_32():
    """(True, None) where this machine executes 32-bit x86 code, else (False, the reason)."""
    result = subprocess.run([str(SOURCE / "tests/harness/wine-loader.sh"), "can-run-32"],
                            capture_output=True, text=True)
    return result.returncode == 0, result.stdout.strip() or None


# ---- The product tree -------------------------------------------------------------------------

def compare_trees(source, installed, who):
    """Raises BenchError unless installed holds exactly source's folders and files with the same
    bytes, besides the uninstall subfolder."""
    def listing(root):
        entries = set()
        for folder, dirs, files in os.walk(root):
            relative = os.path.relpath(folder, root)
            for name in dirs + files:
                entries.add(os.path.normpath(os.path.join(relative, name)))
        return entries
    if not installed.is_dir():
        raise BenchError("%s: the install folder %s was not made" % (who, installed))
    expected = listing(source)
    got = {e for e in listing(installed)
           if e != UNINSTALL_FOLDER and not e.startswith(UNINSTALL_FOLDER + os.sep)}
    if expected != got:
        missing = sorted(expected - got)[:5]
        extra = sorted(got - expected)[:5]
        raise BenchError("%s: the installed tree %s differs from %s: missing %s, extra %s" %
                         (who, installed, source, missing, extra))
    filecmp.clear_cache()  # every round installs the same names with the same sizes and times
    for entry in sorted(expected):
        a, b = source / entry, installed / entry
        if a.is_file() != b.is_file():
            raise BenchError("%s: %s is not a %s" % (who, b, "file" if a.is_file() else "folder"))
        if a.is_file() and not filecmp.cmp(a, b, shallow=False):
            raise BenchError("%s: %s differs from the source file %s" % (who, b, a))


# ---- The installers ---------------------------------------------------------------------------

def toml_text(text):
    return json.dumps(text)  # a JSON string is a valid TOML basic string for these texts


def key_name(profile, product):
    return "TessarinBench-%s-%s" % (product, profile)


def write_ours(folder, profile, tree):
    manifest = folder / "setup.toml"
    manifest.write_text("""# Benchmark product: the generated tree, installed silently.
[product]
name = "Tessarin Bench %(profile)s"
company = "Tessarin Bench"
version = "1.0"
install-folder = %(default)s

[options]
conventional-exit-codes = true

[uninstall]
key-name = %(key)s
subfolder = "%(sub)s"

[[files]]
source = %(tree)s
""" % {"profile": profile, "default": toml_text("C:\\bench\\tessarin-" + profile),
       "key": toml_text(key_name(profile, "tessarin")), "sub": UNINSTALL_FOLDER,
       "tree": toml_text(str(tree))}, encoding="utf-8")
    return manifest


def write_nsis(folder, profile, tree, output):
    """An NSIS script as a publisher would write it: zlib (not solid, the default), the whole
    tree with File /r, an uninstaller in the uninstall subfolder registered with its
    QuietUninstallString, which removes the install folder and the entry."""
    script = folder / "setup.nsi"
    key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key_name(profile, "nsis")
    script.write_text("""Unicode true
SetCompressor zlib
Name "NSIS Bench {profile}"
OutFile "{output}"
InstallDir "C:\\bench\\nsis-{profile}"
RequestExecutionLevel admin

Section
  SetOutPath "$INSTDIR"
  File /r "{tree}/*"
  CreateDirectory "$INSTDIR\\{sub}"
  WriteUninstaller "$INSTDIR\\{sub}\\uninstall.exe"
  WriteRegStr HKLM "{key}" "DisplayName" "NSIS Bench {profile}"
  WriteRegStr HKLM "{key}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "{key}" "UninstallString" '"$INSTDIR\\{sub}\\uninstall.exe"'
  WriteRegStr HKLM "{key}" "QuietUninstallString" '"$INSTDIR\\{sub}\\uninstall.exe" /S'
SectionEnd

Section "Uninstall"
  ReadRegStr $0 HKLM "{key}" "InstallLocation"
  StrCmp $0 "" 0 +2
    Abort "no install folder recorded"
  DeleteRegKey HKLM "{key}"
  RMDir /r "$0"
SectionEnd
""".format(profile=profile, output=output, tree=tree, sub=UNINSTALL_FOLDER, key=key),
        encoding="utf-8")
    return script


def timed(command, what, **kwargs):
    start = time.perf_counter()
    result = subprocess.run(command, capture_output=True, text=True, timeout=HANG_GUARD, **kwargs)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise BenchError("%s failed (exit %d):\n%s%s" % (what, result.returncode, result.stdout,
                                                          result.stderr))
    return elapsed


# ---- Running under Wine -----------------------------------------------------------------------

class Prefix:
    """One Wine prefix with its environment for the winehelper functions."""

    def __init__(self, wh, env):
        self.wh = wh
        self.env = env
        self.path = pathlib.Path(env["WINEPREFIX"])

    def __enter__(self):
        self.saved = (self.wh.ENV, self.wh.PREFIX)
        self.wh.ENV, self.wh.PREFIX = self.env, self.path
        return self

    def __exit__(self, *exc):
        self.wh.ENV, self.wh.PREFIX = self.saved


def peak_memory_while(process):
    """Samples VmHWM of a running process in a thread; returns a function that, once the
    process has ended, gives the largest value seen (KiB) and the number of samples."""
    found = {"peak": 0, "samples": 0}
    status = "/proc/%d/status" % process.pid

    def sample():
        while process.poll() is None:
            try:
                with open(status) as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            found["peak"] = max(found["peak"], int(line.split()[1]))
                            found["samples"] += 1
                            break
            except OSError:
                break
            time.sleep(POLL)
    thread = threading.Thread(target=sample, daemon=True)
    thread.start()

    def result():
        thread.join()
        return found["peak"], found["samples"]
    return result


def install(wh, exe, arguments, who):
    """Starts a staged installer (C:\\bench\\NAME) with the loader of its bitness and waits
    for it; returns (seconds, peak KiB). The exit code must be 0."""
    command = [wh.LOADER, "C:\\bench\\" + exe.name, *arguments]
    start = time.perf_counter()
    process = subprocess.Popen(command, env=wh.ENV, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    peak = peak_memory_while(process)
    try:
        code = process.wait(timeout=HANG_GUARD)
    except subprocess.TimeoutExpired:
        process.kill()
        raise BenchError("%s: the installer did not end within %d s" % (who, HANG_GUARD))
    elapsed = time.perf_counter() - start
    if code != 0:
        raise BenchError("%s: %s ended with exit code %d" % (who, " ".join(command), code))
    kib, samples = peak()
    if samples == 0:
        raise BenchError("%s: the installer's memory could not be read" % who)
    return elapsed, kib


def wait_until(condition, what):
    deadline = time.perf_counter() + HANG_GUARD
    while not condition():
        if time.perf_counter() > deadline:
            raise BenchError("gave up waiting for " + what)
        time.sleep(POLL)


def wine_processes_with(env, text):
    """Whether a process of this prefix has text in its command line (Wine shows a Windows
    program's command line there)."""
    needle = text.encode("utf-8")
    prefix_entry = ("WINEPREFIX=" + env["WINEPREFIX"]).encode("utf-8")
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if needle not in f.read():
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix_entry in f.read().split(b"\0"):
                    return True
        except OSError:
            continue
    return False


def uninstall(wh, product, profile, install_dir):
    """Runs the product's QuietUninstallString and waits for everything it started; returns
    the seconds taken. The install folder and the uninstall entry must be gone."""
    key = wh.UNINSTALL + "\\" + key_name(profile, product)
    values = wh.reg_values(key) or {}
    if "QuietUninstallString" not in values:
        raise BenchError("%s: no QuietUninstallString in %s: %r" % (product, key, values))
    command = values["QuietUninstallString"][1]
    temp_before = wh.temp_entries()
    start = time.perf_counter()
    code = wh.Process(command, timeout_ms=HANG_GUARD * 1000).wait(timeout=HANG_GUARD + 60)
    if code != 0:
        raise BenchError("%s: %s ended with exit code %s" % (product, command, code))
    if product == "tessarin":
        # The uninstaller ends once its folders are gone; its self-removal script then deletes
        # the moved uninstaller and itself from the temporary folder.
        wait_until(lambda: wh.temp_entries() <= temp_before, "our self-removal script")
    else:
        # The NSIS uninstaller starts its copy in the temporary folder (with _?=<its folder>)
        # and ends; the copy does the removal.
        wait_until(lambda: not wine_processes_with(wh.ENV, "_?=" + wh_windows(install_dir)),
                   "the NSIS uninstaller's copy to end")
    elapsed = time.perf_counter() - start
    if install_dir.exists():
        raise BenchError("%s: the uninstallation left %s" % (product, install_dir))
    if wh.reg_values(key) is not None:
        raise BenchError("%s: the uninstallation left the entry %s" % (product, key))
    return elapsed


def wh_windows(folder):
    """C:\\bench\\NAME for a folder below the prefix's C:\\bench."""
    return "C:\\bench\\" + folder.name


def stage(wh, exe):
    target = wh.drive_c("bench")
    target.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(exe, target / exe.name)


def install_arguments(product, folder):
    if product == "tessarin":
        return ["/silent", "/d:" + wh_windows(folder)]
    return ["/S", "/D=" + wh_windows(folder)]


def round_trip(wh, product, profile, exe, tree, timed_uninstall=True):
    """Installs, compares the tree and uninstalls; returns (install s, peak KiB, uninstall s)."""
    folder = wh.drive_c("bench", "%s-%s" % (product, profile))
    if folder.exists():
        raise BenchError("%s: %s is there before the installation" % (product, folder))
    stage(wh, exe)
    seconds, kib = install(wh, exe, install_arguments(product, folder), product)
    compare_trees(tree, folder, product)
    removal = uninstall(wh, product, profile, folder)
    return seconds, kib, removal if timed_uninstall else None


# ---- The disk prefix --------------------------------------------------------------------------

def start_disk_prefix(wh, tmpfs_env, work):
    """A copy of the fresh tmpfs prefix under the work folder, with its own wineserver."""
    path = work / "disk-prefix"
    stop_disk_prefix(path)
    shutil.rmtree(path, ignore_errors=True)
    shutil.copytree(tmpfs_env["WINEPREFIX"], path, symlinks=True)
    env = dict(tmpfs_env, WINEPREFIX=str(path))
    subprocess.run(["wineserver", "-p"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run([wh.WINE64, "wineboot"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    keeper = subprocess.Popen([wh.LOADER, str(wh.BUILD / "desktop_keeper.exe")], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              stdin=subprocess.DEVNULL)
    return env, keeper


def stop_disk_prefix(path, keeper=None):
    if path.exists():
        env = dict(os.environ, WINEPREFIX=str(path))
        run_quiet(["wineserver", "-k"], env=env)
        run_quiet(["wineserver", "-w"], env=env)
    if keeper:
        keeper.wait()


# ---- Figures ----------------------------------------------------------------------------------

def summarize(rounds, nsis):
    figures = {}
    for key, _, _ in MEASURES:
        ours = [r["tessarin"][key] for r in rounds]
        entry = {"tessarin_median": statistics.median(ours)}
        if nsis:
            theirs = [r["nsis"][key] for r in rounds]
            ratios = [a / b for a, b in zip(ours, theirs) if b]
            entry["nsis_median"] = statistics.median(theirs)
            if ratios:
                entry.update(ratio_median=statistics.median(ratios), ratio_min=min(ratios),
                             ratio_max=max(ratios))
        figures[key] = entry
    return figures


def show(value, unit):
    if unit == "s":
        return "%.2f s" % value
    if unit == "bytes":
        return "%.2f MiB" % (value / 1048576)
    return "%.1f MiB" % (value / 1024)


def print_table(profile, result, nsis_missing, rounds):
    tree = result["tree"]
    print()
    print("Profile %s: %d files, %d folders, %.1f MiB; %d rounds; ratio = Tessarin / NSIS "
          "(below 1: Tessarin is faster or smaller)" % (
              profile, tree["files"], tree["folders"], tree["bytes"] / 1048576, rounds))
    print("  %-26s %12s %12s   %s" % ("measure", "Tessarin", "NSIS", "ratio median [min-max]"))
    for key, label, unit in MEASURES:
        figure = result["summary"][key]
        ours = show(figure["tessarin_median"], unit)
        if nsis_missing:
            print("  %-26s %12s %12s   %s" % (label, ours, "missing", "-"))
        else:
            # Sizes differ by fractions of a percent, which two decimals would round to 1.00.
            digits = 4 if unit == "bytes" else 2
            print("  %-26s %12s %12s   %.*f [%.*f-%.*f]" % (
                label, ours, show(figure["nsis_median"], unit), digits, figure["ratio_median"],
                digits, figure["ratio_min"], digits, figure["ratio_max"]))
    if nsis_missing:
        print("  NSIS missing: " + nsis_missing)


# ---- The run ----------------------------------------------------------------------------------

def bench_profile(wh, disk_env, profile, tree, summary, tools, rounds, work):
    folder = work / profile
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    ours_exe = folder / ("tessarin-%s.exe" % profile)
    nsis_exe = folder / ("nsis-%s.exe" % profile)
    manifest = write_ours(folder, profile, tree)
    script = write_nsis(folder, profile, tree, nsis_exe) if tools["makensis"] else None
    products = ["tessarin"] + (["nsis"] if script else [])
    results = []
    for number in range(rounds):
        order = products if number % 2 == 0 else products[::-1]
        print("  %s round %d of %d (%s)" % (profile, number + 1, rounds, ", ".join(order)),
              flush=True)
        figures = {p: {} for p in products}
        builds = {
            "tessarin": (lambda: timed([tools["builder"], manifest, "--stub", tools["stub"],
                                        "-o", ours_exe], "tessarin-build"), ours_exe),
            "nsis": (lambda: timed([tools["makensis"], "-V1", script], "makensis"), nsis_exe),
        }
        for product in order:
            build, exe = builds[product]
            figures[product]["build_s"] = build()
            figures[product]["size_bytes"] = exe.stat().st_size
        for product in order:
            exe = builds[product][1]
            seconds, kib, removal = round_trip(wh, product, profile, exe, tree)
            figures[product].update(install_s=seconds, peak_kib=kib, uninstall_s=removal)
        with Prefix(wh, disk_env):
            for product in order:
                seconds, _, _ = round_trip(wh, product, profile, builds[product][1], tree,
                                           timed_uninstall=False)
                figures[product]["disk_install_s"] = seconds
        results.append(figures)
    return {"tree": summary, "rounds": results,
            "summary": summarize(results, bool(script))}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--builder", required=True, type=pathlib.Path)
    parser.add_argument("--cross", required=True, type=pathlib.Path)
    parser.add_argument("--cross64", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--profiles", default="tiny small")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--out", type=pathlib.Path)
    args = parser.parse_args()
    profiles = args.profiles.split()
    for profile in profiles:
        if profile not in make_tree.PROFILES:
            sys.exit("bench.py: unknown profile %r (known: %s)" % (
                profile, ", ".join(sorted(make_tree.PROFILES))))
    if args.rounds < 1:
        sys.exit("bench.py: --rounds must be at least 1")
    work = args.work.resolve()
    work.mkdir(parents=True, exist_ok=True)
    out = (args.out or work / "results.json").resolve()

    runs_32, why_not_32 = can_run_32()
    if runs_32:
        cross, stub_name = args.cross.resolve(), "tessarin-setup.exe"
        makensis, nsis_missing = ensure_nsis()
    else:
        cross, stub_name = args.cross64.resolve(), "tessarin-setup64.exe"
        makensis, nsis_missing = None, "its installers are 32-bit programs: " + why_not_32
        print("Measuring our 64-bit stub alone: " + why_not_32)
    stub = cross / stub_name
    for needed in (args.builder, stub, cross / "runexact.exe", cross / "desktop_keeper.exe"):
        if not needed.is_file():
            sys.exit("bench.py: %s is missing (build it first)" % needed)

    # The Wine environment: a tree of links to the programs it runs, its prefix on tmpfs.
    wine_tree = work / ("wine32" if runs_32 else "wine64")
    wine_tree.mkdir(exist_ok=True)
    for name in (stub_name, "runexact.exe", "desktop_keeper.exe"):
        link = wine_tree / name
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(cross / name)
    env_script = str(SOURCE / "tests/harness/wine-env.sh")
    subprocess.run([env_script, "fresh", str(wine_tree)], check=True, stdout=subprocess.DEVNULL)
    os.environ.update(TESSARIN_BUILD=str(wine_tree), TESSARIN_SOURCE=str(SOURCE))
    sys.path.insert(0, str(SOURCE / "tests/e2e"))
    import winehelper as wh

    tools = {"builder": str(args.builder.resolve()), "stub": str(stub), "makensis": makensis}
    commit = subprocess.run(["git", "-C", str(SOURCE), "describe", "--always", "--dirty"],
                            capture_output=True, text=True).stdout.strip()
    results = {
        "date": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
        "commit": commit or None,
        "machine": {"executes_32bit": runs_32, "why_not_32bit": why_not_32,
                    "stub": stub_name, "cpus": os.cpu_count()},
        "nsis": {"version": subprocess.run([makensis, "-VERSION"], capture_output=True,
                                           text=True).stdout.strip() if makensis else None,
                 "missing": nsis_missing},
        "rounds": args.rounds,
        "memory_method": "VmHWM of the installer's Wine process, read every %g ms" % (
            POLL * 1000),
        "profiles": {},
    }
    disk_path = work / "disk-prefix"
    keeper = None
    status = 0
    try:
        disk_env, keeper = start_disk_prefix(wh, wh.ENV, work)
        for profile in profiles:
            tree, summary = make_tree.cached_tree(profile, work)
            print("Profile %s: %d files, %.1f MiB" % (profile, summary["files"],
                                                      summary["bytes"] / 1048576), flush=True)
            results["profiles"][profile] = bench_profile(wh, disk_env, profile, tree, summary,
                                                         tools, args.rounds, work)
        for profile, result in results["profiles"].items():
            print_table(profile, result, nsis_missing, args.rounds)
        out.write_text(json.dumps(results, indent=2) + "\n")
        print("\nFigures: %s" % out)
    except BenchError as error:
        print("bench failed: %s" % error, file=sys.stderr)
        status = 1
    finally:
        stop_disk_prefix(disk_path, keeper)
        shutil.rmtree(disk_path, ignore_errors=True)
        subprocess.run([env_script, "stop", str(wine_tree)], stdout=subprocess.DEVNULL)
    return status


if __name__ == "__main__":
    sys.exit(main())
