#!/usr/bin/env python3
"""The manual pages and the README against the programs: every command and
every exit status the code can return is described, no option is cut or
carries CLI11's internals, and the desktop program's page names its version.

check_manuals.py MANDIR BINDIR SOURCEDIR VERSION
"""
import glob
import gzip
import os
import re
import subprocess
import sys

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def page(mandir, prog):
    with gzip.open(os.path.join(mandir, prog + ".1.gz"), "rt", encoding="utf-8") as f:
        return f.read().replace("\\-", "-")


def sections(troff):
    """{section name: its text} of a manual page."""
    out = {}
    for part in re.split(r"^\.SH ", troff, flags=re.M)[1:]:
        name, _, body = part.partition("\n")
        out[name.strip('"')] = body
    return out


def exit_items(body):
    """The statuses an EXIT STATUS section describes: ".B 1 to 14", ".B 1, 2"."""
    codes = set()
    for item in re.findall(r"^\.B (.+)$", body, flags=re.M):
        m = re.fullmatch(r"(\d+) to (\d+)", item)
        if m:
            codes.update(range(int(m.group(1)), int(m.group(2)) + 1))
        else:
            codes.update(int(n) for n in re.findall(r"\d+", item))
    return codes


def constants(paths, pattern):
    codes = set()
    for path in paths:
        with open(path, encoding="utf-8") as f:
            codes.update(int(n) for n in re.findall(pattern, f.read()))
    return codes


def help_text(exe):
    env = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
    return subprocess.run([exe, "--help"], capture_output=True, text=True, check=True, env=env).stdout


def options_whole(prog, troff, help_out):
    """help2man tells an option from its description by a gap of two spaces:
    an option whose description landed on its own item line is cut."""
    items = {}
    for item in re.findall(r"^\.TP\n(\\fB-.*)$", troff, flags=re.M):
        name, _, rest = item.partition("\\fR")
        items[name[3:]] = rest
    check(items, "%s: no options in the manual page" % prog)
    lines = help_out.splitlines() + [""]
    for i, line in enumerate(lines[:-1]):
        if re.match(r" +--\S", line) and not re.search(r"\S  +\S", line):
            # Without the gap the description must stand on the next line.
            indent = len(line) - len(line.lstrip())
            check(len(lines[i + 1]) - len(lines[i + 1].lstrip()) > indent,
                  "%s: no gap between option and description: %r" % (prog, line))
    for opt, desc in re.findall(r"^ +(--[^ ,]+)[^\n]*?  +(\S.*)$", help_out, flags=re.M):
        check(opt in items, "%s: option %s not in the page" % (prog, opt))
        check(" ".join(desc.split()[:2]) not in items.get(opt, ""),
              "%s: option %s runs into its description: %r" % (prog, opt, items.get(opt)))
    check("Needs:" not in troff and "Excludes:" not in troff, "%s: CLI11's Needs:/Excludes: in the page" % prog)


def main():
    mandir, bindir, src, version = sys.argv[1:5]
    readme = open(os.path.join(src, "README.md"), encoding="utf-8").read()

    # vantrixctl: the subcommands CLI11 knows, the statuses its sources return.
    ctl_help = help_text(os.path.join(bindir, "tools/vantrixctl/vantrixctl"))
    ctl = page(mandir, "vantrixctl")
    sec = sections(ctl)
    check(sec["NAME"].strip() not in sec["DESCRIPTION"], "vantrixctl: DESCRIPTION repeats NAME")
    listing = ctl_help.split("Subcommands:", 1)[1].split("Files:", 1)[0]
    commands = re.findall(r"^  (\S+)", listing, flags=re.M)
    check(len(commands) >= 15, "vantrixctl: subcommands in --help: %s" % commands)
    commands_sec = sec.get("COMMANDS", "")
    readme_cmds = readme.split("| Command | Does |", 2)[1]
    for cmd in commands:
        check("\\fB%s\\fR" % cmd in commands_sec, "vantrixctl: %s not in COMMANDS" % cmd)
        check("`%s" % cmd in readme_cmds, "vantrixctl: %s not in the README's command table" % cmd)
    ctl_src = glob.glob(os.path.join(src, "tools/vantrixctl/*.[ch]*"))
    codes = constants(ctl_src, r"constexpr int k(?:Exit\w*|DiffTrouble) = (\d+);")
    # The result codes of a request; DR_SILENT (100) ends a desktop dialog
    # quietly and is no exit status.
    results = {r for r in constants([os.path.join(src, "comm/VantrixCom.h")], r"\bDR_\w+ = (\d+)") if r < 64}
    codes.update(range(1, max(results) + 1))
    described = exit_items(sec["EXIT STATUS"])
    check(codes <= described, "vantrixctl: exit statuses missing from the page: %s" % sorted(codes - described))
    statuses = readme.split("Texts are UTF-8 on the console", 1)[1].split("\n\n", 1)[0]
    for code in sorted(codes - set(range(1, max(results) + 1))):
        check(re.search(r"\b%d\b" % code, statuses), "vantrixctl: exit status %d not in the README" % code)
    check("(%d)" % max(results) in statuses or "1 to %d" % max(results) in statuses,
          "README: the result codes 1 to %d" % max(results))
    check("FILES" in sec and "SEE ALSO" in sec, "vantrixctl: FILES or SEE ALSO missing")
    options_whole("vantrixctl", ctl, ctl_help)

    # vantrix-sim: its description a paragraph of its own, every option whole.
    sim_help = help_text(os.path.join(bindir, "tools/vantrix-sim/vantrix-sim"))
    sim = page(mandir, "vantrix-sim")
    sec = sections(sim)
    check(".PP" in sec["DESCRIPTION"], "vantrix-sim: the description runs on as one paragraph")
    codes = constants([os.path.join(src, "tools/vantrix-sim/main.cpp")], r"constexpr int kExit\w* = (\d+);")
    described = exit_items(sec["EXIT STATUS"])
    check(codes <= described, "vantrix-sim: exit statuses missing: %s" % sorted(codes - described))
    options_whole("vantrix-sim", sim, sim_help)

    # melodyloader: 0 or 1, from its own code.
    ml = sections(page(mandir, "melodyloader"))
    check("EXIT STATUS" in ml, "melodyloader: no EXIT STATUS")
    codes = constants([os.path.join(src, "melodyloader/MelodyLoader.cpp"), os.path.join(src, "melodyloader/main.cpp")],
                      r"return (\d+);")
    check(codes <= exit_items(ml.get("EXIT STATUS", "")), "melodyloader: exit statuses %s" % sorted(codes))

    # The desktop program's page: a version and a date from the build.
    desk = page(mandir, "VantrixCtrlPnl")
    th = re.search(r"^\.TH .*$", desk, flags=re.M).group(0)
    check(version in th and "@" not in th, "VantrixCtrlPnl: the title line %r" % th)
    check({0, 1, 2} <= exit_items(sections(desk)["EXIT STATUS"]), "VantrixCtrlPnl: exit statuses")

    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
