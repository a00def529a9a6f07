#!/usr/bin/python3
"""Writes the program icon for the desktop's icon theme: a scalable SVG and
PNGs of the hicolor sizes 16 to 256, all from the one drawing below (the
48 x 48 icon's picture frame, sun, hill and crop marks). Needs python3-pil.
Run from the repository root; the results are committed under assets/hicolor/."""
from pathlib import Path

from PIL import Image, ImageDraw

SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
OUT = Path("assets/hicolor")

NAVY, SKY, SUN, HILL, MARK = "#000080", "#00FFFF", "#FFFF00", "#008000", "#000000"

# The drawing on a 48 x 48 grid: (kind, colour, geometry).
SHAPES = [
    ("rect", MARK, (3, 1, 5, 11)),     # crop mark, top left
    ("rect", MARK, (1, 3, 11, 5)),
    ("rect", MARK, (43, 37, 45, 47)),  # crop mark, bottom right
    ("rect", MARK, (37, 43, 47, 45)),
    ("rect", NAVY, (6, 6, 42, 42)),    # the picture's frame
    ("rect", SKY, (7, 7, 41, 41)),
    ("circle", SUN, (30.5, 16.5, 4.6)),
    # The hill: from the left edge down through a dip and up to the right edge.
    ("hill", HILL, ((7, 26.8), (13, 31.5), (22, 31), (41, 17.2))),
]


def cubic(p0, p1, p2, p3, steps=64):
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        yield (u**3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t**3 * p3[0],
               u**3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t**3 * p3[1])


def svg():
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">',
             '  <title>Tolvane</title>']
    for kind, colour, g in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1 = g
            parts.append(f'  <rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" fill="{colour}"/>')
        elif kind == "circle":
            parts.append(f'  <circle cx="{g[0]}" cy="{g[1]}" r="{g[2]}" fill="{colour}"/>')
        else:
            (x0, y0), (x1, y1), (x2, y2), (x3, y3) = g
            parts.append(f'  <path d="M{x0},{y0} C{x1},{y1} {x2},{y2} {x3},{y3} V41 H7 Z" fill="{colour}"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def png(size):
    scale = size * 8 / 48  # drawn 8 times larger, then reduced: smooth edges
    big = Image.new("RGBA", (size * 8, size * 8), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    for kind, colour, g in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1 = (v * scale for v in g)
            d.rectangle((x0, y0, x1 - 1, y1 - 1), fill=colour)
        elif kind == "circle":
            cx, cy, r = (v * scale for v in g)
            d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=colour)
        else:
            outline = list(cubic(*g)) + [(41, 41), (7, 41)]
            d.polygon([(x * scale, y * scale) for x, y in outline], fill=colour)
    return big.resize((size, size), Image.LANCZOS)


def main():
    (OUT / "scalable").mkdir(parents=True, exist_ok=True)
    (OUT / "scalable" / "tolvane.svg").write_text(svg())
    for size in SIZES:
        folder = OUT / f"{size}x{size}"
        folder.mkdir(parents=True, exist_ok=True)
        png(size).save(folder / "tolvane.png", optimize=True)


if __name__ == "__main__":
    main()
