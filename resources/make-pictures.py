#!/usr/bin/env python3
"""Draws the pictures of the about window and of the post-processing page with
ImageMagick and writes them as JPEG files beside this script. Run it again
after changing a picture; the JPEG files are kept in the tree."""
import math
import os
import subprocess

here = os.path.dirname(os.path.abspath(__file__))


def wave(x0, x1, y, amp, seed, step=2):
    pts = []
    for x in range(x0, x1 + 1, step):
        t = (x - x0) / max(1, x1 - x0)
        env = math.sin(math.pi * t) ** 0.6
        v = (math.sin(x * 0.21 + seed) + 0.5 * math.sin(x * 0.57 + 2 * seed)
             + 0.3 * math.sin(x * 1.31 + 3 * seed)) / 1.8
        pts.append(f"{x},{y + amp * env * v:.1f}")
    return " ".join(pts)


def run(args):
    subprocess.run(["convert"] + args, check=True)


def about():
    w, h = 575, 386
    draw = []
    for i, (y, amp, col) in enumerate([(150, 60, "#1b4f8a"), (150, 35, "#2a8f8f"), (150, 18, "#6fb7d8")]):
        draw += ["-stroke", col, "-strokewidth", str(3 - i), "-fill", "none",
                 "-draw", f"polyline {wave(30, 545, y, amp, 1.3 * i + 0.4)}"]
    run(["-size", f"{w}x{h}", "gradient:#ffffff-#cfe3f2"] + draw + [
        "-stroke", "none", "-fill", "#123a66", "-font", "DejaVu-Sans-Bold", "-pointsize", "64",
        "-annotate", "+40+285", "Silvane",
        "-fill", "#2c5d87", "-font", "DejaVu-Sans", "-pointsize", "17",
        "-annotate", "+44+318", "speech enhancement workstation",
        "-quality", "90", os.path.join(here, "about.jpg")])


def mix(name, first, second, label):
    w, h = 373, 150
    run(["-size", f"{w}x{h}", "xc:#f4f7fa",
         "-fill", "none", "-stroke", "#1b4f8a", "-strokewidth", "2",
         "-draw", f"polyline {wave(40, 160, 40, 22, 0.5)}",
         "-stroke", "#b0413e", "-draw", f"polyline {wave(40, 160, 110, 22, 2.1)}",
         "-stroke", "#2a7f3f", "-draw", f"polyline {wave(230, 350, 75, 30, 4.0)}",
         "-stroke", "#555555", "-strokewidth", "2", "-draw", "line 175,75 212,75",
         "-fill", "#555555", "-draw", "polygon 212,69 222,75 212,81",
         "-stroke", "none", "-fill", "#1b4f8a", "-font", "DejaVu-Sans-Bold", "-pointsize", "16",
         "-annotate", "+8+46", first,
         "-fill", "#b0413e", "-annotate", "+8+116", second,
         "-fill", "#2a7f3f", "-annotate", "+250+140", label,
         "-quality", "90", os.path.join(here, name)])


about()
mix("mix-lr.jpg", "L", "R", "L \u2212 R")
mix("mix-rl.jpg", "R", "L", "R \u2212 L")
# The neutral picture: the two channels only.
run(["-size", "373x150", "xc:#f4f7fa", "-fill", "none", "-stroke", "#1b4f8a", "-strokewidth", "2",
     "-draw", f"polyline {wave(40, 340, 40, 22, 0.5)}",
     "-stroke", "#b0413e", "-draw", f"polyline {wave(40, 340, 110, 22, 2.1)}",
     "-quality", "90", os.path.join(here, "mix-none.jpg")])
