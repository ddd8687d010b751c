"""vantrix-sim as a telephone network: with several modems and devices a call
reaches the device of the number dialled, whichever modem dials; a device in a
call is busy, a number no device has gets no carrier, a silent device answers
nothing; with --pace a call carries the data at its CONNECT rate."""
import json
import os
import select
import subprocess
import sys
import tempfile
import time
import tty

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simproc import Sim, check  # noqa: E402

CTL = sys.argv[1]
SIM = sys.argv[2]


def expect(fd, token, timeout=10):
    """Reads the line until `token` has come; what came."""
    got = b""
    end = time.monotonic() + timeout
    while token not in got:
        left = end - time.monotonic()
        check(left > 0, "%r within %d s, got %r" % (token, timeout, got))
        if select.select([fd], [], [], left)[0]:
            got += os.read(fd, 4096)
    return got


def dial(port, number, token=b"CONNECT"):
    """Opens a modem's port and dials; the open port once `token` has come."""
    fd = os.open(port, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    os.write(fd, b"ATD" + number.encode() + b"\r")
    expect(fd, token)
    return fd


def records(sim):
    """Stops the simulator; its modem records by index and its device records by number."""
    sim.stop()
    lines = [json.loads(line) for line in sim.proc.stdout.read().decode().splitlines() if line.startswith("{")]
    return ({r["index"]: r["modem"] for r in lines if "modem" in r},
            {r["device"]: r for r in lines if "device" in r})


with tempfile.TemporaryDirectory() as tmp:
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    states = {"A": {"identity": {"serial": 1001}, "pin": "1111"},
              "B": {"identity": {"serial": 2002}, "pin": "2222"},
              "C": {"identity": {"serial": 3003}, "silent": True}}
    for name, state in states.items():
        with open(os.path.join(tmp, name + ".json"), "w", encoding="utf-8") as f:
            json.dump(state, f)
    with Sim(SIM, tmp, "--modem", "--modems", "2", "--ring-ms", "100", "--guard-ms", "200",
             "--device", "603111111=" + os.path.join(tmp, "A.json"),
             "--device", "603222222=" + os.path.join(tmp, "B.json"),
             "--device", "603333333=" + os.path.join(tmp, "C.json"),
             "--link", os.path.join(modems, "M0"), "--link", os.path.join(modems, "M1")) as sim:
        ports = [sim.port, sim.proc.stdout.readline().decode().strip()]
        check(ports[1].startswith("/") and ports[1] != ports[0], "a port per modem: %s" % ports)
        check([os.readlink(os.path.join(modems, m)) for m in ("M0", "M1")] == ports, "a link per modem, in order")
        listed = [json.loads(line) for line in
                  subprocess.run([CTL, "--modem-dir", modems, "modems"], capture_output=True,
                                 timeout=60).stdout.decode().splitlines()]
        index = {m["name"]: m["index"] for m in listed if m["path"].startswith(modems)}

        def identify(modem, number, pin):
            return subprocess.run([CTL, "--modem-dir", modems, "--remote", number, "--pin", pin,
                                   "--modem", str(index[modem]), "identify"], capture_output=True, timeout=60)

        # The number chooses the device, with its own serial and PIN.
        r = identify("M0", "603 222 222", "2222")
        check(r.returncode == 0 and json.loads(r.stdout)["serial"] == "00002002", "modem 0 reaches B: %r" % (r,))
        r = identify("M1", "603111111", "1111")
        check(r.returncode == 0 and json.loads(r.stdout)["serial"] == "00001001", "modem 1 reaches A: %r" % (r,))

        # While modem 0 holds a call to A, A is busy for modem 1; other numbers get no carrier.
        held = dial(ports[0], "603111111")
        r = identify("M1", "603111111", "1111")
        check(r.returncode == 9, "busy device: %r" % (r,))
        os.close(held)
        r = identify("M1", "603999999", "1111")
        check(r.returncode == 9, "unknown number: %r" % (r,))

        # The silent device takes the call and answers nothing.
        fd = dial(ports[1], "603333333")
        os.write(fd, b"AT\r")
        check(not select.select([fd], [], [], 0.5)[0], "silent device answered")
        os.close(fd)

        m, d = records(sim)
        check(m[0]["results"] == ["CONNECT 9600", "CONNECT 9600"], "modem 0: %s" % m[0])
        check(m[1]["results"] == ["CONNECT 9600", "BUSY", "NO CARRIER", "CONNECT 9600"], "modem 1: %s" % m[1])
        check({n: (r["serial"], r["calls"]) for n, r in d.items()} ==
              {"603111111": (1001, 2), "603222222": (2002, 1), "603333333": (3003, 1)}, "devices: %s" % d)

    # A call's data at the CONNECT rate: the same AT dialogue at 2400 Bd takes
    # clearly longer than at 57600 Bd (the PC's line runs at 57600 in both).
    took = {}
    for rate in ("2400", "57600"):
        with Sim(SIM, tmp, "--modem", "--pace", "--ring-ms", "50", "--call-result", "CONNECT " + rate) as sim:
            fd = dial(sim.port, "603123456")
            t0 = time.monotonic()
            for _ in range(8):
                os.write(fd, b"AT+CGDCONT?\r")
                expect(fd, b"OK\r\n")
            took[rate] = time.monotonic() - t0
            os.close(fd)
            sim.stop()
    check(took["2400"] > 3 * took["57600"], "paced at the CONNECT rate: %s" % took)
print("ok")
