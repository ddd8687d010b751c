"""What the Windows programs tell a user of the places they use: COM ports,
%APPDATA% and the portable Data folder, Ctrl+C, paths with backslashes only;
none of the Linux names (/dev/ttyS0, ttyUSB0, /dev/serial/by-id, the XDG
directory, the signals) that the Linux programs' help and manual pages give."""
import json
import subprocess
import sys

sys.path.insert(0, __file__.rsplit("/", 2)[0] + "/e2e")
from simproc import check  # noqa: E402

WINE_RUN, PREFIX, CTL_EXE, LOADER_EXE = sys.argv[1:5]
LINUX_WORDS = ["/dev/", "ttyUSB", "XDG", "~/", "SIGINT", "SIGTERM", "0700", "Data/", "tty"]


def out(*args):
    r = subprocess.run([WINE_RUN, PREFIX, *args], capture_output=True, timeout=180)
    check(r.returncode == 0, "%s: status %d, %r" % (" ".join(args[1:]), r.returncode, r.stderr))
    return r.stdout.decode("utf-8").replace("\r\n", "\n")


ctl = out(CTL_EXE, "--help")
loader = out(LOADER_EXE, "--help")
for name, text in (("vantrixctl --help", ctl), ("melodyloader --help", loader)):
    found = [w for w in LINUX_WORDS if w in text]
    check(not found, "%s names Linux places %s:\n%s" % (name, found, text))
    check("COM1 to COM255" in " ".join(text.split()), "%s: no COM ports:\n%s" % (name, text))
check("%APPDATA%\\VantrixCtrlPnl" in ctl and "folder Data stands beside vantrixctl.exe" in ctl,
      "vantrixctl --help: the program directory:\n%s" % ctl)
check("Ctrl+C" in ctl, "vantrixctl --help: how the monitor stops:\n%s" % ctl)
copy = ctl.split("This copy uses ", 1)[1].split(" (", 1)[0]
check("/" not in copy and "\\" in copy, "vantrixctl --help names the program directory %r" % copy)

paths = json.loads(out(CTL_EXE, "paths"))
mixed = {k: v for k, v in paths.items() if "/" in v}
check(not mixed, "vantrixctl paths with '/': %r" % mixed)
print("the Windows help names the Windows places; paths: %s" % paths["log"])
