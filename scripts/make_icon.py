#!/usr/bin/env python3
"""Draws the application icon (a memory card with a label and contacts) as
a 64x64 and a 32x32 24-bit image and writes resources/quillcrest.ico."""
import struct, sys

def card_pixels(size):
    s = size / 64.0
    def inside(x, y):
        # card outline with the top-right corner cut
        if x < 10 * s or x >= 54 * s or y < 4 * s or y >= 60 * s: return None
        if x - 44 * s > y - 4 * s: return None
        if 16 * s <= x < 48 * s and 12 * s <= y < 30 * s: return 'label'
        if y >= 50 * s and int((x - 12 * s) / (5 * s)) % 2 == 0 and x < 52 * s: return 'pin'
        return 'body'
    colours = {None: (0, 0, 0), 'body': (60, 60, 70), 'label': (230, 200, 60), 'pin': (200, 170, 60)}
    rows = []
    for y in range(size):
        rows.append([colours[inside(x + 0.5, y + 0.5)] for x in range(size)])
    mask = [[inside(x + 0.5, y + 0.5) is None for x in range(size)] for y in range(size)]
    return rows, mask

def dib(size):
    rows, mask = card_pixels(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    xor = b''
    for y in reversed(range(size)):
        row = b''.join(bytes((b, g, r)) for r, g, b in rows[y])
        xor += row + b'\0' * ((-len(row)) % 4)
    andm = b''
    for y in reversed(range(size)):
        bits = 0
        row = bytearray((size + 31) // 32 * 4)
        for x in range(size):
            if mask[y][x]: row[x // 8] |= 0x80 >> (x % 8)
        andm += bytes(row)
    return header + xor + andm

images = [dib(64), dib(32)]
out = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, data in zip((64, 32), images):
    out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 24, len(data), offset)
    offset += len(data)
out += b''.join(images)
open(sys.argv[1] if len(sys.argv) > 1 else 'resources/quillcrest.ico', 'wb').write(out)
