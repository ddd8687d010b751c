"""Points Profile.dat at a port: the port name is replaced, every other field kept.

A missing or foreign profile becomes version 3 with the communication block
only; the program then takes its window defaults for the rest.
"""
import struct
import sys

path, port = sys.argv[1], sys.argv[2].encode()
if len(port) > 16:
    sys.exit("port name longer than 16 characters: %s" % sys.argv[2])
try:
    data = bytearray(open(path, "rb").read())
except OSError:
    data = bytearray()
if len(data) < 32 or struct.unpack_from("<I", data, 0)[0] != 3:
    data = bytearray(struct.pack("<IiB19si", 3, 1, 0, b"", -1))
struct.pack_into("19s", data, 9, port)
open(path, "wb").write(data)
