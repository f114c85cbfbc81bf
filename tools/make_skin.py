#!/usr/bin/env python3
"""Draws the window's face, Hibarion.bmp: a cassette and what to do with the window.

Usage: python3 tools/make_skin.py OUTPUT.bmp

The picture is a 16-colour, uncompressed Windows BMP with the 40-byte info header, the
only kind the program accepts. Everything is drawn here from primitives and the pixel
font below, so the artwork can be changed by editing this file.
"""
import struct
import sys

WIDTH, HEIGHT = 320, 160

# Index: (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0xFF, 0xFF, 0xFF),  # 1 white
    (0x16, 0x1D, 0x33),  # 2 background, deep
    (0x22, 0x2D, 0x52),  # 3 background, light
    (0x34, 0x44, 0x7A),  # 4 background highlight
    (0x3A, 0x3E, 0x4A),  # 5 cassette body
    (0x5C, 0x62, 0x72),  # 6 cassette edge light
    (0x1E, 0x20, 0x27),  # 7 cassette shadow
    (0xC9, 0xCD, 0xD6),  # 8 light grey
    (0x8A, 0x90, 0x9F),  # 9 mid grey
    (0xF3, 0xEA, 0xD2),  # 10 label cream
    (0xF0, 0x8A, 0x24),  # 11 orange
    (0xF5, 0xC5, 0x42),  # 12 yellow
    (0x6B, 0x3A, 0x1F),  # 13 tape brown
    (0x5C, 0xBD, 0xF0),  # 14 sky blue
    (0xD9, 0x4A, 0x3A),  # 15 red
]
BLACK, WHITE, BG_DEEP, BG_LIGHT, BG_HIGH = 0, 1, 2, 3, 4
BODY, BODY_LIGHT, BODY_SHADOW, LIGHT_GREY, MID_GREY = 5, 6, 7, 8, 9
CREAM, ORANGE, YELLOW, TAPE, SKY, RED = 10, 11, 12, 13, 14, 15

# A proportional pixel font: each glyph is its character on a line of its own, then its
# rows ('#' ink, '.' paper), all of one width. Rows 0-6 hold capitals and the x-height
# letters sit on row 6; rows 7-8 are for descenders and may be left out.
FONT_SOURCE = """
A
.###.
#...#
#...#
#####
#...#
#...#
#...#

B
####.
#...#
#...#
####.
#...#
#...#
####.

C
.###.
#...#
#....
#....
#....
#...#
.###.

D
####.
#...#
#...#
#...#
#...#
#...#
####.

E
#####
#....
#....
####.
#....
#....
#####

F
#####
#....
#....
####.
#....
#....
#....

G
.###.
#...#
#....
#.###
#...#
#...#
.####

H
#...#
#...#
#...#
#####
#...#
#...#
#...#

I
###
.#.
.#.
.#.
.#.
.#.
###

K
#...#
#..#.
#.#..
##...
#.#..
#..#.
#...#

L
#....
#....
#....
#....
#....
#....
#####

M
#...#
##.##
#.#.#
#.#.#
#...#
#...#
#...#

N
#...#
#...#
##..#
#.#.#
#..##
#...#
#...#

O
.###.
#...#
#...#
#...#
#...#
#...#
.###.

P
####.
#...#
#...#
####.
#....
#....
#....

R
####.
#...#
#...#
####.
#.#..
#..#.
#...#

S
.####
#....
#....
.###.
....#
....#
####.

T
#####
..#..
..#..
..#..
..#..
..#..
..#..

U
#...#
#...#
#...#
#...#
#...#
#...#
.###.

V
#...#
#...#
#...#
#...#
#...#
.#.#.
..#..

W
#...#
#...#
#...#
#.#.#
#.#.#
#.#.#
.#.#.

a
.....
.....
.###.
....#
.####
#...#
.####

b
#....
#....
####.
#...#
#...#
#...#
####.

c
....
....
.###
#...
#...
#...
.###

d
....#
....#
.####
#...#
#...#
#...#
.####

e
.....
.....
.###.
#...#
#####
#....
.###.

f
..##
.#..
####
.#..
.#..
.#..
.#..

g
.....
.....
.####
#...#
#...#
#...#
.####
....#
.###.

h
#....
#....
####.
#...#
#...#
#...#
#...#

i
.#.
...
##.
.#.
.#.
.#.
###

k
#...
#...
#..#
#.#.
##..
#.#.
#..#

l
##.
.#.
.#.
.#.
.#.
.#.
###

m
.....
.....
##.#.
#.#.#
#.#.#
#.#.#
#.#.#

n
.....
.....
####.
#...#
#...#
#...#
#...#

o
.....
.....
.###.
#...#
#...#
#...#
.###.

p
.....
.....
####.
#...#
#...#
#...#
####.
#....
#....

r
....
....
#.##
##..
#...
#...
#...

s
....
....
.###
#...
.##.
...#
###.

t
.#..
.#..
####
.#..
.#..
.#..
..##

u
.....
.....
#...#
#...#
#...#
#..##
.##.#

v
.....
.....
#...#
#...#
#...#
.#.#.
..#..

w
.....
.....
#...#
#...#
#.#.#
#.#.#
.#.#.

x
.....
.....
#...#
.#.#.
..#..
.#.#.
#...#

y
.....
.....
#...#
#...#
#...#
#...#
.####
....#
.###.

0
.###.
#...#
#..##
#.#.#
##..#
#...#
.###.

6
..##.
.#...
#....
####.
#...#
#...#
.###.

.
..
..
..
..
..
##
##

:
..
..
##
##
..
##
##

-
....
....
....
####
....
....
....

/
....#
....#
...#.
..#..
.#...
#....
#....
"""

SPACE_WIDTH = 3
GLYPH_ROWS = 9


def parse_font(source):
    glyphs = {}
    for block in source.strip().split("\n\n"):
        lines = block.split("\n")
        char, rows = lines[0], lines[1:]
        width = len(rows[0])
        if any(len(row) != width for row in rows) or len(rows) > GLYPH_ROWS:
            raise ValueError("glyph %r is ragged" % char)
        rows = rows + ["." * width] * (GLYPH_ROWS - len(rows))
        glyphs[char] = rows
    return glyphs


FONT = parse_font(FONT_SOURCE)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills x0..x1-1, y0..y1-1."""
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def rounded_rect(self, x0, y0, x1, y1, radius, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + radius - x - 0.5, x - (x1 - radius) + 0.5, 0)
                dy = max(y0 + radius - y - 0.5, y - (y1 - radius) + 0.5, 0)
                if dx * dx + dy * dy <= radius * radius:
                    self.put(x, y, colour)

    def disc(self, cx, cy, radius, colour):
        """A filled circle centred on the pixel corner (cx, cy) when cx, cy are whole,
        or on a pixel's centre when they end in .5."""
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                if dx * dx + dy * dy <= radius * radius:
                    self.put(x, y, colour)

    def polygon(self, points, colour):
        """Fills the pixels whose centres lie inside a convex polygon."""
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            crossings = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= yc < by) or (by <= yc < ay):
                    crossings.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            if len(crossings) >= 2:
                left, right = min(crossings), max(crossings)
                for x in range(int(left + 0.5), int(right + 0.5)):
                    self.put(x, y, colour)

    def dither(self, x0, y0, x1, y1, colour_a, colour_b, level_of):
        """Mixes two colours with a 4 x 4 ordered pattern; level_of(x, y) in 0..16 is
        how many of the 16 cells show colour_b."""
        bayer = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
        for y in range(y0, y1):
            for x in range(x0, x1):
                b = bayer[y % 4][x % 4] < level_of(x, y)
                self.put(x, y, colour_b if b else colour_a)


def text_width(text, scale=1):
    width = 0
    for char in strip_marks(text):
        width += (SPACE_WIDTH if char == " " else len(FONT[char][0])) + 1
    return (width - 1) * scale if width else 0


def strip_marks(text):
    return text.replace("{", "").replace("}", "")


def draw_text(canvas, x, y, text, colour, scale=1, accent=None, shadow=None):
    """Draws text with its top-left corner at (x, y). Characters between braces take
    the accent colour; a shadow colour draws the text once more one step down-right."""
    if shadow is not None:
        draw_text(canvas, x + scale, y + scale, strip_marks(text), shadow, scale)
    ink = colour
    for char in text:
        if char == "{":
            ink = accent
            continue
        if char == "}":
            ink = colour
            continue
        if char == " ":
            x += (SPACE_WIDTH + 1) * scale
            continue
        rows = FONT[char]
        for row_index, row in enumerate(rows):
            for col, cell in enumerate(row):
                if cell == "#":
                    canvas.rect(x + col * scale, y + row_index * scale,
                                x + (col + 1) * scale, y + (row_index + 1) * scale, ink)
        x += (len(rows[0]) + 1) * scale


def draw_centred_text(canvas, y, text, colour, scale=1, accent=None, shadow=None):
    x = (canvas.width - text_width(text, scale)) // 2
    draw_text(canvas, x, y, text, colour, scale, accent, shadow)


def draw_background(canvas):
    # A night-blue wash: lighter at the top, deepening towards the bottom.
    canvas.dither(0, 0, canvas.width, canvas.height, BG_LIGHT, BG_DEEP,
                  lambda x, y: min(16, y * 17 // canvas.height))


def draw_reel(canvas, cx, cy, tape_radius):
    canvas.disc(cx, cy, tape_radius, TAPE)
    canvas.disc(cx, cy, 6, LIGHT_GREY)
    canvas.disc(cx, cy, 4, BLACK)
    # The hub's six teeth, drawn as dots on the ring's inner edge.
    for dx, dy in ((0, -3), (3, -1), (3, 1), (0, 3), (-3, 1), (-3, -1)):
        canvas.put(int(cx - 0.5) + dx, int(cy - 0.5) + dy, LIGHT_GREY)


def draw_screw(canvas, cx, cy):
    canvas.disc(cx, cy, 2.5, MID_GREY)
    canvas.put(int(cx) - 1, int(cy), BODY_SHADOW)
    canvas.put(int(cx), int(cy), BODY_SHADOW)


def draw_cassette(canvas, x0, y0, width, height):
    x1, y1 = x0 + width, y0 + height
    # Shadow, body, and the light edge along the top and left.
    canvas.rounded_rect(x0 + 3, y0 + 3, x1 + 3, y1 + 3, 6, BLACK)
    canvas.rounded_rect(x0, y0, x1, y1, 6, BODY_LIGHT)
    canvas.rounded_rect(x0 + 1, y0 + 1, x1, y1, 5, BODY)

    for cx, cy in ((x0 + 6, y0 + 6), (x1 - 6, y0 + 6), (x0 + 6, y1 - 6), (x1 - 6, y1 - 6)):
        draw_screw(canvas, cx + 0.5, cy + 0.5)

    # The label with its stripes and the window onto the reels.
    lx0, ly0, lx1, ly1 = x0 + 12, y0 + 6, x1 - 12, y0 + 58
    canvas.rounded_rect(lx0, ly0, lx1, ly1, 3, CREAM)
    canvas.rect(lx0, ly0 + 6, lx1, ly0 + 9, ORANGE)
    canvas.rect(lx0, ly0 + 9, lx1, ly0 + 11, YELLOW)
    canvas.rect(lx0, ly1 - 10, lx1, ly1 - 8, YELLOW)
    canvas.rect(lx0, ly1 - 8, lx1, ly1 - 5, ORANGE)
    for x in range(lx0 + 16, lx1 - 6, 2):
        canvas.put(x, ly0 + 3, MID_GREY)
    draw_text(canvas, lx0 + 4, ly0 + 1, "A", BODY)

    wx0, wy0, wx1, wy1 = x0 + 34, y0 + 20, x1 - 34, y0 + 42
    canvas.rounded_rect(wx0 - 1, wy0 - 1, wx1 + 1, wy1 + 1, 11, MID_GREY)
    canvas.rounded_rect(wx0, wy0, wx1, wy1, 10, BODY_SHADOW)
    middle = (wy0 + wy1) / 2
    left_x, right_x = wx0 + 11, wx1 - 11
    # Tape runs between the two packs along the window's lower edge.
    canvas.rect(int(left_x), wy1 - 3, int(right_x), wy1 - 2, TAPE)
    draw_reel(canvas, left_x, middle, 10)
    draw_reel(canvas, right_x, middle, 7.5)

    # The lower part with the head opening: a trapezoid wider at the cassette's edge.
    tx0, tx1, ty0 = x0 + 26, x1 - 26, y1 - 16
    canvas.polygon([(tx0 + 6, ty0), (tx1 - 6, ty0), (tx1, y1), (tx0, y1)], BODY_LIGHT)
    canvas.polygon([(tx0 + 7, ty0 + 1), (tx1 - 7, ty0 + 1), (tx1 - 1, y1), (tx0 + 1, y1)],
                   BODY_SHADOW)
    hole_y = ty0 + 8
    for cx in (tx0 + 12, tx1 - 12):
        canvas.disc(cx + 0.5, hole_y + 0.5, 3, BLACK)
    for cx in (tx0 + 26, tx1 - 28):
        canvas.rect(cx, hole_y - 1, cx + 3, hole_y + 2, BLACK)
    # The bottom edge closes the body again below the opening.
    canvas.rounded_rect(x0, y1 - 2, x1, y1, 2, BODY_SHADOW)


def draw_dropped_file(canvas, cx, y0):
    """A sheet with a folded corner above an arrow pointing down at the window."""
    x0, x1, y1 = cx - 6, cx + 6, y0 + 15
    canvas.polygon([(x0, y0), (x1 - 4, y0), (x1, y0 + 4), (x1, y1), (x0, y1)], WHITE)
    canvas.polygon([(x1 - 4, y0), (x1, y0 + 4), (x1 - 4, y0 + 4)], MID_GREY)
    for y in (y0 + 6, y0 + 9, y0 + 12):
        canvas.rect(x0 + 2, y, x1 - 2, y + 1, MID_GREY)
    ay = y1 + 4
    canvas.rect(cx - 2, ay, cx + 2, ay + 7, SKY)
    canvas.polygon([(cx - 7, ay + 7), (cx + 7, ay + 7), (cx, ay + 14)], SKY)


def draw_skin():
    canvas = Canvas(WIDTH, HEIGHT, BG_DEEP)
    draw_background(canvas)

    draw_centred_text(canvas, 7, "Hibarion", WHITE, scale=3, shadow=ORANGE)

    cassette_width, cassette_height = 136, 84
    cx0 = (WIDTH - cassette_width) // 2
    draw_cassette(canvas, cx0, 37, cassette_width, cassette_height)
    draw_dropped_file(canvas, cx0 - 32, 54)
    draw_dropped_file(canvas, cx0 + cassette_width + 32, 54)

    draw_centred_text(canvas, 131, "Drop {.wav} or {.p6} files here", WHITE, accent=YELLOW)
    draw_centred_text(canvas, 146, "{Right-click}: settings", LIGHT_GREY, accent=SKY)
    return canvas


def bmp_bytes(canvas):
    row_bytes = (canvas.width * 4 + 31) // 32 * 4
    rows = []
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(0, canvas.width, 2):
            high = canvas.get(x, y)
            low = canvas.get(x + 1, y) if x + 1 < canvas.width else 0
            row[x // 2] = high << 4 | low
        rows.append(bytes(row))
    pixels = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 4, 0,
                              len(pixels), 2835, 2835, 16, 16)
    return file_header + info_header + palette + pixels


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_skin.py OUTPUT.bmp")
    with open(sys.argv[1], "wb") as out:
        out.write(bmp_bytes(draw_skin()))


if __name__ == "__main__":
    main()
