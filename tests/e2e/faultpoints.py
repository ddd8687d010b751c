"""A fault at every step: each operation of vantrixctl runs once per request
frame k of its fault-free exchange with one fault at frame k (the reply
dropped, late past the time-out, cut to four bytes or sent twice; the program
killed or interrupted as the device receives frame k). Random faults miss
windows one frame wide; this walks through all of them. After every run:
every SMS the device deleted is in the output, a run that exits 0 gives the
fault-free result, a file is its old or its new bytes, and the program ended
within its time-outs plus 5 s.

  faultpoints.py VANTRIXCTL VANTRIX-SIM [OPERATION ...]

FAULTPOINT_JOBS sets how many runs go at once (they mostly wait on time-outs).
"""
import concurrent.futures
import datetime
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

CTL = SIM = None  # the programs under test, set by main() (or a campaign that imports this)
JOBS = int(os.environ.get("FAULTPOINT_JOBS", "10"))

KINDS = ["drop", "late", "short", "dup", "kill", "int"]
QUEUE = [{"time": "2024-03-0%d 07:08:09" % (i + 1), "number": "+42060311122%d" % i,
          "text": "Zpráva č. %d: příliš žluťoučký kůň" % i} for i in range(3)]
# The PC's per-byte read time-out of a command, as its table gives it (ms).
READ_MS = {0x21: 5000, 0x22: 2500, 0x27: 6000, 0x86: 2500}
DRAIN_MS = 200
SLACK_S = 5


def budget_ms(cmd, k):
    """The longest the program's own time-outs may add for one fault at frame k."""
    if k == 1:
        # No answer to the first 0x86: the speed search tries all ten
        # speeds, and the disconnect that follows waits for both its frames.
        return 10 * (1000 + DRAIN_MS) + 2 * (2500 + DRAIN_MS)
    return READ_MS.get(cmd, 3000) + 300 + 3 * DRAIN_MS


def sms_line(s):
    return {"time": s["time"].replace(" ", "T"), "number": s["number"], "text": s["text"]}


class Sim:
    """vantrix-sim with a control socket; held frames are told on its stdout."""

    def __init__(self, tmp, state, options):
        self.state_path = os.path.join(tmp, "state.json")
        self.control_path = os.path.join(tmp, "control")
        with open(self.state_path, "w", encoding="utf-8") as f:
            json.dump(state, f)
        self.proc = subprocess.Popen([SIM, "--state", self.state_path, "--control", self.control_path, *options],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.port = self.proc.stdout.readline().decode().strip()
        if not self.port.startswith("/"):
            raise RuntimeError("vantrix-sim did not start")
        os.set_blocking(self.proc.stdout.fileno(), False)
        self.buf = b""

    def held(self):
        """The frame numbers held back since the last call."""
        try:
            chunk = self.proc.stdout.read()
        except BlockingIOError:
            chunk = None
        self.buf += chunk or b""
        frames = []
        while b"\n" in self.buf:
            line, self.buf = self.buf.split(b"\n", 1)
            if line.startswith(b"{"):
                frames.append(json.loads(line)["held"])
        return frames

    def control(self, line):
        with socket.socket(socket.AF_UNIX) as s:
            s.settimeout(5)
            s.connect(self.control_path)
            s.sendall(line.encode() + b"\n")
            data = b""
            while not data.endswith(b"\n"):
                part = s.recv(1 << 20)
                if not part:
                    break
                data += part
        return json.loads(data)

    def stop(self):
        stats = self.control("stats")
        self.proc.stdin.close()
        self.proc.wait(timeout=10)
        with open(self.state_path, encoding="utf-8") as f:
            return json.load(f), stats

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Operation:
    """One vantrixctl command, its device and what the fault-free run gives."""

    def __init__(self, name, args, state, tmp):
        self.name, self.args, self.state = name, args, state
        self.tmp = tmp


def make_operations(tmp):
    cfg = os.path.join(tmp, "write.cfg")
    subprocess.run([CTL, "cfg-new", cfg], check=True)
    dump = json.loads(subprocess.run([CTL, "cfg-dump", cfg], check=True, capture_output=True).stdout)
    dump["reset_sms_text"] = "Žádný restart"
    dump["audio_in_level"] = 77
    src = os.path.join(tmp, "write.json")
    with open(src, "w", encoding="utf-8") as f:
        json.dump(dump, f)
    subprocess.run([CTL, "cfg-load", src, cfg], check=True)
    return [
        Operation("sms-read", ["sms-read"], {"smsQueue": QUEUE}, tmp),
        Operation("status", ["status"], {"inputs": 5, "outputs": 9}, tmp),
        Operation("read-config", ["read-config", "{dir}/out.cfg"], {}, tmp),
        Operation("write-config", ["write-config", cfg], {}, tmp),
        Operation("monitor", ["monitor"], {"smsQueue": QUEUE[:1]}, tmp),
    ]


def run(op, kind=None, k=None, bound=120, faults=()):
    """One run, with one fault at frame k or the simulator's own (random)
    `faults`; returns what a check needs."""
    run_dir = tempfile.mkdtemp(dir=op.tmp)
    # A device takes a moment for each answer, as a real one does: a doubled
    # answer then comes while the PC already waits for the next one.
    options = ["--reply-ms", "50", *faults]
    if kind in ("drop", "late", "short", "dup"):
        options += ["--fault", "%d:%s" % (k, kind)]
    elif kind in ("kill", "int"):
        options += ["--fault", "%d:hold" % k]
    sim = Sim(run_dir, op.state, options)
    out_path = os.path.join(run_dir, "out.cfg")
    if op.name == "read-config":
        with open(out_path, "wb") as f:
            f.write(b"the old file")
    args = [a.replace("{dir}", run_dir) for a in op.args]
    stdout = open(os.path.join(run_dir, "stdout"), "wb")
    stderr = open(os.path.join(run_dir, "stderr"), "wb")
    start = time.monotonic()
    proc = subprocess.Popen([CTL, "--port", sim.port, *args], stdout=stdout, stderr=stderr)
    if kind == "kill":
        # The simulator kills the program the moment frame k arrives.
        sim.control("kill-on-hold %d" % proc.pid)
    interrupted = False
    signalled = None
    try:
        while proc.poll() is None:
            if time.monotonic() - start > bound + 30:
                proc.kill()
                break
            if kind in ("kill", "int") and k in sim.held() and signalled is None:
                signalled = kind
                interrupted = True
                if kind == "int":
                    proc.send_signal(signal.SIGINT)
                elif proc.poll() is None:
                    # The frame came before the simulator was told whom to
                    # kill: the same moment, killed from here.
                    proc.kill()
                    proc.wait()
                sim.control("release")
            if op.name == "monitor" and not interrupted:
                with open(os.path.join(run_dir, "stdout"), "rb") as f:
                    seen = b'"event":"sms"' in f.read()
                # The monitor runs until it is told to stop: once the SMS is
                # out, or after long enough for it to come.
                if seen or time.monotonic() - start > 25:
                    interrupted = True
                    proc.send_signal(signal.SIGINT)
            time.sleep(0.02)
        rc = proc.wait()
        elapsed = time.monotonic() - start
        state, stats = sim.stop()
    finally:
        sim.kill()
        stdout.close()
        stderr.close()
    with open(os.path.join(run_dir, "stdout"), "rb") as f:
        out = f.read().decode("utf-8", "replace")
    with open(os.path.join(run_dir, "stderr"), "rb") as f:
        err = f.read().decode("utf-8", "replace")
    file_bytes = None
    if os.path.exists(out_path):
        with open(out_path, "rb") as f:
            file_bytes = f.read()
    leftovers = [n for n in os.listdir(run_dir) if n.startswith("out.cfg") and n != "out.cfg"]
    return {"rc": rc, "out": out, "err": err, "elapsed": elapsed, "state": state, "stats": stats,
            "file": file_bytes, "leftovers": leftovers, "signalled": signalled}


def lines_of(out):
    """The complete JSON lines of an output (a killed program may leave half a line)."""
    lines = []
    for line in out.split("\n"):
        try:
            lines.append(json.loads(line))
        except ValueError:
            pass
    return lines


def check(op, base, r, kind, k, faults=1):
    """What must hold after a run (with `faults` faults in it); a list of the
    faults found."""
    problems = []
    start_queue = op.state.get("smsQueue", [])
    left = r["state"]["smsQueue"]
    deleted = start_queue[:len(start_queue) - len(left)]
    if left != start_queue[len(deleted):]:
        problems.append("the device's queue is no tail of what it held: %s" % left)
    got = lines_of(r["out"])
    for s in deleted:
        if not any(line.get("number") == s["number"] and line.get("text") == s["text"] and
                   line.get("time") == sms_line(s)["time"] for line in got):
            problems.append("SMS %s deleted on the device but not in the output" % s["number"])
    bound = base["elapsed"] + faults * budget_ms(base["cmd"].get(k, 0), k) / 1000 + SLACK_S
    if r["elapsed"] > bound:
        problems.append("took %.1f s, more than %.1f s" % (r["elapsed"], bound))
    if op.name == "read-config":
        if r["file"] not in (b"the old file", base["file"]):
            problems.append("the output file is neither its old nor its new bytes (%s bytes)" %
                            (None if r["file"] is None else len(r["file"])))
        if r["leftovers"]:
            problems.append("temporary files left: %s" % r["leftovers"])
    if r["rc"] == 0 and kind != "kill":
        problems += same_result(op, base, r)
    if r["rc"] != 0 and kind not in ("kill", "int") and not r["err"].strip():
        problems.append("exit %d without a word on stderr" % r["rc"])
    return problems


def same_result(op, base, r):
    """A run that says it succeeded gives what the fault-free run gave."""
    problems = []
    if op.name == "sms-read" and r["out"] != base["out"]:
        problems.append("exit 0 with other SMS: %s" % r["out"])
    if op.name == "status":
        got = lines_of(r["out"])
        if len(got) != 1:
            problems.append("exit 0 without one state line: %r" % r["out"])
        else:
            a, b = dict(got[0]), dict(lines_of(base["out"])[0])
            clock = a.pop("time")
            b.pop("time")
            if a != b:
                problems.append("exit 0 with another state: %s" % got[0])
            try:
                off = abs((datetime.datetime.fromisoformat(clock) - datetime.datetime.now()).total_seconds())
            except ValueError:
                off = None
            if off is None or off > 60:
                problems.append("exit 0 with a clock of %s" % clock)
    if op.name == "read-config" and r["file"] != base["file"]:
        problems.append("exit 0 but the file does not hold the device's configuration")
    if op.name == "write-config" and r["state"]["image"] != base["state"]["image"]:
        problems.append("exit 0 but the device does not hold the configuration written")
    if op.name == "monitor":
        got = lines_of(r["out"])
        start = [x for x in got if x.get("event") == "start"]
        want = dict(lines_of(base["out"])[0])
        if len(start) != 1:
            problems.append("exit 0 without one start line")
        else:
            a = dict(start[0])
            a.pop("time"), want.pop("time")
            if a != want:
                problems.append("exit 0 with another start state: %s" % start[0])
        for x in got:
            if x.get("event") == "sms" and {k: x[k] for k in ("time", "number", "text")} != sms_line(QUEUE[0]):
                problems.append("exit 0 with an SMS the device never had: %s" % x)
    return problems


def baselines(ops):
    """The fault-free run of each operation, or None when one fails."""
    bases = {}
    for op in ops:
        base = run(op)
        if base["rc"] != 0:
            print("%s: the fault-free run exits %d: %s" % (op.name, base["rc"], base["err"]))
            return None
        base["cmd"] = {i + 1: c for i, c in enumerate(base["stats"]["commands"])}
        bases[op.name] = base
        print("%s: %d frames fault-free, %.1f s" % (op.name, base["stats"]["frames"], base["elapsed"]))
    return bases


def main():
    global CTL, SIM
    CTL, SIM = sys.argv[1], sys.argv[2]
    only = sys.argv[3:]
    results = {}
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        ops = [op for op in make_operations(tmp) if not only or op.name in only]
        bases = baselines(ops)
        if bases is None:
            return 1
        cases = [(op, kind, k) for op in ops for k in range(1, bases[op.name]["stats"]["frames"] + 1)
                 for kind in KINDS]
        t0 = time.monotonic()
        slow = []  # cases whose only fault was their time, run again alone

        def judge(op, kind, k, r, again):
            problems = check(op, bases[op.name], r, kind, k)
            if problems and not again and all(p.startswith("took ") for p in problems):
                slow.append((op, kind, k))
            elif problems:
                cmd = bases[op.name]["cmd"].get(k, 0)
                failures.append("%s, frame %d (0x%02X), %s: exit %d; %s\n    stderr: %s" %
                                (op.name, k, cmd, kind, r["rc"], "; ".join(problems), r["err"].strip()))

        with concurrent.futures.ThreadPoolExecutor(max_workers=JOBS) as pool:
            futures = {pool.submit(run, op, kind, k): (op, kind, k) for op, kind, k in cases}
            for fut in concurrent.futures.as_completed(futures):
                op, kind, k = futures[fut]
                r = fut.result()
                key = (op.name, kind)
                results.setdefault(key, [0, 0])
                results[key][0] += 1
                results[key][1] += r["rc"] == 0
                judge(op, kind, k, r, False)
        # Ten runs at once on a loaded machine can pass a time bound that the
        # program keeps; a program that is slow of itself is slow again alone.
        for op, kind, k in slow:
            judge(op, kind, k, run(op, kind, k), True)
        print("%d cases (operation, frame, fault) in %.0f s, %d run again alone for their time:" %
              (len(cases), time.monotonic() - t0, len(slow)))
        for (name, kind), (n, ok) in sorted(results.items()):
            print("  %-12s %-5s %3d runs, %3d exit 0" % (name, kind, n, ok))
    for f in failures:
        print("FAULT: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
