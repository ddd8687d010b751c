"""vantrixctl.exe and melodyloader.exe under Wine against vantrix-sim, and the
same session with the Linux programs: what the user gets (JSON, files, the
dialogue) and what the simulator received must be the same. A Windows backend
that loses, adds or reorders bytes on the line or in a file shows up here."""
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from simproc import Sim, check  # noqa: E402
import winecom  # noqa: E402

(WINE_RUN, PREFIX, CTL_EXE, LOADER_EXE, CTL, SIM, LOADER, MELODYGEN, MELODIES) = sys.argv[1:10]
MODEM_COM = "COM6"
STATE = {"smsQueue": [{"time": "2008-04-03 09:05:07", "number": "+420603123456", "text": "Přijď v 5"}],
         "outputs": 12}


def program(windows, exe_win, exe_linux):
    return [WINE_RUN, PREFIX, exe_win] if windows else [exe_linux]


def win_path(path):
    """A file of the build machine as a Windows program names it."""
    return "Z:" + path.replace("/", "\\")


def run(cmd, stdin=b""):
    # Wine reads the Unix arguments in the locale's character set and hands
    # the program a wide command line, as Windows does.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    r = subprocess.run(cmd, input=stdin, capture_output=True, timeout=180, env=env)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def without_clock(state):
    """The simulator's saved state without its clock, which follows the wall
    clock, and that clock's offset in seconds."""
    state = dict(state)
    state.pop("time", None)
    return state, state.pop("clockOffset", 0)


def ctl_session(windows, tmp):
    """The device commands in one simulator run; what they gave and what it kept."""
    got = {}
    ctl = program(windows, CTL_EXE, CTL)
    name = win_path if windows else (lambda p: p)
    with Sim(SIM, tmp, "--layout", "1", state=STATE) as sim:
        port = winecom.attach(PREFIX, sim, windows)

        def ok(*args):
            rc, out, err = run(ctl + ["--port", port, *args])
            check(rc == 0, "%s %s: status %d, %s" % ("windows" if windows else "linux", " ".join(args), rc, err))
            return out

        got["identify"] = json.loads(ok("identify"))
        status = json.loads(ok("status"))
        ok("set-time", "2030-01-02T03:04:05")
        clock = json.loads(ok("status")).pop("time")
        check(clock.startswith("2030-01-02T03:0"), "clock set: %s" % clock)
        status.pop("time")
        got["status"] = status
        got["sms-read"] = [json.loads(x) for x in ok("sms-read").splitlines()]
        cfg = os.path.join(tmp, "dev.cfg")
        ok("read-config", name(cfg))
        got["read-config"] = open(cfg, "rb").read()
        data = bytearray(got["read-config"])
        data[8 + 1615] = 99                                # audio input level
        data[8 + 93:8 + 93 + 6] = "Žádný".encode("cp1250") + b"\0"
        mod = os.path.join(tmp, "mod.cfg")
        open(mod, "wb").write(bytes(data))
        ok("write-config", name(mod))
        back = os.path.join(tmp, "back.cfg")
        ok("read-config", name(back))
        got["read-back"] = open(back, "rb").read()
        got["gprs-read"] = json.loads(ok("gprs-read"))
        # Czech on the command line: a text and file names.
        ok("sms-send", "+420603123456", "Přijď v 5, čau")
        new = os.path.join(tmp, "šablona-příliš.cfg")
        ok("cfg-new", name(new))
        got["cfg-new"] = open(new, "rb").read()
        got["cfg-dump"] = json.loads(ok("cfg-dump", name(new)))
        # The PC's local time, in the zone the whole test runs in.
        ok("set-time")
        got["state"], offset = without_clock(sim.stop())
    return got, offset


def remote_session(windows, tmp):
    """vantrixctl over a modem call to vantrix-sim --modem: the modem list, a
    session, a refused PIN, a configuration read over the call, a busy number
    and blocked access; what each gave and what the modem went through."""
    ctl = program(windows, CTL_EXE, CTL)
    name = win_path if windows else (lambda p: p)
    modems = os.path.join(tmp, "modems")
    os.mkdir(modems)
    got = {}

    def modem_sim(*options):
        """A simulator whose modem is SimModem: on Linux a link to its pty, on
        Windows a file naming a second COM port linked to it."""
        sim = Sim(SIM, tmp, "--modem", "--ring-ms", "100", "--guard-ms", "200", *options)
        entry = os.path.join(modems, "SimModem")
        if os.path.lexists(entry):
            os.remove(entry)
        if windows:
            with open(entry, "w") as f:
                f.write(winecom.attach(PREFIX, sim, True, MODEM_COM) + "\r\n")
        else:
            os.symlink(sim.port, entry)
        return sim

    def index():
        rc, out, err = run(ctl + ["--modem-dir", name(modems), "modems", "--info"])
        check(rc == 0, "modems: %d %s" % (rc, err))
        for m in map(json.loads, out.splitlines()):
            if m["name"] == "SimModem":
                check(m["path"] == name(os.path.join(modems, "SimModem")), "modem path %r" % m["path"])
                got.setdefault("modem", (m["present"], m["info"]))
                return m["index"]
        check(False, "SimModem listed: %s" % out)

    def remote(key, pin, *args):
        rc, out, err = run(ctl + ["--modem-dir", name(modems), "--remote", "603 123 456", "--pin", pin,
                                  "--modem", str(index()), *args])
        got[key] = (rc, out.replace("\r\n", "\n"), err.replace("\r\n", "\n"))

    def record(sim):
        sim.stop()
        for line in sim.proc.stdout.read().decode().splitlines():
            if line.startswith('{"modem"'):
                return json.loads(line)["modem"]

    with modem_sim() as sim:
        remote("identify", "1234", "identify")
        remote("refused", "9999", "status")
        cfg = os.path.join(tmp, "remote.cfg")
        remote("read-config", "1234", "read-config", name(cfg))
        got["remote.cfg"] = open(cfg, "rb").read() if os.path.exists(cfg) else None
        got["calls"] = record(sim)
    with modem_sim("--call-result", "BUSY") as sim:
        remote("busy", "1234", "identify")
        got["busy-calls"] = record(sim)
    with modem_sim("--pin-tries", "1") as sim:
        remote("blocked", "9999", "identify")
        got["blocked-calls"] = record(sim)
    return got


def appdata_session(tmp):
    """%APPDATA% as a \\\\?\\ name: the data folder is made below its root and
    the traffic log lands in it."""
    appdata = os.path.join(tmp, "roaming")
    os.mkdir(appdata)
    with Sim(SIM, tmp) as sim:
        # Wine sets APPDATA itself; inside its cmd the variable is the user's.
        line = "set APPDATA=\\\\?\\%s&& %s --port %s --log identify" % (win_path(appdata), win_path(CTL_EXE),
                                                                    winecom.attach(PREFIX, sim, True))
        r = subprocess.run([WINE_RUN, PREFIX, "cmd", "/c", line], capture_output=True, timeout=180)
        check(r.returncode == 0, "identify with a \\\\?\\ APPDATA: %d %s" % (r.returncode, r.stderr))
    log = os.path.join(appdata, "VantrixCtrlPnl", "sercom.log")
    check(os.path.isfile(log) and os.path.getsize(log) > 0, "no traffic log in %s: %s" % (log, list(os.walk(appdata))))


def readonly_session(tmp):
    """A read-only .cfg stays as it is: a save over it ends with the write
    error and its status, as a folder the user may not write to does."""
    target = os.path.join(tmp, "chráněná.cfg")
    with open(target, "wb") as f:
        f.write(b"old")
    # Wine shows a file without write bits as read-only.
    os.chmod(target, 0o444)
    rc, _, err = run([WINE_RUN, PREFIX, CTL_EXE, "cfg-new", win_path(target)])
    check(rc == 73 and "Došlo k chybě při ukládání konfigurace do souboru." in err,
          "cfg-new over a read-only file: status %d, %s" % (rc, err))
    check(open(target, "rb").read() == b"old", "the read-only file was replaced")
    os.chmod(target, 0o644)


def loader_session(windows, tmp, melody_file):
    """melodyloader with its built-in image or a file: the dialogue and the memory."""
    loader = program(windows, LOADER_EXE, LOADER)
    with Sim(SIM, tmp) as sim:
        port = winecom.attach(PREFIX, sim, windows)
        arg = [win_path(melody_file) if windows else melody_file] if melody_file else []
        rc, out, err = run(loader + arg, (port + "\n\n").encode())
        check(rc == 0, "melodyloader: status %d, %s" % (rc, err))
        # The console of Windows ends lines with CR LF; port and file are named as the user named them.
        dialogue = out.replace("\r\n", "\n").replace(port, "<port>")
        if arg:
            dialogue = dialogue.replace(arg[0], "<file>")
        return dialogue, sim.stop()["melody"]["memory"]


def main():
    # A zone an hour off UTC in winter, for the simulator and both programs:
    # the device clock set to the PC's local time then lies within seconds of
    # the simulator's.
    os.environ["TZ"] = "Europe/Prague"
    with tempfile.TemporaryDirectory() as tmp:
        image = os.path.join(tmp, "jiná melodie.bin")
        text = open(MELODIES, encoding="utf-8").read()
        first = text.index("\nmelody ")
        eol = text.index("\n", first + 1)
        other = os.path.join(tmp, "other.txt")
        with open(other, "w", encoding="utf-8") as f:
            f.write(text[:eol + 1] + "level 90\n" + text[eol + 1:])  # an image unlike the built-in one
        subprocess.run([MELODYGEN, other, os.path.join(tmp, "other.cpp"), "--bin", image], check=True)

        results, offsets = {}, {}
        for windows in (False, True):
            name = "windows" if windows else "linux"
            d = os.path.join(tmp, name)
            os.mkdir(d)
            results[name], offsets[name] = ctl_session(windows, d)
            results[name]["built-in"] = loader_session(windows, d, None)
            results[name]["file"] = loader_session(windows, d, image)
            results[name]["remote"] = remote_session(windows, d)

        appdata_session(os.path.join(tmp, "windows"))
        readonly_session(os.path.join(tmp, "windows"))
        lin, win = results["linux"], results["windows"]
        for key in lin:
            parts = lin[key].keys() if isinstance(lin[key], dict) else [None]
            for part in parts:
                a, b = (lin[key], win[key]) if part is None else (lin[key][part], win[key].get(part))
                check(a == b, "%s %s differs:\n linux   %.600r\n windows %.600r" % (key, part or "", a, b))
        # The same clock set, seen from runs a few seconds apart.
        check(all(abs(o) < 120 for o in offsets.values()), "set-time to the local time: clock offsets %r" % offsets)
        # Both alike is not enough: the Linux run itself has to be right.
        check(lin["identify"]["serial"] == "00004711" and len(lin["read-config"]) == 2070, "linux identify, file")
        check(lin["sms-read"][0]["text"] == "Přijď v 5", "sms-read")
        check(lin["state"]["sent"][-1]["text"] == "Přijď v 5, čau", "sms-send: %r" % lin["state"]["sent"])
        check(lin["file"][1] == open(image, "rb").read().hex(), "the file's image in the device")
        check(lin["built-in"][1] != lin["file"][1], "built-in and file images differ")
        rem = lin["remote"]
        check(rem["modem"] == (True, ["Vantrix-sim Hayes modem 1.0"]), "modem listed: %r" % (rem["modem"],))
        check(rem["identify"][0] == 0 and json.loads(rem["identify"][1])["serial"] == "00004711", "remote identify")
        check(rem["refused"][0] == 11 and rem["blocked"][0] == 10 and rem["busy"][0] == 9,
              "remote statuses %r" % [rem[k][0] for k in ("refused", "blocked", "busy")])
        check(rem["read-config"][0] == 0 and len(rem["remote.cfg"]) == 2070, "read-config over the call")
        check(rem["calls"]["calls"] == 3 and rem["calls"]["hangups"] == 3 and not rem["calls"]["inCall"],
              "three calls, each hung up: %r" % rem["calls"])
        print("linux and windows sessions are alike: %s" % ", ".join(sorted(lin)))


main()
