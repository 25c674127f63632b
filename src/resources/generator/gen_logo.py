import math
import os
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "icons")

# Outline of the serif V, clockwise on screen (y grows downwards).
outer = [
    (6, 5), (39, 5), (39, 13), (35.6, 13),   # left serif
    (33.4, 18),                             # bracket into the thick stroke
    (47, 52),                               # crotch
    (61.6, 18),                             # thin stroke, inner edge
    (59.4, 13), (55, 13), (55, 5), (79, 5), (79, 13), (75.4, 13),   # right serif
    (69.4, 18),                             # bracket into the thin stroke
    (45, 79), (40, 79),                     # foot
    (15.6, 18),                             # thick stroke, outer edge
    (10, 13), (6, 13),
]
D = 2.9   # bevel width

def inset(poly, d):
    n = len(poly)
    lines = []
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        dx, dy = x2 - x1, y2 - y1
        L = math.hypot(dx, dy)
        nx, ny = -dy / L, dx / L          # inward for a clockwise (screen) polygon
        lines.append(((x1 + nx * d, y1 + ny * d), (dx, dy)))
    out = []
    for i in range(n):
        (p1, d1), (p2, d2) = lines[i - 1], lines[i]
        den = d1[0] * d2[1] - d1[1] * d2[0]
        t = ((p2[0] - p1[0]) * d2[1] - (p2[1] - p1[1]) * d2[0]) / den
        out.append((p1[0] + d1[0] * t, p1[1] + d1[1] * t))
    return out

inner = inset(outer, D)

def fmt(v):
    s = f"{v:.2f}".rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s
def path(pts):
    return "M" + " L".join(f"{fmt(x)},{fmt(y)}" for x, y in pts) + " Z"

# Facet colour from the outward normal of its edge: light comes from the upper left.
ramp = ["#ffffff", "#dceaff", "#9cc3f0", "#5b93dc", "#2f66c0", "#1a3f8c", "#0c2260"]
def facet_colour(p, q):
    dx, dy = q[0] - p[0], q[1] - p[1]
    L = math.hypot(dx, dy)
    nx, ny = dy / L, -dx / L              # outward
    lx, ly = -1 / math.sqrt(2), -1 / math.sqrt(2)
    lit = nx * lx + ny * ly               # -1 .. 1
    k = round((1 - lit) / 2 * (len(ramp) - 1))
    return ramp[k]

def drawing(indent="  "):
    parts = []
    n = len(outer)
    for i in range(n):
        a, b = outer[i], outer[(i + 1) % n]
        c, d = inner[(i + 1) % n], inner[i]
        col = facet_colour(a, b)
        parts.append(f'{indent}<path d="{path([a, b, c, d])}" fill="{col}" stroke="{col}" stroke-width="0.35" stroke-linejoin="round"/>\n')
    parts.append(f'{indent}<path d="{path(inner)}" fill="#000000"/>\n')
    parts.append(f'{indent}<path d="{path(outer)}" fill="none" stroke="#000000" stroke-width="1.2" stroke-linejoin="miter"/>\n')
    return "".join(parts)

def svg(w, h, title):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n'
            f'  <title>{title}</title>\n' + drawing() + '</svg>\n')

open(f"{OUT}/vellaro.svg", "w").write(svg(85, 85, "Vellaro"))
open(f"{OUT}/vellaro_editor.svg", "w").write(svg(85, 50, "Vellaro"))
for p in inner: print(fmt(p[0]), fmt(p[1]))
