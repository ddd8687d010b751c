"""vantrixctl over a modem call: `modems` and device commands with --remote,
against vantrix-sim --modem."""
import fcntl
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simproc import Sim, check  # noqa: E402

CTL = sys.argv[1]
SIM = sys.argv[2]

TEXT_208 = "Nepodařilo se navázat spojení."
TEXT_209 = "Přístup odepřen - přístup zablokován."
TEXT_210 = "Přístup odepřen - neplatný PIN."


def modem_sim(tmp, name, *options):
    """vantrix-sim with its modem in front, linked as `name` in tmp/modems."""
    return Sim(SIM, tmp, "--modem", "--ring-ms", "100", "--guard-ms", "200",
               "--link", os.path.join(tmp, "modems", name), *options)


def modem_record(sim):
    """Stops the simulator; what its modem went through."""
    sim.stop()
    for line in sim.proc.stdout.read().decode().splitlines():
        if line.startswith('{"modem"'):
            return json.loads(line)["modem"]
    check(False, "modem record")


def ctl(modems, *args):
    return subprocess.run([CTL, "--modem-dir", modems, *args], capture_output=True, timeout=60)


def index_of(modems, name):
    """The modem's index; the system's own modems may be listed too."""
    r = ctl(modems, "modems")
    for line in r.stdout.decode().splitlines():
        m = json.loads(line)
        if m["path"] == os.path.join(modems, name):
            return m["index"]
    check(False, "modem %s listed" % name)


def remote(modems, index, pin, *args):
    return ctl(modems, "--remote", "603 123 456", "--pin", pin, "--modem", str(index), *args)


with tempfile.TemporaryDirectory() as tmp:
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    os.symlink(os.path.join(tmp, "nothing"), os.path.join(modems, "A-unplugged"))
    with modem_sim(tmp, "SimModem") as sim:
        # The list, with the properties each modem gives.
        r = ctl(modems, "modems", "--info")
        check(r.returncode == 0, "modems exit status")
        listed = [json.loads(line) for line in r.stdout.decode().splitlines()]
        mine = {m["name"]: m for m in listed if m["path"].startswith(modems)}
        check(set(mine) == {"A-unplugged", "SimModem"}, "both links listed: %s" % listed)
        check([m["index"] for m in listed] == list(range(len(listed))), "indices in order")
        unplugged, modem = mine["A-unplugged"], mine["SimModem"]
        check(modem["device"] == sim.port and modem["present"], "device of the link")
        check(modem["info"] == ["Vantrix-sim Hayes modem 1.0"], "answer to ATI")
        check(not unplugged["present"] and unplugged["info"] is None, "a link that leads nowhere")
        index = modem["index"]

        # A session: call, log in, identify, hang up.
        r = remote(modems, index, "1234", "identify")
        check(r.returncode == 0, "identify exit status: %r" % r.stderr)
        d = json.loads(r.stdout)
        check(d["serial"] == "00004711" and d["layout"] == 2, "identity over the call")

        # A refused PIN: the message and status 11; the call is hung up all the same.
        r = remote(modems, index, "9999", "status")
        check(r.returncode == 11, "refused PIN exit status %d" % r.returncode)
        check(TEXT_210 in r.stderr.decode(), "message 210")
        check(r.stdout == b"", "nothing on stdout")

        # No such modem, or one that cannot be called: no connection.
        for bad in (unplugged["index"], len(listed)):
            r = remote(modems, bad, "1234", "identify")
            check(r.returncode == 9, "no connection with modem %d: %d" % (bad, r.returncode))
            check(TEXT_208 in r.stderr.decode(), "message 208")

        # Arguments that are refused before anything is dialled.
        check(ctl(modems, "--remote", "123;ATZ", "--pin", "1234", "identify").returncode == 64, "bad number")
        check(ctl(modems, "--remote", "1234567890123456", "--pin", "1234", "identify").returncode == 64,
              "number too long")
        check(ctl(modems, "--remote", "123", "identify").returncode == 64, "--remote without --pin")

        # A modem that another program holds (as root TIOCEXCL stops no
        # one): no connection at once, nothing dialled, the holder undisturbed.
        with open(sim.port, "rb+", buffering=0) as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            t0 = time.monotonic()
            r = remote(modems, index, "1234", "identify")
            took = time.monotonic() - t0
            check(r.returncode == 9 and TEXT_208 in r.stderr.decode(), "held modem: %d %r" % (r.returncode, r.stderr))
            check(took < 5, "the held modem is given up at once, not after %.1f s" % took)

        m = modem_record(sim)
        check(m["calls"] == 2 and m["connected"] == 2, "two calls reached the device: %s" % m)
        check(m["dialled"] == ["603123456", "603123456"], "the number as dialled")
        check(m["hangups"] == 2 and m["escapes"] == 2 and not m["inCall"], "both calls hung up")

    # A busy number, and a device that blocks access.
    os.unlink(os.path.join(modems, "A-unplugged"))
    with modem_sim(tmp, "Busy", "--call-result", "BUSY") as sim:
        r = remote(modems, index_of(modems, "Busy"), "1234", "identify")
        check(r.returncode == 9 and TEXT_208 in r.stderr.decode(), "busy: no connection")
        check(modem_record(sim)["connected"] == 0, "busy call never connected")

    with modem_sim(tmp, "Blocking", "--pin-tries", "1") as sim:
        r = remote(modems, index_of(modems, "Blocking"), "9999", "identify")
        check(r.returncode == 10 and TEXT_209 in r.stderr.decode(), "blocked access: status 10")
        check(TEXT_210 not in r.stderr.decode(), "no PIN question when blocked")
        check(modem_record(sim)["hangups"] == 1, "blocked call hung up")
print("ok")
