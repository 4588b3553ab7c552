"""The build tool as publishers get it: `make install` into a prefix and `make dist`. The
installed tool finds its stub without --stub and builds the demo product; the Windows release
does the same from the folder its zip unpacks to, under Wine."""
import json
import os
import pathlib
import shutil
import subprocess
import tarfile
import tempfile
import unittest
import zipfile

import winehelper as wh

VERSION = "37.0.2"
DEMO = wh.SOURCE / "examples" / "demo" / "setup.toml"
# The release carries the 32-bit product stub and a 32-bit Windows tool. The 32-bit tier tests
# it whole; the 64-bit tier tests it only where the 32-bit tier cannot run, and then without
# starting the release's 32-bit programs.
RUNS_32 = subprocess.run([str(wh.SOURCE / "tests/harness/wine-loader.sh"), "can-run-32"],
                         capture_output=True).returncode == 0


def make(*args):
    """Runs a target of the top-level Makefile on this build tree."""
    result = subprocess.run(["make", "--no-print-directory", "-C", str(wh.SOURCE),
                             "BUILD=" + str(wh.BUILD.parent), *args],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("make %s failed:\n%s%s" % (" ".join(args), result.stdout,
                                                       result.stderr))
    return result.stdout


def run_tool(tool, *args, cwd):
    """Runs an installed tool with no stub named anywhere but in its own layout."""
    env = {k: v for k, v in os.environ.items() if k != "TESSARIN_STUB"}
    return subprocess.run([str(tool), *map(str, args)], cwd=cwd, env=env, capture_output=True,
                          text=True)


@unittest.skipIf(wh.IS_64BIT and RUNS_32, "the 32-bit tier tests the release of the 32-bit stub")
class Release(unittest.TestCase):
    def run_release_program(self):
        """Whether this run may start the release's 32-bit programs under Wine."""
        if not RUNS_32:
            print("not started: this machine cannot execute the release's 32-bit programs")
        return RUNS_32

    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tessarin-release-"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def check_demo_installer(self, installer, stub):
        """The installer is the demo product packed into exactly this stub."""
        dump = json.loads(wh.tessarin_build("--dump", installer).stdout)
        self.assertEqual(dump["script"]["productName"], "Demo Notes")
        self.assertIn("Documentation\\guide.txt", [f["name"] for f in dump["files"]])
        image = self.work / "uninstaller.exe"
        result = wh.tessarin_build("--uninstaller-image", installer, image)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(image.read_bytes(), pathlib.Path(stub).read_bytes())

    def test_installed_tool_builds_the_demo_without_naming_a_stub(self):
        prefix = self.work / "prefix"
        make("install", "PREFIX=" + str(prefix))
        for name in ("bin/tessarin-build", "share/tessarin/tessarin-setup.exe",
                     "share/doc/tessarin/MANIFEST.md", "share/doc/tessarin/MESSAGES.md"):
            self.assertTrue((prefix / name).is_file(), name)
        self.assertTrue(os.access(prefix / "bin/tessarin-build", os.X_OK))

        out = self.work / "demo-setup.exe"
        result = run_tool(prefix / "bin/tessarin-build", DEMO, "-o", out, cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.check_demo_installer(out, prefix / "share/tessarin/tessarin-setup.exe")
        # The installer runs: silently it reads its script and ends with exit code 1.
        if self.run_release_program():
            _, windows = wh.stage_program(out, "release", "demo-setup.exe")
            self.assertEqual(wh.Process('"%s" /silent' % windows).wait(), 1)

        # Without the installed stub the tool says where it looked and how to name one.
        (prefix / "share/tessarin/tessarin-setup.exe").unlink()
        result = run_tool(prefix / "bin/tessarin-build", DEMO, "-o", out, cwd=self.work)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no installer stub", result.stderr)
        self.assertIn(str(prefix / "share/tessarin/tessarin-setup.exe"), result.stderr)
        self.assertIn("--stub", result.stderr)

    def test_build_tree_tool_finds_the_build_tree_stub(self):
        if wh.NATIVE_BUILD.resolve().parent != wh.BUILD.resolve().parent:
            self.skipTest("the native and the cross tree are not siblings")
        out = self.work / "build-tree-demo.exe"
        result = run_tool(wh.NATIVE_BUILD / "tessarin-build", DEMO, "-o", out, cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.check_demo_installer(out, wh.BUILD.parent / "cross" / "tessarin-setup.exe")

    def test_dist_writes_a_linux_archive_and_a_windows_zip(self):
        dist = self.work / "dist"
        make("dist", "DIST=" + str(dist))
        linux = "tessarin-build-%s-linux-%s" % (VERSION, os.uname().machine)
        windows = "tessarin-build-%s-windows" % VERSION
        with tarfile.open(dist / (linux + ".tar.gz")) as archive:
            names = set(archive.getnames())
            archive.extractall(self.work / "linux")
        for name in ("bin/tessarin-build", "share/tessarin/tessarin-setup.exe",
                     "share/doc/tessarin/MANIFEST.md", "share/doc/tessarin/MESSAGES.md",
                     "share/tessarin/examples/demo/setup.toml",
                     "share/tessarin/examples/demo/files/notes.txt"):
            self.assertIn(linux + "/" + name, names)
        with zipfile.ZipFile(dist / (windows + ".zip")) as archive:
            self.assertEqual(sorted(n for n in archive.namelist() if not n.endswith("/")),
                             [windows + "/" + n for n in ("MANIFEST.md", "MESSAGES.md",
                                                          "tessarin-build.exe",
                                                          "tessarin-setup.exe")])
            archive.extractall(self.work / "windows")

        # The archive's own demo, built with the archive's own tool.
        root = self.work / "linux" / linux
        out = self.work / "linux-demo.exe"
        result = run_tool(root / "bin/tessarin-build",
                          root / "share/tessarin/examples/demo/setup.toml", "-o", out,
                          cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.check_demo_installer(out, root / "share/tessarin/tessarin-setup.exe")

        # The Windows tool finds the stub beside itself.
        if not self.run_release_program():
            return
        folder = self.work / "windows" / windows
        out = self.work / "windows-demo.exe"
        tool = folder / "tessarin-build.exe"
        result = subprocess.run([wh.loader_for(tool), str(tool),
                                 wh.windows_path(DEMO), "-o", wh.windows_path(out)],
                                env=wh.ENV, capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.check_demo_installer(out, folder / "tessarin-setup.exe")


if __name__ == "__main__":
    wh.main(verbosity=2)
