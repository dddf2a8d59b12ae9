"""Checks of the committed installer artwork (res/art/).

Run from the repository root:
    python3 -m unittest discover -s tests/art -v
The repository root may also be given in CORVANE_SOURCE_DIR.
"""

import filecmp
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("CORVANE_SOURCE_DIR") or os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
ART = os.path.join(ROOT, "res", "art")
GENERATOR = os.path.join(ROOT, "tools", "art", "generate-art")

PAGE_W, PAGE_H = 756, 422
PAGE_STRIDE = PAGE_W * 3
BMP_FILE_SIZE = 957150
BMP_RESOURCE_SIZE = 957136          # what windres embeds: the file less its 14-byte header
BMP_PIXEL_BYTES = 957096

YELLOW = (240, 199, 59)
RED = (158, 43, 30)
NAVY = (3, 6, 26)

GENERATED = ["page%d.bmp" % n for n in range(1, 6)] + [
    "icon135.grp", "icon135-1.bin",
    "cursor143.grp", "cursor143-2.bin", "cursor143-3.bin"]

BITMAPINFOHEADER = "<IiiHHIIiiII"
INFO_FIELDS = ("biSize", "biWidth", "biHeight", "biPlanes", "biBitCount", "biCompression",
               "biSizeImage", "biXPelsPerMeter", "biYPelsPerMeter", "biClrUsed", "biClrImportant")


def read(name):
    with open(os.path.join(ART, name), "rb") as f:
        return f.read()


def info_header(data, offset):
    return dict(zip(INFO_FIELDS, struct.unpack_from(BITMAPINFOHEADER, data, offset)))


def close(colour, want, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, want))


class Page:
    """A decoded page BMP: top-down rows of BGR bytes."""

    _cache = {}

    @classmethod
    def load(cls, number):
        if number not in cls._cache:
            cls._cache[number] = cls(read("page%d.bmp" % number))
        return cls._cache[number]

    def __init__(self, data):
        self.data = data
        pixels = data[54:]
        # bottom-up file rows -> top-down list
        self.rows = [pixels[(PAGE_H - 1 - y) * PAGE_STRIDE:(PAGE_H - y) * PAGE_STRIDE]
                     for y in range(PAGE_H)]

    def rgb(self, x, y):
        b, g, r = self.rows[y][3 * x:3 * x + 3]
        return (r, g, b)

    def ink_span(self, y, x0=0, x1=PAGE_W - 1):
        """(first, last) non-white column of row y within x0..x1, or None."""
        seg = self.rows[y][3 * x0:3 * (x1 + 1)]
        left = len(seg) - len(seg.lstrip(b"\xff"))
        if left == len(seg):
            return None
        right = len(seg.rstrip(b"\xff")) - 1
        return (x0 + left // 3, x0 + right // 3)

    def ink_rows(self, y0, y1, x0=0, x1=PAGE_W - 1):
        return [y for y in range(y0, y1 + 1) if self.ink_span(y, x0, x1)]

    def band(self, y0, y1):
        return b"".join(self.rows[y0:y1 + 1])

    def count(self, predicate, y0, y1, x0=0, x1=PAGE_W - 1):
        return sum(1 for y in range(y0, y1 + 1) if self.ink_span(y, x0, x1)
                   for x in range(x0, x1 + 1) if predicate(self.rgb(x, y)))


class BitmapFileTests(unittest.TestCase):
    FILE_HEADER = [  # (field, struct format, offset, expected)
        ("bfType", "2s", 0, b"BM"),
        ("bfSize", "I", 2, BMP_FILE_SIZE),
        ("bfReserved1", "H", 6, 0),
        ("bfReserved2", "H", 8, 0),
        ("bfOffBits", "I", 10, 54),
    ]
    INFO = {"biSize": 40, "biWidth": PAGE_W, "biHeight": PAGE_H, "biPlanes": 1,
            "biBitCount": 24, "biCompression": 0, "biSizeImage": BMP_PIXEL_BYTES,
            "biXPelsPerMeter": 0, "biYPelsPerMeter": 0, "biClrUsed": 0, "biClrImportant": 0}

    def test_sizes(self):
        for n in range(1, 6):
            with self.subTest(page=n):
                data = read("page%d.bmp" % n)
                self.assertEqual(len(data), BMP_FILE_SIZE)
                self.assertEqual(len(data) - 14, BMP_RESOURCE_SIZE)
                self.assertEqual(len(data) - 54, BMP_PIXEL_BYTES)
                self.assertEqual(PAGE_STRIDE % 4, 0, "rows need no padding")

    def test_file_header(self):
        for n in range(1, 6):
            data = read("page%d.bmp" % n)
            for field, fmt, offset, want in self.FILE_HEADER:
                with self.subTest(page=n, field=field):
                    self.assertEqual(struct.unpack_from("<" + fmt, data, offset)[0], want)

    def test_info_header(self):
        for n in range(1, 6):
            info = info_header(read("page%d.bmp" % n), 14)
            for field, want in self.INFO.items():
                with self.subTest(page=n, field=field):
                    self.assertEqual(info[field], want)


class IconTests(unittest.TestCase):
    def test_group(self):
        grp = read("icon135.grp")
        self.assertEqual(len(grp), 6 + 14)
        self.assertEqual(struct.unpack_from("<HHH", grp, 0), (0, 1, 1))
        entry = struct.unpack_from("<BBBBHHIH", grp, 6)
        fields = ("bWidth", "bHeight", "bColorCount", "bReserved", "wPlanes",
                  "wBitCount", "dwBytesInRes", "nID")
        want = (48, 30, 0, 0, 1, 24, 4600, 1)
        for field, got, expected in zip(fields, entry, want):
            with self.subTest(field=field):
                self.assertEqual(got, expected)
        self.assertEqual(entry[6], len(read("icon135-1.bin")))

    def test_image_header(self):
        data = read("icon135-1.bin")
        self.assertEqual(len(data), 4600)
        info = info_header(data, 0)
        want = {"biSize": 40, "biWidth": 48, "biHeight": 60, "biPlanes": 1, "biBitCount": 24,
                "biCompression": 0, "biSizeImage": 4560, "biClrUsed": 0, "biClrImportant": 0}
        for field, expected in want.items():
            with self.subTest(field=field):
                self.assertEqual(info[field], expected)
        self.assertEqual(40 + 30 * 144 + 30 * 8, len(data))

    def pixels(self):
        data = read("icon135-1.bin")
        rows = [data[40 + (29 - y) * 144:40 + (30 - y) * 144] for y in range(30)]
        return [[tuple(reversed(r[3 * x:3 * x + 3])) for x in range(48)] for r in rows]

    def test_and_mask_all_zero(self):
        mask = read("icon135-1.bin")[40 + 30 * 144:]
        self.assertEqual(len(mask), 30 * 8)
        self.assertEqual(mask, bytes(len(mask)))

    def test_yellow_arc_on_white(self):
        px = self.pixels()
        for x, y in [(0, 0), (47, 0), (0, 29), (47, 29), (24, 29)]:
            with self.subTest(corner=(x, y)):
                self.assertEqual(px[y][x], (255, 255, 255))
        yellow = [(x, y) for y in range(30) for x in range(48) if close(px[y][x], YELLOW, 6)]
        self.assertGreater(len(yellow), 60, "solid logo yellow in the arc")
        xs = [x for x, _ in yellow]
        self.assertLess(min(xs), 12, "the arc sweeps across the icon")
        self.assertGreater(max(xs), 36, "the arc sweeps across the icon")
        # an arc: yellow at the top in the middle, not at the bottom in the middle
        self.assertTrue(any(close(px[y][24], YELLOW, 6) for y in range(0, 10)))
        self.assertFalse(any(close(px[y][24], YELLOW, 30) for y in range(20, 30)))


class CursorTests(unittest.TestCase):
    IMAGES = [  # (file, size, byte count, hot spot, resource id)
        ("cursor143-2.bin", 48, 9644, (9, 0), 2),
        ("cursor143-3.bin", 32, 4268, (4, 0), 3),
    ]

    def test_group(self):
        grp = read("cursor143.grp")
        self.assertEqual(len(grp), 6 + 2 * 14)
        self.assertEqual(struct.unpack_from("<HHH", grp, 0), (0, 2, 2))
        for i, (name, size, count, _hot, nid) in enumerate(self.IMAGES):
            with self.subTest(entry=i):
                entry = struct.unpack_from("<HHHHIH", grp, 6 + 14 * i)
                self.assertEqual(entry, (size, 2 * size, 1, 32, count, nid))
                self.assertEqual(len(read(name)), count)

    def decode(self, name, size):
        data = read(name)
        hot = struct.unpack_from("<HH", data, 0)
        info = info_header(data, 4)
        xor = data[44:44 + size * size * 4]
        rows = [xor[(size - 1 - y) * size * 4:(size - y) * size * 4] for y in range(size)]
        pixels = [[(r[4 * x + 2], r[4 * x + 1], r[4 * x], r[4 * x + 3]) for x in range(size)]
                  for r in rows]
        stride = ((size + 31) // 32) * 4
        mask = data[44 + size * size * 4:]
        bits = [[bool(mask[(size - 1 - y) * stride + (x >> 3)] & (0x80 >> (x & 7)))
                 for x in range(size)] for y in range(size)]
        return hot, info, pixels, mask, bits

    def test_images(self):
        for name, size, count, hot_want, _nid in self.IMAGES:
            hot, info, px, mask, bits = self.decode(name, size)
            with self.subTest(image=name, check="header"):
                want = {"biSize": 40, "biWidth": size, "biHeight": 2 * size, "biPlanes": 1,
                        "biBitCount": 32, "biCompression": 0, "biSizeImage": 0,
                        "biClrUsed": 0, "biClrImportant": 0}
                self.assertEqual({k: info[k] for k in want}, want)
                self.assertEqual(4 + 40 + size * size * 4 + len(mask), count)
                self.assertEqual(len(mask), size * ((size + 31) // 32) * 4)
            with self.subTest(image=name, check="AND mask set exactly where alpha is 0"):
                wrong = [(x, y) for y in range(size) for x in range(size)
                         if bits[y][x] != (px[y][x][3] == 0)]
                self.assertEqual(wrong, [])
                stride = ((size + 31) // 32) * 4
                for row in range(size):   # padding bits of each mask row stay clear
                    pad = mask[row * stride + size // 8:(row + 1) * stride]
                    self.assertEqual(pad, bytes(len(pad)))
            with self.subTest(image=name, check="hot spot"):
                self.assertEqual(hot, hot_want)
                hx, hy = hot
                self.assertGreater(px[hy][hx][3], 128, "hot spot lies on the finger tip")
                top = [y for y in range(size) if any(p[3] for p in px[y])][0]
                self.assertEqual(top, hy, "nothing above the finger tip")
                row = [p[3] for p in px[hy]]
                ink = [x for x in range(size) if row[x] > 128]
                self.assertLessEqual(max(ink) - min(ink), 4, "a single narrow tip at the top")
                self.assertIn(hx, ink)
            with self.subTest(image=name, check="colours"):
                opaque = [p for r in px for p in r if p[3] == 255]
                self.assertTrue(any(close(p, NAVY, 4) for p in opaque), "navy outline")
                self.assertTrue(any(p[:3] == (255, 255, 255) for p in opaque), "white highlight")
                self.assertTrue(any(200 <= p[0] < 245 and abs(p[0] - p[2]) < 20
                                    for p in opaque), "light grey shading")
                soft = [p for r in px for p in r if 0 < p[3] < 255]
                self.assertGreater(len(soft), size, "anti-aliased edge")
                self.assertTrue(all(p == (0, 0, 0, 0) for r in px for p in r if p[3] == 0))
                for x, y in [(size - 1, 0), (size - 1, size // 3)]:
                    self.assertEqual(px[y][x][3], 0, "background transparent at %r" % ((x, y),))


class PageLayoutTests(unittest.TestCase):
    CUE_BAND = (386, 410)          # pasted from one render onto pages 1-4
    CUE_ROWS = (392, 403)
    CUE_RIGHT = 732
    LOGO_BAND = (0, 245)

    # Where each page may have ink: (rows, columns) boxes; everything else white.
    BOXES = {
        1: [((25, 239), None), ((260, 311), None), ((338, 355), None), ((392, 403), None)],
        2: [((38, 86), None), ((107, 314), (206, 574)), ((392, 403), None)],
        3: [((146, 242), None), ((392, 403), None)],
        4: [((27, 191), None), ((210, 373), (249, 497)), ((392, 403), None)],
        5: [((25, 239), None), ((255, 289), None), ((301, 334), None), ((347, 380), None)],
    }
    # Rows that must hold ink (each box is used): one row in each.
    MUST_HAVE_INK = {
        1: [(260, 311), (338, 355)],
        2: [(38, 86), (107, 314)],
        3: [(146, 242)],
        4: [(27, 191), (210, 373)],
        5: [(255, 289), (301, 334), (347, 380)],
    }

    def test_white_edges(self):
        for n in range(1, 6):
            page = Page.load(n)
            with self.subTest(page=n):
                self.assertEqual(page.rgb(0, 0), (255, 255, 255))
                self.assertEqual(page.rgb(PAGE_W - 1, PAGE_H - 1), (255, 255, 255))
                self.assertIsNone(page.ink_span(0))
                self.assertIsNone(page.ink_span(PAGE_H - 1))
                for y in range(PAGE_H):
                    self.assertEqual(page.rgb(0, y), (255, 255, 255), "left edge row %d" % y)
                    self.assertEqual(page.rgb(PAGE_W - 1, y), (255, 255, 255),
                                     "right edge row %d" % y)

    def test_content_inside_boxes(self):
        for n, boxes in self.BOXES.items():
            page = Page.load(n)
            for y in range(PAGE_H):
                span = page.ink_span(y)
                if span is None:
                    continue
                inside = any(r0 <= y <= r1 and (cols is None or cols[0] <= span[0] and span[1] <= cols[1])
                             for (r0, r1), cols in boxes)
                with self.subTest(page=n, row=y):
                    self.assertTrue(inside, "ink at columns %d-%d outside the boxes" % span)
            for r0, r1 in self.MUST_HAVE_INK[n]:
                with self.subTest(page=n, rows=(r0, r1)):
                    self.assertTrue(page.ink_rows(r0, r1), "box left empty")

    def test_next_cue_identical_on_pages_1_to_4(self):
        y0, y1 = self.CUE_BAND
        first = Page.load(1).band(y0, y1)
        for n in (2, 3, 4):
            with self.subTest(page=n):
                self.assertEqual(Page.load(n).band(y0, y1), first)

    def test_next_cue_placement(self):
        page = Page.load(1)
        rows = page.ink_rows(*self.CUE_BAND)
        self.assertEqual((min(rows), max(rows)), self.CUE_ROWS)
        right = max(page.ink_span(y)[1] for y in rows)
        left = min(page.ink_span(y)[0] for y in rows)
        self.assertLessEqual(right, self.CUE_RIGHT)
        self.assertGreaterEqual(right, self.CUE_RIGHT - 4, "right-aligned to the margin")
        self.assertGreater(left, PAGE_W // 2, "a short line on the right")
        dark = page.count(lambda c: max(c) < 60, *self.CUE_ROWS)
        self.assertGreater(dark, 100, "black text")

    def test_no_cue_on_page_5(self):
        page = Page.load(5)
        self.assertEqual(page.ink_rows(381, PAGE_H - 1), [], "rows 381-421 stay white")

    def test_logo_block_shared_by_pages_1_and_5(self):
        y0, y1 = self.LOGO_BAND
        self.assertEqual(Page.load(1).band(y0, y1), Page.load(5).band(y0, y1))
        page = Page.load(1)
        rows = page.ink_rows(y0, y1)
        self.assertGreaterEqual(min(rows), 25)
        self.assertLessEqual(max(rows), 239)
        yellow = page.count(lambda c: close(c, YELLOW, 4), 25, 239)
        self.assertGreater(yellow, 2000, "the yellow arc")
        wordmark = page.count(lambda c: max(c) < 90, 25, 239)
        self.assertGreater(wordmark, 1500, "the dark wordmark")

    def test_important_in_red(self):
        cases = [  # (page, rows where IMPORTANT stands, expected)
            (1, (338, 355), True),
            (4, (27, 191), True),
            (2, (0, PAGE_H - 1), False),
            (3, (0, PAGE_H - 1), False),
            (5, (0, PAGE_H - 1), False),
        ]
        for n, (y0, y1), expected in cases:
            with self.subTest(page=n):
                red = Page.load(n).count(lambda c: c == RED, y0, y1)
                if expected:
                    self.assertGreater(red, 40)
                else:
                    self.assertEqual(red, 0)

    def test_text_is_black(self):
        text_rows = {1: (260, 311), 2: (38, 86), 3: (146, 242), 4: (27, 191), 5: (255, 380)}
        for n, (y0, y1) in text_rows.items():
            with self.subTest(page=n):
                self.assertGreater(Page.load(n).count(lambda c: c == (0, 0, 0), y0, y1), 300)

    def test_page4_picture_blue_ground(self):
        page = Page.load(4)
        blue = page.count(lambda c: c[2] > c[0] + 80 and c[2] > 120, 210, 373, 249, 497)
        self.assertGreater(blue, 15000, "blue ground fills most of the picture")
        grey = page.count(lambda c: abs(c[0] - c[2]) < 16 and 110 < c[0] < 235, 210, 373, 249, 497)
        self.assertGreater(grey, 4000, "grey printer body")

    def test_page2_prompt_drawing(self):
        page = Page.load(2)
        rows = page.ink_rows(100, 330)
        self.assertEqual((min(rows) >= 107, max(rows) <= 314), (True, True))
        spans = [page.ink_span(y) for y in rows]
        left, right = min(s[0] for s in spans), max(s[1] for s in spans)
        self.assertGreater(right - left, 300, "a window of a readable size")
        self.assertLessEqual(abs((left + right) / 2 - PAGE_W / 2), 3, "centred under the text")


class GeneratorTests(unittest.TestCase):
    @unittest.skipIf(shutil.which("rsvg-convert") is None,
                     "rsvg-convert (Debian package librsvg2-bin) is not installed")
    def test_generator_reproduces_committed_files(self):
        with tempfile.TemporaryDirectory() as out:
            run = subprocess.run([sys.executable, GENERATOR, out, "--no-preview"],
                                 capture_output=True, text=True)
            self.assertEqual(run.returncode, 0, run.stderr)
            for name in GENERATED:
                with self.subTest(file=name):
                    same = filecmp.cmp(os.path.join(out, name), os.path.join(ART, name),
                                       shallow=False)
                    self.assertTrue(same, "%s differs from a fresh render\n%s"
                                    % (name, run.stderr))


if __name__ == "__main__":
    unittest.main()
