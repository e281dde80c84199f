"""GNU Unifont through both glyph file readers. Debian ships the font twice, as
unifont.hex and as an X11 PCF font, which pcf2bdf turns into BDF: two independent
encodings of one font, so the BDF reader's pictures must equal those of unifont.hex."""

import itertools
import re

import support
from support import FOOTER, block, header


class UnifontTest(support.unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pictures = support.read_unifont_hex()
        with open(support.UNIFONT_HEX) as f:
            cls.lines = [(int(code, 16), bits) for code, bits in
                         (line.rstrip("\n").split(":") for line in f)]

    def check(self, args, glyphs, map_pairs):
        """Runs karvex with -h and a map file: stdout must be the blocks of `glyphs`
        ((rows, ebcode, unicode, code or None)) in the 16 x 16 frame, the map file the pairs."""
        map_path = support.TempDir(self).join("map.xml")
        result = support.run(*args, "-h", "-m=" + map_path)
        self.assertEqual((result.status, result.err), (0, ""))
        out, expected = result.out.decode("latin-1"), (
            header(16, 16) + "".join(block(*glyph) for glyph in glyphs) + FOOTER)
        if out != expected:
            self.fail(support.first_difference(out, expected))
        with open(map_path, encoding="ascii") as f:
            self.assertEqual(f.read(), support.map_text(map_pairs))

    def test_bdf_pictures_equal_unifont_hex(self):
        # Every glyph of the font in file order, 8-wide ones in the left columns; EB codes
        # step through the low bytes 21..7E, Unicode values count up from E000.
        bdf = support.bdf_from_pcf("unifont.pcf.gz")
        with open(bdf, "rb") as f:
            codes = [int(c) for c in re.findall(rb"^ENCODING (-?\d+)", f.read(), re.M)]
        self.assertEqual(set(codes), set(self.pictures))
        ebs = list(itertools.islice(support.eb_codes(), len(codes)))
        self.check([bdf, "0", "10FFFF"],
                   [(self.pictures[c], eb, 0xE000 + i, c) for i, (c, eb) in enumerate(zip(codes, ebs))],
                   [(0xE000 + i, eb) for i, eb in enumerate(ebs)])

    def test_hex_file_fills_the_cell_as_one_bit_stream(self):
        # unifont.hex behind a "16 16" line: the 32 digits of an 8-wide glyph fill the
        # first 8 rows of the 16 x 16 cell, two glyph rows side by side in each.
        ebs = list(itertools.islice(support.eb_codes(), len(self.lines)))
        self.check([support.unifont16_hex()],
                   [(support.hex_stream_rows(bits, 16, 16), eb, code)
                    for (code, bits), eb in zip(self.lines, ebs)],
                   [(code, eb) for (code, _), eb in zip(self.lines, ebs)])

    def test_chosen_glyphs_exactly(self):
        # Two lines of unifont.hex in a file of their own, an 8-wide Latin letter and a
        # 16-wide kana, with dots for background.
        chosen = dict(line for line in self.lines if line[0] in (0x41, 0x3042))
        path = support.TempDir(self).file("chosen.hex", "16 16\n" + "".join(
            "%04X:%s\n" % (c, chosen[c]) for c in (0x41, 0x3042)))
        result = support.run(path, "-0=.", "-e=A17D")
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
""")


if __name__ == "__main__":
    support.main()
