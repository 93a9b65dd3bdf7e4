#!/usr/bin/env python3
"""Draw the Bytewren application icon and write res/bytewren.ico.

Standard library only. The artwork is built from a few signed-distance
shapes (rounded square, ring, capsules) sampled on a supersampled grid,
so edges get smooth alpha at every size.

Design: a deep teal rounded tile carrying a white "0x" - the hex prefix -
with a small amber notch under the "x" hinting at a patched byte.

Usage: python3 scripts/make_icon.py [output.ico]
"""

import math
import os
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 8

# Colours as (r, g, b).
TILE_TOP = (0x17, 0x7E, 0x96)
TILE_BOTTOM = (0x0B, 0x3F, 0x5E)
TILE_EDGE = (0x07, 0x2C, 0x44)
GLYPH = (0xFF, 0xFF, 0xFF)
ACCENT = (0xFF, 0xB3, 0x2E)


# --- signed distance helpers (negative = inside) -----------------------------

def sd_round_rect(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - (hw - r)
    qy = abs(py - cy) - (hh - r)
    ox = max(qx, 0.0)
    oy = max(qy, 0.0)
    return math.hypot(ox, oy) + min(max(qx, qy), 0.0) - r


def sd_ellipse_ring(px, py, cx, cy, rx, ry, half_width):
    # Approximate distance to an ellipse outline, good enough for thin rings.
    dx = (px - cx) / rx
    dy = (py - cy) / ry
    k = math.hypot(dx, dy)
    if k == 0.0:
        return min(rx, ry) - half_width
    # Scale the normalised error back by the local radius.
    local_r = math.hypot(dx * rx, dy * ry) / k
    return abs((k - 1.0) * local_r) - half_width


def sd_capsule(px, py, ax, ay, bx, by, half_width):
    vx, vy = bx - ax, by - ay
    wx, wy = px - ax, py - ay
    t = (wx * vx + wy * vy) / (vx * vx + vy * vy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(wx - vx * t, wy - vy * t) - half_width


# --- artwork ----------------------------------------------------------------

def layout(size):
    """Return geometry in pixel units for one icon size."""
    s = float(size)
    if size <= 16:
        # Hand-placed on the pixel grid so the glyphs stay crisp and apart.
        return {
            "tile": (8.0, 8.0, 7.5, 7.5, 3.0),
            "edge": 0.75,
            "stroke": 1.4,
            # Rounded-rect zero: outer edges on x 2..7, y 2.5..11.5.
            "zero": ("rect", 4.5, 7.0, 1.8, 3.8, 1.6),
            # "x": outer extent x 8.6..14, y 5.5..11.5.
            "x": ((9.3, 6.2, 13.3, 10.8), (9.3, 10.8, 13.3, 6.2)),
            "bar": (8.0, 13.5, 5.0, 0.5, 0.5),
        }
    if size <= 32:
        margin, radius, stroke = 1.0, 5.5, 2.5
    else:
        margin, radius, stroke = 1.5, 8.0, 3.6
    g = {
        "tile": (s / 2, s / 2, s / 2 - margin, s / 2 - margin, radius),
        "edge": max(0.75, s / 40.0),
        "stroke": stroke,
    }
    # "0": an upright oval on the left half.
    g["zero"] = ("oval", s * 0.32, s * 0.47, s * 0.15, s * 0.245)
    # "x": two strokes on the right half, a little shorter than the zero.
    xl, xr = s * 0.595, s * 0.80
    xt, xb = s * 0.405, s * 0.69
    g["x"] = ((xl, xt, xr, xb), (xl, xb, xr, xt))
    # Amber "patched byte" bar under the glyphs.
    g["bar"] = (s * 0.5, s * 0.835, s * 0.31, max(0.9, s * 0.045),
                max(0.9, s * 0.045))
    return g


def sd_zero(px, py, zero, half):
    if zero[0] == "oval":
        _, cx, cy, rx, ry = zero
        return sd_ellipse_ring(px, py, cx, cy, rx, ry, half)
    _, cx, cy, hw, hh, r = zero
    return abs(sd_round_rect(px, py, cx, cy, hw, hh, r)) - half


def sample(g, px, py, size):
    """Colour and alpha (0..1 floats) of a single sub-sample."""
    cx, cy, hw, hh, r = g["tile"]
    d_tile = sd_round_rect(px, py, cx, cy, hw, hh, r)
    if d_tile > 0.0:
        return None
    t = py / size
    col = [TILE_TOP[i] + (TILE_BOTTOM[i] - TILE_TOP[i]) * t for i in range(3)]
    # Thin darker rim for definition on light backgrounds.
    if d_tile > -g["edge"]:
        col = [c * 0.35 + e * 0.65 for c, e in zip(col, TILE_EDGE)]

    half = g["stroke"] / 2.0
    glyph = sd_zero(px, py, g["zero"], half) <= 0.0
    if not glyph:
        for (ax, ay, bx, by) in g["x"]:
            if sd_capsule(px, py, ax, ay, bx, by, half) <= 0.0:
                glyph = True
                break
    if glyph:
        return GLYPH
    bx, by, bhw, bhh, br = g["bar"]
    if sd_round_rect(px, py, bx, by, bhw, bhh, br) <= 0.0:
        return ACCENT
    return tuple(col)


def render(size):
    """Return rows (top to bottom) of (r, g, b, a) byte tuples."""
    g = layout(size)
    n = SUPERSAMPLE
    step = 1.0 / n
    offs = [(i + 0.5) * step for i in range(n)]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for oy in offs:
                for ox in offs:
                    c = sample(g, x + ox, y + oy, size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        hits += 1
            if hits == 0:
                row.append((0, 0, 0, 0))
                continue
            a = hits / float(n * n)
            row.append((int(round(acc[0] / hits)), int(round(acc[1] / hits)),
                         int(round(acc[2] / hits)), int(round(a * 255))))
        rows.append(row)
    return rows


# --- ICO encoding -----------------------------------------------------------

def dib_32bpp(rows):
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for (r, g, b, a) in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask


def build_ico(images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for size, rows in images:
        blob = dib_32bpp(rows)
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = argv[1] if len(argv) > 1 else os.path.join(root, "res", "bytewren.ico")
    images = [(s, render(s)) for s in SIZES]
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(build_ico(images))
    print("wrote %s (%s)" % (path, ", ".join("%dx%d" % (s, s) for s in SIZES)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
