#!/usr/bin/env python3
"""What keeping versions costs: a mirror run with versions on against off.

  run_versions_bench.py --harness DIR [--cli PATH] [--root DIR] [--runs N]
                        [--workload W1] [--goal 1.10] [--keep-versions N]

Runs the side-by-side mirroring harness (DIR holds its run_bench.py and
gen_workloads.py) on one workload in its `changed` scenario (0.5 % of the
files edited, 0.5 % touched, 0.5 % added, 0.5 % deleted from the mirror,
rebuilt before every run) with two tools, interleaved:

  plain     twinfold-cli mirror SRC DST --flags 0x00101111
  versions  the same with --versions WORK/versions --keep-versions 3

(the rule word deletes for good rather than into the trash, as the harness's
own examples do, so that the run without versions does the least work).

The versions folder sits beside the mirror on the same file system, outside
it, so that the harness's check of the mirror sees only mirrored files. Every
edited, touched and deleted file is kept: a rename each. With the harness's
mutation the same files change in every run, so from the fourth run on each
run also prunes as many old versions as it keeps (--keep-versions 0 turns the
limit off, leaving the keeping alone). Prints both medians
and the ratio versions/plain, and exits non-zero when the ratio is above the
goal (at most 10 % more by default). The workload is generated under --root
when missing.
"""

import argparse
import csv
import os
import re
import statistics
import subprocess
import sys

BENCH = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(BENCH)


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--harness", required=True, help="folder of run_bench.py and gen_workloads.py")
    ap.add_argument("--cli", default=os.path.join(SOURCE, "build", "release", "bin", "twinfold-cli"))
    ap.add_argument("--root", default="/var/tmp/tfbench-versions")
    ap.add_argument("--workload", default="W1")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--goal", type=float, default=1.10)
    ap.add_argument("--keep-versions", type=int, default=3)
    a = ap.parse_args()

    cli = os.path.abspath(a.cli)
    env = dict(os.environ, TFBENCH_ROOT=a.root)
    work = os.path.join(a.root, a.workload)
    if not os.path.exists(os.path.join(work, "manifest.bin")):
        subprocess.run([os.path.join(a.harness, "gen_workloads.py"), "gen", a.workload],
                       env=env, check=True)
    plain = "%s mirror {src} {dst} --flags 0x00101111" % cli
    versions = plain + " --versions {work}/versions"
    if a.keep_versions > 0:
        versions += " --keep-versions %d" % a.keep_versions
    out = subprocess.run(
        [os.path.join(a.harness, "run_bench.py"), "--root", a.root, "-w", a.workload,
         "-s", "changed", "-n", str(a.runs), "-t", "plain=" + plain, "-t", "versions=" + versions],
        env=env, check=True, stdout=subprocess.PIPE, text=True).stdout
    print(out)
    raw = re.search(r"raw rows: (\S+)", out).group(1)
    walls = {"plain": [], "versions": []}
    cpus = {"plain": [], "versions": []}
    with open(raw) as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row["tool"] in walls and row["rc"] == "0":
                walls[row["tool"]].append(float(row["wall_s"]))
                cpus[row["tool"]].append(float(row["user_s"]) + float(row["sys_s"]))
            if row["verify"] and row["verify"] != "ok" and row["tool"] in walls:
                print("mirror of %s: %s" % (row["tool"], row["verify"]))
    if not walls["plain"] or not walls["versions"]:
        raise SystemExit("a tool did not finish: see %s" % raw)
    plain_median = statistics.median(walls["plain"])
    versions_median = statistics.median(walls["versions"])
    ratio = versions_median / plain_median
    print("median wall: plain %.3f s, versions %.3f s; versions/plain %.3f (goal <= %.2f)" %
          (plain_median, versions_median, ratio, a.goal))
    # On a busy machine the wall times wander; the CPU times show the work.
    print("median CPU (user+sys): plain %.2f s, versions %.2f s; versions/plain %.3f" %
          (statistics.median(cpus["plain"]), statistics.median(cpus["versions"]),
           statistics.median(cpus["versions"]) / statistics.median(cpus["plain"])))
    return 0 if ratio <= a.goal else 1


if __name__ == "__main__":
    sys.exit(main())
