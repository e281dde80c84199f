"""The font-face text dump through the command line, on installed faces.

Unifont's outlines are squares of 1/16 em, so at an em of 16, 32 or 48 pixels it draws the
pictures of unifont.hex at one, two or three times their size: that gives exact expected
rows for the size rules and the row window from real data."""

import unittest

from face_support import (DEJAVU_SANS, UNIFONT_UPPER, draw, dump, face_family, has_ink,
                          pictures, scaled, win_ascent)
from support import attribute, glyph_blocks, main, read_unifont_hex, run

# A, g (descender), the full block (ink on every row and on the left 8 columns) and a
# 16-wide ideograph.
CODES = (0x41, 0x67, 0x2588, 0x56FD)
BLANK16 = [" " * 16] * 16


def window(rows, first, count, width):
    """Rows first .. first+count-1 of a 48-row canvas picture; rows past it are background."""
    return [rows[r] if 0 <= r < len(rows) else " " * width for r in range(first, first + count)]


class UnifontSizeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.hex = read_unifont_hex()

    def test_cell_sizes(self):
        # options, rows written, characters per row, em in pixels
        cases = [
            ((), 16, 16, 16),
            (("-x=16", "-y=16"), 16, 16, 16),
            (("-x=32", "-y=32"), 30, 32, 32),   # 32 is kept as 30; the em stays 32
            (("-x=32", "-y=8"), 8, 32, 32),
            (("-x=48", "-y=48"), 48, 48, 48),
            (("-x=60",), 16, 48, 48),           # capped at 48, the em too
            (("-x=100",), 16, 48, 48),
            (("-x=8", "-y=48"), 48, 8, 48),
            (("-y=-1",), 48, 16, 48),           # negative sizes count as huge
            (("-x=-16", "-y=100"), 48, 48, 48),
        ]
        for options, height, width, em in cases:
            with self.subTest(options=options):
                drawn = draw("Unifont", CODES, *options)
                for code in CODES:
                    expected = scaled(self.hex[code], em // 16, width, height)
                    self.assertEqual(drawn[code], expected, "U+%04X" % code)

    def test_twenty_by_twelve(self):
        # An em of 20 has no exact Unifont picture; the rows must be the top twelve of a
        # 20 x 20 dump, which is drawn at the same em.
        small = dump("Unifont", 0x41, 0x41, "-x=20", "-y=12")[0x41]
        square = dump("Unifont", 0x41, 0x41, "-x=20", "-y=20")[0x41]
        self.assertEqual([len(r) for r in small], [20] * 12)
        self.assertEqual(small, square[:12])
        self.assertTrue(has_ink(small))

    def test_header_keeps_the_uncapped_size(self):
        # options, fontSet attributes, (enlargement, row width) of the rows or None
        cases = [
            (("-x=100",), 'size="100X16" start="A121"', (3, 48)),
            (("-x=2147483647",), 'size="2147483647X16" start="A121"', (3, 48)),
            (("-x=-3",), 'size="-3X16" start="A121"', (3, 48)),
            (("-y=32", "-e=B021"), 'size="16X30" start="B021"', None),  # em 30
        ]
        for options, size, rows in cases:
            with self.subTest(options=options):
                result = run("Unifont", "41", "-h", *options)
                self.assertEqual((result.status, result.err), (0, ""))
                text = result.out.decode()
                self.assertEqual(text.split("\n")[:3], [
                    '<?xml version="1.0" encoding="Shift_JIS"?>',
                    '<gaijiData xml:space="preserve">', "<fontSet %s>" % size])
                self.assertTrue(text.endswith("</fontData>\n</fontSet>\n</gaijiData>\n"))
                drawn = glyph_blocks(text)[0][1]
                if rows:
                    factor, width = rows
                    self.assertEqual(drawn, scaled(self.hex[0x41], factor, width, 16))
                else:
                    self.assertEqual([len(r) for r in drawn], [16] * 30)

    def test_row_window(self):
        # options, em, first canvas row, rows written (None: the sum offset + height
        # wraps, so no rows at all)
        cases = [
            (("-b=4",), 16, 4, 16),
            (("-x=48", "-b=4"), 48, 4, 16),
            (("-x=48", "-b=40"), 48, 40, 16),    # rows 40..47, then background
            (("-x=48", "-b=48"), 48, 48, 16),
            (("-x=48", "-b=2147483647"), 48, 2147483647, 16),
            (("-x=48", "-b=-2147483648"), 48, -2147483648, 16),
            (("-b=-1",), 16, None, 0),
            (("-b=-16",), 16, None, 0),
            (("-b=-17",), 16, -17, 16),          # offset + height no longer wraps
            (("-x=48", "-y=0", "-b=30"), 48, 30, 16),  # height 0 means 16
        ]
        for options, em, first, count in cases:
            with self.subTest(options=options):
                drawn = draw("Unifont", CODES, *options)
                width = 48 if em == 48 else 16
                for code in CODES:
                    canvas = scaled(self.hex[code], em // 16, width, 48)
                    expected = [] if first is None else window(canvas, first, count, width)
                    self.assertEqual(drawn[code], expected, "U+%04X" % code)

    def test_window_matches_a_taller_dump(self):
        # -b moves the window down the same canvas that a 48-row dump shows whole.
        tall = dump("Unifont", 0x2588, 0x2588, "-x=48", "-y=48")[0x2588]
        for offset in (0, 4, 17, 32):
            with self.subTest(offset=offset):
                rows = dump("Unifont", 0x2588, 0x2588, "-x=48", "-b=%d" % offset)[0x2588]
                self.assertEqual(rows, tall[offset:offset + 16])

    def test_background_character(self):
        for option, off in (("-0=.", "."), ("-0=_x", "_"), ("-0=", "\0")):
            with self.subTest(option=option):
                result = run("Unifont", "0", "41", option)
                drawn = pictures(result)
                self.assertEqual(drawn[0x41], [r.replace(" ", off) for r in self.hex[0x41]])
                self.assertEqual(drawn[0], [off * 16] * 16)


class CodeTest(unittest.TestCase):
    def test_codes_that_draw_nothing(self):
        # Only 1..10FFFF are characters; the unicode attribute still names the code whole.
        for code in (0, 0x110000, 0x110041, 0x7FFFFFFF, 0x80000041, 0xFFFFFFFF):
            with self.subTest(code="%X" % code):
                result = run("Unifont", "%X" % code)
                blocks = glyph_blocks(result.out.decode())
                self.assertEqual(len(blocks), 1)
                opening, rows = blocks[0]
                self.assertEqual(opening, '<fontData ebcode="A121" unicode="%X">' % code)
                self.assertEqual(rows, BLANK16)

    def test_codes_above_ffff_draw_their_own_character(self):
        # Unifont Upper maps plane 1 and lacks U+F600; Unifont maps A and lacks U+10041.
        upper = dump(UNIFONT_UPPER, 0xF600, 0xF600)[0xF600]
        smiley = dump(UNIFONT_UPPER, 0x1F600, 0x1F600)[0x1F600]
        self.assertTrue(has_ink(smiley))
        self.assertNotEqual(smiley, upper)
        self.assertNotEqual(dump("Unifont", 0x10041)[0x10041], dump("Unifont", 0x41)[0x41])

    def test_plane_one_against_pillow(self):
        # Pillow's FreeType binding, an independent client, draws Unifont Upper's plane-1
        # glyphs with their baseline 14 pixels down (usWinAscent 56 of 64 units at 16).
        from PIL import Image, ImageDraw, ImageFont
        font = ImageFont.truetype(UNIFONT_UPPER, 16, layout_engine=ImageFont.Layout.BASIC)
        drawn = dump(UNIFONT_UPPER, 0x1F300, 0x1F64F)
        self.assertEqual(len(drawn), 0x350)
        for code, rows in drawn.items():
            image = Image.new("1", (16, 16), 1)
            ImageDraw.Draw(image).text((0, 14), chr(code), font=font, fill=0, anchor="ls")
            expected = ["".join(" #"[image.getpixel((x, y)) == 0] for x in range(16))
                        for y in range(16)]
            self.assertEqual(rows, expected, "U+%X" % code)

    def test_loop_ends_after_the_last_code(self):
        # 7FFFFFFF has no 32-bit successor; the loop must still stop after it.
        cases = [
            (("7FFFFFFE", "7FFFFFFF"), [0x7FFFFFFE, 0x7FFFFFFF]),
            (("7FFFFFFF", "7FFFFFFF"), [0x7FFFFFFF]),
            (("FFFFFFFF", "0"), [0xFFFFFFFF, 0]),   # -1 .. 0, a signed range
            (("50", "41"), []),
        ]
        for codes, expected in cases:
            with self.subTest(codes=codes):
                result = run("Unifont", *codes, "-h", timeout=60)
                self.assertEqual(result.status, 0)
                blocks = glyph_blocks(result.out.decode())
                self.assertEqual([attribute(o, "unicode") for o, _ in blocks],
                                 ["%X" % c for c in expected])
                self.assertEqual([attribute(o, "ebcode") for o, _ in blocks],
                                 ["A121", "A122"][:len(expected)])
                self.assertTrue(result.out.endswith(b"</fontSet>\n</gaijiData>\n"))


class BaselineTest(unittest.TestCase):
    def test_baseline_lies_the_windows_ascent_down(self):
        # DejaVu Sans's H and E stand on the baseline, so their last ink row is the one
        # above it: usWinAscent scaled to the em and rounded, minus one. At these sizes
        # rounding differs from both the floor and FreeType's own (ceiled) ascender.
        win, upem = win_ascent(DEJAVU_SANS)
        self.assertEqual((win, upem), (1901, 2048))
        for em in (11, 12, 13, 17, 24, 35, 47):
            ascent = (2 * win * em + upem) // (2 * upem)
            for code in (0x45, 0x48):
                with self.subTest(em=em, code="%X" % code):
                    rows = dump("DejaVu Sans", code, code, "-x=%d" % em, "-y=%d" % em)[code]
                    ink = [r for r, row in enumerate(rows) if "#" in row]
                    self.assertEqual(ink[-1], ascent - 1)


class FaceLookupTest(unittest.TestCase):
    def test_names(self):
        # name, face it must draw like, notice on stderr
        stranger = "NoSuchFaceKarvex"
        cases = [
            ("unifont", "Unifont", ""),
            ("UNIFONT", "Unifont", ""),
            ("IPAゴシック", "IPAGothic", ""),          # a localised family name
            (DEJAVU_SANS, "DejaVu Sans", ""),          # a font file by its path
            (stranger, face_family(stranger),
             'karvex: no face named "%s"; using "%s"\n' % (stranger, face_family(stranger))),
            ("/usr/share/unifont/plane00-combining.txt", face_family("/nonexistent"),
             'karvex: no face named "/usr/share/unifont/plane00-combining.txt"; using "%s"\n'
             % face_family("/nonexistent")),
        ]
        for name, like, notice in cases:
            with self.subTest(name=name):
                result = run(name, "41", "5A", "-x=24", "-y=24")
                reference = run(like, "41", "5A", "-x=24", "-y=24")
                self.assertEqual((result.status, result.err), (0, notice))
                self.assertEqual((reference.status, reference.err), (0, ""))
                self.assertEqual(result.out, reference.out)
                self.assertTrue(all(has_ink(rows) for rows in pictures(result).values()))

    def test_faces_differ(self):
        # The lookup really picks the named face: three families, three different A's.
        faces = ("Unifont", "DejaVu Sans", "IPAGothic")
        drawn = [tuple(dump(face, 0x41, 0x41, "-x=24", "-y=24")[0x41]) for face in faces]
        self.assertEqual(len(set(drawn)), 3)


if __name__ == "__main__":
    main()
