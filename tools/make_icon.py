#!/usr/bin/env python3
"""Builds the program's icon, hibarion.ico, from the pixel maps in resources/.

Usage: python3 tools/make_icon.py OUTPUT.ico

resources/icon32.txt and resources/icon16.txt each hold one square image: a legend that
maps characters to colours (RRGGBB, or "transparent"), then one character a pixel. The
icon gets both images at 16 colours, 4 bits a pixel, each stored as a BITMAPINFOHEADER
image followed by its colour (XOR) bitmap and its transparency (AND) mask.
"""
import os
import struct
import sys

SOURCES = ["icon32.txt", "icon16.txt"]
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources")


def read_pixel_map(path):
    """Returns (legend, rows): legend maps a character to (r, g, b) or None."""
    legend, rows, section = {}, [], None
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            if line in ("legend", "pixels"):
                section = line
                continue
            if section == "legend":
                char, colour = line[0], line[1:].strip()
                if colour == "transparent":
                    legend[char] = None
                elif len(colour) == 6:
                    legend[char] = tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4))
                else:
                    sys.exit("%s:%d: bad colour %r" % (path, number, colour))
            elif section == "pixels":
                unknown = set(line) - set(legend)
                if unknown:
                    sys.exit("%s:%d: no colour for %r" % (path, number, "".join(unknown)))
                rows.append(line)
            else:
                sys.exit("%s:%d: text before the legend" % (path, number))
    size = len(rows)
    if size == 0 or any(len(row) != size for row in rows):
        sys.exit("%s: the pixel map is not square" % path)
    return legend, rows


def icon_image(legend, rows):
    """One image as the ICO file stores it: header, palette, XOR bitmap, AND mask."""
    size = len(rows)
    # Index 0 is black, which transparent pixels take in the colour bitmap: the AND
    # mask keeps the screen there and the black adds nothing to it.
    palette = [(0, 0, 0)]
    for colour in legend.values():
        if colour is not None and colour not in palette:
            palette.append(colour)
    if len(palette) > 16:
        sys.exit("more than 16 colours in a %d x %d image" % (size, size))
    palette += [(0, 0, 0)] * (16 - len(palette))
    index_of = {char: (0 if colour is None else palette.index(colour))
                for char, colour in legend.items()}

    xor_row_bytes = (size * 4 + 31) // 32 * 4
    and_row_bytes = (size + 31) // 32 * 4
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # bottom row first
        xor_row, and_row = bytearray(xor_row_bytes), bytearray(and_row_bytes)
        for x, char in enumerate(row):
            xor_row[x // 2] |= index_of[char] << (4 if x % 2 == 0 else 0)
            if legend[char] is None:
                and_row[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor_row))
        and_rows.append(bytes(and_row))
    bitmaps = b"".join(xor_rows) + b"".join(and_rows)
    # The height counts the colour bitmap and the mask together, as icons require.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(bitmaps), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return size, header + colours + bitmaps


def icon_file(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                               len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = [icon_image(*read_pixel_map(os.path.join(RESOURCES, name))) for name in SOURCES]
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file(images))


if __name__ == "__main__":
    main()
