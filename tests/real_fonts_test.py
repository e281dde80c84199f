"""karvex on real fonts from Debian packages. GNU Unifont ships as unifont.hex, as a PCF
bitmap font and as an OpenType face: three encodings of one font, so every reader and
the face rasteriser must give unifont.hex's pictures. Other fonts are pinned by the
sha256 of outputs that were checked once against a plain BDF geometry decoder (the X11
fonts) or that only a change of rendering would alter (outline faces)."""

import gzip
import hashlib
import os
import subprocess
import tempfile
import unittest

from PIL import Image

KARVEX = os.path.abspath(os.environ.get("KARVEX", "build/karvex"))
WORK = os.environ.get("KARVEX_WORK", tempfile.gettempdir())
MISC, HEX = "/usr/share/fonts/X11/misc/", "/usr/share/unifont/unifont.hex"
INK = str.maketrans("01", ".#")


def run(*args, cwd=None):
    p = subprocess.run([KARVEX, *args], capture_output=True, cwd=cwd)
    assert (p.returncode, p.stderr) == (0, b""), (args, p.returncode, p.stderr)
    return p.stdout


def cached(name, make):
    """A file in WORK made once; parallel tests each write a temporary file of their own."""
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        os.makedirs(WORK, exist_ok=True)
        with tempfile.NamedTemporaryFile(dir=WORK, delete=False) as f:
            f.write(make())
        os.replace(f.name, path)
    return path


def bdf(pcf):
    return cached(os.path.basename(pcf)[:-7] + ".bdf", lambda: subprocess.run(
        ["pcf2bdf"], input=gzip.open(os.path.join(MISC, pcf)).read(), capture_output=True,
        check=True).stdout)


def blocks(out, key):
    """{code: rows} of the glyph blocks of an output, by the opening's `key` attribute."""
    glyphs = {}
    for part in out.decode("latin-1").split("</fontData>\n")[:-1]:
        opening, *rows, _ = part[part.rindex("<fontData "):].split("\n")
        glyphs[int(opening.split(' %s="' % key)[1].split('"')[0], 16)] = rows
    return glyphs


def picture(bits):
    """A unifont.hex glyph as 16 rows of 16 pixels; an 8-wide glyph stands on the left."""
    n = len(bits) // 16
    return ["{:016b}".format(int(bits[n * r:n * r + n], 16) << 16 - 4 * n).translate(INK)
            for r in range(16)]


def charset(font_file):
    """The codes a font file maps, as fontconfig reads them."""
    text = subprocess.run(["fc-query", "-f", "%{charset}", font_file], capture_output=True,
                          text=True, check=True).stdout
    ranges = [[int(n, 16) for n in item.split("-")] for item in text.split()]
    return {c for r in ranges for c in range(r[0], r[-1] + 1)}


class RealFontsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(HEX) as f:
            cls.lines = [line.strip().split(":") for line in f]
        cls.hex = {int(code, 16): picture(bits) for code, bits in cls.lines}

    def test_unifont_through_both_readers(self):
        # The BDF that pcf2bdf makes of the PCF font, and unifont.hex behind a "16 16"
        # line, whose bits run on as one stream: 8-wide glyphs fill the first 8 rows.
        out = run(bdf("unifont.pcf.gz"), "0", "10FFFF", "-0=.")
        self.assertEqual(out.count(b"<fontData "), len(self.hex))
        self.assertTrue(blocks(out, "code") == self.hex)
        out = run(cached("unifont16.hex", lambda: b"16 16\n" + open(HEX, "rb").read()), "-0=.")
        stream = {int(code, 16): "{:0256b}".format(int(bits, 16) << 256 - 4 * len(bits))
                  .translate(INK) for code, bits in self.lines}
        self.assertTrue(blocks(out, "unicode") == {
            code: [bits[16 * r:16 * r + 16] for r in range(16)] for code, bits in stream.items()})

    def test_unifont_faces(self):
        # The OpenType face by family name and the PCF strike by path, but for the
        # combining marks (drawn left of the origin, so cut by the canvas) and code 0.
        with open("/usr/share/unifont/plane00-combining.txt") as f:
            combining = {int(line.split(":")[0], 16) for line in f if line.strip()}
        pcf = cached("unifont.pcf", lambda: gzip.open(MISC + "unifont.pcf.gz").read())
        for face, font_file in (("Unifont", "/usr/share/fonts/opentype/unifont/unifont.otf"),
                                (pcf, pcf)):
            drawn = blocks(run(face, "0", "FFFF", "-0=."), "unicode")
            self.assertEqual(list(drawn), list(range(0x10000)))
            codes = (charset(font_file) & set(range(1, 0x10000))) - combining
            self.assertGreater(len(codes), 55000)
            self.assertEqual([c for c in codes if drawn[c] != self.hex[c]], [], face)

    def test_digests(self):
        # (arguments, sha256 of stdout and the map file). X11 fonts of many box sizes, some
        # with glyphs past the cell's right edge; outline faces at sizes where rounding
        # the baseline matters, and plane 1.
        for args, digest in DIGESTS:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as tmp:
                source = bdf(args[0]) if args[0].endswith(".pcf.gz") else args[0]
                out = run(source, *args[1:], "-h", "-m=" + tmp + "/m")
                with open(tmp + "/m", "rb") as f:
                    self.assertEqual(hashlib.sha256(out + f.read()).hexdigest()[:16], digest)
                with open(tmp + "/out", "wb") as f:
                    f.write(out)
                lint = subprocess.run(["xmllint", "--noout", tmp + "/out", tmp + "/m"])
                self.assertEqual(lint.returncode, 0)

    def test_bmp_files_show_the_text_dump(self):
        # Decoded by Pillow, every file holds the text dump's picture at the same size.
        for face, size in (("Unifont", 16), ("DejaVu Sans", 24), ("IPAGothic", 40)):
            with self.subTest(face=face), tempfile.TemporaryDirectory() as tmp:
                args = (face, "3040", "3045", "-x=%d" % size, "-y=%d" % size)
                text = blocks(run(*args, "-0=."), "unicode")
                run(*args, "-o=bmp", cwd=tmp)
                self.assertEqual(sorted(os.listdir(tmp)), ["%04X.bmp" % c for c in text])
                for code, rows in text.items():
                    with Image.open("%s/%04X.bmp" % (tmp, code)) as image:
                        self.assertEqual((image.format, image.mode, image.size),
                                         ("BMP", "1", (size, size)))
                        self.assertEqual(["".join(".#"[image.getpixel((x, y)) == 0] for x in
                                                  range(size)) for y in range(size)], rows)

    def test_progress_only_on_a_terminal(self):
        # `script` gives the run a terminal; stdout goes to /dev/null, so only stderr shows.
        for last, shown in (("1000", b"\rkarvex: 4097 of 4097 codes (100%)\r\n"), ("FFF", b"")):
            p = subprocess.run(["script", "-qec", "%s 'DejaVu Sans' 0 %s >/dev/null" % (
                KARVEX, last), "/dev/null"], capture_output=True)
            self.assertEqual((p.returncode, p.stdout[len(p.stdout) - len(shown):]), (0, shown))
            self.assertEqual(len(p.stdout) > 0, bool(shown))


DPI75 = "/usr/share/fonts/X11/75dpi/"
DIGESTS = [
    (("shnm6x12r.pcf.gz", "0", "7FFFFFFF"), "475cf266eb58cf77"),
    (("shnm9x18r.pcf.gz", "0", "7FFFFFFF"), "4c9f32d9fc090cb3"),
    (("shnmk12p.pcf.gz", "0", "7FFFFFFF"), "9cc2542de17a3845"),
    (("shnmk14.pcf.gz", "0", "7FFFFFFF"), "5b4e8cb704a8ce0c"),
    (("jksp24.pcf.gz", "0", "7FFFFFFF"), "e9918439bc3abd2b"),
    (("b24.pcf.gz", "0", "7FFFFFFF"), "5472242783e542a6"),
    ((DPI75 + "helvR12.pcf.gz", "0", "7FFFFFFF"), "88e5680904f8ee7c"),
    ((DPI75 + "timR24.pcf.gz", "0", "7FFFFFFF"), "768ceb3b74e6a6c9"),
    (("DejaVu Sans", "20", "7E", "-x=11", "-y=11"), "a9a5fa1639077283"),
    (("DejaVu Sans", "20", "7E", "-x=24", "-y=24"), "252a0e6eac7a05c1"),
    (("IPAGothic", "3041", "3093", "-x=24", "-y=24"), "dcc1ee7f01159ab7"),
    (("/usr/share/fonts/opentype/unifont/unifont_upper.otf", "1F300", "1F64F"), "1885beca442819fe"),
]

if __name__ == "__main__":
    unittest.main()
