#!/usr/bin/env python3
"""Writes the desktop program's icon, as SVG and as a 48-pixel PNG drawn from
the same shapes, so that the two sizes never differ:
  scripts/make_icon.py packaging/icons/cz.vantrix.VantrixCtrlPnl"""
import math
import struct
import sys
import zlib

BLUE, WHITE = (0x34, 0x65, 0xA4), (0xFF, 0xFF, 0xFF)
CX, CY = 24.0, 17.0  # the antenna's top, centre of the waves
WAVES = [(7.0, 9.5), (12.0, 14.5)]  # inner and outer radius of each wave
SPREAD = 40.0  # degrees each side of the horizontal


def in_round_rect(x, y, x0, y0, x1, y1, r):
    qx = max(x0 + r - x, 0, x - (x1 - r))
    qy = max(y0 + r - y, 0, y - (y1 - r))
    return x0 <= x <= x1 and y0 <= y <= y1 and qx * qx + qy * qy <= r * r


def colour(x, y):
    if not in_round_rect(x, y, 2, 2, 46, 46, 8):
        return None
    dx, dy = x - CX, y - CY
    d = math.hypot(dx, dy)
    if d <= 3.0 or (22.5 <= x <= 25.5 and 17 <= y <= 39) or (16 <= x <= 32 and 38 <= y <= 41):
        return WHITE
    angle = math.degrees(math.atan2(abs(dy), abs(dx)))
    if angle <= SPREAD and any(r0 <= d <= r1 for r0, r1 in WAVES):
        return WHITE
    return BLUE


def png(size, path, samples=4):
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    s = 48.0 / size
                    c = colour((px + (sx + 0.5) / samples) * s, (py + (sy + 0.5) / samples) * s)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            n = samples * samples
            a = acc[3] // n
            row += bytes([acc[0] * 255 // acc[3] if acc[3] else 0, acc[1] * 255 // acc[3] if acc[3] else 0,
                          acc[2] * 255 // acc[3] if acc[3] else 0, a])
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def svg(path):
    def arc(r, side):
        a = math.radians(SPREAD)
        x0, y0 = CX + side * r * math.cos(a), CY - r * math.sin(a)
        x1, y1 = x0, CY + r * math.sin(a)
        sweep = 1 if side > 0 else 0
        return '<path d="M %.3f %.3f A %.3f %.3f 0 0 %d %.3f %.3f"/>' % (x0, y0, r, r, sweep, x1, y1)

    waves = "\n    ".join(arc((r0 + r1) / 2, side) for r0, r1 in WAVES for side in (-1, 1))
    width = WAVES[0][1] - WAVES[0][0]
    with open(path, "w", encoding="utf-8") as f:
        f.write(f'''<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="2" y="2" width="44" height="44" rx="8" fill="#3465a4"/>
  <g fill="#ffffff">
    <circle cx="{CX:g}" cy="{CY:g}" r="3"/>
    <rect x="22.5" y="17" width="3" height="22"/>
    <rect x="16" y="38" width="16" height="3"/>
  </g>
  <g fill="none" stroke="#ffffff" stroke-width="{width:g}">
    {waves}
  </g>
</svg>
''')


if __name__ == "__main__":
    base = sys.argv[1]
    svg(base + ".svg")
    png(48, base + ".png")
