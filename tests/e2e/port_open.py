"""Why a port does not open, as vantrixctl and melodyloader tell it: a port that
does not exist (with the ports this machine has), one another program holds
(our lock, or an exclusive open), and one the user has no rights to (with the
group to join, when joining it would help). The cases of another user need
root; they are skipped without it."""
import fcntl
import grp
import os
import subprocess
import sys
import tempfile
import termios

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simproc import Sim, check  # noqa: E402

CTL, LOADER, SIM = sys.argv[1], sys.argv[2], sys.argv[3]
ROOT = os.geteuid() == 0
NOBODY = 65534

TEXT_201 = "Nepodařilo se otevřít komunikační port."
MISSING = "Port v počítači není. Nalezené porty: "
MISSING_NONE = "Port v počítači není a žádný sériový port nebyl nalezen."
HELD = "Port právě používá jiný program."
DENIED = "K portu nemáte přístupová práva."
DENIED_JOIN = ("K portu nemáte přístupová práva. Přidejte se do skupiny, které port patří, a přihlaste se znovu: "
               "sudo usermod -aG %s $USER")
BANNER = "Music Downloader, version 1.01\n\nSelect serial port connecting to device [Enter = COM1] : "


def machine_ports():
    """The serial ports of this machine: ttys with a device behind them, no empty UART place, a node in /dev."""
    found = []
    for name in os.listdir("/sys/class/tty"):
        entry = os.path.join("/sys/class/tty", name)
        if not os.path.exists(os.path.join(entry, "device")) or not os.path.exists(os.path.join("/dev", name)):
            continue
        try:
            if open(os.path.join(entry, "type")).read().strip() == "0":
                continue
        except OSError:
            pass
        found.append(name)
    return sorted(found)


def as_nobody():
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


def ctl(port, *args, user=None):
    """The lines vantrixctl prints on stderr; its status 2 and an empty stdout are checked here."""
    r = subprocess.run([CTL, "--port", port, *args], capture_output=True, timeout=60, preexec_fn=user)
    check(r.returncode == 2 and r.stdout == b"", "%s on %s: status %d, out %r" % (args, port, r.returncode, r.stdout))
    return r.stderr.decode().splitlines()


def loader(port, user=None):
    """What melodyloader says between its download line and the end of its dialogue."""
    r = subprocess.run([LOADER], input=(port + "\n\n").encode(), capture_output=True, timeout=60, preexec_fn=user)
    out = r.stdout.decode()
    head = BANNER + "Download internal data via %s...\n" % port
    tail = "\n\nPress Enter..."
    check(r.returncode == 1 and out.startswith(head) and out.endswith(tail),
          "melodyloader on %s: status %d, %r" % (port, r.returncode, out))
    return out[len(head):-len(tail)]


def both(port, line, user=None, commands=(("status",),)):
    for args in commands:
        got = ctl(port, *args, user=user)
        check(got == [TEXT_201, line], "vantrixctl %s on %s: %s" % (args, port, got))
    got = loader(port, user)
    check(got == line + "\n", "melodyloader on %s: %r" % (port, got))


with tempfile.TemporaryDirectory() as tmp:
    os.chmod(tmp, 0o755)
    ports = machine_ports()
    missing_line = MISSING + ", ".join(ports) if ports else MISSING_NONE
    # The monitor opens the port through the same session start as every command.
    both(os.path.join(tmp, "no-such-port"), missing_line, commands=(("status",), ("monitor",), ("read-config", os.path.join(tmp, "x.cfg"))))

    with Sim(SIM, tmp) as sim:
        with open(sim.port, "rb+", buffering=0) as holder:
            fcntl.flock(holder, fcntl.LOCK_EX)
            both(sim.port, HELD)
        if not ROOT:
            print("ok (another user's cases skipped: not root)")
            sys.exit(0)

        # An exclusive open by another program: EBUSY for everyone but root.
        os.chmod(sim.port, 0o666)
        with open(sim.port, "rb+", buffering=0) as holder:
            fcntl.ioctl(holder, termios.TIOCEXCL)
            both(sim.port, HELD, as_nobody)

        # A node of a group that may read and write it: join that group. The
        # group is the node's, not a fixed name.
        os.chmod(sim.port, 0o660)
        dialout = grp.getgrnam("dialout").gr_gid
        os.chown(sim.port, 0, dialout)
        got = ctl(sim.port, "status", user=as_nobody)
        check(got == [TEXT_201, DENIED_JOIN % "dialout"], "denied, dialout: %s" % got)
        os.chown(sim.port, 0, grp.getgrnam("tty").gr_gid)
        got = loader(sim.port, as_nobody)
        check(got == DENIED_JOIN % "tty" + "\n", "melodyloader denied, tty: %r" % got)

        # Joining the group would not help: its members may not write, or it is root's.
        os.chmod(sim.port, 0o600)
        both(sim.port, DENIED, as_nobody)
        os.chmod(sim.port, 0o660)
        os.chown(sim.port, 0, 0)
        got = ctl(sim.port, "status", user=as_nobody)
        check(got == [TEXT_201, DENIED], "denied, root's group: %s" % got)
print("ok")
