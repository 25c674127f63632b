#!/usr/bin/env python3
"""Draws the alarm window's thin rule: 350 x 3 pixels, dark navy at the left lightening smoothly
to white at about three quarters of the width, white to the end. Writes a PPM and lets
ImageMagick's convert encode it as JPEG (apt-get install imagemagick)."""
import os
import subprocess
import tempfile

WIDTH, HEIGHT = 350, 3
NAVY = (0, 1, 61)
FADE_END = int(WIDTH * 0.75)

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "..", "pictures", "alarm_rule.jpg")

row = bytearray()
for x in range(WIDTH):
    t = min(x / FADE_END, 1.0)
    row += bytes(round(c + (255 - c) * t) for c in NAVY)

with tempfile.NamedTemporaryFile(suffix=".ppm", delete=False) as ppm:
    ppm.write(b"P6 %d %d 255\n" % (WIDTH, HEIGHT))
    ppm.write(bytes(row) * HEIGHT)
subprocess.run(["convert", ppm.name, "-quality", "95", "-sampling-factor", "1x1", out], check=True)
os.unlink(ppm.name)
