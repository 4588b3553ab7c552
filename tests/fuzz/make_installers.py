#!/usr/bin/env python3
"""Builds the real installers that every fuzz target's seed corpus is cut from: the demo product
packed from its manifest (compressed, enciphered, stored), and installers of a bare script with
small blocks, so that records straddle blocks (plain, enciphered, stored).

usage: make_installers.py TESSARIN_BUILD STUB.exe SOURCE_DIR OUT_DIR
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile


def build_demo(tool, stub, source, out, tmp):
    demo = tmp / "demo"
    shutil.copytree(source / "examples" / "demo", demo)
    manifest = (demo / "setup.toml").read_text()
    variants = {"demo": "", "demo_cipher": 'cipher-key = "0011223344556677"\n',
                "demo_stored": "compress = false\n"}
    for name, options in variants.items():
        path = demo / (name + ".toml")
        path.write_text(manifest.replace("[options]\n", "[options]\n" + options, 1))
        subprocess.run([tool, path, "--stub", stub, "-o", out / (name + ".exe")], check=True,
                       stdout=subprocess.DEVNULL)


def build_bare(tool, stub, out, tmp):
    (tmp / "script").write_bytes(b"script " * 20)
    (tmp / "f1").write_bytes(b"hello\n")
    (tmp / "f2").write_bytes(bytes(range(256)) * 8)
    variants = {"bare": [], "bare_cipher": ["--key", "0011223344556677"],
                "bare_stored": ["--stored-blocks", "--block-size", "100"]}
    for name, extra in variants.items():
        subprocess.run([tool, "--stub", stub, "--script", tmp / "script", "--file", tmp / "f1",
                        "--file", tmp / "f2", "--block-size", "300", "-o", out / (name + ".exe"),
                        *extra], check=True, stdout=subprocess.DEVNULL)


def main(tool, stub, source, out):
    out = pathlib.Path(out)
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        build_demo(tool, stub, pathlib.Path(source), out, tmp)
        build_bare(tool, stub, out, tmp)


if __name__ == "__main__":
    main(*sys.argv[1:])
