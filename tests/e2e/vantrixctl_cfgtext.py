"""vantrixctl cfg-load and cfg-diff as processes: the text form of a configuration."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unicodedata

from simproc import Sim, check

CTL, SIM, CORPUS = sys.argv[1], sys.argv[2], sys.argv[3]


def run(*args, stdin=None):
    r = subprocess.run([CTL, *args], input=stdin, capture_output=True, timeout=120)
    return r.returncode, r.stdout.decode(), r.stderr.decode()


def native_file(image):
    return struct.pack("<ii", 1, -2) + bytes(image)


with tempfile.TemporaryDirectory() as tmp:
    out = os.path.join(tmp, "out.cfg")

    # dump | load - gives the same configuration for every seed file, through a pipe.
    for name in sorted(os.listdir(CORPUS)):
        src = os.path.join(CORPUS, name)
        rc, dump, _ = run("cfg-dump", src)
        if rc != 0:
            continue
        rc, _, err = run("cfg-load", "-", out, stdin=dump.encode())
        check(rc == 0, "cfg-load of %s: %s" % (name, err))
        check(run("cfg-dump", out)[1] == dump, "dump of the loaded %s" % name)

    # A native file with CR, LF, a byte without a character, bytes after a
    # terminator and a credit that is not a number comes back byte for byte.
    run("cfg-new", out)
    image = bytearray(open(out, "rb").read()[8:])
    image[3:12] = b"1\r\n\x81\x00z\x00\x00\x00"
    image[54:58] = bytes.fromhex("0000C07F")
    image[1777:1785] = b"\x00\x01\x02\x03\x04\x05\x06\x07"
    src = os.path.join(tmp, "raw.cfg")
    open(src, "wb").write(native_file(image))
    rc, dump, _ = run("cfg-dump", src)
    d = json.loads(dump)
    check(d["sim1_pin"] == "1\r\n\u0081\u0000z" and d["sim1_credit"]["min_value"] == "0x7FC00000", "raw bytes shown")
    rc, _, err = run("cfg-load", "-", out, stdin=dump.encode())
    check(rc == 0 and open(out, "rb").read() == native_file(image), "raw bytes back: " + err)

    # A partial JSON from a file sets its fields on the defaults.
    part = os.path.join(tmp, "part.json")
    open(part, "w").write('{"sim1_pin": "1234", "alarms": [{}, {"call_number": "+420603123456"}]}')
    check(run("cfg-load", part, out)[0] == 0, "partial JSON")
    d = json.loads(run("cfg-dump", out)[1])
    check(d["sim1_pin"] == "1234" and d["alarms"][1]["call_number"] == "+420603123456", "partial fields")
    check(d["sim2_pin"] == "8365" and d["alarms"][1]["sms_text"] == "Alarm 2", "defaults kept")

    # Refusals: status 65, the key path on stderr, the output file left as it was.
    before = open(out, "rb").read()
    for text, message in [
            ('{"alarms": [{}, {}, {}, {"call_number": "123456789012345678901"}]}',
             "alarms[3].call_number: 21 characters, at most 20"),
            ('{"sim1_pin": "ア"}', "sim1_pin: the character U+30A2 is not in Windows-1250"),
            ('{"renum": {"enabled": "1"}}', "renum.enabled: a whole number expected"),
            ('{"renum": {"dtmf_len": 4}}', "renum.dtmf_len: unknown key"),
            ('{"sim1_pin": ', "-: not JSON")]:
        rc, _, err = run("cfg-load", "-", out, stdin=text.encode())
        check(rc == 65 and message in err, "refusal %s: %d %s" % (text, rc, err))
    check(open(out, "rb").read() == before, "a refused input wrote nothing")
    fresh = os.path.join(tmp, "fresh.cfg")
    run("cfg-load", "-", fresh, stdin=b'{"x": 1}')
    check(not os.path.exists(fresh), "no file for a refused input")
    check(run("cfg-load", os.path.join(tmp, "missing.json"), fresh)[0] == 66, "missing input")

    # cfg-diff of two files with known differences, .cfg against JSON.
    a = os.path.join(tmp, "a.cfg")
    run("cfg-new", a)
    b = os.path.join(tmp, "b.json")
    open(b, "w").write('{"sim2_pin": "0000", "call": {"directions": [{}, {"prefix": "Ž"}]}}')
    rc, lines, _ = run("cfg-diff", a, b)
    check(rc == 1 and lines == 'sim2_pin: "8365" -> "0000"\ncall.directions[1].prefix: "2" -> "Ž"\n',
          "cfg-diff lines: %d %r" % (rc, lines))
    rc, text, _ = run("cfg-diff", "--json", b, a)
    check(rc == 1 and json.loads(text) == [{"key": "sim2_pin", "a": "0000", "b": "8365"},
                                           {"key": "call.directions[1].prefix", "a": "Ž", "b": "2"}],
          "cfg-diff --json: " + text)
    check(run("cfg-diff", a, a) == (0, "", ""), "equal files")
    check(run("cfg-diff", a, os.path.join(tmp, "missing.cfg"))[0] == 2, "missing side")
    check(run("cfg-diff", a, part + "x")[0] == 2, "missing JSON side")
    bad = os.path.join(tmp, "bad.json")
    open(bad, "w").write('{"sim1_pin": 1}')
    rc, _, err = run("cfg-diff", bad, a)
    check(rc == 2 and "sim1_pin: a text expected" in err, "refused JSON side")

    # What the parsed document would hide is refused with 65 and the key path:
    # a number beyond a double (the parser's exception used to abort the
    # program), a key given twice (the last one won, even over a wrong type).
    for text, message in [
            ('{"rs232_speed": 1e400}', "rs232_speed: 1e400 out of the range of a double-precision number"),
            ('{"alarms": [{}, {"x": -1e309}]}', "alarms[1].x: -1e309 out of the range of a double-precision number"),
            ('{"call": {"dial_delay": 1e-400}}', "call.dial_delay: 1e-400 too close to zero"),
            ('{"sim1_pin": 5, "sim1_pin": "1"}', "sim1_pin: duplicate key"),
            ('{"renum": {"enabled": 1, "enabled": 0}}', "renum.enabled: duplicate key"),
            ("[" * 33 + "]" * 33, "[0]" * 32 + ": nested deeper than 32 levels"),
            ('{"sim1_credit": {"min_value": 1e-50}}',
             "sim1_credit.min_value: 1e-50 too close to zero for a single-precision number"),
            ('{"sim2_credit": {"min_value": 1e-40}}',
             "sim2_credit.min_value: 1e-40 too close to zero for a single-precision number")]:
        rc, _, err = run("cfg-load", "-", out, stdin=text.encode())
        check(rc == 65 and message in err, "refusal %s: %d %s" % (text[:40], rc, err))
        open(bad, "w").write(text)
        rc, _, err = run("cfg-diff", bad, a)
        check(rc == 2 and message in err, "cfg-diff of %s: %d %s" % (text[:40], rc, err))
    # Nesting without end and a file far larger than a configuration: refused
    # at once (they used to take gigabytes, then abort).
    rc, _, err = run("cfg-load", "-", out, stdin=b"[" * 10_000_000)
    check(rc == 65 and "-: more than 1048576 bytes" in err, "10 million [ on stdin: %d %s" % (rc, err))
    huge = os.path.join(tmp, "huge.json")
    with open(huge, "wb") as f:
        f.write(b"[" * (100 << 20))
    rc, _, err = run("cfg-load", huge, out)
    check(rc == 65 and "huge.json: more than 1048576 bytes" in err, "100 MB of [: %d %s" % (rc, err))
    os.remove(huge)
    check(open(out, "rb").read() == before, "the refusals wrote nothing")

    # The credit minimum: jq writes the dumped -0.0 as -0, which keeps its
    # sign bit; the shortest form of the largest float is that float.
    image = bytearray(open(a, "rb").read()[8:])
    image[54:58] = struct.pack("<f", -0.0)
    open(src, "wb").write(native_file(image))
    dump = run("cfg-dump", src)[1]
    check('"min_value": -0.0' in dump, "dumped -0.0")
    rc, _, err = run("cfg-load", "-", out, stdin=dump.replace("-0.0", "-0").encode())
    check(rc == 0 and open(out, "rb").read()[8 + 54:8 + 58] == bytes.fromhex("00000080"), "-0 keeps its sign: " + err)
    rc, _, err = run("cfg-load", "-", out, stdin=b'{"sim1_credit": {"min_value": 3.4028235e38}}')
    check(rc == 0 and open(out, "rb").read()[8 + 54:8 + 58] == bytes.fromhex("FFFF7F7F"), "FLT_MAX: " + err)

    # A key from the file reaches the terminal escaped, as does what the
    # parser read of a broken input.
    for text, message in [(b'{"a\u007f\u009b\u00a0": 1}', "a\\u007f\\u009b\\u00a0: unknown key"),
                          (b'{"a\u202e": 1, "a\u202e": 2}', "a\\u202e: duplicate key"),
                          (b'{"sim1_pin": "\x7f\xc2\x9b', "-: not JSON")]:
        rc, _, err = run("cfg-load", "-", out, stdin=text)
        shown = [c for c in err if c != "\n" and unicodedata.category(c)[0] in "CZ" and c != " "]
        check(rc == 65 and message in err and not shown, "escaped message for %r: %d %r" % (text, rc, err))

    # cfg-diff: what follows a text's terminator is no difference unless
    # --bytes asks for every byte; what does not print is escaped, in lines
    # and in JSON, so that "8365" and "8365<DEL>" never look the same.
    trail = os.path.join(tmp, "trail.json")
    open(trail, "w").write('{"sim1_pin": "1234\\u0000678", "reset_sms_text": "x\\u0000"}')
    plain = os.path.join(tmp, "plain.json")
    open(plain, "w").write('{"sim1_pin": "1234", "reset_sms_text": "x"}')
    check(run("cfg-diff", trail, plain) == (0, "", ""), "bytes after the terminator are no difference")
    check(run("cfg-diff", "--json", trail, plain) == (0, "[]\n", ""), "nor in JSON")
    check(run("cfg-diff", "--bytes", trail, plain) == (1, 'sim1_pin: "1234\\u0000678" -> "1234"\n', ""),
          "--bytes shows them: %r" % (run("cfg-diff", "--bytes", trail, plain),))
    unseen = os.path.join(tmp, "unseen.json")
    open(unseen, "w").write('{"sim2_pin": "8365\\u007f", "info_sms_number": "\\u00a0\\u0081\\u00ad"}')
    rc, lines, _ = run("cfg-diff", a, unseen)
    check(rc == 1 and lines == 'sim2_pin: "8365" -> "8365\\u007f"\n'
                               'info_sms_number: "" -> "\\u00a0\\u0081\\u00ad"\n', "escaped lines: %r" % lines)
    rc, text, _ = run("cfg-diff", "--json", a, unseen)
    check(rc == 1 and text.isascii() and json.loads(text) == [
        {"key": "sim2_pin", "a": "8365", "b": "8365\u007f"},
        {"key": "info_sms_number", "a": "", "b": "\u00a0\u0081\u00ad"}], "escaped JSON: %r" % text)

    # Against the device: read, change one field, compare, write, compare again.
    with Sim(SIM, tmp, "--layout", "2") as sim:
        dev = os.path.join(tmp, "dev.cfg")
        check(run("--port", sim.port, "read-config", dev)[0] == 0, "read-config")
        check(run("--port", sim.port, "cfg-diff", dev, "device")[0] == 0, "file read from the device is equal")
        d = json.loads(run("cfg-dump", dev)[1])
        d["sim1_credit"]["code"] = "*104#"
        rc, _, err = run("cfg-load", "-", out, stdin=json.dumps(d).encode())
        check(rc == 0, err)
        rc, lines, err = run("--port", sim.port, "cfg-diff", "device", out)
        check(rc == 1 and lines == 'sim1_credit.code: "%s" -> "*104#"\n' % json.loads(run("cfg-dump", dev)[1])[
            "sim1_credit"]["code"], "cfg-diff against the device: %d %r %s" % (rc, lines, err))
        check(run("--port", sim.port, "write-config", out)[0] == 0, "write-config")
        check(run("--port", sim.port, "cfg-diff", out, "device")[0] == 0, "equal after the write")
        # The device keeps a text up to its terminator: the file is still equal.
        rc, _, err = run("cfg-load", trail, out)
        check(rc == 0 and run("--port", sim.port, "write-config", out)[0] == 0, "write-config with trailing bytes")
        check(run("--port", sim.port, "cfg-diff", out, "device") == (0, "", ""), "equal after the write of trail")
        rc, lines, _ = run("--port", sim.port, "cfg-diff", "--bytes", out, "device")
        check(rc == 1 and 'sim1_pin: "1234\\u0000678" -> "1234"\n' in lines, "--bytes against the device: %r" % lines)
    check(run("--port", sim.port, "cfg-diff", out, "device")[0] == 2, "no device")
print("ok")
