"""vantrixctl refusing what it cannot send as given, and reaching devices and
modems that answer in their own way, as processes against vantrix-sim."""
import json
import os
import subprocess
import sys
import tempfile

from simproc import Sim, check

CTL, SIM = sys.argv[1], sys.argv[2]


def run(*args):
    r = subprocess.run([CTL, *args], capture_output=True, timeout=120)
    return r.returncode, r.stdout.decode(), r.stderr.decode()


with tempfile.TemporaryDirectory() as tmp:
    # A port path far longer than the profile's 16 characters is opened as
    # given; cut to 16 it would name another file.
    deep = os.path.join(tmp, "serial", "by-id", "usb-Vantrix_Gateway_0123456789-if00-port0")
    os.makedirs(os.path.dirname(deep))
    with Sim(SIM, tmp, "--link", deep) as sim:
        rc, out, err = run("--port", deep, "identify")
        check(rc == 0 and json.loads(out)["serial"] == "00004711", "long port path: %d %s" % (rc, err))

        # Refused before anything is sent, with a message naming the fault.
        p = sim.port
        rc, out, err = run("--port", p, "sms-send", "+42060312345678901", "Ahoj")
        check(rc == 64 and "+42060312345678901" in err, "number over 16 characters: %d %s" % (rc, err))
        rc, out, err = run("--port", p, "sms-send", "111 222 333 444 555", "Ahoj")
        check(rc == 64 and "555" in err, "a fifth number: %d %s" % (rc, err))
        for when in ("2024-02-31T10:00:00", "2024-03-01T10:00:61", "2023-02-29T00:00:00"):
            rc, out, err = run("--port", p, "set-time", when)
            check(rc == 64 and "set-time" in err, "impossible time %s: %d" % (when, rc))
        check(run("--port", p, "set-time", "2024-02-29T23:59:59")[0] == 0, "a leap day is a date")
        for apn in ('x"\rAT+CGQREQ=1,9,9,9,9,9\rAT', "a\tb", 'say"hi"'):
            rc, out, err = run("--port", p, "gprs-write", apn)
            check(rc == 64 and "APN" in err, "APN %r refused: %d %s" % (apn, rc, err))
        saved = sim.stop()
        check(saved["sent"] == [], "no SMS went out: %s" % saved["sent"])
        check(saved["gprs"]["qos"] == [0, 0, 0, 0, 0] and saved["gprs"]["apn"] == "internet",
              "the module kept its context: %s" % saved["gprs"])

    rc, out, err = run("reboot")
    check(rc == 64 and "reboot" in err and "required" not in err, "unknown subcommand: %s" % err)
    rc, out, err = run("--remote", "123;ATH", "--pin", "1234", "identify")
    check(rc == 64 and "';'" in err, "refused dial character named: %s" % err)

    # A device whose reply bytes 0 to 2 are its own: the configuration moves.
    for head in ("3F77E1", "C00000"):
        with Sim(SIM, tmp, "--reply-head", head) as sim:
            cfg = os.path.join(tmp, "dev-%s.cfg" % head)
            rc, out, err = run("--port", sim.port, "read-config", cfg)
            check(rc == 0, "read-config with reply bytes %s: %d %s" % (head, rc, err))
            rc, out, err = run("--port", sim.port, "write-config", cfg)
            check(rc == 0, "write-config with reply bytes %s: %d %s" % (head, rc, err))

    # Modems that answer late (within the 3 s a modem has) or in digits dial.
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    for name, options in (("Slow", ("--answer-ms", "1500")), ("Numeric", ("--numeric",))):
        link = os.path.join(modems, name)
        with Sim(SIM, tmp, "--modem", "--ring-ms", "100", "--guard-ms", "200", "--link", link,
                 *options) as sim:
            listed = [json.loads(x) for x in run("--modem-dir", modems, "modems")[1].splitlines()]
            index = [m["index"] for m in listed if m["path"] == link][0]
            rc, out, err = run("--modem-dir", modems, "--remote", "603123456", "--pin", "1234",
                               "--modem", str(index), "identify")
            check(rc == 0, "%s modem: %d %s" % (name, rc, err))
            os.unlink(link)
print("ok")
