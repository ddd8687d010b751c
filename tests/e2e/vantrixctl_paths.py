"""Where vantrixctl keeps its files: a copy with Data beside it uses its own
directory and makes nothing elsewhere; a copy without uses the user's data
directory ($XDG_DATA_HOME or ~/.local/share), made with mode 0700 only when a
file is first written there. Breaks when the rule, the folder name or the
lazy making of the directory changes."""
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile

from simproc import Sim, check

CTL, SIM = sys.argv[1], sys.argv[2]
FOLDER = "VantrixCtrlPnl"


def run(exe, env, *args):
    r = subprocess.run([exe, *args], capture_output=True, timeout=120, env=env)
    check(r.returncode == 0, "%s: status %d, %s" % (" ".join(args), r.returncode, r.stderr.decode()))
    return r.stdout.decode()


def paths(exe, env):
    return json.loads(run(exe, env, "paths"))


def copy_to(directory):
    os.makedirs(directory)
    exe = os.path.join(directory, "vantrixctl")
    shutil.copy(CTL, exe)
    return exe


with tempfile.TemporaryDirectory() as tmp:
    home = os.path.join(tmp, "home")
    os.mkdir(home)
    base = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
    base["HOME"] = home
    installed = copy_to(os.path.join(tmp, "installed"))

    # No XDG_DATA_HOME, and a relative one, which is invalid: ~/.local/share.
    want = os.path.join(home, ".local/share", FOLDER)
    for env in (base, dict(base, XDG_DATA_HOME="relative/dir")):
        p = paths(installed, env)
        check(p["program_dir"] == want and p["rule"] == "user", "user directory: %s" % p)
        check(p["profile"] == want + "/Data/Profile.dat" and p["modems"] == want + "/Data/Modems"
              and p["log"] == want + "/sercom.log", "files below it: %s" % p)
    xdg = os.path.join(tmp, "xdg")
    env = dict(base, XDG_DATA_HOME=xdg + "/")
    check(paths(installed, env)["program_dir"] == xdg + "/" + FOLDER, "XDG_DATA_HOME")

    # Reading makes nothing; the first write makes the directory private.
    run(installed, env, "--help")
    check(not os.path.exists(xdg) and not os.path.exists(os.path.join(home, ".local")), "made on a read")
    with Sim(SIM, tmp) as sim:
        run(installed, env, "--log", "--port", sim.port, "identify")
        user_dir = os.path.join(xdg, FOLDER)
        check(os.path.getsize(os.path.join(user_dir, "sercom.log")) > 0, "log in the user directory")
        for d in (xdg, user_dir):
            check(stat.S_IMODE(os.stat(d).st_mode) == 0o700, "%s not 0700" % d)

        # A modem link in Data/Modems of the user directory is found.
        os.makedirs(os.path.join(user_dir, "Data/Modems"))
        os.symlink(sim.port, os.path.join(user_dir, "Data/Modems/SimModem"))
        modems = [json.loads(line) for line in run(installed, env, "modems").splitlines()]
        check(any(m["name"] == "SimModem" for m in modems), "modems: %s" % modems)

        # Data beside the program: that directory, and the user directory is not touched.
        portable_dir = os.path.join(tmp, "portable")
        portable = copy_to(portable_dir)
        os.mkdir(os.path.join(portable_dir, "Data"))
        env = dict(base, XDG_DATA_HOME=os.path.join(tmp, "xdg2"))
        p = paths(portable, env)
        check(p["program_dir"] == portable_dir and p["rule"] == "portable", "portable: %s" % p)
        run(portable, env, "--log", "--port", sim.port, "identify")
        check(os.path.getsize(os.path.join(portable_dir, "sercom.log")) > 0, "log beside the program")
        check(not os.path.exists(os.path.join(tmp, "xdg2")), "user directory made by a portable copy")

    # The ports present: the ttys with a device behind them, each a node this
    # user may or may not open, as --port takes its name.
    ports = json.loads(run(CTL, base, "ports"))
    check(isinstance(ports, list), "ports: %s" % ports)
    for port in ports:
        check(set(port) == {"name", "path", "description", "maker", "serial", "by_id", "may_open"}, "%s" % port)
        check(os.path.exists(port["path"]) and os.path.exists("/sys/class/tty/%s/device" % port["name"]),
              "a port that is there: %s" % port)
        check(port["may_open"] == os.access(port["path"], os.R_OK | os.W_OK), "may_open: %s" % port)
        check(not port["by_id"] or os.path.realpath(port["by_id"]) == os.path.realpath(port["path"]), "%s" % port)
    check(not any(p["name"] in ("console", "ptmx", "tty") for p in ports), "no console among the ports: %s" % ports)
print("ok")
