#!/usr/bin/env python3
"""Folder snapshot against `find`, side by side on one tree.

  run_snapshot_bench.py [--bin PATH] [--tree DIR | --files N] [--reps N]

Without --tree, a tree of about 100,000 entries is generated with gen_tree.py in
a fresh folder under /tmp (short root, so paths are about 60 bytes long) and
deleted at the end. With a warm cache, the driver then alternates two
processes, timed the same way (wall time from start to exit):

  snapshot_bench --runs 1 DIR                 one snapshot, plus its heap per entry
  find DIR -printf '%s %T@\\n' > /dev/null     the same walk, lstat of every entry

and prints the medians, the ratio snapshot/find and the heap bytes per entry.
Goals: ratio <= 1.0 and <= 160 bytes per entry for paths of about 60 bytes.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(BENCH)
GOAL_RATIO = 1.0
GOAL_BYTES = 160.0


def default_binary():
    for preset in ("release", "debug"):
        path = os.path.join(SOURCE, "build", preset, "bin", "snapshot_bench")
        if os.access(path, os.X_OK):
            return path
    return os.path.join(SOURCE, "build", "release", "bin", "snapshot_bench")


def timed(argv, stdout):
    """Runs argv to its end; returns (wall seconds, user+sys CPU seconds, output)."""
    with tempfile.TemporaryFile() as errors:
        started = time.perf_counter()
        child = subprocess.Popen(argv, stdout=stdout, stderr=errors)
        out = child.stdout.read() if stdout == subprocess.PIPE else b""
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - started
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.stdout:
            child.stdout.close()
        if child.returncode != 0:
            errors.seek(0)
            sys.exit("failed (exit %d): %s\n%s" % (child.returncode, " ".join(argv),
                                                   errors.read().decode(errors="replace")))
    return seconds, usage.ru_utime + usage.ru_stime, out


def parse(output):
    values = {}
    for line in output.decode(errors="replace").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            values[key] = value
    return values


def run(binary, tree, reps):
    snapshot = [binary, "--runs", "1", tree]
    find = ["find", tree, "-printf", "%s %T@\\n"]
    # Warm the cache and check both see the same tree.
    _, _, out = timed(snapshot, subprocess.PIPE)
    info = parse(out)
    found = subprocess.run(["find", tree], stdout=subprocess.PIPE, check=True).stdout.count(b"\n")
    if int(info["entries"]) != found - 1:  # find also lists the root
        sys.exit("snapshot has %s entries, find %d" % (info["entries"], found - 1))
    if int(info["failures"]) != 0:
        sys.exit("snapshot reported %s failures" % info["failures"])
    if "warning" in info:
        print("WARNING:", info["warning"])

    snap_times, find_times, scan_times, bytes_per_entry = [], [], [], []
    snap_cpu, find_cpu = [], []
    with open(os.devnull, "wb") as null:
        for rep in range(reps):
            # Alternate which goes first, so that drift hits both alike.
            order = ("snapshot", "find") if rep % 2 == 0 else ("find", "snapshot")
            for tool in order:
                if tool == "snapshot":
                    seconds, cpu, out = timed(snapshot, subprocess.PIPE)
                    values = parse(out)
                    snap_times.append(seconds)
                    snap_cpu.append(cpu)
                    scan_times.append(float(values["scan_median_s"]))
                    bytes_per_entry.append(float(values["bytes_per_entry"]))
                else:
                    seconds, cpu, _ = timed(find, null)
                    find_times.append(seconds)
                    find_cpu.append(cpu)
            print("  rep %d: snapshot %.3f s (CPU %.3f), find %.3f s (CPU %.3f)"
                  % (rep + 1, snap_times[-1], snap_cpu[-1], find_times[-1], find_cpu[-1]),
                  flush=True)

    snap, fnd = statistics.median(snap_times), statistics.median(find_times)
    ratio = snap / fnd
    per_entry = statistics.median(bytes_per_entry)
    print()
    print("tree:                 %s" % tree)
    print("entries:              %s (%s folders)" % (info["entries"], info["folders"]))
    print("average path length:  %s bytes" % info["avg_path_bytes"])
    print("snapshot process:     median %.3f s (min %.3f, max %.3f; in-process scan median %.3f s)"
          % (snap, min(snap_times), max(snap_times), statistics.median(scan_times)))
    print("find -printf:         median %.3f s (min %.3f, max %.3f)"
          % (fnd, min(find_times), max(find_times)))
    print("ratio snapshot/find:  %.2f wall   goal <= %.2f: %s"
          % (ratio, GOAL_RATIO, "met" if ratio <= GOAL_RATIO else "MISSED"))
    print("                      %.2f CPU (user+sys, medians %.3f s / %.3f s)"
          % (statistics.median(snap_cpu) / statistics.median(find_cpu),
             statistics.median(snap_cpu), statistics.median(find_cpu)))
    print("heap per entry:       %.1f bytes (paths %s, rest %s; sizeof(FileInfo) %s)   "
          "goal <= %.0f: %s" % (per_entry, info["path_heap_bytes_per_entry"],
                                info["other_bytes_per_entry"], info["sizeof_FileInfo"],
                                GOAL_BYTES, "met" if per_entry <= GOAL_BYTES else "MISSED"))
    with open("/proc/loadavg") as f:
        print("load average at end:  %s" % " ".join(f.read().split()[:3]))
    return ratio <= GOAL_RATIO and per_entry <= GOAL_BYTES


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=default_binary(), help="the snapshot_bench executable")
    ap.add_argument("--tree", help="an existing tree to scan (kept)")
    ap.add_argument("--files", type=int, default=99_000, help="files of a generated tree")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--reps", type=int, default=9, help="timed runs of each tool")
    ap.add_argument("--scratch", default="/tmp", help="where a generated tree goes")
    ap.add_argument("--keep", action="store_true", help="keep a generated tree")
    a = ap.parse_args()

    if not os.access(a.bin, os.X_OK):
        sys.exit("snapshot_bench not found at %s: build it (cmake --build --preset release "
                 "--target snapshot_bench) or pass --bin" % a.bin)
    scratch = None
    try:
        if a.tree:
            tree = os.path.abspath(a.tree)
        else:
            scratch = tempfile.mkdtemp(prefix="tfb", dir=a.scratch)
            tree = scratch
            print("generating %d files in %s ..." % (a.files, tree), flush=True)
            subprocess.run([sys.executable, os.path.join(BENCH, "gen_tree.py"), "gen", tree,
                            "--seed", str(a.seed), "--files", str(a.files)], check=True)
        print("binary: %s" % a.bin)
        met = run(a.bin, tree, a.reps)
    finally:
        if scratch and not a.keep:
            shutil.rmtree(scratch)
    sys.exit(0 if met else 1)


if __name__ == "__main__":
    main()
