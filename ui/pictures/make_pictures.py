#!/usr/bin/env python3
"""Draws the window's four pictures and writes them as PNG files next to this script.

Every picture is our own drawing: shapes are described as coverage functions and rasterised
with 4x4 supersampling, then written with the standard library's zlib (no image library).
Run it again only to change a picture; the PNG files are kept in the tree.
"""
import math
import os
import struct
import zlib

SS = 4  # samples per pixel along each axis


def write_png(path, width, height, pixels, alpha):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            r, g, b, a = pixels[y][x]
            rows += bytes((r, g, b, a)) if alpha else bytes((r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if alpha else 2
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, layers, background=(0, 0, 0, 0)):
    """layers: list of (inside(x, y) -> bool, (r, g, b)), painted in order over background."""
    out = []
    for py in range(height):
        row = []
        for px in range(width):
            r, g, b, a = [c / 255 for c in background]
            for inside, colour in layers:
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                cov = hits / (SS * SS)
                if cov == 0:
                    continue
                cr, cg, cb = [c / 255 for c in colour]
                na = cov + a * (1 - cov)
                r = (cr * cov + r * a * (1 - cov)) / na
                g = (cg * cov + g * a * (1 - cov)) / na
                b = (cb * cov + b * a * (1 - cov)) / na
                a = na
            row.append(tuple(round(v * 255) for v in (r, g, b, a)))
        out.append(row)
    return out


def seg_dist(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def in_triangle(x, y, p, q, r):
    def side(ax, ay, bx, by):
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax)
    s1, s2, s3 = side(*p, *q), side(*q, *r), side(*r, *p)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def ok_icon():
    # A thick green check mark with a darker rim.
    path = [(2.5, 8.5), (6.3, 12.5), (13.5, 3.5)]
    def stroke(w):
        return lambda x, y: min(seg_dist(x, y, *path[0], *path[1]), seg_dist(x, y, *path[1], *path[2])) <= w
    return render(16, 16, [(stroke(2.3), (0, 100, 0)), (stroke(1.5), (40, 180, 40))])


def alert_icon():
    # A yellow warning triangle with a dark outline and a black exclamation mark.
    outer = ((8, 0.5), (15.5, 15), (0.5, 15))
    inner = ((8, 2.6), (13.8, 14), (2.2, 14))
    return render(16, 16, [
        (lambda x, y: in_triangle(x, y, *outer), (120, 90, 0)),
        (lambda x, y: in_triangle(x, y, *inner), (255, 210, 0)),
        (lambda x, y: seg_dist(x, y, 8, 6, 8, 10) <= 1.0, (0, 0, 0)),
        (lambda x, y: math.hypot(x - 8, y - 12.3) <= 1.0, (0, 0, 0)),
    ])


def globe_picture():
    # A blue globe with meridians and parallels, circled by two green arrows.
    cx, cy, R = 64, 64, 40
    def globe(x, y):
        return math.hypot(x - cx, y - cy) <= R
    def grid(x, y):
        if not globe(x, y):
            return False
        dy = (y - cy) / R
        lines = any(abs(y - (cy + k * R / 3)) <= 1.0 for k in (-2, -1, 0, 1, 2))
        half = math.sqrt(max(0.0, 1 - dy * dy)) * R
        for k in (0.0, 0.45, 0.85):
            for sgn in (1, -1):
                if abs((x - cx) - sgn * k * half) <= 1.0:
                    lines = True
        return lines or math.hypot(x - cx, y - cy) >= R - 1.5
    ring_r, ring_w = 54, 5.5
    def arrow_arc(start, end):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
            return abs(d - ring_r) <= ring_w and start <= ang <= end
        return inside
    def arrow_head(at):
        a = math.radians(at)
        tip_a = math.radians(at + 14)
        tip = (cx + ring_r * math.cos(tip_a), cy + ring_r * math.sin(tip_a))
        o = (cx + (ring_r + 12) * math.cos(a), cy + (ring_r + 12) * math.sin(a))
        i = (cx + (ring_r - 12) * math.cos(a), cy + (ring_r - 12) * math.sin(a))
        return lambda x, y: in_triangle(x, y, tip, o, i)
    return render(128, 128, [
        (globe, (40, 110, 210)),
        (grid, (200, 230, 255)),
        (arrow_arc(200, 330), (0, 128, 0)),
        (arrow_head(330), (0, 128, 0)),
        (arrow_arc(20, 150), (0, 128, 0)),
        (arrow_head(150), (0, 128, 0)),
    ])


def logo_picture():
    # The maker's mark: a navy plate with a white ring-and-tail emblem and three green bars.
    def ring(x, y):
        d = math.hypot(x - 15, y - 15)
        return 6.5 <= d <= 10 or seg_dist(x, y, 19, 19, 24, 24) <= 1.8
    def bars(x, y):
        return 32 <= x <= 108 and any(top <= y <= top + 3 for top in (7, 13.5, 20))
    def bar_gaps(x, y):
        return bars(x, y) and (int(x) - 32) % 19 >= 16
    return render(112, 30, [
        (ring, (255, 255, 255)),
        (bars, (0, 170, 60)),
        (bar_gaps, (0, 0, 128)),
    ], background=(0, 0, 128, 255))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, "ok.png"), 16, 16, ok_icon(), True)
    write_png(os.path.join(here, "alert.png"), 16, 16, alert_icon(), True)
    write_png(os.path.join(here, "update.png"), 128, 128, globe_picture(), True)
    write_png(os.path.join(here, "logo.png"), 112, 30, logo_picture(), False)


if __name__ == "__main__":
    main()
