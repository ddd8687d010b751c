"""Devices per minute of `vantrixctl backup` with 1 and with 3 modems, against
one vantrix-sim network of six devices paced at CONNECT 9600 (--connect to
change it): bench_backup.py VANTRIXCTL VANTRIX-SIM [--connect RATE] [--devices N]"""
import argparse
import json
import os
import struct
import subprocess
import tempfile
import time

ap = argparse.ArgumentParser()
ap.add_argument("ctl")
ap.add_argument("sim")
ap.add_argument("--connect", type=int, default=9600)
ap.add_argument("--devices", type=int, default=6)
a = ap.parse_args()

numbers = ["60300%04d" % i for i in range(a.devices)]
with tempfile.TemporaryDirectory() as tmp:
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    conns = os.path.join(tmp, "Connection.dat")
    data = struct.pack("<IiI", 1, -1, len(numbers))
    args = [a.sim, "--state", os.path.join(tmp, "default.json"), "--modem", "--modems", "3", "--pace",
            "--call-result", "CONNECT %d" % a.connect, "--ring-ms", "1000", "--guard-ms", "1000"]
    for i, n in enumerate(numbers):
        data += n.encode().ljust(16, b"\0") + b"1234".ljust(9, b"\0")
        state = os.path.join(tmp, n + ".json")
        with open(state, "w") as f:
            json.dump({"identity": {"serial": 5000 + i}, "pin": "1234"}, f)
        args += ["--device", "%s=%s" % (n, state)]
    with open(conns, "wb") as f:
        f.write(data)
    for i in range(3):
        args += ["--link", os.path.join(modems, "M%d" % i)]
    sim = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    for _ in range(3):
        sim.stdout.readline()
    listed = subprocess.run([a.ctl, "--modem-dir", modems, "modems"], capture_output=True).stdout.decode()
    index = {m["name"]: m["index"] for m in map(json.loads, listed.splitlines())}
    for count in (1, 3):
        cmd = [a.ctl, "--modem-dir", modems]
        for i in range(count):
            cmd += ["--modem", str(index["M%d" % i])]
        t0 = time.monotonic()
        r = subprocess.run(cmd + ["backup", os.path.join(tmp, "out%d" % count), "--connections", conns],
                           capture_output=True)
        took = time.monotonic() - t0
        print("%d modem%s: %d devices in %.1f s, %.1f devices per minute (status %d)"
              % (count, "" if count == 1 else "s", a.devices, took, 60 * a.devices / took, r.returncode))
    sim.stdin.close()
    sim.wait(timeout=30)
