"""What vantrixctl's saves do to the files around them, as a user meets it:
another user reading during a save of a private .cfg, the group of a shared
file, targets that are no regular file (a FIFO, a device, /dev/stdout into a
pipe), killed saves followed by a normal one, a file size limit, the traffic
log's mode and the order of the syncs. Some parts need root (another user,
device nodes); they are skipped without it."""
import json
import os
import random
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simproc import Sim, check  # noqa: E402

CTL, SIM = sys.argv[1], sys.argv[2]
ROOT = os.geteuid() == 0
NOBODY = 65534
PIN = "4711"


def ctl(*args, **kw):
    return subprocess.run([CTL, *args], capture_output=True, timeout=60, **kw)


def leftovers(d, target):
    return sorted(n for n in os.listdir(d) if n.startswith(os.path.basename(target)) and
                  n != os.path.basename(target))


def as_nobody(groups=()):
    def drop():
        os.setgroups(list(groups))
        os.setgid(NOBODY)
        os.setuid(NOBODY)
    return drop


with tempfile.TemporaryDirectory() as tmp:
    os.chmod(tmp, 0o755)
    src = os.path.join(tmp, "pin.json")
    with open(src, "w") as f:
        json.dump({"sim1_pin": PIN}, f)
    cfg = os.path.join(tmp, "private.cfg")
    check(ctl("cfg-load", src, cfg).returncode == 0, "cfg-load")
    new_bytes = open(cfg, "rb").read()

    if ROOT:
        # Another user opens whatever appears beside a 0600 .cfg while it is
        # saved again and again: no copy of it may be readable, not for a moment.
        os.chmod(cfg, 0o600)
        # The system's python: another user may not reach the one running this.
        reader = subprocess.Popen(["/usr/bin/python3", "-c", """
import os, sys, time
d, name, end = sys.argv[1], sys.argv[2], time.monotonic() + float(sys.argv[3])
seen, held = 0, {}
while time.monotonic() < end:
    for n in os.listdir(d):
        if n.startswith(name):
            try:
                fd = os.open(os.path.join(d, n), os.O_RDONLY)
                held[fd] = time.monotonic()
            except OSError:
                pass
    # What was opened is read again a moment later, once the bytes are in.
    for fd, since in list(held.items()):
        if os.pread(fd, 4096, 0).find(b"%s") >= 0:
            seen += 1
        if time.monotonic() - since > 0.05:
            os.close(fd)
            del held[fd]
print(seen)
""" % PIN, tmp, "private.cfg", "6"], stdout=subprocess.PIPE, preexec_fn=as_nobody())
        time.sleep(0.3)
        for _ in range(100):
            check(ctl("cfg-load", src, cfg).returncode == 0, "cfg-load over the private file")
        seen = int(reader.communicate()[0])
        check(seen == 0, "another user read the PIN %d times during the saves" % seen)
        check(stat.S_IMODE(os.stat(cfg).st_mode) == 0o600, "the .cfg stays 0600")

        # A shared file of the group: a save by a member that is not the owner
        # keeps the group (and the mode); only the owner changes.
        shared_dir = os.path.join(tmp, "shared")
        os.mkdir(shared_dir)
        os.chmod(shared_dir, 0o777)
        shared = os.path.join(shared_dir, "site.cfg")
        shutil.copy(cfg, shared)
        os.chown(shared, 1234, 100)
        os.chmod(shared, 0o660)
        r = ctl("cfg-load", src, shared, preexec_fn=as_nobody([100]))
        check(r.returncode == 0, "a member of the group saves: %d %s" % (r.returncode, r.stderr))
        st = os.stat(shared)
        check(st.st_gid == 100 and stat.S_IMODE(st.st_mode) == 0o660,
              "the group and mode stay: gid %d, mode %o" % (st.st_gid, stat.S_IMODE(st.st_mode)))

    # A FIFO is written through, not replaced by a regular file.
    fifo = os.path.join(tmp, "fifo")
    os.mkfifo(fifo)
    got = []
    t = threading.Thread(target=lambda: got.append(open(fifo, "rb").read()))
    t.start()
    r = ctl("cfg-load", src, fifo)
    t.join(10)
    check(r.returncode == 0 and got == [new_bytes], "into a FIFO: %d, %d bytes" %
          (r.returncode, len(got[0]) if got else -1))
    check(stat.S_ISFIFO(os.lstat(fifo).st_mode), "the FIFO stays a FIFO")

    # Into a pipe by its /dev/stdout name.
    r = subprocess.run([CTL, "cfg-load", src, "/dev/stdout"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=60)
    check(r.returncode == 0 and r.stdout == new_bytes, "to /dev/stdout into a pipe: %d %s" % (r.returncode, r.stderr))

    if ROOT:
        # Device nodes of our own (the machine's are not risked): a null device
        # takes the bytes, a full one refuses them with 73; both stay devices.
        null, full = os.path.join(tmp, "null"), os.path.join(tmp, "full")
        os.mknod(null, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        os.mknod(full, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        check(ctl("cfg-load", src, null).returncode == 0, "cfg-load to a null device")
        check(ctl("cfg-new", null).returncode == 0, "cfg-new to a null device")
        r = ctl("cfg-new", full)
        check(r.returncode == 73, "cfg-new to a full device: %d" % r.returncode)
        for dev in (null, full):
            check(stat.S_ISCHR(os.lstat(dev).st_mode), "%s stays a device" % dev)

    # Saves killed at random moments leave at most one temporary file, and the
    # next save removes it.
    target = os.path.join(tmp, "killed.cfg")
    check(ctl("cfg-new", target).returncode == 0, "cfg-new")
    rng = random.Random(7)
    worst = 0
    for _ in range(150):
        p = subprocess.Popen([CTL, "cfg-load", src, target], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0, 0.004))
        p.send_signal(signal.SIGKILL)
        p.wait()
        worst = max(worst, len(leftovers(tmp, target)))
        data = open(target, "rb").read()
        check(len(data) == len(new_bytes), "the target is whole after a kill")
    check(worst <= 1, "a killed save left %d temporary files" % worst)
    check(ctl("cfg-load", src, target).returncode == 0, "the save after the kills")
    check(leftovers(tmp, target) == [], "the next save removes what a killed one left: %s" %
          leftovers(tmp, target))

    # A file size limit: the write fails (the program is not killed by
    # SIGXFSZ), 73, the old file stays and no temporary file is left.
    old = open(target, "rb").read()
    for _ in range(5):
        r = ctl("cfg-new", target, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024)))
        check(r.returncode == 73, "cfg-new under ulimit -f: %d" % r.returncode)
    check(open(target, "rb").read() == old and leftovers(tmp, target) == [], "the old file, nothing left over")

    # The traffic log records the PIN frame: one an older version left
    # readable is private before the program writes to it.
    log = os.path.join(os.environ["XDG_DATA_HOME"], "VantrixCtrlPnl", "sercom.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    with open(log, "w") as f:
        f.write("old")
    os.chmod(log, 0o644)
    with Sim(SIM, tmp) as sim:
        r = ctl("--port", sim.port, "--log", "identify")
        check(r.returncode == 0, "identify --log")
    check(stat.S_IMODE(os.stat(log).st_mode) == 0o600, "sercom.log made private: %o" % stat.S_IMODE(os.stat(log).st_mode))

    # Durability: the file is synced, renamed, and then its directory synced.
    if shutil.which("strace"):
        r = subprocess.run(["strace", "-f", "-e", "trace=openat,fsync,rename,renameat,renameat2", CTL, "cfg-new",
                            target], capture_output=True, timeout=60)
        trace = r.stderr.decode().splitlines()
        rename = [i for i, line in enumerate(trace) if "rename" in line and "killed.cfg" in line]
        syncs = [i for i, line in enumerate(trace) if line.startswith("fsync(") or "] fsync(" in line]
        dir_open = [i for i, line in enumerate(trace) if "O_DIRECTORY" in line]
        check(rename and syncs and syncs[0] < rename[0], "the file is synced before its rename")
        check(dir_open and any(s > rename[0] for s in syncs) and dir_open[-1] > rename[0],
              "the directory is synced after the rename:\n%s" % "\n".join(trace[-12:]))
print("ok")
