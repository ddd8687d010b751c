"""vantrixctl cfg-new and cfg-dump as processes."""
import json
import os
import struct
import subprocess
import sys
import tempfile

CTL = sys.argv[1]


def run(*args):
    return subprocess.run([CTL, *args], capture_output=True)


def check(cond, what):
    if not cond:
        print("FAILED:", what)
        sys.exit(1)


with tempfile.TemporaryDirectory() as tmp:
    cfg = os.path.join(tmp, "new.cfg")
    r = run("cfg-new", cfg)
    check(r.returncode == 0, "cfg-new exit status")
    data = open(cfg, "rb").read()
    check(len(data) == 2070 and data[:8] == bytes.fromhex("01000000FEFFFFFF"), "native file")

    r = run("cfg-dump", cfg)
    check(r.returncode == 0, "cfg-dump exit status")
    d = json.loads(r.stdout)
    check(d["rs232_speed"] == 8 and d["sim1_pin"] == "8365", "defaults")
    check([a["sms_text"] for a in d["alarms"]] == ["Alarm %d" % k for k in range(1, 9)], "alarm texts")
    check([x["prefix"] for x in d["call"]["directions"]][:10] == list("1234567890"), "directions")
    check([e["mode"] for e in d["renum"]["entries"]] == [255] * 5, "renumbering entries")

    # A device layout 2 file with a Windows-1250 text and a credit of 12.5.
    block = bytearray(1708)
    block[0:2] = b"\x00\x02"
    block[9:14] = b"4321\x00"
    text = "Požár".encode("cp1250")
    block[99:99 + len(text)] = text
    block[60:64] = bytes.fromhex("41480000")
    dev = os.path.join(tmp, "dev.cfg")
    open(dev, "wb").write(struct.pack("<ii", 1, 2) + bytes(block))
    d = json.loads(run("cfg-dump", dev).stdout)
    check(d["reset_sms_text"] == "Požár", "Windows-1250 text as UTF-8")
    check(d["sim1_pin"] == "4321", "PIN")
    check(d["sim1_credit"]["min_value"] == 12.5, "credit")
    check(d["renum"]["dtmf_delay"] == 0, "layout 2 carries the renumbering block")

    # Refusals: message 101 on stderr, status 66.
    bad = os.path.join(tmp, "bad.cfg")
    open(bad, "wb").write(struct.pack("<ii", 2, -2) + bytes(2062))
    for f in (bad, os.path.join(tmp, "missing.cfg")):
        r = run("cfg-dump", f)
        check(r.returncode == 66, "status 66 for " + f)
        check("Došlo k chybě při načítání konfigurace ze souboru." in r.stderr.decode(), "message 101")
        check(r.stdout == b"", "nothing on stdout")

    check(run().returncode == 64, "usage error")
    check(run("cfg-new", os.path.join(tmp, "no", "dir.cfg")).returncode == 73, "cannot create")
print("ok")
