"""Every -h run over the real fonts of the test suite writes standard output and a map
file that an XML parser accepts (xmllint, from Debian's libxml2-utils). The XML
declaration names Shift_JIS; the text itself is ASCII with the default background.

Runs that the tool stops on purpose without the footer (a second FONTBOUNDINGBOX, a
STARTCHAR before any) are not XML documents and are not checked; runs that end with
status 2 after writing the footer (a font cut off in a bitmap) are."""

import os
import subprocess
import unittest

import support
from bdf_fonts_test import REAL_FONTS

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")
UNIFONT_UPPER = "/usr/share/fonts/opentype/unifont/unifont_upper.otf"


def xmllint(path):
    """(status, first complaint) of xmllint reading the file."""
    p = subprocess.run(["xmllint", "--noout", "--nonet", path], capture_output=True, text=True)
    return p.returncode, p.stderr[:400]


class WellFormedTest(unittest.TestCase):
    def check(self, *args, status=0, cwd=None):
        """Runs the tool with -h and a map file and has xmllint read both outputs."""
        tmp = support.TempDir(self)
        out_path, map_path = tmp.join("out.xml"), tmp.join("map.xml")
        with open(out_path, "wb") as out:
            result = support.run(*args, "-h", "-m=" + map_path, stdout=out, cwd=cwd)
        self.assertEqual(result.status, status, result.err)
        with open(out_path, "rb") as f:
            text = f.read()
        self.assertTrue(text.endswith(b"</fontSet>\n</gaijiData>\n"))
        self.assertTrue(all(b < 0x80 for b in text), "output is not ASCII")
        for path in (out_path, map_path):
            self.assertEqual(xmllint(path), (0, ""), "%s of %r" % (os.path.basename(path), args))
        return text

    def test_bdf_fonts(self):
        fonts = [support.bdf_from_pcf(pcf) for pcf in sorted(REAL_FONTS)]
        fonts += [support.bdf_from_pcf("unifont.pcf.gz"), os.path.join(EXAMPLES, "sample.bdf")]
        for path in fonts:
            with self.subTest(font=os.path.basename(path)):
                self.assertIn(b"<fontData ", self.check(path, "0", "7FFFFFFF"))
        # Forced cells and another code range, start EB code and Unicode value.
        unifont = support.bdf_from_pcf("unifont.pcf.gz")
        for args in (["-x=12", "-y=32"], ["-x=48", "-y=48", "-e=B47C", "-u=F0000"],
                     ["-x=1", "-y=1"]):
            with self.subTest(args=args):
                self.check(unifont, "3000", "30FF", *args)

    def test_hex_files(self):
        for path in (support.unifont16_hex(), os.path.join(EXAMPLES, "sample.hex")):
            with self.subTest(font=os.path.basename(path)):
                self.assertIn(b"<fontData ", self.check(path))
        for args in (["-x=24"], ["-y=48"]):
            with self.subTest(args=args):
                self.check(support.unifont16_hex(), *args)

    def test_faces(self):
        cases = [
            ("Unifont", "0", "FFFF", []),
            ("DejaVu Sans", "20", "24F", ["-x=24", "-y=24"]),
            ("IPAGothic", "3000", "30FF", ["-x=48", "-y=48", "-b=-4"]),
            (UNIFONT_UPPER, "1F300", "1F64F", []),
            (os.path.join(support.PCF_DIR, "unifont.pcf.gz"), "41", "7A", []),
            ("Unifont", "7FFFFFF0", "7FFFFFFF", []),
        ]
        for face, first, last, args in cases:
            with self.subTest(face=os.path.basename(face), args=args):
                self.check(face, first, last, *args)

    def test_bmp_mode(self):
        # Standard output holds the header and footer alone; the map lists every code.
        tmp = support.TempDir(self)
        self.check("DejaVu Sans", "41", "5A", "-o=bmp", cwd=tmp.path)
        self.assertEqual(len(os.listdir(tmp.path)), 26)

    def test_runs_that_fail_after_the_footer(self):
        # A font cut inside a bitmap, and a face without the size asked for.
        tmp = support.TempDir(self)
        with open(support.bdf_from_pcf("unifont.pcf.gz"), "rb") as f:
            data = f.read()
        cut = tmp.file("cut.bdf", data[:data.index(b"BITMAP", data.index(b"ENCODING 12354"))
                                       + 12])
        self.check(cut, "0", "FFFF", status=2)
        self.check(os.path.join(support.PCF_DIR, "unifont.pcf.gz"), "41", "42", "-x=24",
                   status=2)


if __name__ == "__main__":
    support.main()
