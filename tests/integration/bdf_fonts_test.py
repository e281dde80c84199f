"""The BDF reader on real X11 fonts (made from Debian's PCF files by pcf2bdf), on the
bundled sample font and on a small font whose glyphs sit where karvex places them in
its own way. Every picture is checked against a plain BDF geometry decoder."""

import os

import support

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


class BdfFontsTest(support.unittest.TestCase):
    def test_fonts_match_bdf_geometry(self):
        # karvex over the whole font with -h and a map file, both outputs byte for byte
        # against the decoder's. (font, options, fontSet size, departures met)
        cases = [(support.bdf_from_pcf(pcf), (), size, quirks)
                 for pcf, (size, quirks) in REAL_FONTS.items()]
        # A forced width or height replaces the one from the font box, each on its own;
        # placement still follows the box.
        cases += [(support.bdf_from_pcf("shnm8x16r.pcf.gz"), args, size, set()) for args, size in
                  [(("-x=12",), "12X16"), (("-y=20",), "8X20"), (("-x=24", "-y=24"), "24X24"),
                   (("-y=32",), "8X30")]]
        # The sample's glyphs have boxes of their own (offsets, descenders, a raised degree
        # sign) and one unencoded glyph, which no range from 0 up selects.
        cases.append((os.path.join(EXAMPLES, "sample.bdf"), (), "16X16", set()))
        for path, args, size, quirks in cases:
            with self.subTest(font=os.path.basename(path), args=args):
                map_path = support.TempDir(self).join("map.xml")
                result = support.run(path, "0", "7FFFFFFF", "-h", "-m=" + map_path, *args)
                self.assertEqual((result.status, result.err), (0, ""))
                out = result.out.decode("latin-1")
                self.assertEqual(out.split("\n")[2], '<fontSet size="%s" start="A121">' % size)
                width, height = (int(n) for n in size.split("X"))
                expected, expected_map, counts, written = support.bdf_expected(
                    support.read_bdf(path), width, height)
                self.assertEqual(set(counts), quirks, counts)
                self.assertGreater(written, 0)
                if out != expected:
                    self.fail(support.first_difference(out, expected))
                with open(map_path, encoding="latin-1") as f:
                    self.assertEqual(f.read(), expected_map)

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


# A font whose glyphs reach the places where karvex departs from the plain geometry:
# a positive box y offset (taken as below the baseline), a glyph left of the box (moved
# right instead), a glyph taller than the cell standing above it (rows from the cell
# height on are not read), and glyphs passing the right edge (the last row's overflow
# shows at the start of the next row; earlier rows' overflow is cleared again).
def glyph(name, code, bbx, rows):
    return "STARTCHAR %s\nENCODING %d\nBBX %s\nBITMAP\n%s\nENDCHAR\n" % (
        name, code, bbx, "\n".join(rows.split()))


QUIRKY_FONT = ("STARTFONT 2.1\nFONTBOUNDINGBOX 16 16 -1 2\n"
               + glyph("plain", 65, "8 8 1 0", "81 42 24 18 18 24 42 81")
               + glyph("left", 66, "6 4 -3 1", "FC 84 84 FC")
               + glyph("tall", 67, "9 20 0 -4", "8080 C180 A280 9480 8880 8080 8080 8080 FF80 "
                       "8080 8080 8080 8080 FF80 8080 8080 8080 8080 8080 FF80")
               + glyph("wide", 68, "16 5 6 3", "FFFF 8001 8001 8001 C3C3")
               + glyph("narrow_edge", 69, "7 3 11 10", "FE 82 D6")
               + glyph("unread", 70, "3 3 0 0", "E0 A0 E0") + "ENDFONT\n")


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


if __name__ == "__main__":
    support.main()
