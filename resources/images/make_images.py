#!/usr/bin/env python3
"""Draws the images the programs carry: the program icon, the two hand cursors, the button that
leaves full screen and the palette's sixteen card patterns. Shapes are signed-distance functions sampled 4x4 per pixel, so edges are
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


# --- The palette's card patterns: a 4 x 4 grid of 128 x 128 greyscale cards, 512 x 512 --------
#
# A tile shows its cell stretched to a card 1.414 times as high as wide, so each pattern is drawn
# in card units (x across 0..1, y down 0..1.414) to come out undistorted. The tile's colour is
# lightened where the grey is bright (the device adds it smoothly) and shown through the alpha,
# so a pattern's lines are drawn lighter and more opaque than the card between them.

CARD_HEIGHT = 1.414
CELL = 128
PIXEL = 1.0 / CELL  # one pixel in card units, across


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def line(distance, width):
    """1 on a line of the given width, fading out over a pixel."""
    return 1.0 - smooth(width * 0.5 - PIXEL * 0.75, width * 0.5 + PIXEL * 0.75, abs(distance))


def stripes(x, y):
    return line((x + y) % 0.14 - 0.07, 0.035)


def dots(x, y):
    row = math.floor(y / 0.13)
    dx = x - 0.065 * (row % 2)
    cx = (dx % 0.13) - 0.065
    cy = (y % 0.13) - 0.065
    return 1.0 - smooth(0.028 - PIXEL, 0.028 + PIXEL, math.hypot(cx, cy))


def checks(x, y):
    s = 0.125
    u, v = (x % s) / s - 0.5, (y % s) / s - 0.5
    parity = (math.floor(x / s) + math.floor(y / s)) % 2
    soft = smooth(-0.5, -0.42, -max(abs(u), abs(v)))  # a soft bevel at each square's edge
    return (0.35 + 0.45 * parity) * soft


def rings(x, y):
    r = math.hypot(x - 0.5, y - CARD_HEIGHT / 2)
    return line((r % 0.09) - 0.045, 0.022) * (0.55 + 0.45 * math.cos(r * 9.0) ** 2)


def waves(x, y):
    wave = y + 0.035 * math.sin(x * 2 * math.pi * 2.5)
    return line((wave % 0.1) - 0.05, 0.028)


def chevrons(x, y):
    z = y + abs(((x % 0.16) - 0.08))
    return line((z % 0.11) - 0.055, 0.03)


def honeycomb(x, y):
    size = 0.075
    # Axial hexagon coordinates of the point, rounded to the nearest cell centre.
    q = (2 / 3 * x) / size
    r = (-1 / 3 * x + math.sqrt(3) / 3 * y) / size
    cq, cr = round(q), round(r)
    cs, s = round(-q - r), -q - r
    dq, dr, ds = abs(cq - q), abs(cr - r), abs(cs - s)
    if dq > dr and dq > ds:
        cq = -cr - cs
    elif dr > ds:
        cr = -cq - cs
    cx = size * 1.5 * cq
    cy = size * math.sqrt(3) * (cr + cq / 2)
    px, py = abs(x - cx), abs(y - cy)
    edge = max(px * 0.5 + py * math.sqrt(3) / 2, px) - size * math.sqrt(3) / 2
    return line(edge, 0.016)


def crosshatch(x, y):
    a = line(((x + y) % 0.09) - 0.045, 0.012)
    b = line(((x - y) % 0.09) - 0.045, 0.012)
    return max(a, b) * 0.85


def sunburst(x, y):
    angle = math.atan2(y - CARD_HEIGHT * 1.05, x - 0.5)
    ray = (angle * 18 / math.pi) % 2.0 - 1.0
    fade = smooth(1.6, 0.2, math.hypot(x - 0.5, y - CARD_HEIGHT * 1.05))
    return (1.0 - smooth(0.35, 0.65, abs(ray))) * (0.35 + 0.65 * fade)


def scales(x, y):
    """Fish scales: rows of circles, each row overlapping the one above it."""
    radius = 0.075
    dy = radius * 0.75
    j0 = math.floor(y / dy)
    for j in range(j0 + 2, j0 - 3, -1):
        shift = radius * (j % 2)
        i = round((x - shift) / (2 * radius))
        for k in (i - 1, i, i + 1):
            d = math.hypot(x - (shift + 2 * radius * k), y - j * dy)
            if d < radius:
                return max(line(d - radius, 0.016), 0.45 * (d / radius) ** 3)
    return 0.0


def plaid(x, y):
    def bands(t):
        t = t % 0.24
        return max(0.6 * line(t - 0.06, 0.05), 0.9 * line(t - 0.15, 0.012), 0.45 * line(t - 0.2, 0.025))
    return min(1.0, bands(x) * 0.6 + bands(y) * 0.6)


def argyle(x, y):
    w, h = 0.25, 0.3
    u = ((x % w) / w - 0.5) * 2
    v = ((y % h) / h - 0.5) * 2
    diamond = abs(u) + abs(v)
    parity = (math.floor(x / w) + math.floor(y / h)) % 2
    fill = (1.0 - smooth(0.98, 1.02, diamond)) * (0.3 + 0.25 * parity)
    cross = max(line(((x + y * w / h) % (2 * w)) - w, 0.01), line(((x - y * w / h) % (2 * w)) - w, 0.01))
    return max(fill, 0.8 * cross)


def sparkles(x, y):
    s = 0.2
    row = math.floor(y / s)
    cx = ((x + 0.1 * (row % 2)) % s) - s / 2
    cy = (y % s) - s / 2
    ax, ay = abs(cx), abs(cy)
    star = (ax * ay) ** 0.5 + 0.08 * math.hypot(cx, cy)
    return 1.0 - smooth(0.012, 0.02, star)


def bricks(x, y):
    h, w = 0.075, 0.2
    row = math.floor(y / h)
    bx = (x + (w / 2) * (row % 2)) % w
    by = y % h
    mortar = max(line(by, 0.014), line(bx, 0.014))
    return 0.25 + 0.6 * mortar


def moire(x, y):
    r1 = math.hypot(x - 0.2, y - 0.35)
    r2 = math.hypot(x - 0.8, y - 1.05)
    return (0.5 + 0.5 * math.cos(r1 * 95)) * (0.5 + 0.5 * math.cos(r2 * 95))


def triangles(x, y):
    h = 0.1
    w = h * 2 / math.sqrt(3)
    row = math.floor(y / h)
    u = (x + (w / 2) * (row % 2)) / w
    v = (y % h) / h
    frac = u % 1.0
    up = (frac > v * 0.5 and frac < 1 - v * 0.5)
    base = 0.55 if up else 0.2
    edge = min(abs(frac - v * 0.5), abs(frac - (1 - v * 0.5)), v, 1 - v)
    return base + 0.4 * line(edge * w, 0.01)


PATTERNS = [stripes, dots, checks, rings, waves, chevrons, honeycomb, crosshatch,
            sunburst, scales, plaid, argyle, sparkles, bricks, moire, triangles]


def patterns():
    def shade(px, py):
        column, row = int(px // CELL), int(py // CELL)
        pattern = PATTERNS[row * 4 + column]
        x = (px - column * CELL) / CELL
        y = (py - row * CELL) / CELL * CARD_HEIGHT
        # The card: rounded corners, and a fine frame just inside its edge.
        card = box(x, y, 0.5, CARD_HEIGHT / 2, 0.5, CARD_HEIGHT / 2, 0.07)
        inside = max(0.0, min(1.0, 0.5 - card / PIXEL))
        if inside <= 0.0:
            return (0.0, 0.0, 0.0, 0.0)
        frame = line(card + 0.035, 0.012)
        f = max(min(1.0, pattern(x, y)), 0.75 * frame)
        grey = 0.4 * f
        alpha = (0.8 + 0.2 * f) * inside
        return (grey, grey, grey, alpha)

    return render(4 * CELL, 4 * CELL, shade, samples=3)


if __name__ == "__main__":
    write_png("hand_open.png", 32, 32, hand(closed=False))
    write_png("hand_closed.png", 32, 32, hand(closed=True))
    write_png("restore_button.png", 64, 64, restore_button())
    write_png("icon.png", 64, 64, icon())
    write_png("patterns.png", 512, 512, patterns())
