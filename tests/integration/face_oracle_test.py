"""The face rasteriser against an independent encoding of the same font: GNU Unifont drawn
through FreeType at 16 x 16 must reproduce the pictures of unifont.hex pixel for pixel,
8-wide glyphs in the left columns. This pins the em size, the mono hinted rendering,
the baseline (OS/2 usWinAscent, or the strike's ascent for a bitmap font), bitmap_left
and bitmap_top, the bit order and the polarity at once."""

import unittest

from face_support import (combining_marks, face_charset, face_family, face_file, pictures,
                          unifont_pcf)
from support import main, read_unifont_hex, run

BMP_CODES = range(0x10000)


class UnifontOracleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.hex = read_unifont_hex()
        cls.combining = combining_marks()

    def check_plane(self, face, font_file):
        """Dumps 0..FFFF from `face` and compares every code the font maps, but for the
        combining marks (drawn left of the origin, so cut off by the canvas edge, where
        unifont.hex shows them on a dotted circle) and code 0 (the tool draws nothing for
        it; unifont.hex has a picture)."""
        result = run(face, "0", "FFFF")
        self.assertEqual((result.status, result.err), (0, ""))
        drawn = pictures(result)
        self.assertEqual(list(drawn), list(BMP_CODES), "one block per code, in order")

        mapped = face_charset(font_file) & set(BMP_CODES)
        compared = sorted(mapped - self.combining - {0})
        unverifiable = [c for c in compared if c not in self.hex]
        self.assertEqual(unverifiable, [], "codes the face maps that unifont.hex lacks")
        # A broken charset read must not pass by comparing next to nothing.
        self.assertGreater(len(compared), 55000)

        wrong = [c for c in compared if drawn[c] != self.hex[c]]
        first = wrong[0] if wrong else None
        self.assertEqual(
            wrong, [], "%d of %d codes differ; U+%04X drawn:\n%s\nunifont.hex:\n%s" % (
                len(wrong), len(compared), first or 0,
                "\n".join(drawn.get(first, [])), "\n".join(self.hex.get(first, []))))

    def test_outline_face_by_family_name(self):
        # The OpenType Unifont: CFF outlines, baseline from OS/2 usWinAscent.
        self.assertEqual(face_family("Unifont"), "Unifont", "fonts-unifont is not installed")
        self.check_plane("Unifont", face_file("Unifont"))

    def test_bitmap_strike_by_file_path(self):
        # The PCF Unifont: a 16-pixel bitmap strike and no OS/2 table, so the strike's
        # own ascent places the baseline.
        path = unifont_pcf()
        self.check_plane(path, path)


if __name__ == "__main__":
    main()
