import math, os
import os
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "icons")

def svg16(body, title):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
            'width="16" height="16" viewBox="0 0 16 16">\n'
            f'  <title>{title}</title>\n' + body + '</svg>\n')

def write(name, body, title):
    with open(os.path.join(OUT, name), "w") as f:
        f.write(svg16(body, title))

def f(v):
    s = f"{v:.2f}".rstrip("0").rstrip(".")
    return "0" if s == "-0" else s

def poly(pts):
    return "M" + " L".join(f"{f(x)},{f(y)}" for x, y in pts) + " Z"

# 0: add
write("command_0.svg",
  '  <path d="M5.5,1.5 H10.5 V5.5 H14.5 V10.5 H10.5 V14.5 H5.5 V10.5 H1.5 V5.5 H5.5 Z"\n'
  '        fill="#ffffff" stroke="#000000" stroke-width="1" stroke-linejoin="miter"/>\n',
  "Add")

# 1: delete
write("command_1.svg",
  '  <rect x="1.5" y="5.5" width="13" height="5" fill="#ffffff" stroke="#000000" stroke-width="1"/>\n',
  "Delete")

