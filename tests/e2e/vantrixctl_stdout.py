"""Every vantrixctl command that prints fails with 74 and a message when its
output cannot be written: a full disk (/dev/full) or an output closed at the
start. Without the check `cfg-dump a.cfg > a.json && git add a.json` goes on
with an empty file."""
import os
import subprocess
import sys
import tempfile

from simproc import Sim, check

CTL, SIM = sys.argv[1], sys.argv[2]


def to_full(*args):
    with open("/dev/full", "w") as full:
        r = subprocess.run([CTL, *args], stdout=full, stderr=subprocess.PIPE, timeout=120)
    return r.returncode, r.stderr.decode()


def closed(*args, stdin=None):
    """Started with `>&-`: descriptor 1 is not open at all."""
    r = subprocess.run([CTL, *args], input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       timeout=120, preexec_fn=lambda: os.close(1))
    return r.returncode, r.stderr.decode()


def fails(name, result, reason="No space left on device"):
    rc, err = result
    check(rc == 74 and ("%s: the output cannot be written (%s)" % (name, reason)) in err,
          "%s: status %d, %r" % (name, rc, err))


with tempfile.TemporaryDirectory() as tmp:
    a = os.path.join(tmp, "a.cfg")
    check(subprocess.run([CTL, "cfg-new", a]).returncode == 0, "cfg-new")
    b = os.path.join(tmp, "b.json")
    open(b, "w").write('{"sim1_pin": "1"}')
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    os.symlink(os.path.join(tmp, "nothing"), os.path.join(modems, "unplugged"))

    fails("cfg-dump", to_full("cfg-dump", a))
    # Different, so that there is something to print; equal with --json prints "[]".
    fails("cfg-diff", to_full("cfg-diff", a, b))
    fails("cfg-diff", to_full("cfg-diff", "--json", a, a))
    fails("paths", to_full("paths"))
    fails("modems", to_full("--modem-dir", modems, "modems"))
    fails("vantrixctl", to_full("--help"))
    fails("vantrixctl", to_full("--version"))
    # Nothing to print: an equal cfg-diff and a command without output are unaffected.
    check(to_full("cfg-diff", a, a) == (0, ""), "equal cfg-diff prints nothing")
    check(to_full("cfg-load", b, os.path.join(tmp, "full.cfg"))[0] == 0, "cfg-load to a full output")

    # Closed: the message names it, and no file opened later takes its place.
    fails("cfg-dump", closed("cfg-dump", a), "standard output is closed")
    check(closed("cfg-load", b, os.path.join(tmp, "closed.cfg")) == (0, ""), "cfg-load with stdout closed")

    with Sim(SIM, tmp) as sim:
        for cmd in ("identify", "status", "gprs-read"):
            fails(cmd, to_full("--port", sim.port, cmd))
        fails("cfg-diff", to_full("--port", sim.port, "cfg-diff", "device", b))
        # The port is opened after the start: it must not become the output.
        fails("status", closed("--port", sim.port, "status"), "standard output is closed")
    with Sim(SIM, tmp, state={"smsQueue": [{"time": "2008-04-03 09:05:00", "number": "603111220",
                                            "text": "zpráva"}]}) as sim:
        rc, err = closed("--port", sim.port, "sms-read")
        check(rc == 74 and "sms-read: the output cannot be written (standard output is closed); the SMS not "
              "written stay on the device" in err, "sms-read, closed: %d %r" % (rc, err))
        check(len(sim.stop()["smsQueue"]) == 1, "the SMS stays on the device")
print("ok")
