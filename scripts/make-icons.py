#!/usr/bin/env python3
"""Draws the updater's 16-colour icons and writes res/update.ico (32x32 and
16x16) and res/update_large.ico (32x32). Run by hand when the drawing changes;
the .ico files are committed."""
import struct, os

# The standard 16-colour palette, as (R, G, B).
PALETTE = [(0,0,0),(128,0,0),(0,128,0),(128,128,0),(0,0,128),(128,0,128),(0,128,128),
           (192,192,192),(128,128,128),(255,0,0),(0,255,0),(255,255,0),(0,0,255),
           (255,0,255),(0,255,255),(255,255,255)]
BLACK, NAVY, TEAL, SILVER, GRAY, BLUE, YELLOW, WHITE, GREEN = 0, 4, 6, 7, 8, 12, 11, 15, 2

def draw(size, body):
    """A box of colour body with a yellow arrow pointing down into it.
    Returns rows top-down of palette indices, None where transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]
    def fill(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = c
    fill(2, 12, 30, 30, BLACK)     # box outline
    fill(3, 13, 29, 29, body)      # box
    fill(3, 13, 29, 15, SILVER)    # lid
    fill(13, 1, 19, 12, BLACK)     # arrow shaft outline
    fill(14, 1, 18, 13, YELLOW)    # arrow shaft
    for i in range(7):             # arrow head
        fill(9 + i, 12 + i, 23 - i, 13 + i, YELLOW)
    fill(6, 24, 26, 26, WHITE)     # label on the box
    return px

def image(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_row = (size // 2 + 3) // 4 * 4
    and_row = ((size + 7) // 8 + 3) // 4 * 4
    xor = b''
    mask = b''
    for row in reversed(px):       # bottom-up
        nibbles = [c if c is not None else 0 for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += data + b'\0' * (xor_row - len(data))
        bits = 0
        out = b''
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                out += bytes([bits]); bits = 0
        mask += out + b'\0' * (and_row - len(out))
    return header + palette + xor + mask

def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for px in images:
        blob = image(px)
        size = len(px)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b''.join(blobs)

res = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'res')
with open(os.path.join(res, 'update.ico'), 'wb') as f:
    f.write(ico([draw(32, BLUE), draw(16, BLUE)]))
with open(os.path.join(res, 'update_large.ico'), 'wb') as f:
    f.write(ico([draw(32, GREEN)]))
