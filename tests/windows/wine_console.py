"""vantrixctl.exe and melodyloader.exe on a console, as a user at a terminal
sees them: Wine gives a program on a pseudo-terminal a Windows console and
draws it there. What shows on the screen must be what the Linux programs show
on a terminal: Czech text, not its UTF-8 bytes read in the console's code
page, and a progress line redrawn in place and gone at the end, not escape
sequences printed as text."""
import fcntl
import os
import pty
import re
import select
import signal
import struct
import sys
import tempfile
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from simproc import Sim, check  # noqa: E402
import winecom  # noqa: E402

(PREFIX, CTL_EXE, LOADER_EXE, CTL, SIM, LOADER) = sys.argv[1:7]
ROWS, COLS = 50, 200
STATE = {"smsQueue": [{"time": "2008-04-03 09:05:07", "number": "+420603123456", "text": "Přijď v 5"}]}


class Screen:
    """The text a terminal shows after the bytes it was given: the controls
    and CSI sequences that Wine's console and the programs write."""

    def __init__(self):
        self.rows = [[]]
        self.row = self.col = 0

    def put(self, ch):
        line = self.rows[self.row]
        line.extend(" " * (self.col + 1 - len(line)))
        line[self.col] = ch
        self.col += 1

    def csi(self, params, final):
        nums = [int(p) if p.isdigit() else 0 for p in params.lstrip("?").split(";")]
        n = max(nums[0], 1)
        line = self.rows[self.row]
        if final == "K":
            if nums[0] == 0:
                del line[self.col:]
            elif nums[0] == 1:
                line[:self.col + 1] = " " * min(len(line), self.col + 1)
            else:
                line.clear()
        elif final == "X":
            line[self.col:self.col + n] = " " * len(line[self.col:self.col + n])
        elif final == "C":
            self.col += n
        elif final == "D":
            self.col = max(0, self.col - n)
        elif final == "A":
            self.row = max(0, self.row - n)
        elif final == "B":
            self.down(n)
        elif final in "Hf":
            self.row, self.col = 0, 0
            self.down(max(nums[0], 1) - 1)
            self.col = max(nums[1] if len(nums) > 1 else 1, 1) - 1
        elif final == "J" and nums[0] == 2:
            self.rows = [[] for _ in self.rows]
        # m (colours), h and l (cursor shown or hidden) change no text.

    def down(self, n):
        self.row += n
        self.rows.extend([] for _ in range(self.row + 1 - len(self.rows)))

    def feed(self, data):
        text = data.decode("utf-8", "replace")
        i = 0
        while i < len(text):
            ch = text[i]
            m = re.compile(r"\x1b\[([0-9;?]*)([@-~])").match(text, i)
            if m:
                self.csi(m.group(1), m.group(2))
                i = m.end()
                continue
            m = re.compile(r"\x1b\][^\x07]*\x07").match(text, i)
            if m:  # the window title
                i = m.end()
                continue
            if ch == "\r":
                self.col = 0
            elif ch == "\n":
                self.down(1)
            elif ch == "\b":
                self.col = max(0, self.col - 1)
            elif ch >= " " or ch == "\x1b":
                self.put(ch)
            i += 1

    def lines(self):
        out = ["".join(r).rstrip() for r in self.rows]
        while out and not out[-1]:
            out.pop()
        return out


def on_terminal(cmd, cwd, answers=()):
    """Runs cmd on a pseudo-terminal; each (prompt, keys) of answers types
    keys once the prompt shows. The exit status and the screen's lines."""
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", LC_ALL="C.UTF-8", TERM="xterm")
    env["PATH"] += ":/usr/lib/wine"
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            if cmd[0] == "wine64":
                # Wine's console reads the keys itself, echoes them and takes
                # a CR for Enter; until it has set the terminal up so, the
                # line discipline would echo them too and make CR a LF.
                attrs = termios.tcgetattr(0)
                attrs[0] &= ~termios.ICRNL
                attrs[3] &= ~(termios.ECHO | termios.ICANON)
                termios.tcsetattr(0, termios.TCSANOW, attrs)
            os.execvpe(cmd[0], cmd, env)
        finally:
            os._exit(127)  # never back into the test, which would remove its folder
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLS, 0, 0))
    screen, raw, answers = Screen(), b"", list(answers)
    deadline = time.time() + 120
    while time.time() < deadline:
        if answers:
            plain = Screen()
            plain.feed(raw)
            if answers[0][0] in "\n".join(plain.lines()):
                os.write(fd, answers.pop(0)[1])
        ready, _, _ = select.select([fd], [], [], 0.5)
        if not ready:
            continue
        try:
            data = os.read(fd, 65536)
        except OSError:  # the program has ended and the terminal closed
            break
        if not data:
            break
        raw += data
    else:
        os.kill(pid, signal.SIGKILL)
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    screen.feed(raw)
    return os.waitstatus_to_exitcode(status), screen.lines()


def session(windows, tmp):
    """The same runs with the Linux or the Windows programs: {what: (status, screen)}."""
    wine = ["wine64"] if windows else []
    ctl = wine + [CTL_EXE if windows else CTL]
    loader = wine + [LOADER_EXE if windows else LOADER]
    got = {}
    # A message of the string table on stderr, with a file named in Czech.
    with open(os.path.join(tmp, "jiný.cfg"), "w") as f:
        f.write("no configuration\n")
    got["message"] = on_terminal(ctl + ["cfg-dump", "jiný.cfg"], tmp)
    # The progress line of every request on stderr, then the SMS on stdout.
    with Sim(SIM, tmp, state=STATE) as sim:
        got["sms-read"] = on_terminal(ctl + ["--port", winecom.attach(PREFIX, sim, windows), "sms-read"], tmp)
    # melodyloader's dialogue, naming the file as the user typed it.
    status, lines = on_terminal(loader + ["žádná melodie.bin"], tmp, [("[Enter = COM1] :", b"COM7\r")])
    got["melodyloader"] = status, [line.replace(" : COM7", " :") for line in lines]
    return got


def main():
    with tempfile.TemporaryDirectory() as tmp:
        results = {}
        for windows in (False, True):
            d = os.path.join(tmp, "windows" if windows else "linux")
            os.mkdir(d)
            results[windows] = session(windows, d)
        lin, win = results[False], results[True]
        for key in lin:
            check(win[key] == lin[key], "%s differs on the terminal:\n linux   %r\n windows %r" % (key, lin[key], win[key]))
        # Both alike is not enough: the Linux screens themselves have to be right.
        check(lin["message"] == (66, ["Došlo k chybě při načítání konfigurace ze souboru."]), "message: %r" % (lin["message"],))
        status, lines = lin["sms-read"]
        check(status == 0 and len(lines) == 1 and '"text":"Přijď v 5"' in lines[0], "sms-read: %r" % (lin["sms-read"],))
        check("Download žádná melodie.bin file via COM7..." in lin["melodyloader"][1], "melodyloader: %r" % (lin["melodyloader"],))
        print("the screens of the Linux and the Windows programs are alike: %s" % ", ".join(sorted(lin)))


main()
