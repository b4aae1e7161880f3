#!/usr/bin/python3
"""Writes the control's bitmaps and icon (BMP/ICO bytes, no image library needed).

Tovalo.bmp      16x16, 8 bpp: the toolbox bitmap.
SizeLarge.bmp  128x32, 24 bpp: four 32x32 size-category cells.
SizeSmall.bmp   64x16, 24 bpp: four 16x16 size-category cells.
Tovalo.ico      32x32 and 16x16, 32 bpp: the About box icon (the toolbox picture, enlarged).
HeaderRight.bmp   2x12, HeaderMiddle.bmp 1x12, HeaderFirst.bmp 2x12, 24 bpp: the skin of the
                list's column header, all white (the header draws its separators itself).

A size-category cell is a sheet of paper with a gauge beside it: category n fills n + 1 of the
four gauge steps, and the colour runs from green (small) to red (largest), so the four cells are
told apart at a glance. RGB(127,127,127) is the transparent background the image lists mask out.
Run from this folder; the outputs are committed beside the script.
"""
import struct

TRANSPARENT = (127, 127, 127)
PAPER = (255, 255, 255)
INK = (40, 40, 40)
FOLD = (200, 200, 200)
GAUGE_EMPTY = (215, 215, 215)
CATEGORY_COLOURS = [(40, 170, 60), (230, 200, 0), (240, 130, 20), (220, 30, 30)]


def blank(width, height, colour):
    return [[colour] * width for _ in range(height)]


def fill(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1):
        img[y0][x] = img[y1 - 1][x] = colour
    for y in range(y0, y1):
        img[y][x0] = img[y][x1 - 1] = colour


def category_cell(size, category):
    """One cell of the size-category strip: size is 32 or 16."""
    img = blank(size, size, TRANSPARENT)
    colour = CATEGORY_COLOURS[category]
    if size == 32:
        sheet, fold, lines, gauge_x, step_h, pitch, bottom = (3, 2, 19, 30), 5, (10, 15, 20), (21, 30), 6, 7, 30
    else:
        sheet, fold, lines, gauge_x, step_h, pitch, bottom = (1, 1, 10, 15), 3, (5, 8, 11), (11, 15), 3, 4, 15
    x0, y0, x1, y1 = sheet
    fill(img, x0, y0, x1, y1, PAPER)
    frame(img, x0, y0, x1, y1, INK)
    fill(img, x1 - fold, y0, x1, y0 + fold, FOLD)
    inset, thickness = (3, 2) if size == 32 else (2, 1)
    for y in lines:
        fill(img, x0 + inset, y, x1 - inset, y + thickness, INK)
    # The gauge: four steps from the bottom, category + 1 of them filled.
    gx0, gx1 = gauge_x
    for step in range(4):
        step_bottom = bottom - step * pitch
        top = step_bottom - step_h
        fill(img, gx0, top, gx1, step_bottom, colour if step <= category else GAUGE_EMPTY)
        if size == 32:
            frame(img, gx0, top, gx1, step_bottom, INK)
    return img


def strip(size):
    cells = [category_cell(size, n) for n in range(4)]
    return [sum((cell[y] for cell in cells), []) for y in range(size)]


def toolbox_image(background=(192, 192, 192)):
    """16x16: a small list with a green upward arrow (sending files)."""
    img = blank(16, 16, background)
    fill(img, 1, 3, 11, 15, PAPER)
    frame(img, 1, 3, 11, 15, INK)
    for row in range(3):
        fill(img, 3, 6 + 3 * row, 9, 7 + 3 * row, INK)
    green = (0, 150, 50)
    for i in range(4):
        fill(img, 12 - i, 1 + i, 13 + i, 2 + i, green)
    fill(img, 11, 5, 14, 12, green)
    return img


def doubled(img):
    return [[c for c in line for _ in (0, 1)] for line in img for _ in (0, 1)]


def bmp_rows(img, bytes_per_pixel, pixel):
    rows = []
    for line in reversed(img):  # bottom-up
        data = b"".join(pixel(c) for c in line)
        data += b"\0" * ((-len(data)) % 4)
        rows.append(data)
    return b"".join(rows)


def write_bmp24(path, img):
    height, width = len(img), len(img[0])
    bits = bmp_rows(img, 3, lambda c: bytes((c[2], c[1], c[0])))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    open(path, "wb").write(header + info + bits)


def write_bmp8(path, img):
    height, width = len(img), len(img[0])
    palette = sorted({c for line in img for c in line})
    index = {c: i for i, c in enumerate(palette)}
    bits = bmp_rows(img, 1, lambda c: bytes((index[c],)))
    colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    colours += b"\0" * (4 * 256 - len(colours))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    open(path, "wb").write(header + info + colours + bits)


def icon_image(img):
    """32 bpp icon image: BGRA rows bottom-up, then the AND mask (all zero: alpha decides)."""
    height, width = len(img), len(img[0])
    pixel = lambda c: bytes((0, 0, 0, 0)) if c == TRANSPARENT else bytes((c[2], c[1], c[0], 255))
    xor = bmp_rows(img, 4, pixel)
    mask_row = ((width + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * height)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + xor + and_mask


def write_ico(path, images):
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for img in images:
        blob = icon_image(img)
        size = len(img)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    open(path, "wb").write(struct.pack("<HHH", 0, 1, len(images)) + entries + blobs)


if __name__ == "__main__":
    write_bmp8("Tovalo.bmp", toolbox_image())
    write_bmp24("SizeLarge.bmp", strip(32))
    write_bmp24("SizeSmall.bmp", strip(16))
    write_bmp24("HeaderRight.bmp", blank(2, 12, PAPER))
    write_bmp24("HeaderMiddle.bmp", blank(1, 12, PAPER))
    write_bmp24("HeaderFirst.bmp", blank(2, 12, PAPER))
    app = toolbox_image(TRANSPARENT)
    write_ico("Tovalo.ico", [doubled(app), app])
