#!/usr/bin/env python3
"""The Debian package as a user gets it: built with CPack, clean for lintian,
a valid desktop entry and metadata, and its programs running from the package
unpacked into a temporary root with a fresh HOME, where the desktop program
shows its window and, closed, writes its profile into the user's data
directory. Breaks when a file is missing from the package, the versions
disagree or an installed program looks for its files beside itself.
  check_package.py CPACK CPACK_CONFIG OUT_DIR VERSION"""
import ctypes
import glob
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

FOLDER = "VantrixCtrlPnl"
TITLE = "Vantrix Control Panel"


def check(cond, what):
    if not cond:
        raise AssertionError(what)


def run(*cmd, env=None, timeout=300):
    r = subprocess.run(cmd, capture_output=True, timeout=timeout, env=env)
    check(r.returncode == 0, "%s: status %d\n%s%s" % (" ".join(cmd), r.returncode, r.stdout.decode(),
                                                      r.stderr.decode()))
    return r.stdout.decode()


def close_window(window):
    """Asks the window to close as a window manager would (WM_DELETE_WINDOW)."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    check(display, "no X display")
    ev = Event()
    ev.xclient.type = 33  # ClientMessage
    ev.xclient.window = window
    ev.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    ev.xclient.format = 32
    ev.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(ev))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def desktop_program(exe, home):
    """Under Xvfb: start, wait for the visible main window, close it."""
    env = {k: v for k, v in os.environ.items() if k not in ("XDG_DATA_HOME", "QT_QPA_PLATFORM")}
    env["HOME"] = home
    proc = subprocess.Popen([exe], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        windows = []
        deadline = time.monotonic() + 60
        while not windows and time.monotonic() < deadline and proc.poll() is None:
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE], capture_output=True)
            windows = r.stdout.decode().split()
            if not windows:
                time.sleep(0.2)
        check(windows, "no visible window named %r (status %s)" % (TITLE, proc.poll()))
        close_window(int(windows[0]))
        out = proc.communicate(timeout=30)[0].decode()
        check(proc.returncode == 0, "closed with status %d: %s" % (proc.returncode, out))
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def main():
    if sys.argv[1] == "--gui":
        desktop_program(sys.argv[2], sys.argv[3])
        return
    cpack, config, out, version = sys.argv[1:5]
    shutil.rmtree(out, ignore_errors=True)
    run(cpack, "--config", config, "-B", out)
    debs = glob.glob(os.path.join(out, "*.deb"))
    check(len(debs) == 1, "packages: %s" % debs)
    deb = debs[0]
    check(run("dpkg-deb", "-f", deb, "Version").strip() == version, "package version")
    depends = run("dpkg-deb", "-f", deb, "Depends")
    check("libqt6widgets6" in depends, "dependencies not from the binaries")
    check("qt6-translations-l10n" in depends, "Qt's Czech texts not a dependency: %s" % depends)
    tags = run("lintian", "--fail-on", "error", "-I", "--pedantic", deb)
    hardening = [line for line in tags.splitlines() if "hardening-" in line or "unneeded-section" in line]
    check(not hardening, "built without the hardening flags or with unneeded sections:\n" + "\n".join(hardening))

    with tempfile.TemporaryDirectory() as tmp:
        root = os.path.join(tmp, "root")
        run("dpkg-deb", "-x", deb, root)
        usr = os.path.join(root, "usr")
        for f in glob.glob(usr + "/share/applications/*.desktop"):
            run("desktop-file-validate", f)
        metainfo = glob.glob(usr + "/share/metainfo/*.metainfo.xml")
        check(metainfo, "no metainfo")
        run("appstreamcli", "validate", "--no-net", *metainfo)
        for icon in ("scalable/apps/*.svg", "48x48/apps/*.png"):
            check(glob.glob(usr + "/share/icons/hicolor/" + icon), "icon " + icon)
        for prog in ("vantrixctl", "melodyloader", "vantrix-sim"):
            check(os.path.exists(usr + "/share/man/man1/%s.1.gz" % prog), "manual page of " + prog)

        home = os.path.join(tmp, "home")
        os.mkdir(home)
        env = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
        env["HOME"] = home
        bindir = usr + "/bin/"
        for prog in ("vantrixctl", "melodyloader", "vantrix-sim"):
            got = run(bindir + prog, "--version", env=env).strip()
            check(got == "%s %s" % (prog, version), "%s --version: %r" % (prog, got))
        cfg = os.path.join(tmp, "new.cfg")
        run(bindir + "vantrixctl", "cfg-new", cfg, env=env)
        check("audio_in_level" in json.loads(run(bindir + "vantrixctl", "cfg-dump", cfg, env=env)), "cfg-dump")
        user_dir = os.path.join(home, ".local/share", FOLDER)
        check(json.loads(run(bindir + "vantrixctl", "paths", env=env))["program_dir"] == user_dir, "paths")

        run("xvfb-run", "-a", sys.executable, os.path.abspath(__file__), "--gui", bindir + "VantrixCtrlPnl", home,
            timeout=180)
        profile = os.path.join(user_dir, "Data", "Profile.dat")
        check(os.path.isfile(profile) and os.path.getsize(profile) == 80, "no profile in " + user_dir)
        check(stat.S_IMODE(os.stat(user_dir).st_mode) == 0o700, "user directory not private")
    print("%s: %d bytes" % (os.path.basename(deb), os.path.getsize(deb)))


main()
