#!/usr/bin/env python3
"""Draws the program's icon (a starting tree: three amber lamps over a green
one on a dark rounded tile) as torvanetx.svg and as PNGs of the hicolor
sizes, with nothing but the standard library. Run it after changing the
design; the files it writes are committed."""
import math
import struct
import zlib
from pathlib import Path

SIZES = (16, 24, 32, 48, 64, 128, 256)
TILE = (0x1B, 0x2A, 0x41)
AMBER = (0xFF, 0xB0, 0x20)
GREEN = (0x3C, 0xE0, 0x5A)
# Lamps as (centre x, centre y, radius, colour) on a 1x1 tile.
LAMPS = [(0.5, 0.2, 0.085, AMBER), (0.5, 0.4, 0.085, AMBER), (0.5, 0.6, 0.085, AMBER),
         (0.5, 0.81, 0.095, GREEN)]
CORNER = 0.18


def inside_tile(x, y):
    cx = min(max(x, CORNER), 1 - CORNER)
    cy = min(max(y, CORNER), 1 - CORNER)
    return (x - cx) ** 2 + (y - cy) ** 2 <= CORNER ** 2


def colour_at(x, y):
    if not inside_tile(x, y):
        return None
    for lx, ly, r, colour in LAMPS:
        if (x - lx) ** 2 + (y - ly) ** 2 <= r * r:
            return colour
    return TILE


def png(size):
    samples = 4
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size,
                                  (py + (sy + 0.5) / samples) / size)
                    if c is not None:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            n = samples * samples
            alpha = acc[3] // n
            covered = acc[3] // 255
            if covered:
                row += bytes([acc[0] // covered, acc[1] // covered, acc[2] // covered, alpha])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def svg():
    hexc = lambda c: "#%02x%02x%02x" % c
    lamps = "".join(
        f'<circle cx="{lx * 256:g}" cy="{ly * 256:g}" r="{r * 256:g}" fill="{hexc(c)}"/>'
        for lx, ly, r, c in LAMPS)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            f'viewBox="0 0 256 256"><rect width="256" height="256" rx="{CORNER * 256:g}" '
            f'fill="{hexc(TILE)}"/>{lamps}</svg>\n')


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    for size in SIZES:
        (here / f"torvanetx-{size}.png").write_bytes(png(size))
    (here / "torvanetx.svg").write_text(svg())
