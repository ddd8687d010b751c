"""vantrixctl's device commands as processes against vantrix-sim."""
import json
import os
import subprocess
import sys
import tempfile

from simproc import Sim, check

CTL, SIM = sys.argv[1], sys.argv[2]


def ctl(port, *args):
    r = subprocess.run([CTL, "--port", port, *args], capture_output=True, timeout=120)
    return r.returncode, r.stdout.decode(), r.stderr.decode()


def ok(port, *args):
    rc, out, err = ctl(port, *args)
    check(rc == 0, "%s: status %d, %s" % (" ".join(args), rc, err))
    return out


with tempfile.TemporaryDirectory() as tmp:
    state = {"smsQueue": [{"time": "2008-04-03 09:05:07", "number": "+420603123456", "text": "Přijď v 5"}],
             "outputs": 12}
    with Sim(SIM, tmp, "--layout", "1", state=state) as sim:
        p = sim.port
        ident = json.loads(ok(p, "identify"))
        check(ident == {"layout": 1, "firmware": "2.05", "hardware": "1.00", "serial": "00004711",
                        "gprs": True, "imei": "356938035643809", "name": "Vantrix"}, "identify: %s" % ident)

        st = json.loads(ok(p, "status"))
        check(st["operator"] == "T-Mobile CZ" and st["bts"] == "1A2B" and st["credit1"] == 250.5, "status")
        check(st["outputs"] == 12 and len(st["time"]) == 19, "status outputs and time")

        ok(p, "set-outputs", "0x05", "1")
        check(json.loads(ok(p, "status"))["outputs"] == 9, "outputs merged: 0x0C & ~0x05 | 0x01")

        ok(p, "set-time", "2030-01-02T03:04:05")
        check(json.loads(ok(p, "status"))["time"].startswith("2030-01-02T03:04"), "clock set")

        lines = ok(p, "sms-read").splitlines()
        check([json.loads(x) for x in lines] ==
              [{"time": "2008-04-03T09:05:07", "number": "+420603123456", "text": "Přijď v 5"}], "sms-read")
        check(ok(p, "sms-read") == "", "the queue is empty now")

        cfg = os.path.join(tmp, "dev.cfg")
        ok(p, "read-config", cfg)
        data = bytearray(open(cfg, "rb").read())
        check(len(data) == 2070 and data[4:8] == b"\xfe\xff\xff\xff", "native file from the device")
        data[8 + 1615] = 99                                # audio input level
        data[8 + 93:8 + 93 + 6] = "Žádný".encode("cp1250") + b"\0"
        open(cfg, "wb").write(bytes(data))
        ok(p, "write-config", cfg)
        back = os.path.join(tmp, "back.cfg")
        ok(p, "read-config", back)
        dump = json.loads(subprocess.run([CTL, "cfg-dump", back], capture_output=True).stdout)
        check(dump["audio_in_level"] == 99 and dump["reset_sms_text"] == "Žádný", "configuration written")

        g = json.loads(ok(p, "gprs-read"))
        check(g == {"apn": "internet", "data_compression": False, "header_compression": False,
                    "default_qos": True, "qos": [0, 0, 0, 0, 0]}, "gprs-read: %s" % g)
        ok(p, "gprs-write", "apn.firma.cz", "--dcomp", "--qos", "1,2,3,4,31")
        g = json.loads(ok(p, "gprs-read"))
        check(g["apn"] == "apn.firma.cz" and g["data_compression"] and g["qos"] == [1, 2, 3, 4, 31],
              "gprs written: %s" % g)

        ok(p, "sms-send", "+420777111222, 603 5", "Dobrý den")

        # Refusals before anything is sent.
        check(ctl(p, "set-outputs", "300", "1")[0] == 64, "usage: mask out of range")
        check(ctl(p, "set-time", "yesterday")[0] == 64, "usage: bad time")
        check(ctl(p, "write-config", os.path.join(tmp, "missing.cfg"))[0] == 66, "unreadable input")
        check(ctl(p, "read-config", os.path.join(tmp, "no", "x.cfg"))[0] == 73, "unwritable output")

        saved = sim.stop()
        sent = [(s["number"], s["text"]) for s in saved["sent"]]
        check(sent == [("+420777111222", "Dobrý den"), ("603", "Dobrý den"), ("5", "Dobrý den")],
              "every recipient, a blank separates numbers: %s" % sent)

    # A refused command: exit status 6 and the text as the progress dialog shows it.
    with Sim(SIM, tmp, "--refuse", "24:1") as sim:
        rc, out, err = ctl(sim.port, "status")
        check(rc == 6 and out == "", "refused status: %d" % rc)
        check("Chybný potvrzující kód. EC: 0024" in err, "error text: " + err)

    # A port that cannot be opened: no frame was sent, so no EC part; the
    # second line tells why (port_open.py).
    rc, out, err = ctl("/dev/no-such-port", "identify")
    lines = err.splitlines()
    check(rc == 2 and len(lines) == 2 and lines[0] == "Nepodařilo se otevřít komunikační port." and
          lines[1].startswith("Port v počítači není"), "open failure: %d %s" % (rc, err))
print("ok")
