#!/usr/bin/env python3
"""Deterministic folder trees for the benchmarks.

  gen_tree.py gen DIR [--seed S] [--files N] [--folders N]
      About 100,000 entries by default (99,000 files in 1,000 folders, at most
      4 levels deep). Sizes are mostly small (0..64 KiB, skewed towards tiny
      files) with a few files of 1..8 MiB; a few hundred MiB in all. Names are
      10..20 bytes, so that paths below a short root (such as /tmp/tfbXXXXXXXX/)
      are about 60 bytes long. A few percent of the names are non-ASCII UTF-8,
      about 0.1 % are bytes that are not UTF-8 at all. Contents, modes and
      modification times (with nanoseconds) depend on the seed only.

  gen_tree.py gen DIR --large [--large-count 4] [--large-mib 512]
      Four files of 512 MiB of pseudo-random (incompressible) data in two folders.

  gen_tree.py edit DIR [--seed S] [--percent 1]
      The "1 % of files changed" edit, in place: a quarter of that share of the
      files gets new content (files above 8 MiB get a new stretch in their
      middle and keep their size), a quarter only a new modification time, a
      quarter is deleted, and as many new files are added (partly in a new
      folder). At least one file is always rewritten. The same tree and seed
      give the same result.

  gen_tree.py stats DIR
      Counts, bytes and average path lengths of a tree.

DIR must be missing or empty for `gen`. Paths are handled as bytes throughout.
"""

import argparse
import hashlib
import itertools
import math
import os
import random
import sys
import time

DEFAULT_SEED = 1
DEFAULT_FILES = 99_000
FILES_PER_FOLDER = 99

BASE_TIME_NS = 1_672_531_200 * 10**9  # 2023-01-01 00:00:00 UTC
SPAN_NS = 2 * 365 * 86_400 * 10**9
EDIT_TIME_NS = BASE_TIME_NS + SPAN_NS + 86_400 * 10**9

SMALL_MAX = 64 * 1024
LARGE_THRESHOLD = 8 * 1024 * 1024  # edits touch only a stretch of files above this
CHUNK = 1 << 20

WORDS = [b"report", b"invoice", b"notes", b"photo", b"draft", b"budget", b"summary", b"scan",
         b"letter", b"backup", b"config", b"data", b"image", b"track", b"chapter", b"slides",
         b"table", b"export", b"readme", b"index", b"plan", b"memo", b"album", b"song"]
EXTENSIONS = [b".txt", b".pdf", b".jpg", b".png", b".docx", b".xlsx", b".csv", b".mp3",
              b".html", b".json", b".log", b".md", b".c", b".h", b".zip", b".TXT", b".JPG",
              b".tar.gz", b""]
FOLDER_WORDS = [b"projects", b"photos", b"music", b"archive", b"src", b"docs", b"mail",
                b"work", b"misc", b"clients", b"reports", b"media", b"old", b"tmp"]
UTF8_WORDS = ["Straße", "café", "файл", "日本語", "Ελληνικά", "naïve", "Größe", "😀smile",
              "Документы", "été"]
# Names as a Latin-1 or CP1252 system would write them, which are not UTF-8.
NON_UTF8_WORDS = [b"caf\xe9", b"\xe9t\xe9", b"Gr\xf6\xdfe", b"\x93quote\x94", b"bad\xff\xfe"]


def size_small(rng):
    # Log-uniform over 0..64 KiB with the exponent skewed down: median ~30
    # bytes, mean ~3 KiB.
    return int(math.exp(math.log(SMALL_MAX + 1) * rng.random() ** 1.7)) - 1


def size_large(rng):
    return int(math.exp(rng.uniform(math.log(1 << 20), math.log(8 << 20))))


def pick_time(rng):
    return BASE_TIME_NS + rng.randrange(SPAN_NS)


def file_name(rng, n):
    r = rng.random()
    ext = rng.choice(EXTENSIONS)
    if r < 0.001:
        return rng.choice(NON_UTF8_WORDS) + b"_%d" % n + ext
    if r < 0.04:
        return rng.choice(UTF8_WORDS).encode() + b"_%d" % n + ext
    if r < 0.45:
        return rng.choice(WORDS) + b"_%04d" % (n % 10000) + ext
    if r < 0.70:
        return rng.choice(WORDS) + b"-" + rng.choice(WORDS) + b"%d" % (n % 1000) + ext
    if r < 0.85:
        return b"IMG_%05d" % (n % 100000) + rng.choice([b".jpg", b".JPG", b".png"])
    if r < 0.98:
        return rng.choice(WORDS) + b" copy " + b"%d" % (n % 1000) + ext
    return b"." + rng.choice(WORDS) + b"rc%d" % (n % 100)


def folder_name(rng, n):
    r = rng.random()
    if r < 0.002:
        return rng.choice(NON_UTF8_WORDS) + b"_%d" % n
    if r < 0.05:
        return rng.choice(UTF8_WORDS).encode() + b"_%d" % n
    if r < 0.15:
        return rng.choice(FOLDER_WORDS) + b" %d" % n
    return rng.choice(FOLDER_WORDS) + b"_%03d" % (n % 1000)


def unique(rng, taken, make):
    name = make()
    while name in taken:
        name = make() + b"_%d" % rng.randrange(1000)
    taken.add(name)
    return name


def content(key, index, size):
    # SHAKE-128 output: incompressible, deterministic, and much faster to make
    # than random.randbytes.
    return hashlib.shake_128(b"%d/%d" % (key, index)).digest(size)


def write_file(path, size, rng, mtime_ns, mode=0o644):
    key = rng.getrandbits(64)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC, 0o600)
    try:
        for index, offset in enumerate(range(0, size, CHUNK)):
            data = memoryview(content(key, index, min(CHUNK, size - offset)))
            while data:
                data = data[os.write(fd, data):]
        os.fchmod(fd, mode)  # independent of the umask
    finally:
        os.close(fd)
    os.utime(path, ns=(mtime_ns, mtime_ns), follow_symlinks=False)


def make_folder(path):
    os.mkdir(path)
    os.chmod(path, 0o755)  # independent of the umask


def make_folders(root, rng, count):
    """Creates `count` folders at most 4 levels deep, each below a random folder
    of the level above. Returns ([(path, depth)], {folder: set of names})."""
    # Most folders sit two or three levels down, a few at the top.
    shares = [0.05, 0.30, 0.40]  # the rest goes to level 4
    per_level = []
    left = count
    for share in shares:
        wanted = min(left, max(1, round(count * share)))
        per_level.append(wanted)
        left -= wanted
    per_level.append(left)
    folders = []
    children = {root: set()}
    parents = [root]
    n = 0
    for depth, wanted in enumerate(per_level, start=1):
        if wanted == 0:
            break
        level = []
        for _ in range(wanted):
            parent = rng.choice(parents)
            name = unique(rng, children[parent], lambda: folder_name(rng, n))
            path = os.path.join(parent, name)
            make_folder(path)
            children[path] = set()
            level.append(path)
            n += 1
        folders.extend((p, depth) for p in level)
        parents = level
    return folders, children


def set_folder_times(folders, rng):
    # Deepest first, so that setting a folder's time does not disturb its parent's.
    for path, _ in sorted(folders, key=lambda f: -f[1]):
        t = pick_time(rng)
        os.utime(path, ns=(t, t), follow_symlinks=False)


def prepare_root(root):
    if os.path.exists(root):
        if os.listdir(root):
            sys.exit("gen_tree: %s is not empty" % os.fsdecode(root))
    else:
        os.makedirs(root)


def generate_small(root, seed, files, folder_count):
    rng = random.Random(seed)
    folders, children = make_folders(root, rng, folder_count)
    # Uneven folder sizes: a few folders hold hundreds or thousands of files.
    places = [(root, 0)] + folders
    weights = [min(30.0, rng.paretovariate(1.2)) for _ in places]
    cumulative = list(itertools.accumulate(weights))
    large_every = 5000  # ~20 files of 1..8 MiB per 100,000
    total = 0
    for n in range(files):
        (folder, _), = rng.choices(places, cum_weights=cumulative)
        name = unique(rng, children[folder], lambda: file_name(rng, n))
        size = size_large(rng) if rng.randrange(large_every) == 0 else size_small(rng)
        r = rng.random()
        mode = 0o600 if r < 0.01 else (0o755 if r < 0.03 else (0o444 if r < 0.04 else 0o644))
        write_file(os.path.join(folder, name), size, rng, pick_time(rng), mode)
        total += size
    set_folder_times(folders, rng)
    t = pick_time(rng)
    os.utime(root, ns=(t, t))
    return files, len(folders), total


def generate_large(root, seed, count, mib):
    rng = random.Random(seed)
    folders = [(os.path.join(root, b"video"), 1), (os.path.join(root, b"disk images"), 1)]
    for path, _ in folders:
        make_folder(path)
    total = 0
    for i in range(count):
        folder = folders[i % len(folders)][0]
        write_file(os.path.join(folder, b"large_%02d.bin" % i), mib << 20, rng, pick_time(rng))
        total += mib << 20
    set_folder_times(folders, rng)
    t = pick_time(rng)
    os.utime(root, ns=(t, t))
    return count, len(folders), total


def walk(root):
    """Sorted (files, folders) below root, as bytes paths."""
    files, folders = [], []
    stack = [root]
    while stack:
        folder = stack.pop()
        with os.scandir(folder) as it:
            entries = sorted(it, key=lambda e: e.name)
        for e in entries:
            if e.is_dir(follow_symlinks=False):
                folders.append(e.path)
                stack.append(e.path)
            else:
                files.append(e.path)
    files.sort()
    folders.sort()
    return files, folders


def edit(root, seed, percent):
    files, folders = walk(root)
    if not files:
        sys.exit("gen_tree: no files to edit in %s" % os.fsdecode(root))
    rng = random.Random("%s-edit-%s" % (seed, percent))
    quarter = len(files) * percent / 100.0 / 4
    k = round(quarter)
    k_rewrite = max(1, k)
    chosen = rng.sample(files, min(len(files), k_rewrite + 2 * k))
    rewrite = chosen[:k_rewrite]
    touch = chosen[k_rewrite:k_rewrite + k]
    delete = chosen[k_rewrite + k:]
    changed_folders = set()
    for i, path in enumerate(rewrite):
        size = os.lstat(path).st_size
        if size > LARGE_THRESHOLD:
            # A stretch of the size's share in the middle, the size kept.
            length = max(CHUNK, int(size * percent / 100))
            key = rng.getrandbits(64)
            with open(path, "r+b") as f:
                f.seek((size - length) // 2)
                for index, offset in enumerate(range(0, length, CHUNK)):
                    f.write(content(key, index, min(CHUNK, length - offset)))
        else:
            new_size = size if i % 2 == 0 else size_small(rng)
            mode = os.lstat(path).st_mode & 0o7777
            os.chmod(path, 0o644)
            write_file(path, new_size, rng, 0, mode)
        t = EDIT_TIME_NS + i
        os.utime(path, ns=(t, t), follow_symlinks=False)
    for path in touch:
        st = os.lstat(path)
        t = st.st_mtime_ns + 3600 * 10**9
        os.utime(path, ns=(st.st_atime_ns, t), follow_symlinks=False)
    for path in delete:
        os.unlink(path)
        changed_folders.add(os.path.dirname(path))
    # New files: most in existing folders, a few in one new folder.
    places = [root] + folders
    new_folder = os.path.join(root, b"new folder %d" % rng.randrange(1000))
    added = 0
    if k > 0:
        make_folder(new_folder)
        changed_folders.add(root)
    for j in range(k):
        folder = new_folder if j % 10 == 0 else rng.choice(places)
        path = os.path.join(folder, b"added_%05d%s" % (j, rng.choice(EXTENSIONS)))
        if os.path.lexists(path):
            continue
        write_file(path, size_small(rng), rng, EDIT_TIME_NS + j)
        changed_folders.add(folder)
        added += 1
    for folder in sorted(changed_folders, key=lambda p: -p.count(b"/")):
        os.utime(folder, ns=(EDIT_TIME_NS, EDIT_TIME_NS), follow_symlinks=False)
    return len(rewrite), len(touch), len(delete), added


def stats(root):
    files, folders = walk(root)
    total = sum(os.lstat(p).st_size for p in files)
    entries = files + folders
    prefix = len(root.rstrip(b"/")) + 1
    full = sum(len(p) for p in entries) / max(1, len(entries))
    return len(files), len(folders), total, full, full - prefix


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="command", required=True)
    g = sub.add_parser("gen", help="create a tree")
    g.add_argument("dir")
    g.add_argument("--seed", type=int, default=DEFAULT_SEED)
    g.add_argument("--files", type=int, default=DEFAULT_FILES, help="number of files")
    g.add_argument("--folders", type=int, help="number of folders (default: files / 99)")
    g.add_argument("--large", action="store_true", help="a few large files instead")
    g.add_argument("--large-count", type=int, default=4)
    g.add_argument("--large-mib", type=int, default=512)
    e = sub.add_parser("edit", help="change about PERCENT %% of the files in place")
    e.add_argument("dir")
    e.add_argument("--seed", type=int, default=DEFAULT_SEED)
    e.add_argument("--percent", type=float, default=1.0)
    s = sub.add_parser("stats", help="describe a tree")
    s.add_argument("dir")
    a = ap.parse_args()

    root = os.path.abspath(os.fsencode(a.dir))
    started = time.monotonic()
    if a.command == "gen":
        prepare_root(root)
        if a.large:
            files, folders, total = generate_large(root, a.seed, a.large_count, a.large_mib)
        else:
            if a.files < 1:
                sys.exit("gen_tree: --files must be at least 1")
            folder_count = a.folders if a.folders is not None else max(1, a.files // FILES_PER_FOLDER)
            files, folders, total = generate_small(root, a.seed, a.files, folder_count)
        print("generated %d files in %d folders, %.1f MiB, in %.1f s" %
              (files, folders, total / 2**20, time.monotonic() - started))
    elif a.command == "edit":
        rewritten, touched, deleted, added = edit(root, a.seed, a.percent)
        print("edited: %d rewritten, %d touched, %d deleted, %d added" %
              (rewritten, touched, deleted, added))
    else:
        files, folders, total, full, relative = stats(root)
        print("%d files, %d folders, %.1f MiB, average path %.1f bytes (%.1f below the root)" %
              (files, folders, total / 2**20, full, relative))


if __name__ == "__main__":
    main()
