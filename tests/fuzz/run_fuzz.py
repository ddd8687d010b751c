#!/usr/bin/env python3
"""Runs libFuzzer targets over their seed corpus and reports one line each.

    run_fuzz.py [--seconds N] [--jobs J] [--work-root DIR] [--corpus-root DIR]
                [--artifacts DIR] TARGET...

TARGET is a fuzz_<name> executable; its seeds are CORPUS_ROOT/<name>. The
seeds are only read: new inputs go to WORK_ROOT/<name> (kept between runs), or
to a temporary directory that is removed afterwards when there is no work
root. An input that breaks the target is saved in ARTIFACTS and its report is
printed. The exit status is 1 when any target failed.
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def figures(log):
    """Executions, corpus inputs and bytes, seconds: from libFuzzer's own report."""
    runs = re.findall(r"stat::number_of_executed_units: (\d+)", log)
    secs = re.findall(r"Done \d+ runs in (\d+) second", log)
    corp = re.findall(r"corp: (\d+)/(\d+)(b|Kb|Mb)", log)
    size = 0
    if corp:
        n, unit = int(corp[-1][1]), corp[-1][2]
        size = n * {"b": 1, "Kb": 1024, "Mb": 1024 * 1024}[unit]
    return (int(runs[-1]) if runs else 0, int(corp[-1][0]) if corp else 0, size,
            int(secs[-1]) if secs else 0)


def run_one(binary, args):
    name = os.path.basename(binary)
    short = name[len("fuzz_"):] if name.startswith("fuzz_") else name
    seeds = os.path.join(args.corpus_root, short)
    artifacts = os.path.join(args.artifacts, short)
    os.makedirs(artifacts, exist_ok=True)
    temp = None
    if args.work_root:
        work = os.path.join(args.work_root, short)
        os.makedirs(work, exist_ok=True)
    else:
        temp = tempfile.mkdtemp(prefix="vantrix-fuzz-" + short + "-")
        work = temp
    cmd = [binary, "-max_total_time=%d" % args.seconds, "-print_final_stats=1", "-timeout=10",
           "-rss_limit_mb=2048", "-artifact_prefix=" + artifacts + "/", work]
    if os.path.isdir(seeds):
        cmd.append(seeds)
    env = dict(os.environ)
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    try:
        proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env,
                              timeout=args.seconds + 300)
        log = proc.stdout.decode("utf-8", "replace")
        code = proc.returncode
    except subprocess.TimeoutExpired as e:
        log = (e.stdout or b"").decode("utf-8", "replace") + "\n(the run did not end in time)\n"
        code = -1
    finally:
        if temp:
            shutil.rmtree(temp, ignore_errors=True)
    runs, inputs, size, secs = figures(log)
    ok = code == 0
    line = "%-18s %s %10d runs in %4d s, corpus %5d inputs / %7d bytes" % (
        short, "ok    " if ok else "FAILED", runs, secs, inputs, size)
    return ok, line, log


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--seconds", type=int, default=5)
    p.add_argument("--jobs", type=int, default=1)
    p.add_argument("--work-root")
    p.add_argument("--corpus-root", default=os.path.join(HERE, "corpus"))
    p.add_argument("--artifacts", default=os.path.join(tempfile.gettempdir(), "vantrix-fuzz-artifacts"))
    p.add_argument("targets", nargs="+")
    args = p.parse_args()

    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for ok, line, log in pool.map(lambda t: run_one(t, args), args.targets):
            if not ok:
                failed += 1
                sys.stdout.write(log[-12000:] + "\n")
            print(line, flush=True)
    if len(args.targets) > 1:
        print("fuzz: %d of %d targets failed" % (failed, len(args.targets)) if failed
              else "fuzz: all %d targets ran without a finding" % len(args.targets))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
