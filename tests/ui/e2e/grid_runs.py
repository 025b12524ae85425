#!/usr/bin/env python3
"""Checks the editor's empty enlarged grid in a screen capture: 15 lines
each way, all of one width, 14 inner cells all of one size, and no colour
inside the grid but the grid's and the key colour (none blended).

    grid_runs.py capture.png
Prints the line width and cell size; exits 1 when they are uneven, 2 when
other colours show inside the grid."""
import subprocess
import sys

GRID, KEY = (200, 200, 200), (240, 240, 240)


def main(path):
    size = subprocess.check_output(["convert", path, "-format", "%w %h", "info:"])
    width, height = map(int, size.split())
    data = subprocess.check_output(["convert", path, "-depth", "8", "rgb:-"])

    def pixel(x, y):
        i = 3 * (y * width + x)
        return tuple(data[i:i + 3])

    # Grid lines are the rows and columns that are mostly grid colour.
    mask = subprocess.check_output(["convert", path, "-fill", "black", "+opaque", "rgb(200,200,200)",
                                    "-fill", "white", "-opaque", "rgb(200,200,200)", "-depth", "8", "gray:-"])
    columns = [mask[x::width].count(255) for x in range(width)]
    rows = [mask[y * width:(y + 1) * width].count(255) for y in range(height)]
    line_columns = [x for x, n in enumerate(columns) if n > 0.6 * max(columns)]
    line_rows = [y for y, n in enumerate(rows) if n > 0.6 * max(rows)]
    if not line_columns or not line_rows:
        print("no grid in the capture")
        return 1
    x0, x1, y0, y1 = line_columns[0], line_columns[-1], line_rows[0], line_rows[-1]

    def widths(along):
        """Widths of the grid runs and of the gaps between them."""
        runs = []
        for colour in along:
            if runs and runs[-1][0] == colour:
                runs[-1][1] += 1
            else:
                runs.append([colour, 1])
        lines = [n for colour, n in runs if colour == GRID]
        gaps = [n for colour, n in runs if colour != GRID]
        return lines, gaps

    middle_row = next(y for y in range((y0 + y1) // 2, y1) if y not in line_rows)
    middle_column = next(x for x in range((x0 + x1) // 2, x1) if x not in line_columns)
    h_lines, h_gaps = widths(pixel(x, middle_row) for x in range(x0, x1 + 1))
    v_lines, v_gaps = widths(pixel(middle_column, y) for y in range(y0, y1 + 1))
    print(f"grid {x1 - x0 + 1}x{y1 - y0 + 1} at ({x0}, {y0}): lines across {h_lines}, "
          f"down {v_lines}; cells across {h_gaps}, down {v_gaps}")

    others = {pixel(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)} - {GRID, KEY}
    if others:
        print(f"blended colours inside the grid: {sorted(others)[:8]}")
        return 2
    if len(h_lines) != 15 or len(v_lines) != 15 or len(set(h_lines + v_lines)) != 1 \
            or len(set(h_gaps + v_gaps)) != 1:
        print("uneven grid")
        return 1
    print(f"even: lines {h_lines[0]}, cells {h_gaps[0]}")
    return 0


sys.exit(main(sys.argv[1]))
