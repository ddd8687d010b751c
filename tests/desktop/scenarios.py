"""What a user does with VantrixCtrlPnl, scenario by scenario, against
vantrix-sim; each checks what the screen shows and what the device received.

    scenarios.py NAME VantrixCtrlPnl vantrix-sim vantrixctl
"""
import fcntl
import json
import os
import signal
import struct
import subprocess
import sys
import time

import desktop as d
from desktop import check, wait

UNTITLED = d.TITLE + " (bezejmenná)"
MODIFIED = d.TITLE + " (bezejmenná*)"
PROGRESS = "Komunikace s Vantrix"
READ_TOOL = "Našíst z Vantrix"
WRITE_TOOL = "Uložit do Vantrix"


class Ui:
    """The program's main window as the user sees it."""

    def __init__(self, ctx, program):
        self.ctx, self.p = ctx, program
        self.main = program.main or program.start()

    def button(self, name, root=None):
        return d.find(root or self.main, name, "push button")

    def tool(self, caption):
        bar = d.find(self.main, role_name="tool bar")
        return self.button(caption, bar)

    def press(self, acc):
        self.ctx.press(acc)

    def key(self, combo):
        self.ctx.key(combo, self.p)

    def tab(self, caption):
        tabs = d.find(self.main, role_name="page tab list")
        self.press(d.find(tabs, caption, "page tab"))
        return d.find(self.main, caption, "tree")

    def page(self, tab, node):
        """Shows the page of a tree node, as a click on it does."""
        tree = self.tab(tab)
        cell = d.find(tree, node, "table cell")
        d.click(self.ctx.session, cell)
        wait(lambda: cell.getState().contains(d.pyatspi.STATE_SELECTED), 5, "node %r selected" % node)
        return cell

    def menu(self, menu, item):
        """Chooses an item of a menu of the menu bar, as a screen reader does."""
        self.press(d.find(d.find(self.main, role_name="menu bar"), menu, "menu item"))
        self.press(d.find(self.main, item, "menu item", timeout=5))

    def field(self, caption, role_name=None):
        return d.find(self.main, caption, role_name, pred=lambda a: a.name == caption and d.role(a) != "label")

    def list_view(self, caption):
        return d.find(self.main, caption, pred=lambda a: "Table" in a.get_interfaces())

    def status(self):
        bar = d.find(self.main, role_name="status bar")
        labels = d.find_all(bar, role_name="label")
        return labels[-1].name if labels else None

    def title(self):
        return self.main.name

    def sequence(self, start, timeout=60):
        """Runs a command that opens the progress dialog and waits for its end."""
        start()
        self.p.dialog(PROGRESS, 10, "the progress dialog")
        self.p.no_dialog(timeout)

    def box(self, timeout=30, title=d.TITLE):
        """The message box that is up now: the box and its texts."""
        def up():
            return [w for w in self.p.windows() if w is not None and d.role(w) == "alert" and w.name == title and
                    d.showing(w)]
        box = wait(up, timeout, "a message box titled %r" % title)[0]
        texts = [a.name for a in d.find_all(box, role_name="label") if a.name]
        return box, texts

    def answer(self, box, button):
        self.press(self.button(button, box))
        wait(lambda: not d.showing(box), 10, "the box to close")


def ctl(ctx, *args, port=None):
    exe = ctx.extra[0]
    cmd = [exe] + (["--port", port] if port else []) + list(args)
    r = subprocess.run(cmd, capture_output=True, timeout=120)
    check(r.returncode == 0, "%s: %d %s" % (" ".join(args), r.returncode, r.stderr.decode()))
    return r.stdout.decode()


def dump_device(ctx, sim):
    path = os.path.join(ctx.workdir, "device.cfg")
    ctl(ctx, "read-config", path, port=sim.port)
    return json.loads(ctl(ctx, "cfg-dump", path))


def prepared_device(ctx, **fields):
    """A simulator whose configuration holds the given native fields (byte
    offset: bytes), written there by vantrixctl as a user would."""
    sim = ctx.sim()
    path = os.path.join(ctx.workdir, "prepared.cfg")
    ctl(ctx, "cfg-new", path)
    data = bytearray(open(path, "rb").read())
    for offset, raw in fields.values():
        data[8 + offset:8 + offset + len(raw)] = raw
    open(path, "wb").write(bytes(data))
    ctl(ctx, "write-config", path, port=sim.port)
    return sim


# Native offsets of the fields the scenarios use, and their texts.
SIM1_PIN = 3
INFO_NUMBER = 72
RESET_TEXT = 93


def field_bytes(s):
    return s.encode("cp1250") + b"\0"


# ---------------------------------------------------------------- 1. start-up

def startup(ctx):
    sim = ctx.sim()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    check(ui.title() == UNTITLED, "title %r" % ui.title())
    tabs = d.find(ui.main, role_name="page tab list")
    check([t.name for t in d.find_all(tabs, role_name="page tab")] == ["Konfigurace", "Stav", "Nástroje"],
          "the three tabs")
    check(ui.status() == "offline", "status %r" % ui.status())
    first = {"Konfigurace": ("Vytáčení čísel", 20), "Stav": ("Výrobní štítek", 4), "Nástroje": ("SMS", 7)}
    for tab, (node, rows) in first.items():
        tree = ui.tab(tab)
        names = d.tree_rows(tree)
        check(len(names) == rows, "%s: %d nodes, not %d: %s" % (tab, len(names), rows, names))
        selected = d.find_all(tree, role_name="table cell",
                              pred=lambda a: a.getState().contains(d.pyatspi.STATE_SELECTED))
        check([c.name for c in selected] == [node], "%s: selected %s" % (tab, [c.name for c in selected]))
    tools = d.tree_rows(ui.tab("Nástroje"))
    check(tools[2:5] == ["Přijaté (0)", "Odeslané (0)", "K odeslání (0)"] or tools[2:5] == [
        "Přijaté", "Odeslané", "K odeslání"], "list nodes with their counts: %s" % tools)
    check(ui.tool("Online").getState().contains(d.pyatspi.STATE_ENABLED), "Online enabled")
    check(not ui.tool("Offline").getState().contains(d.pyatspi.STATE_ENABLED), "Offline disabled")
    # The task bar knows the window: its icon, and the class its desktop entry names.
    from Xlib import X
    w = p.x_window(UNTITLED)
    icon = w.get_full_property(ctx.session.x.intern_atom("_NET_WM_ICON"), X.AnyPropertyType)
    check(icon is not None and len(icon.value) > 2, "the window has an icon")
    entry = open(os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "VantrixCtrlPnl.desktop.in"),
                 encoding="utf-8").read()
    wm_class = [line.split("=", 1)[1] for line in entry.splitlines() if line.startswith("StartupWMClass=")]
    check(wm_class and w.get_wm_class()[1] == wm_class[0], "WM_CLASS %s, the desktop entry %s" % (
        w.get_wm_class(), wm_class))


def no_display(ctx):
    """Without a display the program says so in one line and ends with 1."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    r = subprocess.run([ctx.app_exe], env=env, capture_output=True, timeout=60)
    lines = r.stderr.decode().splitlines()
    check(r.returncode == 1 and len(lines) == 1 and "grafický displej" in lines[0],
          "status %d, %s" % (r.returncode, lines))


# ---------------------------------------------------------------- 2. read the configuration

def read_config(ctx):
    sim = prepared_device(ctx, pin=(SIM1_PIN, field_bytes("4711")), info=(INFO_NUMBER, field_bytes("+420603999888")),
                          reset=(RESET_TEXT, field_bytes("Restart – Žluťoučký kůň")))
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.key("ctrl+r"))
    ui.page("Konfigurace", "SMS")
    check(d.text(ui.field("číslo pro informační SMS:")) == "+420603999888", "information number")
    check(d.text(ui.field("text SMS při RESETu:")) == "Restart – Žluťoučký kůň", "reset text with diacritics")
    ui.page("Konfigurace", "SIM karta 1")
    check(d.text(ui.field("PIN:")) == "4711", "PIN of SIM 1")
    check(ui.title() == UNTITLED, "a configuration read from the device is not modified: %r" % ui.title())


# ---------------------------------------------------------------- 3. edit, then write to the device

def write_config(ctx):
    sim = ctx.sim()
    before = sim.image()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.page("Konfigurace", "SIM karta 1")
    pin = ui.field("PIN:")
    d.set_text(pin, "9876")
    wait(lambda: ui.title() == MODIFIED, 5, "the title to gain *")
    ui.sequence(lambda: ui.press(ui.tool(WRITE_TOOL)))
    after = sim.image()
    changed = [i for i in range(len(before)) if before[i] != after[i]]
    check(changed and changed[-1] - changed[0] < 9, "only the PIN's bytes changed: %s" % changed)
    check(dump_device(ctx, sim)["sim1_pin"] == "9876", "the device holds the PIN at its place")


# ---------------------------------------------------------------- 4. online: state pages follow the device

def online(ctx):
    sim = ctx.sim(state={"clockOffset": -400 * 86400, "inputs": 0, "outputs": 0})
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.press(ui.tool("Online")))
    check(ui.status() == "online", "online")

    ui.page("Stav", "GSM")
    wait(lambda: d.text(ui.field("jméno operátora:")) == "T-Mobile CZ", 10, "the operator")
    wait(lambda: d.value(ui.field("signál:")) == 20, 5, "signal 20")
    sim.set(gsm={"operator": "O2 CZ", "signal": 7})
    wait(lambda: d.text(ui.field("jméno operátora:")) == "O2 CZ", 10, "the new operator")
    wait(lambda: d.value(ui.field("signál:")) == 7, 10, "the new signal")

    ui.page("Stav", "Binární IO")
    lst = ui.list_view("Binární vstupy/výstupy")
    sim.set(inputs=0b101)
    wait(lambda: [r[1] for r in d.table_cells(lst)][:3] == ["1", "0", "1"], 10, "inputs 1 and 3 high")
    d.select_row(lst, 1)
    d.select_row(lst, 3, add=True)
    ui.sequence(lambda: ui.press(ui.button("Nastavit do log 1")))
    check(sim.state()["outputs"] == 0b1010, "outputs 2 and 4 set: %s" % sim.state()["outputs"])
    wait(lambda: [r[2] for r in d.table_cells(lst)][:4] == ["0", "1", "0", "1"], 10, "outputs shown")

    ui.page("Stav", "Čas")
    date = ui.field("datum:")
    year_then = time.localtime(time.time() - 400 * 86400).tm_year
    wait(lambda: str(year_then) in d.text(date), 10, "the device's date (%d)" % year_then)
    ui.sequence(lambda: ui.press(ui.button("Synchronizovat s PC")))
    check(abs(sim.state()["clockOffset"]) <= 5, "clock set to the PC's: offset %s" % sim.state()["clockOffset"])
    wait(lambda: str(time.localtime().tm_year) in d.text(date), 10, "today's date")

    ui.press(ui.tool("Offline"))
    wait(lambda: ui.status() == "offline", 20, "offline")


# ---------------------------------------------------------------- 5. SMS read and sent

def sms(ctx):
    sim = ctx.sim(state={"smsQueue": [{"time": "2026-11-30 08:15:00", "number": "+420603123456",
                                       "text": "Přijď v 5, čeká tě řízek"}]})
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.key("F5"))
    check(sim.state()["smsQueue"] == [], "the SMS was taken from the device")
    ui.page("Nástroje", "Přijaté (1)")
    lst = ui.list_view("Přijaté")
    rows = d.table_cells(lst)
    check(len(rows) == 1 and rows[0][0] == "+420603123456" and rows[0][1] == "Přijď v 5, čeká tě řízek",
          "received list: %s" % rows)

    ui.page("Nástroje", "Nová SMS")
    d.set_text(ui.field("přijemci:"), "+420777111222")
    d.set_text(ui.field("Text SMS"), "Dobrý den, účet je zaplacen")
    wait(lambda: d.find_all(ui.main, "27/1", "label"), 5, "the counter 27/1")
    ui.sequence(lambda: ui.press(ui.button("Odeslat")))
    sent = sim.state()["sent"]
    check([(s["number"], s["text"]) for s in sent] == [("+420777111222", "Dobrý den, účet je zaplacen")],
          "the device sent %s" % sent)
    wait(lambda: "Odeslané (1)" in d.tree_rows(ui.tab("Nástroje")), 10, "one SMS in the sent list")


def sms_edit_meets_arrival(ctx):
    """The oldest SMS of a full received list open in "Editace SMS" while a new
    one arrives through the idle poll and takes its place: the edit is saved
    as the user sees it (the arrival once freed the record under the editor)."""
    queue = [{"time": "2026-12-0%d 09:00:00" % (i + 1), "number": "+42060300000%d" % i, "text": "Přijatá %d" % i}
             for i in range(5)]
    sim = ctx.sim(state={"smsQueue": queue})
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.key("F5"))
    ui.sequence(lambda: ui.press(ui.tool("Online")))
    ui.page("Nástroje", "Přijaté (5)")
    lst = ui.list_view("Přijaté")
    texts = [r[1] for r in d.table_cells(lst)]
    d.select_row(lst, texts.index("Přijatá 0"))
    ui.menu("SMS", "Otevřít")
    dlg = p.dialog("Editace SMS")
    d.set_text(d.find(dlg, "Text SMS", pred=lambda a: a.name == "Text SMS" and d.role(a) != "label"),
               "Upraveno během příjmu")
    sim.set(smsQueue=[{"time": "2026-12-08 10:00:00", "number": "+420603999999", "text": "Nová"}])
    wait(lambda: "Nová" in [r[1] for r in d.table_cells(lst)], 20, "the new SMS in the received list")
    check("Přijatá 0" not in [r[1] for r in d.table_cells(lst)], "the oldest gave way to it")
    ui.press(ui.button("Uložit k odeslání", dlg))
    wait(lambda: not d.showing(dlg), 10, "the editor to close")
    wait(lambda: "K odeslání (1)" in d.tree_rows(ui.tab("Nástroje")), 10, "the edit in the to-send list")
    check("Upraveno během příjmu".encode("cp1250") in open(os.path.join(p.data, "SMS.dat"), "rb").read(),
          "the edit in SMS.dat")
    ui.sequence(lambda: ui.press(ui.tool("Offline")))
    p.close_window()
    check(p.ended() == 0, "the program ends")


# ---------------------------------------------------------------- 6. GPRS access point

def gprs(ctx):
    sim = ctx.sim("--apn", "internet.t-mobile.cz")
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.page("Nástroje", "Přístupový bod")
    ui.sequence(lambda: ui.press(ui.button("Načíst")))
    apn = ui.field("jméno APN:")
    check(d.text(apn) == "internet.t-mobile.cz", "APN read: %r" % d.text(apn))
    d.set_text(apn, "firma.apn.cz")
    ui.sequence(lambda: ui.press(ui.button("Zapsat")))
    check(sim.state()["gprs"]["apn"] == "firma.apn.cz", "APN written: %s" % sim.state()["gprs"])


# ---------------------------------------------------------------- 7. a silent device

def silent_device(ctx):
    sim = ctx.sim("--silent", "0x28")
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.key("ctrl+r")
    p.dialog(PROGRESS, 10)
    box, texts = ui.box(60, PROGRESS)
    check("Vypršel komunikační timeout. EC: 0028" in texts, "the error box: %s" % texts)
    ui.answer(box, "OK")
    box, texts = ui.box(10)
    check("Došlo ke komunikační chybě. Opakovat komunikaci?" in texts, "the retry question: %s" % texts)
    ui.answer(box, "Ne")
    p.no_dialog(30)
    # Still usable: the device answers everything else.
    ui.sequence(lambda: ui.press(ui.tool("Online")))
    check(ui.status() == "online", "online after the failure")
    ui.page("Stav", "Výrobní štítek")
    ui.press(ui.tool("Offline"))
    wait(lambda: ui.status() == "offline", 20, "offline")
    # Another program on the port: the box says so under its message, and asks no retry.
    p.no_dialog(30)
    with open(sim.port, "rb+", buffering=0) as holder:
        fcntl.flock(holder, fcntl.LOCK_EX)
        ui.press(ui.tool("Online"))
        box, texts = ui.box(30, PROGRESS)
        # The EC part names the last frame of the earlier session.
        check(any(t.startswith("Nepodařilo se otevřít komunikační port. EC: ") and
                  t.endswith("\nPort právě používá jiný program.") for t in texts), "the port's box: %s" % texts)
        ui.answer(box, "OK")
        p.no_dialog(30)
    check(ui.status() == "offline", "offline after the held port")


# ---------------------------------------------------------------- 8. the save question on closing

def close_question(ctx):
    sim = ctx.sim()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.page("Konfigurace", "SIM karta 1")
    d.set_text(ui.field("PIN:"), "1111")
    wait(lambda: ui.title() == MODIFIED, 5, "modified")
    p.close_window()
    box, texts = ui.box(10)
    check("Konfigurace byla změněna, chcete změny uložit?" in texts, "the save question: %s" % texts)
    ui.answer(box, "Storno")
    time.sleep(0.5)
    check(p.proc.poll() is None and d.showing(ui.main), "Storno keeps the window")
    check(ui.title() == MODIFIED, "and the edit")
    p.close_window()
    box, texts = ui.box(10)
    ui.answer(box, "Ne")
    check(p.ended() == 0, "the program ends after No")


# ---------------------------------------------------------------- 9. remote access over a modem

def add_connection(ui, dlg, number, pin):
    """A new entry through "Přidat" of the communication settings dialog."""
    ui.press(ui.button("Přidat", dlg))
    item = wait(lambda: [w for w in ui.p.windows() if w not in (ui.main, dlg) and d.showing(w)], 10,
                "the connection item dialog")[0]
    d.set_text(d.find(item, "tel.číslo:", "text"), number)
    d.set_text(d.find(item, "PIN:", "text"), pin)
    ui.press(ui.button("Ok", item))
    wait(lambda: not d.showing(item), 5, "the item dialog to close")


def remote(ctx):
    sim = ctx.sim("--modem", "--pin", "2468", "--ring-ms", "100", "--guard-ms", "200")
    p = ctx.program(sim.port)
    modems = os.path.join(p.data, "Modems")
    os.makedirs(modems)
    os.symlink(sim.port, os.path.join(modems, "Testmodem"))
    ui = Ui(ctx, p)

    ui.key("F10")
    dlg = p.dialog("Nastavení komunikace")
    ui.press(d.find(dlg, "vzdálený přístup", "radio button"))
    tabs = d.find(dlg, role_name="page tab list")
    ui.press(d.find(tabs, "Vzdálený přístup", "page tab"))
    add_connection(ui, dlg, "603123456", "2468")
    connections = d.find(dlg, "připojení:", pred=lambda a: d.role(a) != "label")
    check("603123456" in [c.name for c in d.walk(connections)], "the new connection is listed")
    modem_list = d.find(dlg, "modem:", pred=lambda a: d.role(a) != "label")
    row = d.find(modem_list, "Testmodem")
    ui.press(row)
    ui.press(ui.button("Ok", dlg))
    wait(lambda: not d.showing(dlg), 5, "the settings dialog to close")

    ui.press(ui.tool("Online"))
    rem = p.dialog("Vzdálený přístup")
    pin = d.find(rem, "PIN:", "text")
    if d.text(pin) != "2468":
        d.set_text(pin, "2468")
    connect = ui.button("Spojit", rem)
    wait(lambda: connect.getState().contains(d.pyatspi.STATE_ENABLED), 5, "Spojit enabled")
    ui.press(connect)
    wait(lambda: ui.status() == "online", 40, "online over the modem")
    p.no_dialog(30)
    ui.sequence(lambda: ui.press(ui.tool("Offline")))
    check(ui.status() == "offline", "offline")
    p.close_window()
    check(p.ended() == 0, "the program ends")
    data = open(os.path.join(p.data, "Connection.dat"), "rb").read()
    check(b"603123456" in data and b"2468" in data, "the connection is kept in Connection.dat")
    modem = sim.stop()[0]["modem"]
    check(modem["dialled"] == ["603123456"] and modem["connected"] == 1 and modem["hangups"] == 1,
          "the modem called the number once and hung up: %s" % modem)


# ---------------------------------------------------------------- 10. files written at the end

def files_at_end(ctx):
    sim = ctx.sim(state={"smsQueue": [{"time": "2026-12-01 10:00:00", "number": "+420601000111",
                                       "text": "Zálohováno"}]})
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.key("ctrl+r"))
    ui.sequence(lambda: ui.key("F5"))
    for name in ("SMS.dat", "Connection.dat"):
        path = os.path.join(p.data, name)
        if os.path.exists(path):
            os.remove(path)
    ui.menu("Konfigurace", "Konec")
    check(p.ended() == 0, "Konec ends the program")
    for name in ("Profile.dat", "SMS.dat", "Connection.dat"):
        check(os.path.exists(os.path.join(p.data, name)), "%s written" % name)
    sms_dat = open(os.path.join(p.data, "SMS.dat"), "rb").read()
    check("Zálohováno".encode("cp1250") in sms_dat, "the received SMS in SMS.dat")
    version = struct.unpack_from("<I", open(os.path.join(p.data, "Profile.dat"), "rb").read())[0]
    check(version == 3, "Profile.dat version 3")


# ---------------------------------------------------------------- Qt's own dialogs in Czech

def czech_dialogs(ctx):
    sim = ctx.sim()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.key("ctrl+o")
    dlg = p.dialog(None, 10, "the open dialog")
    d.find(dlg, "Hledat v:", "label")
    ui.press(ui.button("Zrušit", dlg))
    wait(lambda: not d.showing(dlg), 5, "the open dialog to close")
    check(ui.title() == UNTITLED, "a cancelled open changes nothing")


# ---------------------------------------------------------------- a received SMS survives a kill

KEPT_QUEUE = [{"time": "2026-12-02 06:30:0%d" % i, "number": "+42060200033%d" % i,
               "text": "Výpadek proudu č. %d" % i} for i in range(2)]


def deleted_but_not_kept(sim, data_dir):
    """The SMS the device no longer has that SMS.dat does not hold."""
    left = sim.state()["smsQueue"]
    path = os.path.join(data_dir, "SMS.dat")
    data = open(path, "rb").read() if os.path.exists(path) else b""
    return [s["text"] for s in KEPT_QUEUE[:len(KEPT_QUEUE) - len(left)] if s["text"].encode("cp1250") not in data]


def sms_kept_at_every_frame(ctx):
    """The program killed as the device receives each frame of an SMS reading,
    the acknowledges among them: what the device deleted is in SMS.dat."""
    sim = ctx.sim(state={"smsQueue": KEPT_QUEUE})
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.sequence(lambda: ui.key("F5"))
    frames = sim.ask("stats")["commands"]
    check(frames.count(0x2A) == 2, "the fault-free reading acknowledged both: %s" % frames)
    p.kill()
    sim.stop()
    for k in range(1, len(frames) + 1):
        sim = ctx.sim("--fault", "%d:hold" % k, state={"smsQueue": KEPT_QUEUE})
        p = ctx.program(sim.port)
        sms_dat = os.path.join(p.data, "SMS.dat")
        if os.path.exists(sms_dat):
            os.remove(sms_dat)
        ui = Ui(ctx, p)
        # The simulator kills the program itself the moment frame k arrives.
        sim.ask("kill-on-hold %d" % p.proc.pid)
        ui.key("F5")
        wait(lambda: sim.held(k), 30, "frame %d (0x%02X) at the device" % (k, frames[k - 1]))
        p.ended(10)
        lost = deleted_but_not_kept(sim, p.data)
        check(not lost, "killed at frame %d (0x%02X): deleted on the device, not in SMS.dat: %s" %
              (k, frames[k - 1], lost))
        sim.stop()
    print("killed at each of %d frames: nothing lost" % len(frames))


def sms_not_kept(ctx):
    """SMS.dat cannot be written: the reading stops with a message and the
    device keeps every SMS."""
    sim = ctx.sim(state={"smsQueue": KEPT_QUEUE})
    p = ctx.program(sim.port)
    os.makedirs(os.path.join(p.data, "SMS.dat"))  # no file can be written there
    ui = Ui(ctx, p)
    ui.key("F5")
    box, texts = ui.box()
    check(any("nepodařilo uložit do souboru SMS.dat" in t for t in texts), "the message says why: %s" % texts)
    ui.answer(box, "OK")
    p.no_dialog(30)
    check(len(sim.state()["smsQueue"]) == 2, "both SMS stay on the device")
    check(0x2A not in sim.ask("stats")["commands"], "nothing was acknowledged")
    check("Přijaté (0)" in d.tree_rows(ui.tab("Nástroje")), "the received list stays empty")


def session_end(ctx):
    """What the user changed is on disk at once, and SIGTERM (a log-out) ends
    the program as closing it would: no question, dialogs closed, the device
    disconnected, the files written; also while a sequence runs."""
    sim = ctx.sim()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.page("Nástroje", "Nová SMS")
    d.set_text(ui.field("přijemci:"), "+420777000111")
    d.set_text(ui.field("Text SMS"), "Uložená zpráva")
    ui.press(ui.button("Uložit k odeslání"))
    wait(lambda: "K odeslání (1)" in d.tree_rows(ui.tab("Nástroje")), 10, "the SMS in the to-send list")
    sms_dat = os.path.join(p.data, "SMS.dat")
    check("Uložená zpráva".encode("cp1250") in open(sms_dat, "rb").read(), "the saved SMS is in SMS.dat at once")

    ui.sequence(lambda: ui.press(ui.tool("Online")))
    wait(lambda: ui.status() == "online", 20, "online")
    ui.page("Konfigurace", "SIM karta 1")
    d.set_text(ui.field("PIN:"), "1111")
    wait(lambda: ui.title() == MODIFIED, 5, "modified")
    ui.key("F10")
    dlg = p.dialog("Nastavení komunikace")
    tabs = d.find(dlg, role_name="page tab list")
    ui.press(d.find(tabs, "Vzdálený přístup", "page tab"))
    add_connection(ui, dlg, "603999888", "1357")
    conns = os.path.join(p.data, "Connection.dat")
    wait(lambda: os.path.exists(conns) and b"603999888" in open(conns, "rb").read(), 5,
         "the new connection in Connection.dat at once")
    check(oct(os.stat(conns).st_mode & 0o777) == "0o600", "Connection.dat stays private")

    # The settings dialog is still open and the device online.
    p.proc.send_signal(15)
    check(p.ended(20) == 0, "SIGTERM ends the program")
    commands = sim.ask("stats")["commands"]
    check(commands[-2:] == [0x22, 0x86] and sim.ask("state") is not None, "the device was disconnected: %s" %
          commands[-4:])
    check(b"603999888" in open(conns, "rb").read(), "Connection.dat kept")
    check(os.path.exists(os.path.join(p.data, "Profile.dat")), "Profile.dat written")
    sim.stop()

    # SIGTERM while a slow reading runs: it is cancelled and the program ends.
    sim = ctx.sim("--reply-ms", "400")
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    ui.key("ctrl+r")
    wait(lambda: 0x28 in sim.ask("stats")["commands"], 20, "the reading under way")
    p.proc.send_signal(15)
    check(p.ended(30) == 0, "SIGTERM during a sequence ends the program")
    commands = sim.ask("stats")["commands"]
    # The end of the session and the closing 0x86 after the reading (each may
    # go twice when the reading's late answer meets it).
    after = commands[len(commands) - commands[::-1].index(0x28):]
    check(0x22 in after and 0x86 in after[after.index(0x22):], "the device was disconnected: %s" % commands)


# ---------------------------------------------------------------- a close while a sequence runs

def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def disconnects_after(commands, cmd):
    """The end-of-session requests (0x22) after the last `cmd`."""
    return commands[len(commands) - commands[::-1].index(cmd):].count(0x22)


def close_during_sequence(ctx):
    """A close (the window's or "Konec") that meets a sequence queued or
    running waits for its end and then closes as usual: the program never
    stays without a window, never spins, and disconnects the device once."""
    # The window closed as the key goes: both queued while the program is
    # held (a busy machine), then at moments well into the sequence. The
    # window manager's close is dropped while the progress dialog is up: then
    # the window simply stays.
    for held, delay in ((True, 0), (True, 0), (True, 0), (False, 0.01), (False, 0.3)):
        sim = ctx.sim("--reply-ms", "20")
        p = ctx.program(sim.port)
        ui = Ui(ctx, p)
        d.focus(ctx.session, p)
        if held:
            p.proc.send_signal(signal.SIGSTOP)
        d.key(ctx.session, "ctrl+r")
        time.sleep(delay)
        p.close_window(UNTITLED)
        if held:
            ctx.session.x.sync()
            p.proc.send_signal(signal.SIGCONT)
        what = "close %.3f s after Ctrl+R%s" % (delay, ", the program held" if held else "")
        wait(lambda: p.proc.poll() is not None or 0x86 in sim.ask("stats")["commands"], 60, what + ": the sequence")

        def settled():
            if p.proc.poll() is not None:
                return True
            return p.x_window(UNTITLED) is not None and not [
                w for w in p.windows() if w is not None and w != ui.main and d.showing(w)]
        wait(settled, 10, what + ": the program ended or back at its window, not running without one")
        if p.proc.poll() is None:
            used = cpu_seconds(p.proc.pid)
            time.sleep(1)
            check(cpu_seconds(p.proc.pid) - used < 0.5, what + ": the idle program spins")
            if p.x_window(UNTITLED) is not None:
                p.close_window(UNTITLED)
        check(p.ended() == 0, what + ": the program ends")
        check(disconnects_after(sim.ask("stats")["commands"], 0x28) == 1, what + ": one disconnect")
        sim.stop()

    # "Konec" through accessibility reaches the menu under the progress
    # dialog: during an offline reading, during a reading while online, and
    # during the closing disconnect itself.
    sim = ctx.sim()
    ctl(ctx, "read-config", os.path.join(ctx.workdir, "device.cfg"), port=sim.port)
    blocks = sim.ask("stats")["commands"].count(0x28)
    sim.stop()
    for case in ("offline", "online", "closing"):
        sim = ctx.sim("--reply-ms", "150")
        p = ctx.program(sim.port)
        ui = Ui(ctx, p)
        if case != "offline":
            ui.sequence(lambda: ui.press(ui.tool("Online")))
        for name in ("SMS.dat", "Connection.dat"):
            if os.path.exists(os.path.join(p.data, name)):
                os.remove(os.path.join(p.data, name))
        if case == "closing":
            p.close_window()
        else:
            ui.key("ctrl+r")
        p.dialog(PROGRESS, 10, "the progress dialog")
        ui.menu("Konfigurace", "Konec")
        check(p.ended(60) == 0, "Konec %s: the program ends" % case)
        commands = sim.ask("stats")["commands"]
        if case != "closing":
            check(commands.count(0x28) == blocks, "Konec %s: the reading ran to its end: %s" % (case, commands))
        last = 0x28 if case != "closing" else 0x20
        check(disconnects_after(commands, last) == 1 and commands[-1] == 0x86,
              "Konec %s: one disconnect at the end: %s" % (case, commands))
        for name in ("Profile.dat", "SMS.dat", "Connection.dat"):
            check(os.path.exists(os.path.join(p.data, name)), "Konec %s: %s written" % (case, name))
        sim.stop()


# ---------------------------------------------------------------- one copy per data folder

def one_copy_per_data(ctx):
    """A second copy on the same data folder says so and ends, so it cannot
    write its lists over the first's at exit; a killed copy's lock does not
    keep the next one out."""
    sim = ctx.sim(state={"smsQueue": [{"time": "2026-12-09 07:30:00", "number": "+420603123456",
                                       "text": "Jen v první kopii"}]})
    first = ctx.program(sim.port)
    ui = Ui(ctx, first)
    second = ctx.program(sim.port)
    second.proc = subprocess.Popen([second.exe], cwd=second.dir, stdin=subprocess.DEVNULL)
    box = wait(lambda: [w for w in second.windows() if w is not None and d.role(w) == "alert" and d.showing(w)],
               20, "the second copy's message")[0]
    texts = [a.name for a in d.find_all(box, role_name="label") if a.name]
    check(any("už běží" in t and "Data" in t for t in texts), "the second copy's message: %s" % texts)
    ctx.press(d.find(box, "OK", "push button"))
    check(second.ended(20) == 2, "the second copy ends with 2")

    ui.sequence(lambda: ui.key("F5"))
    sms_dat = os.path.join(first.data, "SMS.dat")
    text = "Jen v první kopii".encode("cp1250")
    check(text in open(sms_dat, "rb").read(), "the SMS the first copy read is in SMS.dat")
    first.close_window()
    check(first.ended() == 0, "the first copy ends")
    check(text in open(sms_dat, "rb").read(), "and stays there")

    third = ctx.program(sim.port)
    third.start()
    third.kill()
    fourth = ctx.program(sim.port)
    fourth.start()
    fourth.close_window()
    check(fourth.ended() == 0, "a start after a killed copy runs as usual")


# ---------------------------------------------------------------- the port of a USB adapter

# Run in a mount namespace of its own, the program sees a machine with one USB
# serial adapter: a sysfs tty class with its USB device, /dev/ttyUSB0 (the
# simulator's pty) and its /dev/serial/by-id link. Nothing leaks outside.
USB_MACHINE = r"""
set -e
t=$1; pty=$2; shift 2
mkdir -p "$t/dev"
mount --rbind /dev "$t/dev"
mount -t tmpfs machine /dev
for n in null zero full random urandom tty ptmx; do
    [ -e "$t/dev/$n" ] && touch "/dev/$n" && mount --bind "$t/dev/$n" "/dev/$n"
done
mkdir -p /dev/pts /dev/shm /dev/serial/by-id
mount --rbind "$t/dev/pts" /dev/pts
[ -d "$t/dev/shm" ] && mount --rbind "$t/dev/shm" /dev/shm
ln -s "$pty" /dev/ttyUSB0
ln -s ../../ttyUSB0 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
mount --bind "$t/tty" /sys/class/tty
exec "$@"
"""


def usb_machine(workdir, pty):
    usb = os.path.join(workdir, "sys", "usb1", "1-1")
    port = os.path.join(usb, "1-1:1.0", "ttyUSB0")
    os.makedirs(port)
    for name, value in (("idVendor", "0403"), ("product", "FT232R USB UART"), ("manufacturer", "FTDI"),
                        ("serial", "A50285BI")):
        with open(os.path.join(usb, name), "w") as f:
            f.write(value + "\n")
    tty = os.path.join(workdir, "tty", "ttyUSB0")
    os.makedirs(tty)
    os.symlink(port, os.path.join(tty, "device"))
    unshare = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-r", "-m"]
    if subprocess.run(unshare + ["true"], stderr=subprocess.DEVNULL).returncode != 0:
        print("skipped: this machine gives no mount namespace to stand a USB adapter in")
        sys.exit(77)
    return unshare + ["sh", "-c", USB_MACHINE, "sh", workdir, pty]


def port_list(ctx):
    """A new user's USB adapter: the communication settings list it beside
    COM1-COM4 with what tells it apart, and its short name is what is kept
    and what goes online."""
    sim = ctx.sim()
    p = ctx.program(None)
    p.wrap = usb_machine(os.path.join(ctx.workdir, "machine"), sim.port)
    ui = Ui(ctx, p)
    ui.key("F10")
    dlg = p.dialog("Nastavení komunikace")
    # The combo box is named by its current text, its edit by the label.
    combo = d.find(dlg, role_name="combo box",
                   pred=lambda a: "komunikační port:" in [c.name for c in d.walk(a) if d.role(c) == "text"])
    ui.press(combo)  # the list drops down
    items = wait(lambda: [a for a in d.walk(combo) if d.role(a) == "list item" and d.showing(a)], 10,
                 "the list dropped down")
    check([a.name for a in items] == ["COM1", "COM2", "COM3", "COM4", "ttyUSB0"],
          "the ports listed: %s" % [a.name for a in items])
    check(items[4].description == "FT232R USB UART, FTDI, sériové číslo A50285BI",
          "the adapter's details: %r" % items[4].description)
    for k in ("Down", "Down", "Down", "Down", "Return"):
        d.key(ctx.session, k)
    edit = d.find(combo, "komunikační port:", "text")
    wait(lambda: d.text(edit) == "ttyUSB0", 10, "ttyUSB0 chosen, by its bare name")
    ui.press(ui.button("Ok", dlg))
    wait(lambda: not d.showing(dlg), 10, "the settings dialog to close")
    ui.sequence(lambda: ui.press(ui.tool("Online")))
    check(ui.status() == "online", "online through the adapter's name")
    ui.sequence(lambda: ui.press(ui.tool("Offline")))
    p.close_window()
    check(p.ended() == 0, "the program ends")
    check(b"ttyUSB0\0" in open(os.path.join(p.data, "Profile.dat"), "rb").read(), "Profile.dat keeps ttyUSB0")


# ---------------------------------------------------------------- every control has a name

# Roles of the controls a user acts on or reads a value from.
NAMED_ROLES = {"push button", "toggle button", "check box", "radio button", "text", "password text", "spin button",
               "combo box", "tree", "tree table", "table", "list", "list box", "page tab", "page tab list",
               "progress bar", "slider", "date editor", "menu item", "tool bar"}


def unnamed(root):
    return ["%s in %r" % (d.role(a), root.name) for a in d.walk(root) if d.role(a) in NAMED_ROLES and not a.name]


def names(ctx):
    sim = ctx.sim()
    p = ctx.program(sim.port)
    ui = Ui(ctx, p)
    missing = unnamed(ui.main)
    for tab in ("Konfigurace", "Stav", "Nástroje"):
        for node in d.tree_rows(ui.tab(tab)):
            ui.page(tab, node)
            missing += ["%s / %s: %s" % (tab, node, m) for m in unnamed(ui.main)]
    ui.key("F10")
    dlg = p.dialog("Nastavení komunikace")
    tabs = d.find(dlg, role_name="page tab list")
    for tab in ("Výběr přístupu", "Vzdálený přístup"):
        page = d.find(tabs, tab, "page tab")
        ui.press(page)
        wait(lambda: page.getState().contains(d.pyatspi.STATE_FOCUSED), 10, "the tab %r shown" % tab)
        missing += ["Nastavení komunikace / %s: %s" % (tab, m) for m in unnamed(dlg)]
    ui.press(ui.button("Storno", dlg))
    wait(lambda: not d.showing(dlg), 10, "the settings dialog to close")
    check(not missing, "controls without an accessible name:\n  " + "\n  ".join(sorted(set(missing))))
    # A control that shows a value is read by it.
    ui.page("Nástroje", "Nová SMS")
    d.set_text(ui.field("Text SMS"), "x" * 161)
    counter = d.find(ui.main, "1/2", "label")
    check(counter.description == "délka SMS/počet SMS:", "the counter is described by its caption")


SCENARIOS = {f.__name__: f for f in (startup, no_display, read_config, write_config, online, sms, gprs, silent_device,
                                     close_question, remote, files_at_end, names,
                                     czech_dialogs, sms_kept_at_every_frame, sms_not_kept, session_end,
                                     close_during_sequence, sms_edit_meets_arrival,
                                     one_copy_per_data, port_list)}

if __name__ == "__main__":
    d.run(SCENARIOS)
