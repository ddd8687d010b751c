"""vantrixctl backup against one simulated telephone network: four devices
behind three modems, one with a wrong PIN in the list and one silent. Every
device read is kept byte for byte, the failures are named with their codes, a
second run names exactly the field changed on site, and a backup killed while
it writes leaves every file old or new."""
import json
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simproc import Sim, check  # noqa: E402

CTL = sys.argv[1]
SIM = sys.argv[2]

DEVICES = {  # number: serial, PIN on the device, PIN in the list
    "603111111": (1001, "1111", "1111"),
    "603222222": (2002, "2222", "2222"),
    "603333333": (3003, "3333", "3333"),  # silent
    "603444444": (4004, "4444", "9999"),  # refused
}
CHANGED = 1261  # a byte of the device's image (layout 2) that the configuration holds, changed on site


def connection_list(path, numbers):
    data = struct.pack("<IiI", 1, -1, len(numbers))
    for n in numbers:
        data += n.encode().ljust(16, b"\0") + DEVICES[n][2].encode().ljust(9, b"\0")
    with open(path, "wb") as f:
        f.write(data)


class Network:
    """One vantrix-sim with three modems, linked as M0..M2, and the devices."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.modems = os.path.join(tmp, "modems")
        os.makedirs(self.modems, exist_ok=True)
        args = ["--modem", "--modems", "3", "--ring-ms", "100", "--guard-ms", "200"]
        for i in range(3):
            link = os.path.join(self.modems, "M%d" % i)
            if os.path.lexists(link):
                os.remove(link)
            args += ["--link", link]
        for number, (serial, pin, _) in DEVICES.items():
            path = self.state(number)
            if not os.path.exists(path):
                with open(path, "w") as f:
                    json.dump({"identity": {"serial": serial}, "pin": pin, "silent": serial == 3003}, f)
            args += ["--device", "%s=%s" % (number, path)]
        self.sim = Sim(SIM, tmp, *args)
        for _ in range(2):
            self.sim.proc.stdout.readline()

    def state(self, number):
        return os.path.join(self.tmp, number + ".json")

    def ctl(self, *args, modems=(0, 1, 2), timeout=300):
        listed = subprocess.run([CTL, "--modem-dir", self.modems, "modems"], capture_output=True).stdout
        index = {m["name"]: m["index"] for m in map(json.loads, listed.decode().splitlines())}
        cmd = [CTL, "--modem-dir", self.modems]
        for i in modems:
            cmd += ["--modem", str(index["M%d" % i])]
        return cmd + list(args)

    def stop(self):
        """The devices' states, and the calls each device got."""
        self.sim.stop()
        records = [json.loads(x) for x in self.sim.proc.stdout.read().decode().splitlines() if x.startswith("{")]
        self.calls = {r["device"]: r["calls"] for r in records if "device" in r}
        return {n: json.load(open(self.state(n))) for n in DEVICES}


def run(cmd):
    r = subprocess.run(cmd, capture_output=True, timeout=300)
    return r.returncode, [json.loads(x) for x in r.stdout.decode().splitlines()], r.stderr.decode()


with tempfile.TemporaryDirectory() as tmp:
    conns = os.path.join(tmp, "Connection.dat")
    connection_list(conns, list(DEVICES))
    out = os.path.join(tmp, "backup")

    # The first backup: three modems, every entry.
    net = Network(tmp)
    rc, lines, err = run(net.ctl("backup", out, "--connections", conns))
    # What read-config of each device gives, over the same network.
    direct = {}
    for number in ("603111111", "603222222"):
        path = os.path.join(tmp, number + ".cfg")
        r = subprocess.run(net.ctl("--remote", number, "--pin", DEVICES[number][1], "read-config", path,
                                   modems=(0,)), capture_output=True, timeout=120)
        check(r.returncode == 0, "read-config %s: %s" % (number, r.stderr))
        direct[number] = open(path, "rb").read()
    states = net.stop()
    check(rc == 75, "some device not read: status %d %s" % (rc, err))
    by = {x["number"]: x for x in lines}
    check(sorted(by) == sorted(DEVICES), "a line per device: %s" % lines)
    for number in ("603111111", "603222222"):
        x = by[number]
        serial = "%08d" % DEVICES[number][0]
        check(x["code"] == 0 and x["serial"] == serial and "changed" not in x, "read: %s" % x)
        cfg = os.path.join(out, serial + ".cfg")
        check(open(cfg, "rb").read() == direct[number], "%s.cfg is the device's configuration" % serial)
        dump = subprocess.run([CTL, "cfg-dump", cfg], capture_output=True).stdout
        check(json.load(open(os.path.join(out, serial + ".json"))) == json.loads(dump), "%s.json is its dump" % serial)
    check(by["603444444"]["code"] == 11 and by["603444444"]["serial"] is None, "refused PIN: %s" % by["603444444"])
    check(by["603333333"]["code"] in (3, 9) and by["603333333"]["text"], "silent device: %s" % by["603333333"])
    # The silent device is called once more; the refused PIN is not tried again.
    check(net.calls["603333333"] == 2 and net.calls["603444444"] == 1, "calls per device: %s" % net.calls)
    check(sorted(os.listdir(out)) == ["00001001.cfg", "00001001.json", "00002002.cfg", "00002002.json",
                                      "backup.jsonl"], "no files of unread devices: %s" % os.listdir(out))
    journal = [json.loads(x) for x in open(os.path.join(out, "backup.jsonl"))]
    check(journal == lines, "backup.jsonl holds the printed lines")
    check(len({x["modem"] for x in lines}) > 1, "the calls spread over the modems: %s" % lines)

    # Changed on site: a byte of B's configuration. A second run over one
    # modem names exactly the field cfg-diff names for B and none for A.
    first = open(os.path.join(out, "00002002.cfg"), "rb").read()
    image = bytearray.fromhex(states["603222222"]["image"])
    image[CHANGED] ^= 0x01
    states["603222222"]["image"] = image.hex()
    with open(net.state("603222222"), "w") as f:
        json.dump(states["603222222"], f)
    net = Network(tmp)
    rc, lines, err = run(net.ctl("backup", out, "--connections", conns, "--number", "603 222 222",
                                 "--number", "603111111", modems=(1,)))
    net.stop()
    check(rc == 0, "second run: %d %s" % (rc, err))
    by = {x["number"]: x for x in lines}
    with open(os.path.join(tmp, "first.cfg"), "wb") as f:
        f.write(first)
    diff = subprocess.run([CTL, "cfg-diff", "--json", os.path.join(tmp, "first.cfg"),
                           os.path.join(out, "00002002.cfg")], capture_output=True).stdout
    keys = [d["key"] for d in json.loads(diff)]
    check(len(keys) == 1 and by["603222222"]["changed"] == keys, "B's change: %s, %s" % (by["603222222"], keys))
    check(by["603111111"]["changed"] == [], "A unchanged: %s" % by["603111111"])
    check(len(open(os.path.join(out, "backup.jsonl")).readlines()) == 6, "the journal grows by a line each")

    # Killed at each moment a file of the backup changes: every file is then
    # the old or the new one, and the journal has whole lines only.
    old = {n: open(os.path.join(out, n), "rb").read() for n in os.listdir(out)}
    image[CHANGED] ^= 0x02
    states["603222222"]["image"] = image.hex()
    with open(net.state("603222222"), "w") as f:
        json.dump(states["603222222"], f)
    for moment in ("00002002.json", "00002002.cfg", "backup.jsonl"):
        net = Network(tmp)
        before = os.stat(os.path.join(out, moment)).st_mtime_ns
        p = subprocess.Popen(net.ctl("backup", out, "--connections", conns, "--number", "603222222", modems=(0,)),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.monotonic() + 120
        while os.stat(os.path.join(out, moment)).st_mtime_ns == before and p.poll() is None:
            check(time.monotonic() < end, "%s never written" % moment)
            time.sleep(0.001)
        p.send_signal(signal.SIGKILL)
        p.wait()
        net.stop()
        # Old, or a whole configuration that differs from it in the changed field only.
        for name in ("00002002.cfg", "00002002.json"):
            now = open(os.path.join(out, name), "rb").read()
            if now != old[name]:
                if name.endswith(".json"):
                    json.loads(now)
                    continue
                with open(os.path.join(tmp, "now.cfg"), "wb") as f:
                    f.write(now)
                diff = subprocess.run([CTL, "cfg-diff", "--json", os.path.join(tmp, "first.cfg"),
                                       os.path.join(tmp, "now.cfg")], capture_output=True)
                check(diff.returncode == 1 and [d["key"] for d in json.loads(diff.stdout)] == keys,
                      "killed at %s: %s neither old nor new" % (moment, name))
        for x in open(os.path.join(out, "backup.jsonl")):
            json.loads(x)
        leftovers = [n for n in os.listdir(out) if n not in old]
        check(all(n.endswith(".part") for n in leftovers), "only a temporary file may be left: %s" % leftovers)

    # The one device on a local port, the same way.
    local = os.path.join(tmp, "local")
    with Sim(SIM, tmp) as sim:
        rc, lines, err = run([CTL, "--port", sim.port, "backup", local])
    check(rc == 0 and len(lines) == 1 and lines[0]["number"] is None and lines[0]["serial"] == "00004711",
          "local backup: %d %s %s" % (rc, lines, err))
    check(os.path.getsize(os.path.join(local, "00004711.cfg")) > 0, "local backup kept")
print("ok")
