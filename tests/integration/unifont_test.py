"""GNU Unifont through both glyph file readers. Debian ships the font twice, as
unifont.hex and as an X11 PCF font; pcf2bdf turns the latter into BDF. The two are
independent encodings of one font, so the BDF reader's pictures must equal the
pictures decoded from unifont.hex."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402


def unifont_lines():
    """[(code, hexadecimal bitmap)] of unifont.hex in file order."""
    with open(support.UNIFONT_HEX) as f:
        return [(int(code, 16), bits) for code, bits in
                (line.rstrip("\n").split(":") for line in f)]


class UnifontBdfTest(support.unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pictures = support.read_unifont_hex()
        cls.bdf = support.bdf_from_pcf("unifont.pcf.gz")
        with open(cls.bdf, "rb") as f:
            cls.bdf_codes = [int(c) for c in re.findall(rb"^ENCODING (-?\d+)", f.read(), re.M)]

    def test_every_glyph_equals_the_hex_picture(self):
        tmp = support.TempDir(self)
        map_path = tmp.join("map.xml")
        result = support.run(self.bdf, "0", "10FFFF", "-h", "-m=" + map_path)
        self.assertEqual((result.status, result.err), (0, ""))
        out = result.out.decode("latin-1")
        blocks = support.glyph_blocks(out)

        # Every code of the font, once each, in file order.
        codes = [int(support.attribute(o, "code"), 16) for o, _ in blocks]
        self.assertEqual(len(codes), len(self.pictures))
        self.assertEqual(set(codes), set(self.pictures))
        self.assertEqual(codes, self.bdf_codes)

        # EB codes step through the low bytes 21..7E; Unicode values count up from E000.
        ebs = support.eb_codes()
        for i, (opening, _) in enumerate(blocks):
            self.assertEqual(support.attribute(opening, "ebcode"), "%X" % next(ebs), opening)
            self.assertEqual(support.attribute(opening, "unicode"), "%X" % (0xE000 + i), opening)

        wrong = [c for c, (_, rows) in zip(codes, blocks) if rows != self.pictures[c]]
        self.assertEqual(wrong[:20], [], "%d glyphs differ from unifont.hex" % len(wrong))

        # The whole output, byte for byte.
        ebs = support.eb_codes()
        expected = (support.header(16, 16)
                    + "".join(support.block(self.pictures[c], next(ebs), 0xE000 + i, c)
                              for i, c in enumerate(codes))
                    + support.FOOTER)
        if out != expected:
            self.fail(support.first_difference(out, expected))

        ebs = support.eb_codes()
        with open(map_path, encoding="ascii") as f:
            self.assertEqual(f.read(), support.map_text(
                [(0xE000 + i, next(ebs)) for i in range(len(codes))]))

    def test_one_glyph_exactly(self):
        # U+0041 is 8 pixels wide in a 16 x 16 font: it stands in the left columns.
        result = support.run(self.bdf, "41", "41", "-u=41", "-e=2421")
        self.assertEqual((result.status, result.err), (0, ""))
        self.assertEqual(result.out.decode("ascii"), """\
<fontData code="41"  ebcode="2421" unicode="41">
                
                
                
                
   ##           
  #  #          
  #  #          
 #    #         
 #    #         
 ######         
 #    #         
 #    #         
 #    #         
 #    #         
                
                
</fontData>
""")


class UnifontHexTest(support.unittest.TestCase):
    """unifont.hex with the size line "16 16" in front: a 16 x 16 cell, filled by one
    continuous bit stream, so that the 32 digits of an 8-wide glyph fill the first 8
    rows, two glyph rows side by side in each."""

    @classmethod
    def setUpClass(cls):
        cls.lines = unifont_lines()
        cls.path = support.unifont16_hex()

    def test_whole_file(self):
        tmp = support.TempDir(self)
        map_path = tmp.join("map.xml")
        result = support.run(self.path, "-h", "-m=" + map_path)
        self.assertEqual((result.status, result.err), (0, ""))
        out = result.out.decode("latin-1")
        blocks = support.glyph_blocks(out)
        self.assertEqual(len(blocks), len(self.lines))

        pictures = support.read_unifont_hex()
        wide = [(c, b) for c, b in self.lines if len(b) == 64]
        narrow = [(c, b) for c, b in self.lines if len(b) == 32]
        self.assertEqual(len(wide) + len(narrow), len(self.lines))
        self.assertGreater(len(narrow), 1000)
        by_code = {int(support.attribute(o, "unicode"), 16): rows for o, rows in blocks}
        # 16-wide glyphs come out as they are drawn.
        for code, _ in wide:
            self.assertEqual(by_code[code], pictures[code], "U+%04X" % code)
        # 8-wide glyphs: glyph rows 2r and 2r+1 side by side on cell row r; rows 8 to 15
        # are background.
        for code, _ in narrow:
            drawn = pictures[code]
            rows = [drawn[2 * r][:8] + drawn[2 * r + 1][:8] for r in range(8)]
            self.assertEqual(by_code[code], rows + [" " * 16] * 8, "U+%04X" % code)

        ebs = support.eb_codes()
        expected = (support.header(16, 16)
                    + "".join(support.block(support.hex_stream_rows(b, 16, 16), next(ebs), c)
                              for c, b in self.lines)
                    + support.FOOTER)
        if out != expected:
            self.fail(support.first_difference(out, expected))
        ebs = support.eb_codes()
        with open(map_path, encoding="ascii") as f:
            self.assertEqual(f.read(), support.map_text([(c, next(ebs)) for c, _ in self.lines]))

    def test_chosen_glyphs_exactly(self):
        # Three lines of unifont.hex in a file of their own: an 8-wide Latin letter, a
        # 16-wide kana and an 8-wide letter with an accent, with dots for background.
        chosen = {c: b for c, b in self.lines if c in (0x41, 0x3042, 0xE9)}
        tmp = support.TempDir(self)
        path = tmp.file("chosen.hex", "16 16\n" + "".join(
            "%04X:%s\n" % (c, chosen[c]) for c in (0x41, 0x3042, 0xE9)))
        map_path = tmp.join("map.xml")
        result = support.run(path, "-0=.", "-e=A17D", "-m=" + map_path)
        self.assertEqual((result.status, result.err), (0, ""))
        self.assertEqual(result.out.decode("ascii"), """\
<fontData ebcode="A17D" unicode="41">
................
................
...##.....#..#..
..#..#...#....#.
.#....#..######.
.#....#..#....#.
.#....#..#....#.
................
................
................
................
................
................
................
................
................
</fontData>
<fontData ebcode="A17E" unicode="3042">
................
.....#..........
......#.........
......#.##......
...#####........
.....#..#.......
.....#..#.......
.....######.....
....##.#...#....
...#.#.#....#...
..#...#.....#...
..#..##.....#...
..#.#.#....#....
...#.....##.....
................
................
</fontData>
<fontData ebcode="A221" unicode="E9">
................
....##....##....
................
..####...#....#.
.#....#..######.
.#.......#......
.#....#...####..
................
................
................
................
................
................
................
................
................
</fontData>
""")
        with open(map_path, encoding="ascii") as f:
            self.assertEqual(f.read(), """\
<gaijiMap unicode="#x0041" ebcode="A17D"/>
<gaijiMap unicode="#x3042" ebcode="A17E"/>
<gaijiMap unicode="#x00E9" ebcode="A221"/>
""")


if __name__ == "__main__":
    support.main()
