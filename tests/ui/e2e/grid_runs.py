#!/usr/bin/env python3
"""grid_runs.py CAPTURE.png: checks the editor's empty grid in a screen
capture. Prints the line widths and cell sizes through its middle; exits 0
when it has 15 lines each way, all of one width, and 14 inner cells of one
size, 1 when uneven, 2 when colours other than the grid's and the key
colour show inside it (blended), 3 when there is no grid."""
import subprocess
import sys

GRID, KEY = (200, 200, 200), (240, 240, 240)
path = sys.argv[1]
width, height = map(int, subprocess.check_output(["convert", path, "-format", "%w %h", "info:"]).split())
rgb = subprocess.check_output(["convert", path, "-depth", "8", "rgb:-"])
mask = subprocess.check_output(["convert", path, "-fill", "black", "+opaque", "rgb(200,200,200)",
                                "-fill", "white", "-opaque", "rgb(200,200,200)", "-depth", "8", "gray:-"])
pixel = lambda x, y: tuple(rgb[3 * (y * width + x):3 * (y * width + x) + 3])

# Grid lines: the columns and rows that are mostly grid colour.
columns = [mask[x::width].count(255) for x in range(width)]
rows = [mask[y * width:(y + 1) * width].count(255) for y in range(height)]
line_columns = [x for x, n in enumerate(columns) if n and n > 0.6 * max(columns)]
line_rows = [y for y, n in enumerate(rows) if n and n > 0.6 * max(rows)]
if not line_columns or not line_rows:
    print("no grid")
    sys.exit(3)
x0, x1, y0, y1 = line_columns[0], line_columns[-1], line_rows[0], line_rows[-1]


def runs(colours):
    out = []
    for c in colours:
        if out and out[-1][0] == c:
            out[-1][1] += 1
        else:
            out.append([c, 1])
    return [n for c, n in out if c == GRID], [n for c, n in out if c != GRID]


row = next(y for y in range((y0 + y1) // 2, y1) if y not in line_rows)
column = next(x for x in range((x0 + x1) // 2, x1) if x not in line_columns)
lines, cells = runs(pixel(x, row) for x in range(x0, x1 + 1))
down_lines, down_cells = runs(pixel(column, y) for y in range(y0, y1 + 1))
print(f"lines {lines} and {down_lines}, cells {cells} and {down_cells}")
others = {pixel(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)} - {GRID, KEY}
if others:
    print(f"blended colours inside the grid: {sorted(others)[:8]}")
    sys.exit(2)
if len(lines) != 15 or len(down_lines) != 15 or len(set(lines + down_lines)) != 1 or len(set(cells + down_cells)) != 1:
    print("uneven grid")
    sys.exit(1)
print(f"even: lines {lines[0]}, cells {cells[0]}")
