"""The random fault campaign: vantrixctl's sms-read, status, read-config,
write-config and monitor against vantrix-sim, each run with faults drawn at
random (replies dropped, corrupted, late past the time-out, doubled, cut to
four bytes; or the program killed or interrupted at a random frame), with the
checks of the fault-point test after every run. Prints the figures; exit
status 1 when a run reported a wrong result as success or lost an SMS.

  campaign.py VANTRIXCTL VANTRIX-SIM [--runs N] [--seed N] [--jobs N]
"""
import argparse
import collections
import concurrent.futures
import os
import random
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import faultpoints as fp  # noqa: E402

RATES = ["--drop", "--corrupt", "--late", "--dup", "--short"]


def draw(rng, base):
    """One run's faults: the simulator's rates, or a kill or SIGINT at a frame."""
    if rng.random() < 0.25:
        return rng.choice(["kill", "int"]), rng.randint(1, base["stats"]["frames"]), [], 1
    faults = ["--seed", str(rng.randrange(1 << 30))]
    chosen = rng.sample(RATES, rng.randint(1, 3))
    for rate in chosen:
        faults += [rate, "%.2f" % rng.uniform(0.05, 0.25)]
    # A run meets a fault at about rate x frames of its frames; the time bound
    # allows for that many.
    return "random", None, faults, 1 + int(sum(float(faults[i + 1]) for i in range(2, len(faults), 2)) *
                                           base["stats"]["frames"])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("ctl")
    ap.add_argument("sim")
    ap.add_argument("--runs", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=10)
    a = ap.parse_args()
    fp.CTL, fp.SIM = a.ctl, a.sim
    rng = random.Random(a.seed)
    with tempfile.TemporaryDirectory() as tmp:
        ops = fp.make_operations(tmp)
        bases = fp.baselines(ops)
        if bases is None:
            return 1
        plan = []
        for _ in range(a.runs):
            op = rng.choice(ops)
            plan.append((op, *draw(rng, bases[op.name])))
        counts = collections.Counter()
        exits = collections.Counter()
        broken = []
        t0 = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(max_workers=a.jobs) as pool:
            futures = {pool.submit(fp.run, op, None if kind == "random" else kind, k, faults=faults):
                       (op, kind, k, faults, n) for op, kind, k, faults, n in plan}
            for fut in concurrent.futures.as_completed(futures):
                op, kind, k, faults, n = futures[fut]
                r = fut.result()
                stats = r["stats"]
                counts["runs"] += 1
                counts[op.name] += 1
                for f in ("dropped", "corrupted", "late", "duplicated", "shortened"):
                    counts[f] += stats[f]
                counts["killed" if kind == "kill" else "interrupted" if kind == "int" else "random"] += 1
                exits[r["rc"]] += 1
                problems = fp.check(op, bases[op.name], r, kind, k or 1, faults=n)
                lost = [p for p in problems if "deleted on the device" in p]
                wrong = [p for p in problems if p.startswith("exit 0")]
                counts["lost"] += len(lost)
                counts["wrong"] += bool(wrong)
                counts["other"] += len(problems) - len(lost) - len(wrong)
                if problems:
                    broken.append("%s %s k=%s %s: exit %d; %s" % (op.name, kind, k, " ".join(faults), r["rc"],
                                                                  "; ".join(problems)))
        took = time.monotonic() - t0
    print("%d runs in %.0f s (%s)" % (counts["runs"], took,
                                      ", ".join("%s %d" % (op.name, counts[op.name]) for op in ops)))
    print("faults: %d dropped, %d corrupted, %d late, %d doubled, %d cut; %d runs killed, %d interrupted" %
          (counts["dropped"], counts["corrupted"], counts["late"], counts["duplicated"], counts["shortened"],
           counts["killed"], counts["interrupted"]))
    print("exit statuses: %s" % ", ".join("%d: %d" % (rc, n) for rc, n in sorted(exits.items())))
    print("wrong results reported as success: %d; SMS deleted but not kept: %d; other faults: %d" %
          (counts["wrong"], counts["lost"], counts["other"]))
    for b in broken:
        print("BROKEN: " + b)
    return 1 if counts["wrong"] or counts["lost"] else 0


if __name__ == "__main__":
    sys.exit(main())
