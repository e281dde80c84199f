"""The BDF reader on real X11 fonts (made from Debian's PCF files by pcf2bdf), on the
bundled sample font and on a small font whose glyphs sit where karvex places them in
its own way. Every picture is checked against a plain BDF geometry decoder."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")

# PCF font -> (cell size in the fontSet opening, ways its glyphs meet karvex's own
# placement). The cell follows the font box: width classes 8/12/16/24/32/48, height
# classes 16/24/32(->30)/48, a narrow width class giving half the height class.
REAL_FONTS = {
    # xfonts-shinonome
    "shnm6x12r.pcf.gz": ("8X16", set()),
    "shnm7x14r.pcf.gz": ("8X16", set()),
    "shnm8x16r.pcf.gz": ("8X16", set()),
    "shnm9x18r.pcf.gz": ("12X24", set()),
    "shnmk12.pcf.gz": ("8X16", set()),
    "shnmk14.pcf.gz": ("16X16", set()),
    "shnmk16.pcf.gz": ("16X16", set()),
    # proportional: its 12x13 box gives an 8-wide cell, and glyphs shifted right by one
    # pixel pass the cell's right edge.
    "shnmk12p.pcf.gz": ("8X16", {"spill"}),
    # xfonts-intl-japanese
    "jksp16.pcf.gz": ("16X16", set()),
    "jksp24.pcf.gz": ("16X30", set()),  # box 24x25: height class 32, so half of 32 wide
    "j90-16.pcf.gz": ("16X16", set()),
    "a18rk.pcf.gz": ("12X24", set()),
    # xfonts-efont-unicode
    "b10.pcf.gz": ("8X16", set()),
    "b12.pcf.gz": ("8X16", set()),
    "b14.pcf.gz": ("16X16", set()),
    "b16.pcf.gz": ("16X16", set()),
    "b24.pcf.gz": ("24X24", set()),
    "f12.pcf.gz": ("8X16", set()),
    "h24.pcf.gz": ("12X24", set()),
    # xfonts-75dpi: proportional fonts with tight glyph boxes left of and below the
    # origin; their wide glyphs pass the right edge of the rounded cell.
    "/usr/share/fonts/X11/75dpi/helvR12.pcf.gz": ("12X24", {"spill"}),
    "/usr/share/fonts/X11/75dpi/courBO14-ISO8859-1.pcf.gz": ("8X16", {"spill"}),
    "/usr/share/fonts/X11/75dpi/charI18.pcf.gz": ("24X24", set()),
    "/usr/share/fonts/X11/75dpi/timR24.pcf.gz": ("24X48", {"spill"}),
}


def cell_of(size):
    width, height = size.split("X")
    return int(width), int(height)


class BdfFontsTest(support.unittest.TestCase):
    def check_font(self, path, size, quirk_kinds, extra_args=(), **expect_args):
        """Runs karvex over the whole font with -h and a map file and compares both
        outputs byte for byte with the decoder's; returns the quirk counts."""
        tmp = support.TempDir(self)
        map_path = tmp.join("map.xml")
        result = support.run(path, "0", "7FFFFFFF", "-h", "-m=" + map_path, *extra_args)
        self.assertEqual((result.status, result.err), (0, ""))
        out = result.out.decode("latin-1")
        opening = out.split("\n")[2]
        self.assertEqual(opening, '<fontSet size="%s" start="A121">' % size)
        width, height = cell_of(size)
        font = support.read_bdf(path)
        expected, expected_map, counts, written = support.bdf_expected(
            font, width, height, **expect_args)
        self.assertEqual(set(counts), quirk_kinds, counts)
        self.assertGreater(written, 0)
        if out != expected:
            self.fail(support.first_difference(out, expected))
        with open(map_path, encoding="latin-1") as f:
            self.assertEqual(f.read(), expected_map)
        summary = ", ".join("%d %s" % (n, q) for q, n in sorted(counts.items()))
        print("%s: %d glyphs written in a %s cell; karvex's own placement: %s"
              % (os.path.basename(path), written, size, summary or "none"), file=sys.stderr)
        return counts

    def test_real_fonts_match_bdf_geometry(self):
        for pcf, (size, quirk_kinds) in REAL_FONTS.items():
            with self.subTest(font=pcf):
                self.check_font(support.bdf_from_pcf(pcf), size, quirk_kinds)

    def test_sample_font_matches_bdf_geometry(self):
        # The sample's glyphs have boxes of their own (offsets, descenders, a raised
        # degree sign) and one unencoded glyph, which no range from 0 up selects.
        path = os.path.join(EXAMPLES, "sample.bdf")
        font = support.read_bdf(path)
        self.assertEqual(font.box, (16, 16, 0, -2))
        self.assertGreater(len({g.bbx for g in font.glyphs}), 5)
        self.assertIn(-1, [g.code for g in font.glyphs])
        self.check_font(path, "16X16", set())

    def test_forced_cell_sizes(self):
        # A forced width or height replaces the one from the font box, each on its own;
        # placement still follows the box.
        path = support.bdf_from_pcf("shnm8x16r.pcf.gz")
        for args, size in [(("-x=12",), "12X16"), (("-y=20",), "8X20"),
                           (("-x=24", "-y=24"), "24X24"), (("-y=32",), "8X30")]:
            with self.subTest(args=args):
                self.check_font(path, size, set(), args)

    def test_code_range_and_start_values(self):
        # Only glyphs whose code lies in the range are written; the EB code and the
        # Unicode value start where -e and -u say and step per written glyph only.
        path = support.bdf_from_pcf("shnmk16.pcf.gz")
        font = support.read_bdf(path)
        codes = [g.code for g in font.glyphs]
        first, last = codes[100], codes[300]
        tmp = support.TempDir(self)
        map_path = tmp.join("map.xml")
        result = support.run(path, "%X" % first, "%X" % last, "-e=B47C", "-u=F0000",
                             "-m=" + map_path, "-0=.")
        self.assertEqual((result.status, result.err), (0, ""))
        expected, expected_map, _, written = support.bdf_expected(
            font, 16, 16, first, last, start_eb=0xB47C, start_unicode=0xF0000,
            wrapped=False, off=".")
        self.assertEqual(written, 201)
        out = result.out.decode("latin-1")
        if out != expected:
            self.fail(support.first_difference(out, expected))
        with open(map_path, encoding="latin-1") as f:
            self.assertEqual(f.read(), expected_map)
        openings = [o for o, _ in support.glyph_blocks(out)]
        self.assertEqual([support.attribute(o, "ebcode") for o in openings[:5]],
                         ["B47C", "B47D", "B47E", "B521", "B522"])


# A font whose glyphs reach the places where karvex departs from the plain geometry:
# a positive box y offset (taken as below the baseline), a glyph left of the box (moved
# right instead), a glyph taller than the cell standing above it (rows from the cell
# height on are not read), and glyphs passing the right edge (the last row's overflow
# shows at the start of the next row; earlier rows' overflow is cleared again).
QUIRKY_FONT = """STARTFONT 2.1
FONT -test-quirky
SIZE 16 75 75
FONTBOUNDINGBOX 16 16 -1 2
CHARS 6
STARTCHAR plain
ENCODING 65
BBX 8 8 1 0
BITMAP
81
42
24
18
18
24
42
81
ENDCHAR
STARTCHAR left
ENCODING 66
BBX 6 4 -3 1
BITMAP
FC
84
84
FC
ENDCHAR
STARTCHAR tall
ENCODING 67
BBX 9 20 0 -4
BITMAP
8080
C180
A280
9480
8880
8080
8080
8080
FF80
8080
8080
8080
8080
FF80
8080
8080
8080
8080
8080
FF80
ENDCHAR
STARTCHAR wide
ENCODING 68
BBX 16 5 6 3
BITMAP
FFFF
8001
8001
8001
C3C3
ENDCHAR
STARTCHAR narrow_edge
ENCODING 69
BBX 7 3 11 10
BITMAP
FE
82
D6
ENDCHAR
STARTCHAR unread
ENCODING 70
BBX 3 3 0 0
BITMAP
E0
A0
E0
ENDCHAR
ENDFONT
"""


class QuirkyPlacementTest(support.unittest.TestCase):
    def test_each_departure_from_bdf_geometry(self):
        tmp = support.TempDir(self)
        path = tmp.file("quirky.bdf", QUIRKY_FONT)
        font = support.read_bdf(path)
        result = support.run(path, "41", "45", "-h")
        self.assertEqual((result.status, result.err), (0, ""))
        expected, _, counts, written = support.bdf_expected(font, 16, 16, 0x41, 0x45)
        self.assertEqual(written, 5)
        self.assertEqual(counts, {"raised": 5, "mirrored": 1, "tall": 1, "spill": 2})
        out = result.out.decode("latin-1")
        if out != expected:
            self.fail(support.first_difference(out, expected))

    def test_decoder_pictures_of_the_departures(self):
        # The decoder's model of each departure, spelled out, so that the comparison
        # above does not rest on the model alone.
        font = support.read_bdf(support.TempDir(self).file("quirky.bdf", QUIRKY_FONT))
        glyphs = {g.name: g for g in font.glyphs}

        def picture(name):
            g = glyphs[name]
            rows = support.bdf_picture(font, g, 16, 16, support.bdf_quirks(font, g, 16, 16))
            return [support.text_row(r, 16) for r in rows]

        blank = " " * 16
        # x offset -3 against the box's -1 moves the glyph right by 2; the box y offset 2
        # counts as -2, so the 4 rows above y offset 1 sit on rows 14 - 5 = 9 to 12.
        self.assertEqual(picture("left"), [blank] * 9 + [
            "  ######        ",
            "  #    #        ",
            "  #    #        ",
            "  ######        ",
        ] + [blank] * 3)
        # 20 rows from row -2: rows 16 to 19 are not read, so rows 14 and 15 stay blank.
        self.assertEqual(picture("tall")[11:], [
            " #########      ",
            " #       #      ",
            " #       #      ",
            blank,
            blank,
        ])
        # 16 pixels from column 7 on rows 6 to 10: the right 7 pixels of each row pass the
        # edge; only the last row's stay, at the start of row 11.
        self.assertEqual(picture("wide")[5:13], [
            blank,
            "       #########",
            "       #        ",
            "       #        ",
            "       #        ",
            "       ##    ###",
            "#    ##         ",
            blank,
        ])
        # 7 pixels from column 12: 3 pass the edge.
        self.assertEqual(picture("narrow_edge")[:6], [
            blank,
            "            ####",
            "            #   ",
            "            ## #",
            " ##             ",
            blank,
        ])


if __name__ == "__main__":
    support.main()
