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

        appdata_session(os.path.join(tmp, "windows"))
        lin, win = results["linux"], results["windows"]
        for key in lin:
            check(win[key] == lin[key], "%s differs:\n linux   %.600r\n windows %.600r" % (key, lin[key], win[key]))
        # The same clock set, seen from runs a few seconds apart.
        check(all(abs(o) < 120 for o in offsets.values()), "set-time to the local time: clock offsets %r" % offsets)
        # Both alike is not enough: the Linux run itself has to be right.
        check(lin["identify"]["serial"] == "00004711" and len(lin["read-config"]) == 2070, "linux identify, file")
        check(lin["sms-read"][0]["text"] == "Přijď v 5", "sms-read")
        check(lin["state"]["sent"][-1]["text"] == "Přijď v 5, čau", "sms-send: %r" % lin["state"]["sent"])
        check(lin["file"][1] == open(image, "rb").read().hex(), "the file's image in the device")
        check(lin["built-in"][1] != lin["file"][1], "built-in and file images differ")
        print("linux and windows sessions are alike: %s" % ", ".join(sorted(lin)))


main()
