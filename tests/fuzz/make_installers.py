#!/usr/bin/env python3
"""Writes the payload fuzzer's seed corpus: the ".setup" sections of a few installers built by
tessarin-build (plain, enciphered, stored blocks), cut out of the built files.

usage: make_seeds.py TESSARIN_BUILD STUB.exe OUT_DIR
"""
import json
import pathlib
import subprocess
import sys
import tempfile


def main(tool, stub, out):
    out = pathlib.Path(out)
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        (tmp / "script").write_bytes(b"script " * 20)
        (tmp / "f1").write_bytes(b"hello\n")
        (tmp / "f2").write_bytes(bytes(range(256)) * 8)
        variants = {"plain": [], "cipher": ["--key", "0011223344556677"],
                    "stored": ["--stored-blocks", "--block-size", "100"]}
        for name, extra in variants.items():
            exe = tmp / (name + ".exe")
            subprocess.run([tool, "--stub", stub, "--script", tmp / "script", "--file", tmp / "f1",
                            "--file", tmp / "f2", "--block-size", "300", "-o", exe, *extra],
                           check=True)
            info = json.loads(subprocess.run([tool, "--dump", exe], check=True,
                                             capture_output=True, text=True).stdout)
            data = exe.read_bytes()
            start = info["section"]["rawOffset"]
            end = start + info["dataEnd"]
            (out / name).write_bytes(data[start:end])


if __name__ == "__main__":
    main(*sys.argv[1:])
