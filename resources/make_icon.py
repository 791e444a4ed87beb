#!/usr/bin/env python3
"""Draws lumen_roll.ico: a 32x32 icon of an index tree (a blue tile, white branch lines, one
amber marker). Run it again only to change the picture; the build uses the committed file.

    python3 make_icon.py lumen_roll.ico
"""
import struct
import sys

SIZE = 32
TILE = (0x2B, 0x4E, 0x8C)
LINE = (0xF2, 0xF4, 0xF8)
MARK = (0xF5, 0xB0, 0x2E)


def inside_tile(x, y):
    # A square with corners rounded by a radius of 5 pixels, one pixel of margin.
    low, high, radius = 1, SIZE - 2, 5
    cx = min(max(x, low + radius), high - radius)
    cy = min(max(y, low + radius), high - radius)
    return low <= x <= high and low <= y <= high and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour(x, y):
    """The pixel at column x, row y (row 0 at the top), or None for transparent."""
    if not inside_tile(x, y):
        return None
    # The trunk and three branches, each branch ending in an entry bar.
    if 7 <= x <= 8 and 7 <= y <= 24:
        return LINE
    for row in (8, 16, 24):
        if row - 1 <= y <= row and 7 <= x <= 12:
            return LINE
        if row - 2 <= y <= row + 1 and 14 <= x <= 25:
            return MARK if row == 16 and x >= 21 else LINE
    return TILE


def icon_bytes():
    pixels = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        mask_row = 0
        for x in range(SIZE):
            rgb = colour(x, y)
            if rgb is None:
                pixels += bytes((0, 0, 0, 0))
                mask_row |= 1 << (SIZE - 1 - x)
            else:
                pixels += bytes((rgb[2], rgb[1], rgb[0], 0xFF))
        mask += mask_row.to_bytes(SIZE // 8, "big")
    # BITMAPINFOHEADER with twice the height: the colour image, then the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + bytes(pixels) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "lumen_roll.ico", "wb") as output:
        output.write(icon_bytes())
