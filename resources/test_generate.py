"""Checks the generated images by reading them back with an independent decoder.

Run: python3 -B -m unittest test_generate   (from this folder; the build runs it too)
"""

import os
import struct
import unittest

import generate

ART = os.path.join(os.path.dirname(os.path.abspath(__file__)), "art")


def build(name):
    with open(os.path.join(ART, name + ".txt"), encoding="utf-8") as f:
        header, pictures = generate.parse_art(f.read(), name)
    maker, _ = generate.MAKERS[header["kind"]]
    return maker(header, pictures)


def read_rows(data, offset, width, height, bits):
    """Bottom-up rows of 1/4/8-bit indexes or 32-bit values, as top-down lists."""
    stride = ((bits * width + 31) // 32) * 4
    rows = []
    for y in range(height):
        row = data[offset + y * stride: offset + (y + 1) * stride]
        if bits == 32:
            rows.append([struct.unpack_from("<I", row, 4 * x)[0] for x in range(width)])
        else:
            rows.append([(row[x * bits // 8] >> (8 - bits - (x * bits) % 8)) & ((1 << bits) - 1)
                         for x in range(width)])
    return rows[::-1]


def decode_bitmap(data):
    magic, _, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    _, width, height, _, bits, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, 14)
    palette = [struct.unpack_from("<I", data, 54 + 4 * i)[0] for i in range(used or 1 << bits)]
    rows = read_rows(data, offset, width, height, bits)
    return magic, bits, len(palette), [[palette[i] for i in row] for row in rows]


def decode_cursor(data):
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    width, height, _, _, hot_x, hot_y, _, offset = struct.unpack_from("<BBBBHHII", data, 6)
    size, _, double_height, _, bits = struct.unpack_from("<IiiHH", data, offset)
    pixels = offset + size + 8
    xor = read_rows(data, pixels, width, height, 1)
    mask = read_rows(data, pixels + 4 * height, width, height, 1)
    image = [["." if m else ("o" if x else "#") for x, m in zip(xr, mr)] for xr, mr in zip(xor, mask)]
    return kind, count, (width, height, double_height, bits), (hot_x, hot_y), image


def extent(image, background):
    cells = [(x, y) for y, row in enumerate(image) for x, c in enumerate(row) if c != background]
    xs, ys = [x for x, _ in cells], [y for _, y in cells]
    return min(xs), max(xs), min(ys), max(ys)


class CursorTest(unittest.TestCase):
    def test_cursors(self):
        # name: columns and rows the drawing spans
        cases = {"HandFlat": (6, 24, 3, 28), "HandGrab": (7, 23, 6, 25)}
        for name, span in cases.items():
            with self.subTest(name):
                kind, count, shape, hotspot, image = decode_cursor(build(name))
                self.assertEqual((kind, count), (2, 1))
                self.assertEqual(shape, (32, 32, 64, 1))
                self.assertEqual(hotspot, (15, 16))
                self.assertEqual(extent(image, "."), span)
                self.assertEqual(image[16][15], "o", "the hot spot lies on the hand")
                self.assertTrue(any("#" in row for row in image) and any("o" in row for row in image))


class BitmapTest(unittest.TestCase):
    def test_glyphs(self):
        # name: bits per pixel, palette size, lower-left (transparent) colour
        cases = {
            "GlyphHelp": (8, 256, 0xC0C0C0),
            "ColorsEnabled": (4, 16, 0xC0C0C0),
            "ColorsDisabled": (8, 256, 0xC0C0C0),
            "GlyphLock": (4, 16, 0xFFFFFF),
            "GlyphExit": (4, 16, 0xFFFFFF),
        }
        for name, (bits, colours, corner) in cases.items():
            with self.subTest(name):
                magic, got_bits, got_colours, pixels = decode_bitmap(build(name))
                self.assertEqual((magic, got_bits, got_colours), (b"BM", bits, colours))
                self.assertEqual((len(pixels), len(pixels[0])), (16, 16))
                self.assertEqual(pixels[15][0], corner)

    def test_colour_grid(self):
        _, _, _, pixels = decode_bitmap(build("ColorsEnabled"))
        swatches = [[0xFF0000, 0xFFFF00, 0x0000FF],
                    [0x808080, 0xFFFFFF, 0x000000],
                    [0x00FF00, 0x00FFFF, 0xFF00FF]]
        for row, colours in enumerate(swatches):
            for column, colour in enumerate(colours):
                for dy in range(3):
                    for dx in range(3):
                        self.assertEqual(pixels[3 + 4 * row + dy][3 + 4 * column + dx], colour)
        for line in (2, 6, 10, 14):
            for i in range(2, 15):
                self.assertEqual(pixels[line][i], 0, f"row {line}")
                self.assertEqual(pixels[i][line], 0, f"column {line}")
        self.assertEqual(extent(pixels, 0xC0C0C0), (2, 14, 2, 14))

    def test_disabled_grid_is_grey(self):
        _, _, _, pixels = decode_bitmap(build("ColorsDisabled"))
        for row in pixels:
            for c in row:
                self.assertTrue(c >> 16 == (c >> 8) & 0xFF == c & 0xFF, hex(c))
        self.assertIn(0xFFFFFF, {c for row in pixels for c in row})


class IconTest(unittest.TestCase):
    def test_icon_sizes(self):
        data = build("Quiverdart")
        _, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((kind, count), (1, 2))
        sizes = []
        for i in range(count):
            width, _, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
            _, w, h, _, b = struct.unpack_from("<IiiHH", data, offset)
            colours = read_rows(data, offset + 40, w, h // 2, 32)
            self.assertIn(0xFFFF0000, {c for row in colours for c in row}, "red pixels")
            sizes.append((width, w, h, bits, b))
        self.assertEqual(sizes, [(32, 32, 64, 32, 32), (16, 16, 32, 32, 32)])


class ArtErrorTest(unittest.TestCase):
    def test_rejected_art(self):
        cursor = "kind: cursor\nbits: 1\nhotspot: 0 0\nlegend: . transparent\nlegend: # 000000\n"
        bitmap = "kind: bitmap\nbits: 4\n"
        cases = {
            "no pixels": cursor,
            "ragged rows": cursor + "pixels:\n..\n...\n",
            "character not in the legend": cursor + "pixels:\n.x\n",
            "unknown header line": "colour: red\n" + cursor + "pixels:\n.\n",
            "colour in a monochrome cursor": cursor + "legend: r FF0000\npixels:\nr.\n",
            "transparent bitmap pixel": bitmap + "legend: . transparent\npixels:\n.\n",
            "too many colours": bitmap + "".join(f"legend: {chr(97 + i)} {i:06X}\n" for i in range(17))
            + "pixels:\n" + "".join(chr(97 + i) for i in range(17)) + "\n",
        }
        for name, text in cases.items():
            with self.subTest(name):
                with self.assertRaises(generate.ArtError):
                    header, pictures = generate.parse_art(text, name)
                    generate.MAKERS[header["kind"]][0](header, pictures)


if __name__ == "__main__":
    unittest.main()
