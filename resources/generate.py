#!/usr/bin/env python3
"""Turns the pixel-art text files in art/ into the binary images the .rc file embeds.

An art file has header lines "key: value" and then "pixels:" followed by one text row
per pixel row. The legend maps each character to a colour "RRGGBB" or to "transparent":

    kind: cursor | bitmap | icon
    bits: 1 (cursor), 4 or 8 (bitmap), 32 (icon)
    hotspot: X Y           (cursor only)
    legend: # 000000
    legend: . transparent
    pixels:
    ...

After the first "pixels:" every non-empty line is a pixel row; an icon file may hold
several "pixels:" blocks, one per image size. Lines starting with ";" before the pixels
are comments.

Usage: generate.py OUTPUT_DIR ART_FILE...   (writes NAME.cur / .bmp / .ico per art file)
"""

import os
import struct
import sys


class ArtError(Exception):
    pass


def parse_art(text, name="art"):
    header = {"legend": {}}
    images = []
    rows = None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip("\n")
        stripped = line.strip()
        if rows is not None and stripped and stripped != "pixels:":
            rows.append(stripped)
            continue
        if not stripped or stripped.startswith(";"):
            continue
        key, _, value = stripped.partition(":")
        value = value.strip()
        if key == "pixels":
            rows = []
            images.append(rows)
        elif key == "legend":
            char, _, colour = value.partition(" ")
            if len(char) != 1:
                raise ArtError(f"{name}:{number}: legend needs one character")
            header["legend"][char] = None if colour.strip() == "transparent" else int(colour, 16)
        elif key in ("kind", "bits", "hotspot"):
            header[key] = value
        else:
            raise ArtError(f"{name}:{number}: unknown line {stripped!r}")
    if not images:
        raise ArtError(f"{name}: no pixels")
    pictures = []
    for rows in images:
        width = len(rows[0])
        if any(len(r) != width for r in rows):
            raise ArtError(f"{name}: rows of different lengths")
        picture = []
        for r in rows:
            try:
                picture.append([header["legend"][c] for c in r])
            except KeyError as e:
                raise ArtError(f"{name}: character {e} not in the legend") from None
        pictures.append(picture)
    return header, pictures


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def pack_rows(indexes, bits):
    """Bottom-up rows of palette indexes at 1, 4 or 8 bits, each padded to 4 bytes."""
    data = bytearray()
    for row in reversed(indexes):
        packed = bytearray(row_bytes(bits, len(row)))
        for x, value in enumerate(row):
            bit = x * bits
            packed[bit // 8] |= value << (8 - bits - bit % 8)
        data += packed
    return bytes(data)


def info_header(width, height, bits, colours, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def make_cursor(header, pictures):
    picture = pictures[0]
    height, width = len(picture), len(picture[0])
    if header.get("bits") != "1":
        raise ArtError("cursors are monochrome")
    if any(c not in (None, 0x000000, 0xFFFFFF) for row in picture for c in row):
        raise ArtError("a monochrome cursor holds black, white and transparent only")
    hot_x, hot_y = (int(v) for v in header["hotspot"].split())
    # Transparent: mask 1, colour 0. Black: 0, 0. White: 0, 1.
    xor = pack_rows([[1 if c == 0xFFFFFF else 0 for c in row] for row in picture], 1)
    mask = pack_rows([[1 if c is None else 0 for c in row] for row in picture], 1)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = info_header(width, height * 2, 1, 2, len(xor) + len(mask)) + palette + xor + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


def make_bitmap(header, pictures):
    picture = pictures[0]
    height, width = len(picture), len(picture[0])
    bits = int(header.get("bits", "0"))
    if bits not in (4, 8):
        raise ArtError("bitmaps have 4 or 8 bits per pixel")
    colours = []
    for row in picture:
        for c in row:
            if c is None:
                raise ArtError("a bitmap has no transparent pixels")
            if c not in colours:
                colours.append(c)
    if len(colours) > 1 << bits:
        raise ArtError(f"{len(colours)} colours do not fit in {bits} bits")
    palette = colours + [0] * ((1 << bits) - len(colours))
    pixels = pack_rows([[colours.index(c) for c in row] for row in picture], bits)
    body = info_header(width, height, bits, len(palette), len(pixels))
    body += b"".join(struct.pack("<I", c) for c in palette) + pixels
    offset = 14 + 40 + 4 * len(palette)
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body


def make_icon(header, pictures):
    if header.get("bits") != "32":
        raise ArtError("icons are 32-bit")
    images = []
    for picture in pictures:
        height, width = len(picture), len(picture[0])
        colour = bytearray()
        for row in reversed(picture):
            for c in row:
                colour += struct.pack("<I", 0 if c is None else (c | 0xFF000000))
        mask = pack_rows([[1 if c is None else 0 for c in row] for row in picture], 1)
        images.append((width, height, info_header(width, height * 2, 32, 0, len(colour) + len(mask)) + colour + mask))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for width, height, data in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


MAKERS = {"cursor": (make_cursor, ".cur"), "bitmap": (make_bitmap, ".bmp"), "icon": (make_icon, ".ico")}


def convert(path, output_dir):
    name = os.path.splitext(os.path.basename(path))[0]
    with open(path, encoding="utf-8") as f:
        header, pictures = parse_art(f.read(), path)
    try:
        maker, extension = MAKERS[header.get("kind", "")]
    except KeyError:
        raise ArtError(f"{path}: kind must be one of {', '.join(MAKERS)}") from None
    data = maker(header, pictures)
    target = os.path.join(output_dir, name + extension)
    # Leave an unchanged file alone so that the resource compiler does not rerun.
    if os.path.exists(target):
        with open(target, "rb") as f:
            if f.read() == data:
                return
    with open(target, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    os.makedirs(argv[1], exist_ok=True)
    try:
        for path in argv[2:]:
            convert(path, argv[1])
    except (ArtError, ValueError, OSError) as e:
        print(f"generate.py: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
