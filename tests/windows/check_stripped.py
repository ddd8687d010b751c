"""The Windows programs as they ship: no debug information in the .exe (it
made vantrixctl.exe 24 MB), and the .exe.debug beside it that the .exe names,
so that a crash can still be read with gdb.

check_stripped.py OBJDUMP EXE...
"""
import os
import re
import subprocess
import sys

OBJDUMP, EXES = sys.argv[1], sys.argv[2:]


def sections(path):
    out = subprocess.run([OBJDUMP, "-h", path], capture_output=True, text=True, check=True).stdout
    return set(re.findall(r"^\s*\d+\s+(\S+)", out, flags=re.M))


def debuglink(path):
    """The file name that .gnu_debuglink holds, from objdump's hex dump."""
    out = subprocess.run([OBJDUMP, "-s", "-j", ".gnu_debuglink", path], capture_output=True, text=True,
                         check=True).stdout
    data = b"".join(bytes.fromhex("".join(m.split()))
                    for m in re.findall(r"^ [0-9a-f]+ ((?:[0-9a-f]+ ){1,4})", out, flags=re.M))
    return data.split(b"\0", 1)[0].decode()


failures = []
for exe in EXES:
    name = os.path.basename(exe)
    shipped = sections(exe)
    debug = sorted(s for s in shipped if s.startswith(".debug"))
    if debug:
        failures.append("%s holds debug information: %s" % (name, ", ".join(debug)))
    if ".gnu_debuglink" not in shipped:
        failures.append("%s names no .debug file" % name)
    else:
        link = debuglink(exe)
        if link != name + ".debug":
            failures.append("%s names %r" % (name, link))
    if not os.path.isfile(exe + ".debug") or ".debug_info" not in sections(exe + ".debug"):
        failures.append("no debug information in %s.debug" % name)
    print("%s: %d bytes, %s.debug: %d bytes" % (name, os.path.getsize(exe), name,
                                                os.path.getsize(exe + ".debug") if os.path.isfile(exe + ".debug") else 0))
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
