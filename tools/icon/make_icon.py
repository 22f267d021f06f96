#!/usr/bin/env python3
"""Draws Quorvane's icons and writes each as a Windows .ico file.

The icon is a dark-blue rounded square carrying a white through-arch bridge: the arch rises
above a level deck, the way the program spans two programs' data. It is drawn from shapes,
not pixels, so every size comes out of the same drawing:

    32 and 16 px at 4 bits; 48, 32 and 16 px at 8 bits and at 32 bits (alpha).

The 4- and 8-bit images carry a palette (entry 0 black, the rest a ramp from the blue to white)
and an AND mask for the transparent corners; the 32-bit images carry alpha and a mask as well.
Only the standard library is used, and the output depends on nothing but this file.

The second icon is the mark the taskbar button carries while the status says NOT OK: a red
disc crossed by a white bar, Windows' own sign for something stopped.

    make_icon.py OUTPUT.ico              the program's icon
    make_icon.py --not-ok OUTPUT.ico     the NOT OK mark
"""

import struct
import sys

# (size in pixels, bits per pixel), in the order the icon directory lists them.
IMAGES = [
    (32, 4),
    (16, 4),
    (48, 8),
    (32, 8),
    (16, 8),
    (48, 32),
    (32, 32),
    (16, 32),
]

BLUE = (24, 52, 110)  # the square
RED = (196, 32, 32)  # the NOT OK mark's disc
WHITE = (255, 255, 255)  # the bridge
SAMPLES = 8  # per pixel and axis, for smooth edges at every size

# The drawing, in units of the icon's side (0..1, y downwards).
SQUARE_MARGIN = 0.03
SQUARE_CORNER = 0.20
ARCH_CENTRE = (0.50, 0.74)
ARCH_OUTER = 0.38
ARCH_INNER = 0.28
DECK_TOP, DECK_BOTTOM = 0.54, 0.63
DECK_LEFT, DECK_RIGHT = 0.10, 0.90


def in_square(x, y):
    """Whether (x, y) lies in the rounded square."""
    low, high = SQUARE_MARGIN, 1.0 - SQUARE_MARGIN
    if not (low <= x <= high and low <= y <= high):
        return False
    inner_low, inner_high = low + SQUARE_CORNER, high - SQUARE_CORNER
    dx = max(inner_low - x, 0.0, x - inner_high)
    dy = max(inner_low - y, 0.0, y - inner_high)
    return dx * dx + dy * dy <= SQUARE_CORNER * SQUARE_CORNER


def in_bridge(x, y):
    """Whether (x, y) lies on the arch or the deck."""
    if DECK_LEFT <= x <= DECK_RIGHT and DECK_TOP <= y <= DECK_BOTTOM:
        return True
    cx, cy = ARCH_CENTRE
    if y > cy:
        return False
    distance_squared = (x - cx) ** 2 + (y - cy) ** 2
    return ARCH_INNER**2 <= distance_squared <= ARCH_OUTER**2


def in_disc(x, y):
    """Whether (x, y) lies in the NOT OK mark's disc."""
    return (x - 0.5) ** 2 + (y - 0.5) ** 2 <= 0.47**2


def in_bar(x, y):
    """Whether (x, y) lies on the bar across the disc."""
    return 0.20 <= x <= 0.80 and 0.41 <= y <= 0.59


# Each drawing: the shape, what is white inside it, and the colour of the rest.
DRAWINGS = {"program": (in_square, in_bridge, BLUE), "not-ok": (in_disc, in_bar, RED)}
DRAWING = DRAWINGS["program"]


def render(size):
    """Per pixel, top row first: (shape coverage, share of the shape that is white)."""
    in_shape, in_white, _ = DRAWING
    pixels = []
    for row in range(size):
        for column in range(size):
            square = bridge = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (column + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    if in_shape(x, y):
                        square += 1
                        bridge += in_white(x, y)
            coverage = square / (SAMPLES * SAMPLES)
            whiteness = bridge / square if square else 0.0
            pixels.append((coverage, whiteness))
    return pixels


def blend(whiteness):
    """The colour between the drawing's colour and white, as (r, g, b)."""
    return tuple(round(b + (w - b) * whiteness) for b, w in zip(DRAWING[2], WHITE))


def row_stride(width, bits):
    """Bytes per bitmap row, padded to whole 32-bit words."""
    return (width * bits + 31) // 32 * 4


def pack_rows(size, bits, values):
    """Packs per-pixel values (top row first) into bottom-up rows of the given depth."""
    out = bytearray()
    per_byte = 8 // bits
    for row in reversed(range(size)):
        line = bytearray(row_stride(size, bits))
        for column in range(size):
            shift = (per_byte - 1 - column % per_byte) * bits
            line[column // per_byte] |= values[row * size + column] << shift
        out += line
    return bytes(out)


def and_mask(size, pixels):
    """1 where the screen shows through: the pixel is less than half covered."""
    return pack_rows(size, 1, [1 if coverage < 0.5 else 0 for coverage, _ in pixels])


def palette_image(size, bits, pixels):
    """Palette, colour indices and mask of a 4- or 8-bit image."""
    ramp_length = (1 << bits) - 1  # entry 0 stays black: masked pixels must add nothing
    palette = bytearray(4)
    for step in range(ramp_length):
        r, g, b = blend(step / (ramp_length - 1))
        palette += bytes((b, g, r, 0))
    indices = [
        0 if coverage < 0.5 else 1 + round(whiteness * (ramp_length - 1))
        for coverage, whiteness in pixels
    ]
    return bytes(palette) + pack_rows(size, bits, indices) + and_mask(size, pixels)


def alpha_image(size, pixels):
    """Straight (not premultiplied) BGRA pixels and mask of a 32-bit image."""
    colour = bytearray()
    for row in reversed(range(size)):
        for coverage, whiteness in pixels[row * size : (row + 1) * size]:
            r, g, b = blend(whiteness) if coverage else (0, 0, 0)
            colour += bytes((b, g, r, round(coverage * 255)))
    transparent = [1 if round(coverage * 255) == 0 else 0 for coverage, _ in pixels]
    return bytes(colour) + pack_rows(size, 1, transparent)


def dib(size, bits, pixels):
    """One icon image: a bitmap header of twice the height (colour then mask), then the data."""
    body = palette_image(size, bits, pixels) if bits < 32 else alpha_image(size, pixels)
    palette_bytes = 4 << bits if bits < 32 else 0
    header = struct.pack(
        "<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(body) - palette_bytes, 0, 0, 0, 0
    )
    return header + body


def icon_file():
    """The whole .ico: directory, entries, images."""
    renders = {size: render(size) for size in {size for size, _ in IMAGES}}
    images = [dib(size, bits, renders[size]) for size, bits in IMAGES]
    offset = 6 + 16 * len(IMAGES)
    out = bytearray(struct.pack("<HHH", 0, 1, len(IMAGES)))
    for (size, bits), image in zip(IMAGES, images):
        colour_count = 1 << bits if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    global DRAWING
    arguments = sys.argv[1:]
    if arguments[:1] == ["--not-ok"]:
        DRAWING = DRAWINGS["not-ok"]
        arguments = arguments[1:]
    if len(arguments) != 1:
        sys.exit("usage: make_icon.py [--not-ok] OUTPUT.ico")
    with open(arguments[0], "wb") as output:
        output.write(icon_file())


if __name__ == "__main__":
    main()
