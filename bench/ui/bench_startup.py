"""Start-up of the built VantrixCtrlPnl as a user starts it, seen from the
outside: process start to its main window mapped and first drawn on an Xvfb
screen, and its resident memory then. Reports figures; never fails a build.

    /usr/bin/python3 bench/ui/bench_startup.py build/default/app/VantrixCtrlPnl [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display

TITLE = "Vantrix Control Panel (bezejmenná)"


def start_xvfb():
    r, w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                             "-noreset"],
                            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        return xvfb, ":" + f.readline().strip()


def resident_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def one_run(exe, disp, env):
    """Milliseconds from the process start to the first Expose of its main
    window, and its resident memory a second later."""
    x = display.Display(disp)
    root = x.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    x.sync()
    t0 = time.monotonic()
    proc = subprocess.Popen([exe], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    mapped = None
    shown = None
    deadline = t0 + 30
    try:
        while shown is None and time.monotonic() < deadline:
            if not x.pending_events():
                time.sleep(0.0005)
                continue
            ev = x.next_event()
            if ev.type == X.CreateNotify:
                try:
                    ev.window.change_attributes(event_mask=X.ExposureMask | X.StructureNotifyMask)
                except Exception:
                    pass
            elif ev.type == X.MapNotify and mapped is None:
                name = ev.window.get_full_text_property(x.intern_atom("_NET_WM_NAME"), x.intern_atom("UTF8_STRING"))
                if name == TITLE:
                    mapped = ev.window
            elif ev.type == X.Expose and mapped is not None and ev.window == mapped:
                shown = time.monotonic()
        if shown is None:
            raise SystemExit("the main window did not appear within 30 s")
        time.sleep(1.0)
        rss = resident_mb(proc.pid)
    finally:
        proc.terminate()
        proc.wait()
        x.close()
    return (shown - t0) * 1000.0, rss


def main():
    exe = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    work = tempfile.mkdtemp(prefix="vantrix-bench-")
    xvfb, disp = start_xvfb()
    try:
        # A program directory of its own, so no profile from elsewhere is read.
        prog = os.path.join(work, "prog")
        os.makedirs(os.path.join(prog, "Data"))
        copy = os.path.join(prog, "VantrixCtrlPnl")
        shutil.copy2(exe, copy)
        env = dict(os.environ, DISPLAY=disp, QT_QPA_PLATFORM="xcb", HOME=work)
        env.pop("WAYLAND_DISPLAY", None)
        one_run(copy, disp, env)  # warm the page cache
        times, rss = [], []
        for _ in range(runs):
            t, m = one_run(copy, disp, env)
            times.append(t)
            rss.append(m)
        print("start-up to the visible main window under Xvfb, %d runs: min %.0f ms, median %.0f ms, max %.0f ms"
              " (target <= 150 ms)" % (runs, min(times), statistics.median(times), max(times)))
        print("resident memory after start-up: min %.1f MB, median %.1f MB, max %.1f MB (target <= 40 MB)"
              % (min(rss), statistics.median(rss), max(rss)))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
