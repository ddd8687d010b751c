"""The built VantrixCtrlPnl as a user runs it: a program directory of its own,
vantrix-sim on a pseudo-terminal, Xvfb with a session bus and the
accessibility bus, and the program driven through AT-SPI by what it shows.

AT-SPI with Qt 6.4: an action that opens a modal dialog answers only when the
dialog has closed, so actions go out as D-Bus calls without waiting for the
reply; properties are read one at a time (GetAll can bring the program down).
"""
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

pyatspi = None  # imported once the buses are up: it connects at import
Gio = GLib = None
TITLE = "Vantrix Control Panel"


class Fail(AssertionError):
    pass


def check(cond, what):
    if not cond:
        raise Fail(what)


def wait(cond, timeout=15.0, what="a condition"):
    """Polls cond until it gives a true value, which is returned."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = cond()
            if value:
                return value
        except Exception as e:  # an object can vanish while we look at it
            last_error = e
        if time.monotonic() > end:
            raise Fail("timed out waiting for %s%s" % (what, " (%s)" % last_error if last_error else ""))
        time.sleep(0.05)


# ---------------------------------------------------------------- the session: X server and buses

class Session:
    """Xvfb, a D-Bus session bus and (activated by the program) the
    accessibility bus, for the whole test process."""

    def __init__(self, workdir):
        self.procs = []
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                                 "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        self.display = ":" + number
        runtime = os.path.join(workdir, "runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ, DISPLAY=self.display, XDG_RUNTIME_DIR=runtime)
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.procs.append(bus)
        address = bus.stdout.readline().decode().strip()
        check(address, "no session bus")
        os.environ.update(DISPLAY=self.display, XDG_RUNTIME_DIR=runtime, DBUS_SESSION_BUS_ADDRESS=address,
                          QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb",
                          NO_AT_BRIDGE="0", GTK_A11Y="none")
        os.environ.pop("WAYLAND_DISPLAY", None)
        global pyatspi, Gio, GLib
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Gio as _gio, GLib as _glib
        import pyatspi as _pyatspi
        pyatspi, Gio, GLib = _pyatspi, _gio, _glib
        from Xlib import display as xdisplay
        self.x = xdisplay.Display(self.display)
        self._a11y = None

    def a11y_bus(self):
        """The accessibility bus, for calls whose answer we do not wait for."""
        if self._a11y is None:
            session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
            reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                      GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE, 5000, None)
            self._a11y = Gio.DBusConnection.new_for_address_sync(
                reply.unpack()[0], Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        return self._a11y

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


# ---------------------------------------------------------------- the simulator as its own process

class Sim:
    """vantrix-sim with a control socket: the test sees and changes the device
    while the program runs."""

    def __init__(self, exe, workdir, options=(), state=None):
        self.state_path = os.path.join(workdir, "sim-state.json")
        self.control = os.path.join(workdir, "sim.sock")
        if state is not None:
            with open(self.state_path, "w", encoding="utf-8") as f:
                json.dump(state, f)
        self.proc = subprocess.Popen([exe, "--state", self.state_path, "--control", self.control, *options],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.port = self.proc.stdout.readline().decode().strip()
        check(self.port.startswith("/"), "vantrix-sim did not start")
        self.lines = []  # what it printed after the port, as JSON

    def read_lines(self):
        """Takes what the simulator printed since the last look, without waiting."""
        os.set_blocking(self.proc.stdout.fileno(), False)
        try:
            chunk = self.proc.stdout.read() or b""
        finally:
            os.set_blocking(self.proc.stdout.fileno(), True)
        self.pending = getattr(self, "pending", b"") + chunk
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            if line.startswith(b"{"):
                self.lines.append(json.loads(line))
        return self.lines

    def held(self, frame):
        """True once the reply to request frame `frame` is held back (--fault K:hold)."""
        return any(x.get("held") == frame for x in self.read_lines())

    def ask(self, line):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(10)
            s.connect(self.control)
            s.sendall(line.encode() + b"\n")
            data = b""
            while not data.endswith(b"\n"):
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        return json.loads(data)

    def state(self):
        return self.ask("state")

    def set(self, **changes):
        answer = self.ask(json.dumps(changes))
        check(answer.get("ok"), "the simulator refused %s: %s" % (changes, answer))

    def image(self):
        return bytes.fromhex(self.state()["image"])

    def stop(self):
        """Ends the simulator; what it printed after the port (the modem's
        record with --modem)."""
        if self.proc.poll() is not None:
            return []
        self.proc.stdin.close()
        try:
            out = getattr(self, "pending", b"") + self.proc.stdout.read()
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return []
        return [json.loads(line) for line in out.decode().splitlines() if line.startswith("{") and
                not line.startswith('{"held"')]


def write_profile(path, port, access_mode=1, modem_index=-1, tree_width=None):
    """Profile.dat version 3: the communication block, and the window block
    when a tree width is asked for (the program's defaults otherwise)."""
    data = struct.pack("<IiB19si", 3, access_mode, 0, port.encode(), modem_index)
    if tree_width is not None:
        data += struct.pack("<ii9ii", 800, 600, *([100] * 9), tree_width)
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- the program

class Program:
    """VantrixCtrlPnl in a program directory of its own, started as a user
    starts it, found on the accessibility bus by its window title."""

    def __init__(self, session, app_exe, workdir, port, **profile):
        self.session = session
        self.dir = os.path.join(workdir, "prog")
        self.data = os.path.join(self.dir, "Data")
        os.makedirs(self.data, exist_ok=True)
        self.exe = os.path.join(self.dir, "VantrixCtrlPnl")
        if not os.path.exists(self.exe):
            try:
                os.link(app_exe, self.exe)
            except OSError:
                shutil.copy2(app_exe, self.exe)
        if port is not None:
            write_profile(os.path.join(self.data, "Profile.dat"), port, **profile)
        self.proc = None
        self.app = None
        self.main = None
        self.wrap = []  # a command that execs the program, e.g. into a namespace

    def start(self, title=TITLE + " (bezejmenná)"):
        self.proc = subprocess.Popen(self.wrap + [self.exe], cwd=self.dir, stdin=subprocess.DEVNULL)
        self.main = self.window(title)
        return self.main

    def window(self, title, timeout=20):
        """The program's visible top-level window of that title: mapped on the
        X screen and showing on the accessibility bus."""
        wait(lambda: self.x_window(title), timeout, "a mapped window titled %r" % title)
        return wait(lambda: self._frame(title), timeout, "the window %r on the accessibility bus" % title)

    def x_window(self, title):
        from Xlib import X
        x = self.session.x
        for w in x.screen().root.query_tree().children:
            try:
                attrs = w.get_attributes()
                name = w.get_full_text_property(x.intern_atom("_NET_WM_NAME"), x.intern_atom("UTF8_STRING"))
            except Exception:
                continue
            if attrs.map_state == X.IsViewable and name == title:
                return w
        return None

    def _application(self):
        if self.proc.poll() is not None:
            raise Fail("the program ended with status %d" % self.proc.returncode)
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.proc.pid:
                return app
        return None

    def _frame(self, title):
        app = self._application()
        if app is None:
            return None
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            if w is not None and w.name == title and showing(w):
                return w
        return None

    def windows(self):
        app = self._application()
        return [app.getChildAtIndex(i) for i in range(app.childCount)] if app else []

    def dialog(self, title=None, timeout=15, what=None):
        """A showing window of the program other than the main window."""
        def find():
            for w in self.windows():
                if w is not None and w != self.main and showing(w) and (title is None or w.name == title):
                    return w
            return None
        return wait(find, timeout, what or "a window titled %r" % title)

    def no_dialog(self, timeout=30):
        wait(lambda: not [w for w in self.windows() if w is not None and w != self.main and showing(w)],
             timeout, "the dialogs to close")

    def close_window(self, title=None):
        """What the window manager sends when the user closes the window."""
        from Xlib import X
        from Xlib.protocol import event
        x = self.session.x
        w = self.x_window(title or self.main.name)
        check(w is not None, "no main window to close")
        proto = x.intern_atom("WM_PROTOCOLS")
        ev = event.ClientMessage(window=w, client_type=proto,
                                 data=(32, [x.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        w.send_event(ev, event_mask=X.NoEventMask)
        x.flush()

    def ended(self, timeout=30):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Fail("the program did not end")

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# ---------------------------------------------------------------- finding and using controls

def showing(acc):
    s = acc.getState()
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


def role(acc):
    return acc.getRoleName()


def walk(acc, depth=0, max_depth=40):
    """acc and everything below it that shows."""
    yield acc
    if depth >= max_depth:
        return
    n = acc.childCount
    for i in range(min(n, 2000)):
        c = acc.getChildAtIndex(i)
        if c is not None and showing(c):
            yield from walk(c, depth + 1, max_depth)


def find_all(root, name=None, role_name=None, pred=None):
    out = []
    for a in walk(root):
        if name is not None and a.name != name:
            continue
        if role_name is not None and role(a) != role_name:
            continue
        if pred is not None and not pred(a):
            continue
        out.append(a)
    return out


def find(root, name=None, role_name=None, pred=None, timeout=10):
    what = "%s %r" % (role_name or "a control", name)
    return wait(lambda: (find_all(root, name, role_name, pred) or [None])[0], timeout, what)


def text(acc):
    try:
        t = acc.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return acc.name


def value(acc):
    return acc.queryValue().currentValue


def press(session, acc, action=0):
    """Invokes an action without waiting for its answer: a modal dialog it
    opens would hold the answer back until it closes."""
    bus_name = acc.app.bus_name
    path = acc.path
    session.a11y_bus().call(bus_name, path, "org.a11y.atspi.Action", "DoAction", GLib.Variant("(i)", (action,)),
                            None, Gio.DBusCallFlags.NO_AUTO_START, -1, None, None, None)
    pump()


def pump():
    ctx = GLib.MainContext.default()
    while ctx.pending():
        ctx.iteration(False)


def set_text(acc, s):
    check(acc.queryEditableText().setTextContents(s), "the field %r took no text" % acc.name)


def select_row(acc, row_index, add=False):
    """Selects a row of a list view, keeping the others with add."""
    t = acc.queryTable()
    if not add:
        for r in t.getSelectedRows():
            t.removeRowSelection(r)
    check(t.addRowSelection(row_index), "row %d of %r not selectable" % (row_index, acc.name))


def tree_rows(tree):
    """Names of the rows of a tree or list view, in order."""
    t = tree.queryTable()
    return [t.getAccessibleAt(r, 0).name for r in range(t.nRows)]


def table_cells(table):
    t = table.queryTable()
    return [[t.getAccessibleAt(r, c).name for c in range(t.nColumns)] for r in range(t.nRows)]


# ---------------------------------------------------------------- keys, as a user types them

KEYSYMS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L", "del": "Delete", "enter": "Return",
           "esc": "Escape", "tab": "Tab"}


def key(session, combo):
    """Presses a key combination such as "ctrl+r" or "F2" on the focused window."""
    from Xlib import X, XK
    from Xlib.ext import xtest
    x = session.x
    codes = []
    for part in combo.split("+"):
        sym = XK.string_to_keysym(KEYSYMS.get(part.lower(), part))
        code = x.keysym_to_keycode(sym)
        check(code, "no key for %r" % part)
        codes.append(code)
    for c in codes:
        xtest.fake_input(x, X.KeyPress, c)
    for c in reversed(codes):
        xtest.fake_input(x, X.KeyRelease, c)
    x.sync()


def focus(session, program, title=None):
    """Gives the keyboard to a window of the program, as a click on it would."""
    from Xlib import X
    w = program.x_window(title or program.main.name)
    check(w is not None, "no window to focus")
    session.x.set_input_focus(w, X.RevertToParent, X.CurrentTime)
    session.x.sync()


# ---------------------------------------------------------------- running one scenario

def run(scenarios):
    """Command line of a scenario script: NAME APP SIM [CTL]."""
    name, app_exe, sim_exe = sys.argv[1], sys.argv[2], sys.argv[3]
    extra = sys.argv[4:]
    fn = scenarios.get(name)
    if fn is None:
        sys.exit("no scenario %r (have: %s)" % (name, ", ".join(sorted(scenarios))))
    workdir = tempfile.mkdtemp(prefix="vantrix-desktop-")
    session = None
    ctx = Context(app_exe, sim_exe, workdir, extra)
    try:
        session = Session(workdir)
        ctx.session = session
        fn(ctx)
        print("desktop %s: passed" % name)
    finally:
        ctx.close()
        if session:
            session.close()
        if os.environ.get("VANTRIX_KEEP_DESKTOP_DIR"):
            print("left in", workdir)
        else:
            shutil.rmtree(workdir, ignore_errors=True)


class Context:
    """What a scenario has at hand: the session, the simulator and the program."""

    def __init__(self, app_exe, sim_exe, workdir, extra):
        self.app_exe, self.sim_exe, self.workdir, self.extra = app_exe, sim_exe, workdir, extra
        self.session = None
        self.sims = []
        self.programs = []

    def sim(self, *options, state=None):
        s = Sim(self.sim_exe, self.workdir, options, state)
        self.sims.append(s)
        return s

    def program(self, port, **profile):
        p = Program(self.session, self.app_exe, self.workdir, port, **profile)
        self.programs.append(p)
        return p

    def press(self, acc, action=0):
        press(self.session, acc, action)

    def key(self, combo, program=None, title=None):
        if program is not None:
            focus(self.session, program, title)
        key(self.session, combo)

    def close(self):
        for p in self.programs:
            p.kill()
        for s in self.sims:
            s.stop()


def click(session, acc, button=1):
    """A mouse click at the middle of the control, as the user gives it."""
    from Xlib import X
    from Xlib.ext import xtest
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    check(box.width > 0 and box.height > 0, "%r has no place on the screen" % acc.name)
    x = session.x
    xtest.fake_input(x, X.MotionNotify, x=box.x + box.width // 2, y=box.y + box.height // 2)
    xtest.fake_input(x, X.ButtonPress, button)
    xtest.fake_input(x, X.ButtonRelease, button)
    x.sync()
