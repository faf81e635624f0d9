#!/usr/bin/env python3
"""Writes lumidra.xpm: the 32 x 32 window icon (a board with a key on it).

Run from this folder after changing the drawing; the XPM is what the build uses.
"""
import math

N = 32
px = [['.'] * N for _ in range(N)]  # '.' transparent

def put(x, y, c):
    if 0 <= x < N and 0 <= y < N:
        px[y][x] = c

# The board: a rounded square, dark green with a lighter edge.
for y in range(1, 31):
    for x in range(1, 31):
        corner = min(x - 1, 30 - x) < 2 and min(y - 1, 30 - y) < 2
        if corner and math.hypot(min(x - 1, 30 - x) - 2, min(y - 1, 30 - y) - 2) > 2.2:
            continue
        edge = x in (1, 30) or y in (1, 30)
        put(x, y, 'e' if edge else 'g')

# Gold contact pads along the bottom edge.
for i in range(6):
    for y in (27, 28):
        for x in range(5 + i * 4, 7 + i * 4):
            put(x, y, 'o')

# A red LED in the top-right corner.
for y in range(4, 8):
    for x in range(23, 27):
        if math.hypot(x - 24.5, y - 5.5) <= 2.0:
            put(x, y, 'r')

# The key: a ring, a shaft and two teeth, in pale yellow with a dark outline.
cx, cy = 10.5, 12.5
for y in range(N):
    for x in range(N):
        d = math.hypot(x - cx, y - cy)
        if 2.2 <= d <= 5.0:
            put(x, y, 'k')
for x in range(15, 27):
    for y in (12, 13):
        put(x, y, 'k')
for x, y in ((21, 14), (21, 15), (22, 14), (22, 15), (25, 14), (25, 15), (25, 16), (26, 14), (26, 15), (26, 16)):
    put(x, y, 'k')
# Outline: board pixels touching the key turn dark.
for y in range(N):
    for x in range(N):
        if px[y][x] == 'g' and any(
                0 <= x + dx < N and 0 <= y + dy < N and px[y + dy][x + dx] == 'k'
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
            px[y][x] = 'd'

colours = {'.': 'None', 'g': '#1E6B3A', 'e': '#2FA35A', 'o': '#D9A520', 'r': '#E8322B',
           'k': '#F6E9A6', 'd': '#0E3B1F'}
lines = ['/* XPM */', 'static const char *lumidra[] = {', f'"{N} {N} {len(colours)} 1",']
lines += [f'"{k} c {v}",' for k, v in colours.items()]
lines += [f'"{"".join(row)}",' for row in px]
lines[-1] = lines[-1].rstrip(',')
lines.append('};')
open('lumidra.xpm', 'w').write('\n'.join(lines) + '\n')
