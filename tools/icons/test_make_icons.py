"""Checks the committed icons in res/icons/ and the generator's --check mode.

The .ico files are read with a parser of their own here, not with the
generator's writer, so a mistake in the writer shows up as a failure.

Run: /usr/bin/python3 -m unittest discover -s tools/icons -p 'test_*.py'
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO_ROOT = os.path.dirname(os.path.dirname(HERE))
ICON_DIR = os.path.join(REPO_ROOT, "res", "icons")
GENERATOR = os.path.join(HERE, "make_icons.py")
ICON_FILES = ("running.ico", "stopped.ico", "small.ico")

EXPECTED_LAYOUT = {
    "running.ico": [(56, 32)],
    "stopped.ico": [(56, 32)],
    "small.ico": [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32)],
}


class Entry:
    """One ICONDIRENTRY and the image it points at, decoded."""

    def __init__(self, raw, data):
        (self.width, self.height, self.colour_count, self.reserved, self.planes,
         self.bit_count, self.bytes_in_res, self.offset) = struct.unpack("<BBBBHHII", raw)
        self.data = data[self.offset:self.offset + self.bytes_in_res]
        (self.bi_size, self.bi_width, self.bi_height, self.bi_planes, self.bi_bit_count,
         self.bi_compression, self.bi_size_image, _, _, self.bi_clr_used,
         _) = struct.unpack("<IiiHHIIiiII", self.data[:40])
        self.size = self.bi_width
        bits = self.bi_bit_count
        colours = 0 if bits == 32 else (self.bi_clr_used or 1 << bits)
        self.palette_bytes = 4 * colours
        self.xor_stride = (self.size * bits + 31) // 32 * 4
        self.and_stride = (self.size + 31) // 32 * 4
        self.xor_bytes = self.xor_stride * self.size
        self.and_bytes = self.and_stride * self.size
        palette = [tuple(self.data[40 + 4 * i:40 + 4 * i + 4]) for i in range(colours)]
        xor_start = 40 + self.palette_bytes
        and_start = xor_start + self.xor_bytes
        # pixels[y][x] = (R, G, B, A) top-down; transparent[y][x] from the AND mask.
        # Palette images have no alpha channel: A is 255 there.
        self.pixels = []
        self.transparent = []
        self.indices = []
        for y in range(self.size):
            row_from_bottom = self.size - 1 - y
            xor_row = self.data[xor_start + row_from_bottom * self.xor_stride:][:self.xor_stride]
            and_row = self.data[and_start + row_from_bottom * self.and_stride:][:self.and_stride]
            pixels = []
            indices = []
            for x in range(self.size):
                if bits == 32:
                    b, g, r, a = xor_row[4 * x:4 * x + 4]
                    index = None
                else:
                    if bits == 8:
                        index = xor_row[x]
                    else:
                        byte = xor_row[x // 2]
                        index = byte >> 4 if x % 2 == 0 else byte & 0x0F
                    b, g, r, _ = palette[index]
                    a = 255
                pixels.append((r, g, b, a))
                indices.append(index)
            self.pixels.append(pixels)
            self.indices.append(indices)
            self.transparent.append([bool(and_row[x // 8] & (0x80 >> (x % 8)))
                                     for x in range(self.size)])

    def opaque(self, x, y):
        """Whether the pixel shows: alpha for 32-bit images, the mask otherwise."""
        if self.bit_count == 32:
            return self.pixels[y][x][3] > 0
        return not self.transparent[y][x]


def parse_ico(data):
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    return [Entry(data[6 + 16 * i:22 + 16 * i], data) for i in range(count)]


def read_icon(name, folder=ICON_DIR):
    with open(os.path.join(folder, name), "rb") as f:
        data = f.read()
    return data, parse_ico(data)


def run_generator(*args):
    return subprocess.run([sys.executable, GENERATOR] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class IconFileStructureTest(unittest.TestCase):
    """The container: directory, entries and bitmap headers."""

    def test_images_have_the_expected_sizes_and_depths_in_order(self):
        for name in ICON_FILES:
            with self.subTest(name=name):
                _, entries = read_icon(name)
                self.assertEqual([(e.width, e.bit_count) for e in entries], EXPECTED_LAYOUT[name])
                for e in entries:
                    self.assertEqual(e.height, e.width)
                    self.assertEqual((e.bi_width, e.bi_height), (e.width, 2 * e.width))

    def test_directory_entries_describe_the_images(self):
        for name in ICON_FILES:
            with self.subTest(name=name):
                _, entries = read_icon(name)
                for e in entries:
                    self.assertEqual(e.colour_count, 16 if e.bit_count == 4 else 0)
                    self.assertEqual(e.reserved, 0)
                    self.assertEqual(e.planes, 1)

    def test_images_tile_the_file_exactly(self):
        for name in ICON_FILES:
            with self.subTest(name=name):
                data, entries = read_icon(name)
                expected_offset = 6 + 16 * len(entries)
                for e in entries:
                    self.assertEqual(e.offset, expected_offset)
                    expected_offset += e.bytes_in_res
                self.assertEqual(expected_offset, len(data))

    def test_bitmap_headers_match_their_entries(self):
        for name in ICON_FILES:
            _, entries = read_icon(name)
            for n, e in enumerate(entries):
                with self.subTest(name=name, image=n):
                    self.assertEqual(e.bi_size, 40)
                    self.assertEqual(e.bi_planes, 1)
                    self.assertEqual(e.bi_bit_count, e.bit_count)
                    self.assertEqual(e.bi_compression, 0)
                    if e.bit_count == 32:
                        self.assertEqual(e.bi_clr_used, 0)
                    else:
                        self.assertIn(e.bi_clr_used, (0, 1 << e.bit_count))
                    self.assertEqual(e.bi_size_image, e.xor_bytes + e.and_bytes)
                    self.assertEqual(e.bytes_in_res,
                                     40 + e.palette_bytes + e.xor_bytes + e.and_bytes)


class IconPixelsTest(unittest.TestCase):
    """What the images show."""

    @classmethod
    def setUpClass(cls):
        cls.icons = {name: read_icon(name)[1] for name in ICON_FILES}

    def all_images(self):
        for name in ICON_FILES:
            for n, e in enumerate(self.icons[name]):
                yield name, n, e

    def test_corners_are_transparent_and_the_centre_is_opaque(self):
        for name, n, e in self.all_images():
            with self.subTest(name=name, image=n):
                last = e.size - 1
                for x, y in ((0, 0), (last, 0), (0, last), (last, last)):
                    self.assertFalse(e.opaque(x, y), (x, y))
                    self.assertTrue(e.transparent[y][x], (x, y))
                c = e.size // 2
                self.assertTrue(e.opaque(c, c))
                self.assertFalse(e.transparent[c][c])

    def test_shield_stands_upright(self):
        # Rows are stored bottom-up; read the wrong way, the point is on top.
        for name, n, e in self.all_images():
            with self.subTest(name=name, image=n):
                def width(y):
                    return sum(e.opaque(x, y) for x in range(e.size))
                self.assertGreater(width(int(e.size * 0.2)), width(int(e.size * 0.9)) + e.size // 4)

    def test_mask_agrees_with_alpha_in_32_bit_images(self):
        for name, n, e in self.all_images():
            if e.bit_count != 32:
                continue
            with self.subTest(name=name, image=n):
                for y in range(e.size):
                    for x in range(e.size):
                        self.assertEqual(e.transparent[y][x], e.pixels[y][x][3] == 0, (x, y))

    def test_masked_palette_pixels_are_black(self):
        # Under a set mask bit the colour is XORed onto the screen: it must be 0.
        for name, n, e in self.all_images():
            if e.bit_count == 32:
                continue
            with self.subTest(name=name, image=n):
                for y in range(e.size):
                    for x in range(e.size):
                        if e.transparent[y][x]:
                            self.assertEqual(e.pixels[y][x][:3], (0, 0, 0), (x, y))

    def test_stopped_icon_is_grey_where_it_shows(self):
        (stopped,) = self.icons["stopped.ico"]
        shown = 0
        for row in stopped.pixels:
            for (r, g, b, a) in row:
                if a > 0:
                    shown += 1
                    self.assertTrue(r == g == b, (r, g, b))
        self.assertGreater(shown, stopped.size * stopped.size // 2)

    def test_colour_images_have_colour(self):
        for name, n, e in self.all_images():
            if name == "stopped.ico":
                continue
            with self.subTest(name=name, image=n):
                shown = [e.pixels[y][x] for y in range(e.size) for x in range(e.size)
                         if e.opaque(x, y)]
                vivid = [p for p in shown if max(p[:3]) - min(p[:3]) >= 60]
                # outline and rim are neutral; the body and chip are not
                self.assertGreater(len(vivid), len(shown) // 3)

    def test_colour_emblem_is_a_blue_shield_with_a_gold_chip(self):
        for name, n, e in self.all_images():
            if name == "stopped.ico":
                continue
            with self.subTest(name=name, image=n):
                c = e.size // 2
                r, g, b, _ = e.pixels[c][c]            # the chip
                self.assertGreater(r, b + 60)
                self.assertGreater(g, b + 30)
                below = int(e.size * 0.8)              # the shield under the chip
                r, g, b, _ = e.pixels[below][c]
                self.assertGreater(b, r + 60)

    def test_running_and_stopped_share_one_silhouette(self):
        (running,) = self.icons["running.ico"]
        (stopped,) = self.icons["stopped.ico"]
        self.assertEqual(running.size, stopped.size)
        for y in range(running.size):
            for x in range(running.size):
                self.assertEqual(running.pixels[y][x][3] > 0, stopped.pixels[y][x][3] > 0, (x, y))

    def test_stopped_icon_is_the_running_one_lighter_and_flatter(self):
        # Each grey follows the running pixel's luminance: a lighter colour
        # never turns into a darker grey, and the greys span a narrower range.
        (running,) = self.icons["running.ico"]
        (stopped,) = self.icons["stopped.ico"]
        pairs = []
        for y in range(running.size):
            for x in range(running.size):
                r, g, b, a = running.pixels[y][x]
                if a > 0:
                    pairs.append((299 * r + 587 * g + 114 * b, stopped.pixels[y][x][0]))
        pairs.sort()
        greys = [grey for _, grey in pairs]
        for darker, lighter in zip(greys, greys[1:]):
            self.assertLessEqual(darker, lighter)
        luma_span = (pairs[-1][0] - pairs[0][0]) / 1000.0
        self.assertLess(max(greys) - min(greys), luma_span * 0.8)
        self.assertGreater(min(greys), pairs[0][0] / 1000.0 + 40)

    def test_all_depths_of_a_size_share_one_silhouette(self):
        small = self.icons["small.ico"]
        for size in (16, 32, 48):
            images = [e for e in small if e.size == size]
            with self.subTest(size=size):
                self.assertGreaterEqual(len(images), 2)
                masks = [[[not e.transparent[y][x] for x in range(size)] for y in range(size)]
                         for e in images if e.bit_count != 32]
                for e in images:
                    if e.bit_count == 32:
                        masks.append([[e.pixels[y][x][3] >= 128 for x in range(size)]
                                      for y in range(size)])
                for other in masks[1:]:
                    self.assertEqual(other, masks[0])

    def test_palette_images_show_the_same_picture_as_the_32_bit_ones(self):
        # Sorted into gold, light and dark, the pixels of a palette image agree
        # with the 32-bit image of its size but for a few anti-aliased edges.
        def kind(p):
            r, g, b = p[:3]
            if r > b + 60:
                return "gold"
            return "light" if 299 * r + 587 * g + 114 * b >= 110000 else "dark"

        small = self.icons["small.ico"]
        for e in small:
            if e.bit_count == 32:
                continue
            (full,) = [f for f in small if f.size == e.size and f.bit_count == 32]
            with self.subTest(size=e.size, bits=e.bit_count):
                shown = [(x, y) for y in range(e.size) for x in range(e.size) if e.opaque(x, y)]
                differ = [(x, y) for (x, y) in shown
                          if kind(e.pixels[y][x]) != kind(full.pixels[y][x])]
                self.assertLess(len(differ), len(shown) * 0.08, differ)

    def test_palette_images_use_more_than_a_handful_of_colours(self):
        for name, n, e in self.all_images():
            if e.bit_count == 32:
                continue
            with self.subTest(name=name, image=n):
                used = {e.indices[y][x] for y in range(e.size) for x in range(e.size)
                        if not e.transparent[y][x]}
                self.assertGreaterEqual(len(used), 4)


class GeneratorCheckTest(unittest.TestCase):
    """make_icons.py --check guards the committed icons."""

    def test_committed_icons_are_what_the_generator_makes(self):
        result = run_generator("--check")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_check_names_a_changed_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, "icons")
            shutil.copytree(ICON_DIR, copy)
            self.assertEqual(run_generator("--check", "--out", copy).returncode, 0)

            path = os.path.join(copy, "small.ico")
            with open(path, "r+b") as f:
                f.seek(200)
                byte = f.read(1)
                f.seek(200)
                f.write(bytes((byte[0] ^ 0x01,)))
            result = run_generator("--check", "--out", copy)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("small.ico", result.stderr)
            self.assertNotIn("running.ico", result.stderr)

    def test_check_names_a_missing_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, "icons")
            shutil.copytree(ICON_DIR, copy)
            os.remove(os.path.join(copy, "stopped.ico"))
            result = run_generator("--check", "--out", copy)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("stopped.ico", result.stderr)

    def test_writing_twice_gives_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as tmp:
            first = os.path.join(tmp, "first")
            second = os.path.join(tmp, "second")
            for folder in (first, second):
                result = run_generator("--out", folder)
                self.assertEqual(result.returncode, 0, result.stderr)
            for name in ICON_FILES:
                with self.subTest(name=name):
                    with open(os.path.join(first, name), "rb") as a, \
                            open(os.path.join(second, name), "rb") as b:
                        self.assertEqual(a.read(), b.read())


if __name__ == "__main__":
    unittest.main()
