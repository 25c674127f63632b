import math, sys
import os
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "icons")

def to_svg(rows, pal):
    by = {}
    for y, row in enumerate(rows):
        assert len(row) == 16, (y, row, len(row))
        x = 0
        while x < 16:
            c = row[x]
            if c == '.':
                x += 1; continue
            x2 = x
            while x2 < 16 and row[x2] == c: x2 += 1
            by.setdefault(c, []).append(f"M{x},{y}h{x2-x}v1h-{x2-x}z")
            x = x2
    assert len(rows) == 16
    def attrs(v):
        if isinstance(v, tuple):
            return f'fill="{v[0]}" fill-opacity="{v[1]}"'
        return f'fill="{v}"'
    return "".join(f'  <path {attrs(pal[c])} d="{"".join(by[c])}"/>\n' for c in pal if c in by)

def write(name, rows, pal, title):
    with open(f"{OUT}/{name}", "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
                'width="16" height="16" viewBox="0 0 16 16" shape-rendering="crispEdges">\n'
                f'  <title>{title}</title>\n' + to_svg(rows, pal) + '</svg>\n')

# --- exit sign -------------------------------------------------------------
fig = """\
............
.......##...
.......##...
.....##.....
....####....
...#.##.#...
..#..##..##.
.....##.....
.....###....
....##..#...
...##....#..
..##.....##."""
fig = fig.split("\n")
rows = ["." * 16, ".G" + "G" * 12 + "G."]
for i, fr in enumerate(fig):
    bg = "C" if i < 6 else "Y"
    rows.append(".G" + fr.replace(".", bg) + "G.")
rows += [".G" + "G" * 12 + "G.", "." * 16]
write("command_2.svg", rows,
      {"G": "#404040", "C": "#00e0ff", "Y": "#ffe000", "#": "#000000"}, "Exit")

# --- two people (About) -----------------------------------------------------
def person(grid, cx, top):
    # cx: left column of the two light front pixels; head is 4 px wide above
    head = {0: (cx, cx + 1), 1: (cx - 1, cx + 2), 2: (cx - 1, cx + 2), 3: (cx, cx + 1)}
    cells = {}
    for dy, (a, b) in head.items():
        for x in range(a, b + 1): cells[(x, top + dy)] = "D"
    cells[(cx - 1, top + 1)] = "h"
    for x, dy in ((cx - 1, 0), (cx + 2, 0), (cx - 1, 3), (cx + 2, 3)):
        cells[(x, top + dy)] = "c"
    for dy in range(5, 16):
        a, b = (cx - 2, cx + 3) if dy == 5 else (cx - 3, cx + 4)
        for x in range(a, b + 1):
            cells[(x, top + dy)] = "L" if x in (cx, cx + 1) else ("d" if x == a or x == b else "D")
    return {k: v for k, v in cells.items() if 0 <= k[0] < 16 and 0 <= k[1] < 16}
back = person(None, 10, 1)
front = person(None, 4, 3)
grid = [["."] * 16 for _ in range(16)]
for (x, y), c in back.items():
    near = any((x + dx, y + dy) in front for dx in (-1, 0, 1) for dy in (-1, 0, 1))
    grid[y][x] = "." if near else c
for (x, y), c in front.items(): grid[y][x] = c
write("command_4.svg", ["".join(r) for r in grid],
      {'D': '#1c2a4a', 'd': '#34466e', 'h': '#5a6c98', 'L': '#dfe8f8', 'c': ('#1c2a4a', '0.45')}, "About")
print("\n".join("".join(r) for r in grid))

# --- handshake ---------------------------------------------------------------
hs = """\
................
................
................
................
........ooooo...
....ooooOOOOOo..
NN.oLLLLOOOOOoNN
NNBoOOOoooOOOBNN
NNBYYooooKKOOBNN
NNBYYYYYYYWKoBNN
NNBYYYYKKKKKKBNN
NNBYYYKYYYYYyKNN
NNBYYyKKKKKKKBNN
NN..KYYYYYYyK.NN
.....KKKKKKK....
................""".split("\n")
write("command_3.svg", hs,
      {'N': '#000080', 'B': '#2c2cb0', 'O': '#9a9a1e', 'o': '#55550a', 'L': '#c4c450',
       'Y': '#ffdc28', 'y': '#d8aa00', 'W': '#fff4a0', 'K': '#3c3000'}, "Contact")

# --- pencil ----------------------------------------------------------------
pen = """\
................
............KK..
...........KPPK.
..........KPPPPK
.........KggggK.
........KWYYyK..
.......KWYYyK...
......KWYYyK....
.....KWYYyK.....
....KWYYyK......
...KwwwwK.......
..KwwwK.........
..KRwK..........
.KRK............
.KK..KK...KK....
.......KKK..KKK.""".split("\n")
write("command_5.svg", pen,
      {'P': '#f08a8a', 'g': '#a8a8a8', 'W': '#fff08a', 'Y': '#ffd200', 'y': '#d0a000',
       'w': '#f2d2a0', 'R': '#e00000', 'K': '#000000'}, "Edit")

# --- keyboard: drawn in a sheared grid so that the stair edges stay regular
def kb_cell(x, yp):
    if not (1 <= x <= 14 and 6 <= yp <= 14): return "."
    if x in (1, 14) or yp in (6, 14): return "K"
    if yp == 13: return "s"
    if yp in (8, 10) and x % 2 == 1 and 3 <= x <= 11: return "k"
    if yp == 12 and 5 <= x <= 10: return "k"
    return "t"
rows = []
for y in range(16):
    rows.append("".join(kb_cell(x, y + x // 4) for x in range(16)))
print("\n".join(rows))
write("command_6.svg", rows,
      {'t': '#e6e6e6', 's': '#8c8c8c', 'k': '#505050', 'K': '#282828'}, "Keyboard")

# --- cogwheels
big = """\
....KKKK....
.KK.KhhK.KK.
.KhKKhhmKmK.
..KhhhhmmK..
KKKhhKKmmKKK
KhhhK..KmmdK
KhhmK..KmddK
KKKmmKKddKKK
..KmmmdddK..
.KmKKmddKdK.
.KK.KddK.KK.
....KKKK....""".split("\n")
small = """\
...KKK...
.KKKhKKK.
.KhhhmmK.
KKhhKmmKK
KhhK.KddK
KKmmKddKK
.KmmdddK.
.KKKdKKK.
...KKK...""".split("\n")
grid = [["."] * 16 for _ in range(16)]
for y, r in enumerate(small):
    for x, c in enumerate(r):
        if c != ".": grid[7 + y][7 + x] = c
for y, r in enumerate(big):
    for x, c in enumerate(r):
        if c != ".": grid[y][x] = c
        elif 2 <= x <= 9 and 2 <= y <= 9: grid[y][x] = "."   # the axle hole
write("command_7.svg", ["".join(r) for r in grid],
      {'h': '#dcdcdc', 'm': '#b4b4b4', 'd': '#8c8c8c', 'K': '#3a3a3a'}, "Transparency")

# --- postponed row: a small alarm clock in the row picture's navy and yellow -------------
clock = """\
................
..yY........Yy..
.yYYy.NNNN.yYYy.
.YYNNNWWWWNNNYY.
..NWWWWKWWWWWN..
.NWWWWWKWWWWWWN.
.NWWWWWKWWWWWWN.
NWWWWWWKWWWWWWWN
NWWWWWWKKKKWWWWN
NWWWWWWWWWWWWWWN
.NWWWWWWWWWWWWN.
.NWWWWWWWWWWWWN.
..NWWWWWWWWWWN..
...NNBWWWWBNN...
..NN..NNNN..NN..
................""".split("\n")
write("postponed_row.svg", clock,
      {'N': '#000080', 'B': '#2c2cb0', 'Y': '#ffdc28', 'y': '#d8aa00', 'W': '#fff4a0',
       'K': '#3c3000'}, "Postponed")
