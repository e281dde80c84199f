"""Exit statuses, the one stderr line of a failed run ("karvex: NAME: REASON") and what
stdout and the map file hold then, for the glyph file readers and the command line."""

import errno
import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")
USAGE = ("Usage: karvex {<fontface>|<bdf filename>} <from_code> [<to_code>] [-o=bmp]"
         "[-e=<ebcode>] [-u=<unicode>] [-x=16] [-y=16] [-m=<gaijimap>][-h]\n")
FULL = os.strerror(errno.ENOSPC)

# A small BDF font: an 8 x 8 box gives an 8 x 16 cell; glyph A fills rows 0 to 7.
BOX = "FONTBOUNDINGBOX 8 8 0 -1\n"
GLYPH_A = "STARTCHAR A\nENCODING 65\nBBX 8 8 0 -1\nBITMAP\n18\n24\n42\n42\n7E\n42\n42\n00\nENDCHAR\n"
GLYPH_B = "STARTCHAR B\nENCODING 66\nBBX 8 8 0 -1\nBITMAP\n7C\n42\n7C\n42\n42\n7C\n00\n00\nENDCHAR\n"
HEADER_8X16 = support.header(8, 16)
BLOCK_A = support.block(["   ##   ", "  #  #  ", " #    # ", " #    # ", " ###### ",
                         " #    # ", " #    # ", "        "] + ["        "] * 8,
                        0xA121, 0xE000, 0x41)
MAP_A = '<?xml version="1.0" encoding="Shift_JIS"?>\n<gaijiSet>\n' \
        '<gaijiMap unicode="#xE000" ebcode="A121"/>\n'
ROW_64 = "0041:" + "FF00" * 16 + "\n"

# Each case: (what, {file: text}, arguments, status, stderr NAME, stderr REASON pattern,
# stdout, map file text or None for no map file). Arguments and names may refer to the
# test folder as {dir}.
CASES = [
    ("missing BDF source", {}, ["{dir}/none.bdf", "0", "FF", "-h"],
     2, "{dir}/none.bdf", re.escape(os.strerror(errno.ENOENT)), "", None),
    ("missing hex source", {}, ["{dir}/none.hex", "-h"],
     2, "{dir}/none.hex", re.escape(os.strerror(errno.ENOENT)), "", None),
    ("folder as source", {"d.hex/x": ""}, ["{dir}/d.hex", "-h"],
     2, "{dir}/d.hex", re.escape(os.strerror(errno.EISDIR)), "", None),
    ("map in a missing folder: nothing is read or written",
     {"f.bdf": BOX + GLYPH_A}, ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/no/map.xml"],
     2, "{dir}/no/map.xml", re.escape(os.strerror(errno.ENOENT)), "", None),
    ("map in a missing folder is reported before a missing source", {},
     ["{dir}/none.hex", "-h", "-m={dir}/no/map.xml"],
     2, "{dir}/no/map.xml", re.escape(os.strerror(errno.ENOENT)), "", None),
    ("empty hex file: the footer alone", {"e.hex": ""}, ["{dir}/e.hex", "-h", "-m={dir}/m"],
     2, "{dir}/e.hex", "empty", support.FOOTER, "</gaijiSet>\n"),
    ("empty hex file without -h", {"e.hex": ""}, ["{dir}/e.hex"],
     2, "{dir}/e.hex", "empty", "", None),
    ("size line of one value", {"s.hex": "16\n" + ROW_64}, ["{dir}/s.hex", "-h", "-m={dir}/m"],
     2, "{dir}/s.hex", "size line", "", ""),
    ("size line of one value without a line end", {"s.hex": "16"}, ["{dir}/s.hex", "-h"],
     2, "{dir}/s.hex", "size line", "", None),
    ("blank size line", {"s.hex": " \t\r\n" + ROW_64}, ["{dir}/s.hex", "-h"],
     2, "{dir}/s.hex", "size line", "", None),
    ("size line of one value, a blank and CR LF", {"s.hex": "16 \r\n" + ROW_64},
     ["{dir}/s.hex", "-h"], 2, "{dir}/s.hex", "size line", "", None),
    ("size line whose values a tab parts", {"s.hex": "16\t16\n" + ROW_64},
     ["{dir}/s.hex", "-h"], 2, "{dir}/s.hex", "size line", "", None),
    ("hex cell too large: the footer without a header",
     {"c.hex": "16 16\n" + ROW_64}, ["{dir}/c.hex", "-h", "-x=100000", "-y=100000"],
     2, "{dir}/c.hex", "cell", support.FOOTER, None),
    ("hex cell of 65536 x 65536 bytes, one past 32 bits",
     {"c.hex": "16 16\n" + ROW_64}, ["{dir}/c.hex", "-x=65536", "-y=65535"],
     2, "{dir}/c.hex", "cell", "", None),
    ("BDF cell too large: the footer without a header",
     {"c.bdf": BOX + GLYPH_A}, ["{dir}/c.bdf", "0", "FF", "-h", "-x=100000", "-y=100000"],
     2, "{dir}/c.bdf", "cell", support.FOOTER, None),
    ("second FONTBOUNDINGBOX: what came before stands, no footer",
     {"f.bdf": BOX + GLYPH_A + BOX + GLYPH_B}, ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "{dir}/f.bdf", "FONTBOUNDINGBOX", HEADER_8X16 + BLOCK_A, MAP_A),
    ("STARTCHAR before FONTBOUNDINGBOX: nothing, not even the footer",
     {"f.bdf": GLYPH_A + BOX + GLYPH_B}, ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "{dir}/f.bdf", "FONTBOUNDINGBOX", "", ""),
    ("bitmap row before FONTBOUNDINGBOX",
     {"f.bdf": "BITMAP\nFF\nENDCHAR\n" + BOX + GLYPH_A}, ["{dir}/f.bdf", "0", "FF", "-h"],
     2, "{dir}/f.bdf", "FONTBOUNDINGBOX", "", None),
    ("file ends inside a bitmap: the glyph is dropped, the footer written",
     {"f.bdf": BOX + GLYPH_A + GLYPH_B.split("42\n42")[0]},
     ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "{dir}/f.bdf", "bitmap", HEADER_8X16 + BLOCK_A + support.FOOTER,
     MAP_A + "</gaijiSet>\n"),
    ("good BDF run", {"f.bdf": BOX + GLYPH_A}, ["{dir}/f.bdf", "41", "-h", "-m={dir}/m"],
     0, None, None, HEADER_8X16 + BLOCK_A + support.FOOTER, MAP_A + "</gaijiSet>\n"),
    ("good hex run", {"g.hex": "8 16\n0041:" + "81" * 16 + "\n"}, ["{dir}/g.hex"],
     0, None, None, support.block(["#      #"] * 16, 0xA121, 0x41), None),
]

USAGE_CASES = [
    ("no arguments", []),
    ("options only", ["-h", "-x=16"]),
    ("-?", ["-?"]),
    ("-? after a source and a map file", ["{dir}/f.bdf", "0", "FF", "-m={dir}/m", "-?"]),
]


class FaultTest(support.unittest.TestCase):
    def expand(self, tmp, text):
        return text.replace("{dir}", tmp.path)

    def assert_failure_line(self, err, name, reason):
        """stderr is exactly one line "karvex: NAME: REASON"."""
        prefix = "karvex: %s: " % name
        self.assertTrue(err.startswith(prefix), repr(err))
        self.assertRegex(err[len(prefix):], r"\A[^\n]*(%s)[^\n]*\n\Z" % reason)

    def test_cases(self):
        for what, files, args, status, name, reason, out, map_text in CASES:
            with self.subTest(what):
                tmp = support.TempDir(self)
                for file_name, text in files.items():
                    path = tmp.join(file_name)
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    tmp.file(file_name, text)
                result = support.run(*[self.expand(tmp, a) for a in args])
                self.assertEqual(result.status, status, result)
                if name is None:
                    self.assertEqual(result.err, "")
                else:
                    self.assert_failure_line(result.err, self.expand(tmp, name), reason)
                self.assertEqual(result.out.decode("latin-1"), out)
                map_path = tmp.join("m")
                if map_text is None:
                    self.assertFalse(os.path.exists(map_path))
                    self.assertFalse(os.path.exists(tmp.join("no")))
                else:
                    with open(map_path, encoding="latin-1") as f:
                        self.assertEqual(f.read(), map_text)

    def test_usage_line(self):
        for what, args in USAGE_CASES:
            with self.subTest(what):
                tmp = support.TempDir(self)
                tmp.file("f.bdf", BOX + GLYPH_A)
                result = support.run(*[self.expand(tmp, a) for a in args])
                self.assertEqual((result.status, result.out.decode(), result.err),
                                 (255, USAGE, ""))
                self.assertFalse(os.path.exists(tmp.join("m")))


class WriteErrorTest(support.unittest.TestCase):
    """Standard output or the map file on /dev/full, which takes no byte."""

    def run_to(self, stdout_path, *args):
        with open(stdout_path, "wb") as out:
            return support.run(*args, stdout=out)

    def test_stdout_full(self):
        cases = [
            ("sample BDF", [os.path.join(EXAMPLES, "sample.bdf"), "0", "FFFF", "-h"]),
            ("sample hex", [os.path.join(EXAMPLES, "sample.hex"), "-h"]),
            ("unifont BDF", [support.bdf_from_pcf("unifont.pcf.gz"), "0", "10FFFF", "-h"]),
            ("unifont hex", [support.unifont16_hex(), "-h"]),
            ("usage line", ["-?"]),
        ]
        for what, args in cases:
            with self.subTest(what):
                result = self.run_to("/dev/full", *args)
                self.assertEqual((result.status, result.err),
                                 (2, "karvex: standard output: %s\n" % FULL))

    def test_map_file_full(self):
        # Small runs: the map fails at its last flush, after stdout is complete.
        for what, args in [
            ("sample BDF", [os.path.join(EXAMPLES, "sample.bdf"), "0", "FFFF", "-h"]),
            ("sample hex", [os.path.join(EXAMPLES, "sample.hex"), "-h"]),
        ]:
            with self.subTest(what):
                good = support.run(*args)
                self.assertEqual(good.status, 0)
                result = support.run(*args, "-m=/dev/full")
                self.assertEqual((result.status, result.err),
                                 (2, "karvex: /dev/full: %s\n" % FULL))
                self.assertEqual(result.out, good.out)

    def test_map_file_full_on_large_fonts(self):
        # The map fails while glyphs are still being written; stdout still gets them all.
        for what, args in [
            ("unifont BDF", [support.bdf_from_pcf("unifont.pcf.gz"), "0", "10FFFF", "-h"]),
            ("unifont hex", [support.unifont16_hex(), "-h"]),
        ]:
            with self.subTest(what):
                good = support.run(*args)
                self.assertEqual(good.status, 0)
                result = support.run(*args, "-m=/dev/full")
                self.assertEqual((result.status, result.err),
                                 (2, "karvex: /dev/full: %s\n" % FULL))
                self.assertTrue(result.out == good.out, "stdout differs from a good run")


if __name__ == "__main__":
    support.main()
