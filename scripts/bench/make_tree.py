#!/usr/bin/env python3
"""Writes a synthetic product tree for the installer benchmarks. The tree depends only on the
profile and the seed: the same names, contents, sizes and modification times on every machine.

    make_tree.py --profile tiny|small|large OUT [--seed N]
    make_tree.py --profile tiny|small|large --cached   prints the folder of the profile's tree,
                                                       kept on /dev/shm, made when missing

Profiles:
    tiny    200 files, about 2 MiB (a quick check of the benchmark itself)
    small   about 2,000 files, about 60 MiB
    large   about 20,000 files, about 600 MiB (ten times small, the same mix)

The mix, by number of files:
    70 %  text (sources, markup, settings): 1-64 KiB, most of them small; zlib packs them
          about 2.5 to 3 times
    25 %  random binaries that do not compress: 4-64 KiB, one in 33 of them 64 KiB-2 MiB
     5 %  tiny files of 0-1 KiB, one in five empty
    and a few files of 10-20 MiB (2 in small, 20 in large), every other one random, the others
    tables of fixed-size records that compress in part.
Folders go four levels deep below OUT; names are ASCII, a few with a blank. OUT must not exist
or be empty.
"""
import argparse
import bisect
import json
import math
import os
import pathlib
import random
import shutil
import sys

KIB = 1024
MIB = 1024 * KIB

# files: ordinary files; big: 10-20 MiB files; folders: folders below the root.
PROFILES = {
    "tiny": {"files": 200, "big": 0, "folders": 16},
    "small": {"files": 2000, "big": 2, "folders": 160},
    "large": {"files": 20000, "big": 20, "folders": 1600},
}
DEFAULT_SEED = 7331
# Raise when the trees written change, so that cached trees are made anew.
TREE_FORMAT = 1
MTIME = 1700000000  # every file and folder: 2023-11-14 22:13:20 UTC
MAX_DEPTH = 4

TOP_FOLDERS = ("bin", "lib", "share", "data", "plugins", "docs", "resources", "locale")
FOLDER_WORDS = ("core", "ui", "net", "render", "sound", "common", "x86", "x64", "en-US", "fr-FR",
                "fonts", "skins", "icons", "scripts", "shaders", "maps", "levels", "sdk",
                "include", "tools", "runtime", "assets", "cache", "templates", "samples", "help",
                "legal", "extras", "addons", "modules")
TEXT_TYPES = (".txt", ".xml", ".json", ".ini", ".cfg", ".js", ".css", ".html", ".h", ".py",
              ".lua", ".md")
BINARY_TYPES = (".dll", ".dat", ".bin", ".pak", ".png", ".ogg", ".cab", ".res")
TINY_TYPES = (".txt", ".ini", ".lock", ".cfg", ".flag", "")
BIG_TYPES = (".pak", ".dat", ".cab")


class Words:
    """A vocabulary drawn with Zipf-like frequencies: source-like text that deflate packs about
    as well as real sources and markup."""

    SYMBOLS = ("=", "(", ")", "{", "}", ";", ",", ".", "<", ">", "/", ":", "0", "1", "-1", "true",
               "false", "none", "return", "if", "else", "while", "the", "and", "to")

    def __init__(self, rng, count=3000):
        words = set()
        while len(words) < count:
            length = rng.choice((2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 8, 9, 11, 13))
            words.add("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(length)))
        self.stems = sorted(words)
        rng.shuffle(self.stems)
        self.words = list(self.SYMBOLS) + self.stems
        total = 0.0
        self.cumulative = []
        for rank in range(1, len(self.words) + 1):
            total += rank ** -1.05
            self.cumulative.append(total)

    def text(self, rng, size):
        """Exactly size bytes of indented lines of words; about a third of the lines repeat a
        recent one, as code and markup do."""
        pieces = []
        length = 0
        recent = []
        while length < size:
            if recent and rng.random() < 0.35:
                line = rng.choice(recent)
            else:
                line = "    " * rng.randint(0, 3) + " ".join(
                    rng.choices(self.words, cum_weights=self.cumulative, k=rng.randint(3, 14)))
                recent = recent[-63:] + [line]
            piece = (line + "\n").encode("ascii")
            pieces.append(piece)
            length += len(piece)
        return b"".join(pieces)[:size]


def records(rng, size):
    """Exactly size bytes of 64-byte records: a running number, two small values, 16 random
    bytes and a padded label, as in a resource table or a small database."""
    out = bytearray()
    number = 0
    while len(out) < size:
        out += number.to_bytes(4, "little")
        out += rng.randrange(256).to_bytes(2, "little") + rng.randrange(65536).to_bytes(2, "little")
        out += bytes(8)
        out += rng.randbytes(16)
        out += ("ITEM%06d" % (number % 5003)).encode("ascii").ljust(32, b"\0")
        number += 1
    return bytes(out[:size])


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def plan_folders(rng, count):
    """[(relative path, depth)]: the root, the top folders, then random subfolders."""
    folders = [("", 0)] + [(name, 1) for name in TOP_FOLDERS]
    taken = {path.lower() for path, _ in folders}
    while len(folders) < count + 1:
        parent, depth = rng.choice(folders)
        if depth >= MAX_DEPTH:
            continue
        name = rng.choice(FOLDER_WORDS)
        if rng.random() < 0.3:
            name += "_%d" % rng.randint(1, 99)
        if rng.random() < 0.05:
            name += " files"
        path = parent + "/" + name if parent else name
        if path.lower() in taken:  # Windows compares names without regard to case
            continue
        taken.add(path.lower())
        folders.append((path, depth + 1))
    return folders


def plan_files(rng, profile):
    """[(kind, size)] in the profile's mix."""
    files = []
    for _ in range(profile["files"]):
        draw = rng.random()
        if draw < 0.70:
            files.append(("text", int(KIB * 64 ** (rng.random() ** 2))))
        elif draw < 0.95:
            if rng.random() < 0.97:
                files.append(("binary", log_uniform(rng, 4 * KIB, 64 * KIB)))
            else:
                files.append(("binary", log_uniform(rng, 64 * KIB, 2 * MIB)))
        else:
            files.append(("tiny", 0 if rng.random() < 0.2 else rng.randint(1, KIB)))
    for index in range(profile["big"]):
        files.append(("big-random" if index % 2 == 0 else "big-records",
                      rng.randint(10 * MIB, 20 * MIB)))
    return files


def write_tree(out, profile_name, seed=DEFAULT_SEED):
    """Writes the tree into out; returns {"files", "folders", "bytes", "kinds"}."""
    profile = PROFILES[profile_name]
    rng = random.Random("%d/%s/plan" % (seed, profile_name))
    words = Words(random.Random("%d/words" % seed))
    folders = plan_folders(rng, profile["folders"])
    # Deeper folders hold more files, the root few.
    weights = [0.3 if depth == 0 else 1.0 + 0.3 * depth for _, depth in folders]
    cumulative = []
    total = 0.0
    for weight in weights:
        total += weight
        cumulative.append(total)

    kinds = {}
    made = set()
    written = 0
    for index, (kind, size) in enumerate(plan_files(rng, profile)):
        folder = folders[bisect.bisect_right(cumulative, rng.random() * total)][0]
        if kind == "text":
            suffix = rng.choice(TEXT_TYPES)
        elif kind == "binary":
            suffix = rng.choice(BINARY_TYPES)
        elif kind == "tiny":
            suffix = rng.choice(TINY_TYPES)
        else:
            suffix = rng.choice(BIG_TYPES)
        stem = "bundle" if kind.startswith("big") else rng.choice(words.stems)
        name = "%s%s%05d%s" % (stem, " " if rng.random() < 0.03 else "_", index, suffix)

        content_rng = random.Random("%d/%s/file/%d" % (seed, profile_name, index))
        if kind in ("text", "tiny"):
            data = words.text(content_rng, size) if size else b""
        elif kind in ("binary", "big-random"):
            data = content_rng.randbytes(size)
        else:
            data = records(content_rng, size)

        folder_path = os.path.join(out, folder)
        if folder_path not in made:
            os.makedirs(folder_path, exist_ok=True)
            made.add(folder_path)
        path = os.path.join(folder_path, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (MTIME, MTIME))
        count, size_sum = kinds.get(kind, (0, 0))
        kinds[kind] = (count + 1, size_sum + size)
        written += size
    for root, _, _ in sorted(os.walk(out), key=lambda entry: -entry[0].count(os.sep)):
        os.utime(root, (MTIME, MTIME))
    folder_count = sum(len(dirs) for _, dirs, _ in os.walk(out))
    return {"files": sum(c for c, _ in kinds.values()), "folders": folder_count,
            "bytes": written, "kinds": kinds}


def cached_tree(profile, fallback, seed=DEFAULT_SEED):
    """The profile's tree, written once and kept on tmpfs (or below fallback where /dev/shm is
    not writable) beside a summary; returns (path, summary without the kinds)."""
    base = pathlib.Path("/dev/shm")
    if not (base.is_dir() and os.access(base, os.W_OK)):
        base = pathlib.Path(fallback)
    name = "tessarin-bench-tree-%s-%d-%d" % (profile, seed, TREE_FORMAT)
    path, ready = base / name, base / (name + ".json")
    if ready.is_file() and path.is_dir():
        return path, json.loads(ready.read_text())
    print("Generating the %s tree in %s" % (profile, path), file=sys.stderr)
    partial = base / (name + ".partial")
    for old in (path, partial):
        shutil.rmtree(old, ignore_errors=True)
    partial.mkdir(parents=True)
    summary = write_tree(str(partial), profile, seed)
    summary.pop("kinds")
    partial.rename(path)
    ready.write_text(json.dumps(summary))
    return path, summary


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--profile", choices=sorted(PROFILES), default="small")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--cached", action="store_true")
    parser.add_argument("out", nargs="?")
    args = parser.parse_args()
    if args.cached:
        print(cached_tree(args.profile, pathlib.Path.cwd(), args.seed)[0])
        return
    if not args.out:
        parser.error("OUT or --cached is needed")
    out = os.path.abspath(args.out)
    if os.path.exists(out) and (not os.path.isdir(out) or os.listdir(out)):
        sys.exit("make_tree.py: %s: exists and is not an empty folder" % out)
    os.makedirs(out, exist_ok=True)
    summary = write_tree(out, args.profile, args.seed)
    for kind, (count, size) in sorted(summary["kinds"].items()):
        print("  %-12s %6d files %12d bytes (%.1f MiB)" % (kind, count, size, size / MIB),
              file=sys.stderr)
    print("profile=%s seed=%d files=%d folders=%d bytes=%d (%.1f MiB)" % (
        args.profile, args.seed, summary["files"], summary["folders"], summary["bytes"],
        summary["bytes"] / MIB))


if __name__ == "__main__":
    main()
