"""The font-face text dump on installed faces: what takes real pixels (the size rules on
real glyphs, the baseline, codes above FFFF, face lookup). The window arithmetic itself is
pinned with a fake rasteriser in face_output_test.cc.

Unifont's outlines are squares of 1/16 em, so at an em of 16, 32 or 48 pixels it draws the
pictures of unifont.hex at one, two or three times their size: exact expected rows."""

import unittest

from face_support import DEJAVU_SANS, UNIFONT_UPPER, dump, face_family, has_ink, pictures, \
    scaled, win_ascent
from support import glyph_blocks, main, read_unifont_hex, run

# A, g (descender), the full block (ink on every row) and a 16-wide ideograph.
CODES = (0x41, 0x67, 0x2588, 0x56FD)


class UnifontSizeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.hex = read_unifont_hex()

    def test_size_rules(self):
        # options, fontSet size, (enlargement, first canvas row, rows, columns) of the
        # 48 x 48 canvas shown; None: the row offset plus the height wraps, no rows at all
        cases = [
            ((), "16X16", (1, 0, 16, 16)),
            (("-x=32", "-y=32"), "32X30", (2, 0, 30, 32)),   # 32 is kept as 30; the em stays 32
            (("-x=60",), "60X16", (3, 0, 16, 48)),           # capped at 48, the em too
            (("-x=100",), "100X16", (3, 0, 16, 48)),
            (("-x=-3",), "-3X16", (3, 0, 16, 48)),           # negative sizes count as huge
            (("-x=8", "-y=48"), "8X48", (3, 0, 48, 8)),
            (("-b=4",), "16X16", (1, 4, 16, 16)),
            (("-x=48", "-b=40"), "48X16", (3, 40, 16, 48)),  # rows past the canvas: background
            (("-b=-1",), "16X16", None),
        ]
        for options, size, window in cases:
            for code in CODES:
                with self.subTest(options=options, code="%X" % code):
                    result = run("Unifont", "%X" % code, "-h", *options)
                    self.assertEqual((result.status, result.err), (0, ""))
                    text = result.out.decode()
                    self.assertIn('\n<fontSet size="%s" start="A121">\n' % size, text)
                    expected = []
                    if window:
                        factor, first, count, width = window
                        canvas = scaled(self.hex[code], factor, width, 48) + [" " * width] * 48
                        expected = canvas[first:first + count]
                    self.assertEqual(glyph_blocks(text)[0][1], expected)

    def test_twenty_by_twelve(self):
        # An em of 20 has no exact Unifont picture: the top twelve rows of a 20 x 20 dump.
        small = dump("Unifont", 0x41, 0x41, "-x=20", "-y=12")[0x41]
        square = dump("Unifont", 0x41, 0x41, "-x=20", "-y=20")[0x41]
        self.assertEqual([len(r) for r in small], [20] * 12)
        self.assertEqual(small, square[:12])
        self.assertTrue(has_ink(small))

    def test_background_character_and_blank_codes(self):
        # Only 1..10FFFF are characters; the unicode attribute still names the code whole.
        self.assertEqual(dump("Unifont", 0x41, 0x41, "-0=.")[0x41],
                         [r.replace(" ", ".") for r in self.hex[0x41]])
        for code in (0, 0x110000, 0xFFFFFFFF):
            with self.subTest(code="%X" % code):
                result = run("Unifont", "%X" % code, "-0=.")
                self.assertEqual(glyph_blocks(result.out.decode()), [
                    ('<fontData ebcode="A121" unicode="%X">' % code, ["." * 16] * 16)])


class CodeTest(unittest.TestCase):
    def test_codes_above_ffff_draw_their_own_character(self):
        # Unifont Upper maps plane 1 and lacks U+F600; Unifont maps A and lacks U+10041.
        smiley = dump(UNIFONT_UPPER, 0x1F600)[0x1F600]
        self.assertTrue(has_ink(smiley))
        self.assertNotEqual(smiley, dump(UNIFONT_UPPER, 0xF600)[0xF600])
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
                    self.assertEqual([r for r, row in enumerate(rows) if "#" in row][-1],
                                     ascent - 1)


class FaceLookupTest(unittest.TestCase):
    def test_names(self):
        # name, face it must draw like, notice on stderr
        stranger, text_file = "NoSuchFaceKarvex", "/usr/share/unifont/plane00-combining.txt"
        cases = [
            ("unifont", "Unifont", ""),
            ("UNIFONT", "Unifont", ""),
            ("IPAゴシック", "IPAGothic", ""),          # a localised family name
            (DEJAVU_SANS, "DejaVu Sans", ""),          # a font file by its path
            (stranger, face_family(stranger), face_family(stranger)),
            (text_file, face_family("/nonexistent"), face_family("/nonexistent")),
        ]
        for name, like, stand_in in cases:
            with self.subTest(name=name):
                result = run(name, "41", "5A", "-x=24", "-y=24")
                reference = run(like, "41", "5A", "-x=24", "-y=24")
                notice = 'karvex: no face named "%s"; using "%s"\n' % (name, stand_in)
                self.assertEqual((result.status, result.err, reference.status, reference.err),
                                 (0, notice if stand_in else "", 0, ""))
                self.assertEqual(result.out, reference.out)
                self.assertTrue(all(has_ink(rows) for rows in pictures(result).values()))
        # The lookup really picks the named face: three families, three different A's.
        drawn = {tuple(dump(face, 0x41, 0x41, "-x=24", "-y=24")[0x41])
                 for face in ("Unifont", "DejaVu Sans", "IPAGothic")}
        self.assertEqual(len(drawn), 3)


if __name__ == "__main__":
    main()
