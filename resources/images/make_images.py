#!/usr/bin/env python3
"""Draws the images the programs carry: the program icon, the two hand cursors and the button
that leaves full screen. Shapes are signed-distance functions sampled 4x4 per pixel, so edges are
smooth at any size. Run it from anywhere; it rewrites the PNGs beside itself."""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(name, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples, 0..255, top row first."""
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(png)


def render(width, height, shade, samples=4):
    """shade(x, y) -> (r, g, b, a) floats 0..1, straight alpha; averaged over sub-samples and
    stored with straight alpha."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = shade(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            a = acc[3] / n
            if a > 0:
                colour = [acc[i] / acc[3] for i in range(3)]
            else:
                colour = [0.0, 0.0, 0.0]
            row.append(tuple(int(round(max(0.0, min(1.0, c)) * 255)) for c in colour + [a]))
        rows.append(row)
    return rows


def premultiply(rows):
    return [[(r * a // 255, g * a // 255, b * a // 255, a) for r, g, b, a in row] for row in rows]


def box(x, y, cx, cy, hw, hh, radius):
    """Signed distance to a rounded rectangle centred on (cx, cy)."""
    dx = abs(x - cx) - hw + radius
    dy = abs(y - cy) - hh + radius
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0) - radius


def capsule(x, y, ax, ay, bx, by, radius):
    """Signed distance to a segment from a to b thickened by radius."""
    px, py, qx, qy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * qx + py * qy) / (qx * qx + qy * qy)))
    return math.hypot(px - qx * t, py - qy * t) - radius


def over(top, bottom):
    """Straight-alpha 'over' of two (r, g, b, a) colours."""
    ta, ba = top[3], bottom[3]
    a = ta + ba * (1 - ta)
    if a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a,)


# --- The hand cursors: a white hand with a dark outline, 32 x 32 -------------------------------

def hand(closed):
    # Fingers from the index finger to the little finger: x, and tip y when open. They stand
    # apart by a little more than their width, so the outline shows between them.
    fingers = [(9.8, 5.0), (14.4, 3.0), (19.0, 4.0), (23.4, 7.0)]

    def distance(x, y):
        d = box(x, y, 16.8, 21.0, 8.4, 7.0, 3.5)  # palm
        for fx, tip in fingers:
            top = 12.5 if closed else tip
            d = min(d, capsule(x, y, fx, top, fx, 18.0, 2.05))
        if closed:
            d = min(d, capsule(x, y, 8.0, 22.0, 12.5, 18.5, 2.3))  # thumb folded in
        else:
            d = min(d, capsule(x, y, 8.5, 22.5, 3.5, 15.5, 2.3))  # thumb spread out
        return d

    def shade(x, y):
        d = distance(x, y)
        fill = (1.0, 1.0, 1.0, max(0.0, min(1.0, 0.5 - (d + 1.0))))
        outline = (0.1, 0.1, 0.12, max(0.0, min(1.0, 0.5 - d)))
        return over(fill, outline)

    return render(32, 32, shade)


# --- The restore button: two overlapping windows on a dark rounded plate, 64 x 64 --------------

def restore_button():
    def shade(x, y):
        plate_d = box(x, y, 32.0, 32.0, 30.0, 30.0, 9.0)
        plate = (0.16, 0.19, 0.26, max(0.0, min(1.0, 0.5 - plate_d)) * 0.85)
        rim = (0.55, 0.65, 0.85, max(0.0, min(1.0, 1.2 - abs(plate_d + 1.2))) * 0.9)
        colour = over(rim, plate)
        light = (0.92, 0.95, 1.0)
        # The window behind: its frame only where the front one does not cover it.
        back = box(x, y, 36.0, 27.0, 13.0, 10.0, 2.0)
        front = box(x, y, 28.0, 37.0, 13.0, 10.0, 2.0)
        if front > 0.5:
            edge = max(0.0, min(1.0, 1.6 - abs(back + 1.6)))
            colour = over(light + (edge,), colour)
        edge = max(0.0, min(1.0, 1.6 - abs(front + 1.6)))
        bar = box(x, y, 28.0, 29.5, 12.0, 2.5, 0.5)
        colour = over(light + (max(edge, max(0.0, min(1.0, 0.5 - bar))),), colour)
        return colour

    return premultiply(render(64, 64, shade))


# --- The program icon: a cut jewel seen from above, 64 x 64 -----------------------------------

def icon():
    sides = 8
    centre = 32.0
    outer, table = 29.0, 15.0

    def shade(x, y):
        dx, dy = x - centre, y - centre
        angle = math.atan2(dy, dx) % (2 * math.pi)
        sector = int(angle / (2 * math.pi / sides))
        half = math.pi / sides
        local = angle - sector * 2 * math.pi / sides - half
        radius = math.hypot(dx, dy) * math.cos(local)  # distance along the facet's axis
        edge = max(0.0, min(1.0, outer - radius + 0.5))
        if edge <= 0.0:
            return (0.0, 0.0, 0.0, 0.0)
        hue = (sector / sides + 0.55) % 1.0
        if radius < table:
            r, g, b = 0.75, 0.9, 1.0  # the table facet catches the light
            light = 1.0 - 0.25 * (dy / table + 1.0) / 2.0
        else:
            # Crown facets alternate light and dark around the stone.
            r = 0.35 + 0.35 * math.cos(2 * math.pi * hue)
            g = 0.45 + 0.35 * math.cos(2 * math.pi * (hue - 1 / 3))
            b = 0.75 + 0.25 * math.cos(2 * math.pi * (hue - 2 / 3))
            light = 0.65 + 0.35 * math.cos(angle + 2.3) * (1 if sector % 2 else 0.7)
        ridge = max(0.0, 1.0 - abs(local) * math.hypot(dx, dy) / 0.9) * 0.5
        ring = max(0.0, 1.0 - abs(radius - table) / 0.8) * 0.6
        glow = min(1.0, ridge + ring)
        colour = [min(1.0, c * light + glow * 0.5) for c in (r, g, b)]
        return (colour[0], colour[1], colour[2], edge)

    return render(64, 64, shade)


if __name__ == "__main__":
    write_png("hand_open.png", 32, 32, hand(closed=False))
    write_png("hand_closed.png", 32, 32, hand(closed=True))
    write_png("restore_button.png", 64, 64, restore_button())
    write_png("icon.png", 64, 64, icon())
