#!/usr/bin/env python3
"""Mirroring speed: twinfold-cli against rsync and cp, side by side in one run.

  run_mirror_bench.py [--twinfold PATH] [--tools twinfold,rsync,cp]
                      [--workloads small,large] [--scenarios initial,nochange,changed]
                      [--runs N] [--files N] [--large-mib N] [--tf-arg ARG]...

Tools (each copies MAIN into MIRROR):
  twinfold  twinfold-cli mirror MAIN MIRROR [--tf-arg ...]
  rsync     rsync -a --delete MAIN/ MIRROR/
  cp        cp -a MAIN/. MIRROR/          (initial copy only: it never deletes)

Workloads, made with gen_tree.py in a fresh scratch folder (deleted at the end):
  small     about 100,000 entries (--files) in about 1,000 folders
  large     4 files of 512 MiB (--large-count, --large-mib)

Scenarios, the state rebuilt (untimed) before every run:
  initial   an empty mirror
  nochange  a mirror equal to the main folder (made by rsync)
  changed   a mirror of the main folder, which then had 1 % of its files
            changed by `gen_tree.py edit` (rewritten, touched, deleted, added)

Runs of the tools are interleaved, in a rotating order. Each run reports wall
time (measured here), and CPU time (user+sys, children included) and peak
memory (max RSS of the largest single process: rsync runs as three processes,
of which only the largest counts) as GNU time (/usr/bin/time) reports them.

After the first run of each tool in each scenario the mirror is checked with
`rsync -ani --delete MAIN/ MIRROR/`, which should print nothing: 'ok' when it
does not, 'metadata differs' when only modes or folder times are off, 'WRONG'
(files missing, extra or different) otherwise, which fails the benchmark.
The summary gives medians and the ratios twinfold/rsync and twinfold/cp.
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(BENCH)
GEN = os.path.join(BENCH, "gen_tree.py")
ALL_TOOLS = ["twinfold", "rsync", "cp"]
ALL_WORKLOADS = ["small", "large"]
ALL_SCENARIOS = ["initial", "nochange", "changed"]
TIME = "/usr/bin/time"  # GNU time


def log(text):
    print("[%s] %s" % (time.strftime("%H:%M:%S"), text), flush=True)


def prep(argv):
    """An untimed preparation step; stops the benchmark when it fails."""
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        sys.exit("preparation failed (exit %d): %s\n%s" % (
            result.returncode, " ".join(argv), result.stdout.decode(errors="replace")))
    return result.stdout


def read_all(folder):
    """Reads every file once, so that runs start with a warm cache."""
    for parent, _, files in os.walk(os.fsencode(folder)):
        for name in files:
            path = os.path.join(parent, name)
            if os.path.islink(path):
                continue
            with open(path, "rb", buffering=0) as f:
                while f.read(1 << 20):
                    pass


def sync_disks():
    # Writes of the previous run must not be flushed during the next one.
    os.sync()


class Measurement:
    def __init__(self, wall, cpu, rss_kib, status):
        self.wall = wall
        self.cpu = cpu
        self.rss_kib = rss_kib
        self.status = status


def measure(argv, log_path, timeout):
    """Runs argv under GNU time, whose own small footprint is the floor of the
    peak memory it reports (a child forked from this script would inherit the
    interpreter's instead)."""
    with tempfile.NamedTemporaryFile("r", prefix="time", suffix=".txt") as report, \
            open(log_path, "ab") as out:
        out.write(("\n$ %s\n" % " ".join(argv)).encode())
        out.flush()
        timed_argv = [TIME, "-f", "%U %S %M %x", "-o", report.name] + argv
        started = time.perf_counter()
        child = subprocess.Popen(timed_argv, stdout=out, stderr=out, start_new_session=True)
        timed_out = []

        def kill():
            timed_out.append(True)
            os.killpg(child.pid, signal.SIGKILL)  # our own child's process group

        timer = threading.Timer(timeout, kill)
        timer.start()
        try:
            child.wait()
        finally:
            timer.cancel()
        wall = time.perf_counter() - started
        fields = report.read().split()
    if timed_out:
        return Measurement(wall, 0.0, 0, "timeout")
    if len(fields) < 4:
        return Measurement(wall, 0.0, 0, "killed")
    user, system, rss_kib, status = fields[-4:]
    return Measurement(wall, float(user) + float(system), int(rss_kib), status)


def check_mirror(main, mirror):
    """Lists what `rsync -ani --delete` would still do to mirror. Returns
    (verdict, first lines): 'ok' when that is nothing, 'metadata differs: ...'
    when only modes or folder times are off, 'WRONG: ...' otherwise."""
    out = prep(["rsync", "-ani", "--delete", main + "/", mirror + "/"])
    lines = [line for line in out.split(b"\n") if line]
    if not lines:
        return "ok", []
    kinds = {"deleting": 0, "missing or different": 0, "mode only": 0, "folder time only": 0}
    for line in lines:
        flags = line[:11]
        if flags.startswith(b"*deleting"):
            kinds["deleting"] += 1
        elif flags.startswith(b".d") and flags[2:].strip(b".t") == b"":
            kinds["folder time only"] += 1
        elif flags.startswith(b".f") and flags[2:].strip(b".p") == b"":
            kinds["mode only"] += 1
        else:
            kinds["missing or different"] += 1
    summary = ", ".join("%d %s" % (n, k) for k, n in kinds.items() if n)
    # Only modes and folder times differ: the data is all there.
    data_right = kinds["deleting"] == 0 and kinds["missing or different"] == 0
    return ("metadata differs: " if data_right else "WRONG: ") + summary, lines[:10]


class Bench:
    def __init__(self, args):
        self.a = args
        self.rows = []  # (workload, scenario, tool, Measurement)
        self.checks = {}  # (workload, scenario, tool) -> check result
        self.scratch = tempfile.mkdtemp(prefix="tfm", dir=args.scratch)
        self.logs = os.path.join(self.scratch, "logs")
        os.makedirs(self.logs)

    def command(self, tool, main, mirror):
        if tool == "twinfold":
            return [self.a.twinfold, "mirror", main, mirror] + self.a.tf_arg
        if tool == "rsync":
            return ["rsync", "-a", "--delete", main + "/", mirror + "/"]
        return ["cp", "-a", main + "/.", mirror + "/"]

    def tools_for(self, scenario):
        return [t for t in self.a.tools if t != "cp" or scenario == "initial"]

    def make_workload(self, workload):
        base = os.path.join(self.scratch, workload)
        main, edited, mirror = (os.path.join(base, n) for n in ("main", "main-edited", "mirror"))
        os.makedirs(base)
        argv = [sys.executable, GEN, "gen", main, "--seed", str(self.a.seed)]
        if workload == "large":
            argv += ["--large", "--large-count", str(self.a.large_count),
                     "--large-mib", str(self.a.large_mib)]
        else:
            argv += ["--files", str(self.a.files)]
        log("%s: %s" % (workload, prep(argv).decode().strip()))
        if "changed" in self.a.scenarios:
            prep(["cp", "-a", main, edited])
            out = prep([sys.executable, GEN, "edit", edited, "--seed", str(self.a.seed)])
            log("%s: %s" % (workload, out.decode().strip()))
        return main, edited, mirror

    def reset_mirror(self, main, mirror):
        os.makedirs(mirror, exist_ok=True)
        prep(["rsync", "-a", "--delete", main + "/", mirror + "/"])

    def empty_mirror(self, mirror):
        if os.path.lexists(mirror):
            shutil.rmtree(mirror)
        os.mkdir(mirror)

    def run_workload(self, workload):
        main, edited, mirror = self.make_workload(workload)
        log("%s: reading the main folders once (warm cache)" % workload)
        read_all(main)
        if "changed" in self.a.scenarios:
            read_all(edited)
        for scenario in self.a.scenarios:
            tools = self.tools_for(scenario)
            source = edited if scenario == "changed" else main
            if scenario == "changed":
                self.reset_mirror(main, mirror)
                pending, _ = check_mirror(source, mirror)
                log("%s/changed: each run starts with these differences: %s"
                    % (workload, pending.split(": ", 1)[-1]))
            log("== %s / %s: %s, %d runs" % (workload, scenario, ", ".join(tools), self.a.runs))
            for run in range(self.a.runs):
                order = tools[run % len(tools):] + tools[:run % len(tools)]
                for tool in order:
                    if scenario == "initial":
                        self.empty_mirror(mirror)
                    else:
                        self.reset_mirror(main, mirror)
                    sync_disks()
                    m = measure(self.command(tool, source, mirror),
                                os.path.join(self.logs, "%s-%s-%s.log" % (workload, scenario, tool)),
                                self.a.timeout)
                    note = ""
                    key = (workload, scenario, tool)
                    if key not in self.checks:
                        verdict, sample = check_mirror(source, mirror)
                        self.checks[key] = verdict
                        note = " mirror " + verdict
                        for line in sample:
                            log("    " + line.decode(errors="replace"))
                    self.rows.append((workload, scenario, tool, m))
                    log("%s %-8s %-8s run %d: %.3f s wall, %.3f s CPU, %.1f MiB peak, exit %s%s"
                        % (workload, scenario, tool, run + 1, m.wall, m.cpu, m.rss_kib / 1024,
                           m.status, note))
        shutil.rmtree(os.path.dirname(main))  # the next workload gets the disk space

    def summary(self):
        groups = {}
        for workload, scenario, tool, m in self.rows:
            groups.setdefault((workload, scenario, tool), []).append(m)
        table = [["workload", "scenario", "tool", "runs", "median wall s", "min", "max",
                  "median CPU s", "peak RSS MiB", "exit", "mirror"]]
        medians = {}
        for key in sorted(groups, key=lambda k: (ALL_WORKLOADS.index(k[0]),
                                                  ALL_SCENARIOS.index(k[1]),
                                                  ALL_TOOLS.index(k[2]))):
            ms = groups[key]
            walls = [m.wall for m in ms]
            cpu = statistics.median(m.cpu for m in ms)
            rss = max(m.rss_kib for m in ms) / 1024
            medians[key] = (statistics.median(walls), cpu, rss)
            statuses = sorted({m.status for m in ms})
            table.append([key[0], key[1], key[2], str(len(ms)),
                          "%.3f" % medians[key][0], "%.3f" % min(walls), "%.3f" % max(walls),
                          "%.3f" % cpu, "%.1f" % rss, "/".join(statuses),
                          self.checks.get(key, "")])
        widths = [max(len(row[i]) for row in table) for i in range(len(table[0]))]
        lines = ["| " + " | ".join(c.ljust(widths[i]) for i, c in enumerate(row)) + " |"
                 for row in table]
        lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
        print("\n".join(lines))

        ratios = []
        for (workload, scenario, tool), (wall, cpu, rss) in medians.items():
            if tool != "twinfold":
                continue
            for peer in ("rsync", "cp"):
                other = medians.get((workload, scenario, peer))
                if other:
                    ratios.append("%-6s %-9s twinfold/%-5s wall %.2f  CPU %.2f  peak RSS %.2f" % (
                        workload, scenario, peer, wall / other[0],
                        cpu / other[1] if other[1] else float("nan"),
                        rss / other[2] if other[2] else float("nan")))
        if ratios:
            print("\nratios of medians (below 1.0: twinfold is faster or smaller)")
            print("\n".join(ratios))
        wrong = [k for k, v in self.checks.items() if v.startswith("WRONG")]
        if wrong:
            print("\nWRONG MIRRORS (timings of these are meaningless): %s" % ", ".join(
                "/".join(k) for k in wrong))
        with open("/proc/loadavg") as f:
            print("\nload average at end: %s" % " ".join(f.read().split()[:3]))
        return not wrong


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--twinfold", default=os.path.join(SOURCE, "build", "release", "bin",
                                                       "twinfold-cli"),
                    help="the twinfold-cli executable (default: build/release/bin/twinfold-cli)")
    ap.add_argument("--tf-arg", action="append", default=[],
                    help="an extra argument for twinfold-cli, e.g. --tf-arg=--flags --tf-arg=WORD")
    ap.add_argument("--tools", default=",".join(ALL_TOOLS))
    ap.add_argument("--workloads", default=",".join(ALL_WORKLOADS))
    ap.add_argument("--scenarios", default=",".join(ALL_SCENARIOS))
    ap.add_argument("--runs", type=int, default=3, help="timed runs of each tool per scenario")
    ap.add_argument("--files", type=int, default=99_000, help="files of the small workload")
    ap.add_argument("--large-count", type=int, default=4)
    ap.add_argument("--large-mib", type=int, default=512)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--timeout", type=float, default=900, help="seconds per timed run")
    ap.add_argument("--scratch", default="/var/tmp", help="where the trees are made")
    ap.add_argument("--keep", action="store_true", help="keep the scratch folder (logs)")
    a = ap.parse_args()

    def split(text, allowed, what):
        items = [x.strip() for x in text.split(",") if x.strip()]
        bad = [x for x in items if x not in allowed]
        if bad or not items:
            ap.error("%s: choose from %s" % (what, ",".join(allowed)))
        return items

    a.tools = split(a.tools, ALL_TOOLS, "--tools")
    a.workloads = split(a.workloads, ALL_WORKLOADS, "--workloads")
    a.scenarios = split(a.scenarios, ALL_SCENARIOS, "--scenarios")
    if a.runs < 1:
        ap.error("--runs must be at least 1")
    if "twinfold" in a.tools:
        a.twinfold = os.path.abspath(a.twinfold)
        if not (os.path.isfile(a.twinfold) and os.access(a.twinfold, os.X_OK)):
            sys.exit("twinfold-cli not found or not executable: %s\n"
                     "Build it (cmake --preset release && cmake --build --preset release "
                     "--target twinfold-cli), pass --twinfold PATH, or leave it out with "
                     "--tools rsync,cp." % a.twinfold)
    for program, package in (("rsync", "rsync"), ("cp", "coreutils"), (TIME, "time")):
        if shutil.which(program) is None:
            sys.exit("%s is needed (apt-get install %s)" % (program, package))

    bench = Bench(a)
    log("scratch folder: %s" % bench.scratch)
    ok = False
    try:
        for workload in a.workloads:
            bench.run_workload(workload)
        print()
        ok = bench.summary()
    finally:
        if a.keep:
            log("kept %s" % bench.scratch)
        else:
            shutil.rmtree(bench.scratch, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
