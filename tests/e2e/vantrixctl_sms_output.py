"""vantrixctl sms-read and monitor acknowledge only the SMS they have written
out: a full disk or a reader that went away stops them (74), and the rest
stays on the device."""
import json
import os
import resource
import subprocess
import sys
import tempfile

from simproc import Sim, check

CTL, SIM = sys.argv[1], sys.argv[2]

QUEUE = [{"time": "2008-04-03 09:05:0%d" % i, "number": "60311122%d" % i, "text": "zpráva %d" % i}
         for i in range(3)]


def waiting(state):
    return [m["text"] for m in state["smsQueue"]]


def to_full(sim, command):
    """The command with its output on /dev/full: status and stderr."""
    with open("/dev/full", "w") as full:
        r = subprocess.run([CTL, "--port", sim.port, command], stdout=full, stderr=subprocess.PIPE, timeout=120)
    return r.returncode, r.stderr.decode()


def reader_goes_away(sim, command):
    """The command's reader takes one line and closes the pipe: that line,
    the status and stderr."""
    p = subprocess.Popen([CTL, "--port", sim.port, command], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    first = json.loads(p.stdout.readline().decode())
    p.stdout.close()
    err = p.stderr.read().decode()
    return first, p.wait(timeout=120), err


with tempfile.TemporaryDirectory() as tmp:
    # Every write fails: exit 74 with a message, nothing acknowledged.
    with Sim(SIM, tmp, state={"smsQueue": QUEUE}) as sim:
        rc, err = to_full(sim, "sms-read")
        check(rc == 74 and "sms-read:" in err, "sms-read >/dev/full: status %d, %s" % (rc, err))
        left = waiting(sim.stop())
        check(left == ["zpráva 0", "zpráva 1", "zpráva 2"], "all three still on the device: %s" % left)

    # The reader takes one line and goes away while the first acknowledge is
    # on its way: the second SMS cannot be written, and neither it nor the
    # third is acknowledged. The program is not killed by SIGPIPE.
    with Sim(SIM, tmp, "--delay", "0x2A:1500", state={"smsQueue": QUEUE}) as sim:
        first, rc, err = reader_goes_away(sim, "sms-read")
        check(first["text"] == "zpráva 0", "first line: %s" % first)
        check(rc == 74, "closed pipe: status %d (a signal is negative), %s" % (rc, err))
        left = waiting(sim.stop())
        check(left == ["zpráva 1", "zpráva 2"], "the unwritten two stay on the device: %s" % left)

    # A file size limit (ulimit -f): the first line that no longer fits fails
    # with EFBIG (the program is not killed by SIGXFSZ), 74, the rest stays.
    with Sim(SIM, tmp, state={"smsQueue": QUEUE}) as sim:
        out = os.path.join(tmp, "limited.txt")
        with open(out, "w") as f:
            r = subprocess.run([CTL, "--port", sim.port, "sms-read"], stdout=f, stderr=subprocess.PIPE, timeout=120,
                               preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (100, 100)))
        err = r.stderr.decode()
        check(r.returncode == 74 and "sms-read:" in err, "sms-read under ulimit -f: status %d, %s" % (r.returncode, err))
        left = waiting(sim.stop())
        written = open(out, encoding="utf-8").read().count("\n")
        check(written + len(left) == 3 and len(left) >= 2, "%d written, the rest on the device: %s" % (written, left))

    # monitor: the first line cannot be written, it ends at once with 74
    # instead of watching on; nothing is acknowledged.
    with Sim(SIM, tmp, state={"smsQueue": QUEUE}) as sim:
        rc, err = to_full(sim, "monitor")
        check(rc == 74 and "monitor:" in err, "monitor >/dev/full: status %d, %s" % (rc, err))
        left = waiting(sim.stop())
        check(len(left) == 3, "all three still on the device: %s" % left)

    # monitor: the reader goes away after the start line; the SMS the idle
    # poll then reads cannot be written and stays on the device.
    with Sim(SIM, tmp, state={"smsQueue": QUEUE[:1]}) as sim:
        first, rc, err = reader_goes_away(sim, "monitor")
        check(first["event"] == "start", "first line: %s" % first)
        check(rc == 74 and "monitor:" in err, "monitor, closed pipe: status %d, %s" % (rc, err))
        left = waiting(sim.stop())
        check(left == ["zpráva 0"], "the SMS stays on the device: %s" % left)
print("ok")
