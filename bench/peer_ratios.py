#!/usr/bin/env python3
"""Runs twinfold-cli beside its peers on the referee harness's workloads and
prints each goal's ratio of medians, all from one invocation.

The harness (run_bench.py and gen_workloads.py) is not part of this
repository; name its folder with --harness or TFBENCH_HARNESS.

    bench/peer_ratios.py --harness DIR --cli build/release/bin/twinfold-cli
    bench/peer_ratios.py --harness DIR --cli ... --rows w1-nochange,w1-changed

Rows (a goal is met when the ratio is at most the figure given):
  w1-nochange  W1 resync, nothing changed, vs both trees walked on 2 threads  1.2
  w3-nochange  W3 (1,000,000 files) likewise; and peak memory in MiB        1.2, 100
  w1-changed   W1 with 2% changed, vs rsync -a --delete                      0.5
  w2-initial   4 x 512 MiB first copy, vs cp -a then sync -f                 1.1
  w1-initial   W1 first copy, vs rsync -a then sync -f                       0.8
"""
import argparse
import csv
import os
import statistics
import subprocess
import sys

# name: (workload, scenario, peer tool, goal ratio)
ROWS = {
    "w1-nochange": ("W1", "nochange", "walkstat-j", 1.2),
    "w3-nochange": ("W3", "nochange", "walkstat-j", 1.2),
    "w1-changed": ("W1", "changed", "rsync", 0.5),
    "w2-initial": ("W2", "initial", "cpsync", 1.1),
    "w1-initial": ("W1", "initial", "rsyncsync", 0.8),
}
MEMORY_GOAL_MIB = {"w3-nochange": 100}

PEERS = {
    "walkstat-j": ["-t", "walkstat-j"],
    "rsync": ["-t", "rsync"],
    "cpsync": ["-t", "cpsync=sh -c 'cp -a {src}/. {dst}/ && sync -f {dst}'",
               "-t", "cpsync:only=initial"],
    "rsyncsync": ["-t", "rsyncsync=sh -c 'rsync -a --delete {src}/ {dst}/ && sync -f {dst}'",
                  "-t", "rsyncsync:only=initial"],
}


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--harness", default=os.environ.get("TFBENCH_HARNESS"),
                    help="folder of run_bench.py and gen_workloads.py")
    ap.add_argument("--cli", required=True, help="the twinfold-cli to measure")
    ap.add_argument("--root", default=os.environ.get("TFBENCH_ROOT", "/tmp/tfbench"))
    ap.add_argument("--rows", default=",".join(ROWS))
    ap.add_argument("-n", "--runs", type=int, default=5)
    ap.add_argument("--extra", default="", help="more twinfold-cli options, e.g. --versions")
    args = ap.parse_args()
    if not args.harness:
        ap.error("name the harness folder with --harness or TFBENCH_HARNESS")
    cli = os.path.abspath(args.cli)
    runner = os.path.join(args.harness, "run_bench.py")
    gen = os.path.join(args.harness, "gen_workloads.py")
    results = os.path.join(args.root, "results", "peer-ratios.tsv")
    os.makedirs(os.path.dirname(results), exist_ok=True)
    if os.path.exists(results):
        os.remove(results)

    wanted = [r for r in args.rows.split(",") if r]
    for name in wanted:
        if name not in ROWS:
            ap.error("unknown row " + name)
        workload, scenario, peer, _ = ROWS[name]
        if not os.path.isdir(os.path.join(args.root, workload, "src")):
            subprocess.run([sys.executable, gen, "--root", args.root, "gen", workload], check=True)
        # Copy what is new or differs in size or time, delete for good: what
        # rsync -a --delete does.
        twinfold = "twinfold=%s mirror {src} {dst} --flags 0x00100111 %s" % (cli, args.extra)
        cmd = [sys.executable, runner, "--root", args.root, "-w", workload, "-s", scenario,
               "-n", str(args.runs), "--results", results, "-t", twinfold] + PEERS[peer]
        subprocess.run(cmd, check=True)

    rows = {}
    with open(results, newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            if rec["run"].isdigit() and rec["rc"] == "0":
                key = (rec["workload"], rec["scenario"], rec["tool"])
                rows.setdefault(key, []).append(rec)

    print("| row | twinfold / peer (wall, medians) | goal | twinfold peak MiB | met |")
    print("|---|---|---|---|---|")
    for name in wanted:
        workload, scenario, peer, goal = ROWS[name]
        mine = rows.get((workload, scenario, "twinfold"), [])
        theirs = rows.get((workload, scenario, peer), [])
        if not mine or not theirs:
            print("| %s | not measured | %.2f | | no |" % (name, goal))
            continue
        ratio = (statistics.median(float(r["wall_s"]) for r in mine) /
                 statistics.median(float(r["wall_s"]) for r in theirs))
        peak = max(int(r["maxrss_kb"]) for r in mine) / 1024.0
        met = ratio <= goal and peak <= MEMORY_GOAL_MIB.get(name, float("inf"))
        print("| %s vs %s | %.2f | %.2f%s | %.1f | %s |" % (
            name, peer, ratio, goal,
            (", %d MiB" % MEMORY_GOAL_MIB[name]) if name in MEMORY_GOAL_MIB else "",
            peak, "yes" if met else "no"))


if __name__ == "__main__":
    main()
