"""How both readers take their input lines: lines of any length are read whole, .hex
lines without a glyph are skipped, and CR LF files read as LF files do."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")


def drawing(width, height):
    """A test picture: a frame, both diagonals and an uneven pattern in the top left,
    so that a shift, a mirror or a lost row shows."""
    rows = []
    for r in range(height):
        row = ""
        for c in range(width):
            ink = (r in (0, height - 1) or c in (0, width - 1) or r == c
                   or r + c == width - 1 or (r < 12 and c < 12 and (r * c) % 5 == 1))
            row += "#" if ink else " "
        rows.append(row)
    return rows


def hex_digits(rows):
    bits = "".join(rows).replace("#", "1").replace(" ", "0")
    return "%0*X" % (len(bits) // 4, int(bits, 2))


class LongLineTest(support.unittest.TestCase):
    def test_hex_glyphs_longer_than_255_characters(self):
        # (size line, drawn size, cell): a 48 x 48 glyph takes 576 digits on one line;
        # a 32 x 32 drawing in the 32 x 30 cell of size 32 loses its last two rows.
        for size, drawn, cell in [("48 48", (48, 48), (48, 48)),
                                  ("40 40", (48, 48), (48, 48)),
                                  ("32 32", (32, 32), (32, 30)),
                                  ("24 24", (24, 24), (24, 24))]:
            with self.subTest(size=size):
                picture = drawing(*drawn)
                digits = hex_digits(picture)
                self.assertEqual(len(digits), drawn[0] * drawn[1] // 4)
                tmp = support.TempDir(self)
                path = tmp.file("long.hex", "%s\nE000:%s\nE001:%s\n" % (
                    size, digits, digits[::-1]))
                result = support.run(path, "-h")
                self.assertEqual((result.status, result.err), (0, ""))
                width, height = cell
                expected = (support.header(width, height)
                            + support.block(picture[:height], 0xA121, 0xE000)
                            + support.block(support.hex_stream_rows(digits[::-1], width, height),
                                            0xA122, 0xE001)
                            + support.FOOTER)
                self.assertEqual(result.out.decode("ascii"), expected)

    def test_bdf_lines_longer_than_255_characters(self):
        # A property whose far end reads as a keyword, and a bitmap row with hundreds of
        # trailing digits: neither may act as a line of its own.
        font = ("STARTFONT 2.1\n"
                "COMMENT " + " " * 300 + "ENDFONT\n"
                "FONTBOUNDINGBOX 8 16 0 -2\n"
                "CHARS 1\n"
                "STARTCHAR A" + " " * 300 + "ENDFONT\n"
                "ENCODING 65\n"
                "BBX 8 4 0 0\n"
                "BITMAP\n"
                "FF" + "0" * 400 + "ENDCHAR\n"
                "81\n"
                "81" + " " * 300 + "ENDCHAR\n"
                "FF\n"
                "ENDCHAR\n"
                "ENDFONT\n")
        tmp = support.TempDir(self)
        result = support.run(tmp.file("long.bdf", font), "0", "FF")
        self.assertEqual((result.status, result.err), (0, ""))
        rows = [" " * 8] * 10 + ["########", "#      #", "#      #", "########"] + [" " * 8] * 2
        self.assertEqual(result.out.decode("ascii"), support.block(rows, 0xA121, 0xE000, 0x41))


# A 16 x 16 glyph line for code C whose bitmap shows C's low byte in every row.
def glyph(code):
    return "%04X:%s" % (code, ("%02X" % (code & 0xFF)) * 32)


def glyph_rows(code):
    row = support.text_row(code & 0xFF, 8)
    return [row + row] * 16


BLANK = [" " * 16] * 16

# (what, the lines after the size line, [(code, rows)] written). A line of nothing but
# blanks, tabs, line ends and colons carries no glyph and takes no EB code; a line with
# other text but no bitmap gives a blank glyph with its code.
BLANK_LINE_CASES = [
    ("empty line", glyph(0x41) + "\n\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x42, glyph_rows(0x42))]),
    ("empty lines first and last", "\n\n" + glyph(0x41) + "\n\n\n",
     [(0x41, glyph_rows(0x41))]),
    ("colons", glyph(0x41) + "\n::\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x42, glyph_rows(0x42))]),
    ("colons without a line end at the end", glyph(0x41) + "\n::",
     [(0x41, glyph_rows(0x41))]),
    ("blanks, tabs and colons", glyph(0x41) + "\n \t: \t:\r\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x42, glyph_rows(0x42))]),
    ("CR alone", glyph(0x41) + "\n\r\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x42, glyph_rows(0x42))]),
    ("line led by a NUL byte", glyph(0x41) + "\n\0" + glyph(0x43) + "\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x42, glyph_rows(0x42))]),
    ("NUL byte as the last line", glyph(0x41) + "\n\0",
     [(0x41, glyph_rows(0x41))]),
    ("code without a colon", glyph(0x41) + "\n0043\n" + glyph(0x42) + "\n",
     [(0x41, glyph_rows(0x41)), (0x43, BLANK), (0x42, glyph_rows(0x42))]),
    ("nothing after the colon", "0044:\n0045:\r\n" + glyph(0x42),
     [(0x44, BLANK), (0x45, BLANK), (0x42, glyph_rows(0x42))]),
    ("NUL byte after the code", "0046\0:" + "FF" * 32 + "\n",
     [(0x46, BLANK)]),
]


class BlankLineTest(support.unittest.TestCase):
    def test_lines_without_a_glyph(self):
        for what, body, written in BLANK_LINE_CASES:
            with self.subTest(what):
                tmp = support.TempDir(self)
                map_path = tmp.join("map.xml")
                result = support.run(tmp.file("g.hex", "16 16\n" + body), "-h", "-e=A17E",
                                     "-m=" + map_path)
                self.assertEqual((result.status, result.err), (0, ""))
                ebs = support.eb_codes(0xA17E)
                pairs = [(code, next(ebs)) for code, _ in written]
                expected = (support.header(16, 16, 0xA17E)
                            + "".join(support.block(rows, eb, code)
                                      for (code, rows), (_, eb) in zip(written, pairs))
                            + support.FOOTER)
                self.assertEqual(result.out.decode("ascii"), expected)
                with open(map_path, encoding="ascii") as f:
                    self.assertEqual(f.read(), support.map_text(pairs))


class CrLfTest(support.unittest.TestCase):
    """A file with CR LF line ends gives the same output as the same file with LF."""

    def test_same_output_as_lf(self):
        cases = [
            ("sample.bdf", os.path.join(EXAMPLES, "sample.bdf"), ["0", "FFFF"]),
            ("sample.hex", os.path.join(EXAMPLES, "sample.hex"), []),
            ("shnmk12p.bdf", support.bdf_from_pcf("shnmk12p.pcf.gz"), ["0", "FFFF"]),
            ("jksp24.bdf", support.bdf_from_pcf("jksp24.pcf.gz"), ["0", "FFFF"]),
            ("unifont.bdf", support.bdf_from_pcf("unifont.pcf.gz"), ["0", "10FFFF"]),
            ("unifont16.hex", support.unifont16_hex(), []),
        ]
        for what, path, args in cases:
            with self.subTest(what):
                with open(path, "rb") as f:
                    self.assertNotIn(b"\r", f.read())
                crlf = support.crlf_copy(path)
                tmp = support.TempDir(self)
                runs = []
                for source, map_name in [(path, "lf.xml"), (crlf, "crlf.xml")]:
                    result = support.run(source, *args, "-h", "-m=" + tmp.join(map_name))
                    self.assertEqual((result.status, result.err), (0, ""))
                    with open(tmp.join(map_name), "rb") as f:
                        runs.append((result.out, f.read()))
                self.assertGreater(len(support.glyph_blocks(runs[0][0].decode("latin-1"))), 4)
                self.assertTrue(runs[0] == runs[1], "CR LF output differs")


    def test_odd_bitmap_lengths(self):
        # An odd last digit is ignored, with LF or CR LF after it alike.
        text = "16 16\n0041:FFF\n0042:8\n0043:F0F0F\n"
        expected = "".join(support.block([row] + [" " * 16] * 15, eb, code) for row, eb, code in [
            ("########        ", 0xA121, 0x41),
            (" " * 16, 0xA122, 0x42),
            ("####    ####    ", 0xA123, 0x43),
        ])
        tmp = support.TempDir(self)
        for name, data in [("lf.hex", text), ("crlf.hex", text.replace("\n", "\r\n"))]:
            with self.subTest(name):
                result = support.run(tmp.file(name, data))
                self.assertEqual((result.status, result.err), (0, ""))
                self.assertEqual(result.out.decode("ascii"), expected)


class SampleHexTest(support.unittest.TestCase):
    def test_sample_glyphs(self):
        # The bundled sample: 16 x 16 glyphs, each line's bits filling the cell row by row.
        path = os.path.join(EXAMPLES, "sample.hex")
        with open(path) as f:
            size_line, *lines = f.read().splitlines()
        self.assertEqual(size_line, "16 16")
        result = support.run(path, "-h", "-0=.")
        self.assertEqual((result.status, result.err), (0, ""))
        ebs = support.eb_codes()
        expected = support.header(16, 16) + "".join(
            support.block(support.hex_stream_rows(bits, 16, 16, "."), next(ebs), int(code, 16))
            for code, bits in (line.split(":") for line in lines)) + support.FOOTER
        self.assertEqual(result.out.decode("ascii"), expected)
        self.assertEqual(len(lines), 5)


if __name__ == "__main__":
    support.main()
