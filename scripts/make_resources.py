#!/usr/bin/env python3
# Draws Lanwick's own pictures and notification sound (icons 143-145, skin 135, sound 150) into resources/, and the
# window icon at the desktop's icon sizes (icons/hicolor/).
# Standard library only, deterministic: running it again gives byte-identical files, which are committed.
import math
import os
import struct
import sys
import zlib

SUB = 4  # supersamples per axis for anti-aliased edges


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.px = [[list(colour) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, cover):
        if cover <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = colour
        a = a / 255.0 * cover
        dst = self.px[y][x]
        da = dst[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            dst[i] = (c * a + dst[i] * da * (1 - a)) / oa
        dst[3] = oa * 255.0

    def shape(self, inside, box, paint):
        """Fills every pixel of box by the fraction of its subsamples that inside() accepts; paint(x, y) is the colour."""
        x0, y0, x1, y1 = (int(math.floor(box[0])), int(math.floor(box[1])), int(math.ceil(box[2])),
                          int(math.ceil(box[3])))
        for y in range(max(y0, 0), min(y1 + 1, self.height)):
            for x in range(max(x0, 0), min(x1 + 1, self.width)):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if inside(x + (sx + 0.5) / SUB, y + (sy + 0.5) / SUB):
                            hits += 1
                if hits:
                    self.blend(x, y, paint(x, y), hits / (SUB * SUB))

    def rect(self, x0, y0, x1, y1, paint, radius=0.0):
        def inside(px, py):
            if not (x0 <= px <= x1 and y0 <= py <= y1):
                return False
            cx = min(max(px, x0 + radius), x1 - radius)
            cy = min(max(py, y0 + radius), y1 - radius)
            return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius + 1e-9

        self.shape(inside, (x0, y0, x1, y1), solid(paint))

    def circle(self, cx, cy, r, paint):
        self.shape(lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r),
                   solid(paint))

    def polyline(self, points, width, paint):
        half = width / 2.0

        def near(px, py):
            for (ax, ay), (bx, by) in zip(points, points[1:]):
                dx, dy = bx - ax, by - ay
                t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
                if (px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2 <= half * half:
                    return True
            return False

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(near, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half), solid(paint))

    def polygon(self, points, paint):
        def inside(px, py):
            result = False
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                    result = not result
            return result

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(inside, (min(xs), min(ys), max(xs), max(ys)), solid(paint))

    def set(self, x, y, colour):
        self.px[y][x] = list(colour)

    def rows(self):
        return [[tuple(int(round(min(255.0, max(0.0, c)))) for c in p) for p in row] for row in self.px]


def solid(paint):
    return paint if callable(paint) else (lambda x, y: paint)


def vgradient(top_y, bottom_y, top, bottom, alpha=255):
    def paint(x, y):
        t = min(1.0, max(0.0, (y - top_y) / float(max(1, bottom_y - top_y))))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom)) + (alpha,)

    return paint


def png_bytes(canvas):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in canvas.rows())

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bmp_bytes(canvas):
    """32 bits per pixel, BI_RGB, bottom-up rows; the fourth byte is reserved and left 0."""
    rows = canvas.rows()
    pixels = b"".join(bytes((p[2], p[1], p[0], 0)) for row in reversed(rows) for p in row)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


# Glyphs of the title, 7 rows each, '#' lit.
GLYPHS = {
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "a": ["....", "....", ".##.", "...#", ".###", "#..#", ".###"],
    "n": ["....", "....", "#.#.", "##.#", "#..#", "#..#", "#..#"],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
    "c": ["...", "...", ".##", "#..", "#..", "#..", ".##"],
    "k": ["#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"],
}


def text(canvas, x, y, word, colour):
    for ch in word:
        glyph = GLYPHS[ch]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit == "#":
                    canvas.blend(x + gx, y + gy, colour, 1.0)
        x += len(glyph[0]) + 1


def computer(c, x, y, scale):
    """A monitor on a stand with a pulse on its screen; (x, y) is the bezel's top left corner."""
    s = scale
    c.rect(x, y, x + 26 * s, y + 19 * s, (40, 52, 72, 255), radius=2.5 * s)
    c.rect(x + 2 * s, y + 2 * s, x + 24 * s, y + 17 * s, vgradient(y + 2 * s, y + 17 * s, (30, 140, 180), (12, 74, 116)),
           radius=1.0 * s)
    pulse = [(3, 10), (8, 10), (10, 5.5), (13, 14.5), (16, 8), (18, 10), (23, 10)]
    c.polyline([(x + px * s, y + py * s) for px, py in pulse], 1.5 * s, (130, 255, 150, 255))
    c.polygon([(x + 11 * s, y + 19 * s), (x + 15 * s, y + 19 * s), (x + 16 * s, y + 22.5 * s),
               (x + 10 * s, y + 22.5 * s)], (92, 102, 120, 255))
    c.rect(x + 6 * s, y + 22 * s, x + 20 * s, y + 24 * s, (70, 80, 98, 255), radius=1.0 * s)


def make_window_icon(size=32):
    """The 32-pixel drawing scaled to size: the same picture for the window and every desktop icon size."""
    c = Canvas(size, size)
    s = size / 32.0
    computer(c, 3 * s, 2 * s, s)
    # The network the monitor watches: a bus with three machines on it.
    c.polyline([(16 * s, 26 * s), (16 * s, 29 * s)], 1.4 * s, (70, 80, 98, 255))
    c.polyline([(4 * s, 29.5 * s), (28 * s, 29.5 * s)], 1.4 * s, (38, 96, 190, 255))
    for nx in (5, 16, 27):
        c.circle(nx * s, 29.5 * s, 2.2 * s, (38, 96, 190, 255))
        c.circle(nx * s, 29.5 * s, 1.0 * s, (190, 220, 255, 255))
    return c


# The hicolor theme sizes the desktop entry's icon is installed at.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def make_switch_icon(on):
    c = Canvas(16, 16)
    top, bottom, rim = ((96, 210, 100), (28, 140, 44), (20, 96, 30)) if on else \
        ((190, 190, 196), (120, 120, 128), (88, 88, 96))
    c.circle(8, 8, 7.5, rim + (255,))
    c.shape(lambda px, py: (px - 8) ** 2 + (py - 8) ** 2 <= 6.5 ** 2, (1, 1, 15, 15), vgradient(1.5, 14.5, top, bottom))
    line = [(3, 8.5), (5.5, 8.5), (7, 4.5), (9, 12), (10.5, 8.5), (13, 8.5)] if on else [(3.5, 8.5), (12.5, 8.5)]
    c.polyline(line, 1.4, (255, 255, 255, 255))
    return c


def make_skin():
    width, height, band = 201, 111, 12
    magenta = (255, 0, 255, 255)
    c = Canvas(width, height, magenta)
    c.rect(0, 0, width, band, vgradient(0, band, (66, 120, 210), (26, 70, 160)))
    c.rect(0, 1, width, 2, (110, 156, 232, 160))
    text(c, 8, 3, "Lanwick", (255, 255, 255, 255))
    for i, dx in enumerate((30, 24, 18)):
        c.circle(width - dx, 6, 2.0, (150 + 30 * i, 200, 255, 255))
    c.rect(3, band, width - 3, height, vgradient(band, height, (248, 251, 255), (222, 232, 246)))
    c.rect(3, band, width - 3, band + 1, (18, 54, 130, 255))
    computer(c, 9, 16, 1.25)
    c.rect(3, height - 13, width - 3, height - 12, (200, 212, 232, 255))
    # Frame of the body, then the parts outside the shape, exactly: the popup cuts its window by these pixels.
    for y in range(band, height):
        c.set(3, y, (96, 120, 164, 255))
        c.set(width - 4, y, (96, 120, 164, 255))
    for x in range(3, width - 3):
        c.set(x, height - 1, (96, 120, 164, 255))
    for y in range(height):
        edge = 3 if y == 0 or y >= band else (1 if y == 1 else 0)
        for x in list(range(edge)) + list(range(width - edge, width)):
            c.set(x, y, magenta)
    for x in range(width):
        for y in range(height):
            c.px[y][x][3] = 255
    return c


def make_chime():
    """Two bell strokes a major third apart, 18,679 samples of unsigned 8-bit PCM at 11,025 Hz (about 1.7 s)."""
    rate, count = 11025, 18679
    strokes = [(0.0, 1318.5, 1.0), (0.28, 1046.5, 0.9)]  # start s, fundamental Hz, loudness
    partials = [(1.0, 1.0, 0.42), (2.0, 0.35, 0.22), (2.76, 0.12, 0.12), (4.07, 0.05, 0.06)]  # ratio, level, decay s
    out = []
    for i in range(count):
        t = i / rate
        v = 0.0
        for start, freq, loud in strokes:
            u = t - start
            if u < 0:
                continue
            attack = min(1.0, u / 0.004)
            for ratio, level, decay in partials:
                f = freq * ratio
                if f < rate / 2 - 500:
                    v += loud * level * attack * math.exp(-u / decay) * math.sin(2 * math.pi * f * u)
        out.append(v)
    fade = int(0.08 * rate)
    for i in range(fade):
        out[count - 1 - i] *= i / fade
    peak = max(abs(v) for v in out)
    return bytes(int(round(128 + 100 * v / peak)) for v in out), rate


def wav_bytes(samples, rate):
    data = samples + (b"\0" if len(samples) % 2 else b"")  # RIFF chunks are padded to even length
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    if len(sys.argv) > 1:
        root = sys.argv[1]
    files = {
        "icons/143.png": png_bytes(make_window_icon()),
        "icons/144.png": png_bytes(make_switch_icon(True)),
        "icons/145.png": png_bytes(make_switch_icon(False)),
        "bitmaps/135.bmp": bmp_bytes(make_skin()),
        "sounds/150.wav": wav_bytes(*make_chime()),
    }
    for size in ICON_SIZES:
        files["icons/hicolor/%dx%d/lanwick.png" % (size, size)] = png_bytes(make_window_icon(size))
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (os.path.normpath(path), len(data)))


if __name__ == "__main__":
    main()
