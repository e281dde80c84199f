"""karvex on real fonts from Debian packages. Unifont's PCF and OpenType fonts must give
the pictures of unifont.hex; other fonts are pinned by the sha256 of outputs once checked
against a BDF geometry decoder (X11 fonts), or that only a change of rendering alters."""

import gzip
import hashlib
import os
import re
import resource
import tempfile
import unittest

from PIL import Image, ImageFont

from support import HEX, KARVEX, MISC, WORK, address_limit, blocks, call, font_data, ink, output


def label_font():
    """The labels' font, read out of proof_sheet.cc: a character's rows of "#" and "."."""
    src = open(os.path.join(os.path.dirname(__file__), "../src/gaiji/proof_sheet.cc")).read()
    chars = re.search(r'kFontChars\[\] = "(.*?)";', src).group(1)
    rows = re.findall(r'^ *"([.# ]+)",$', src[src.index("kFontRows"):], re.M)
    per, width = len(rows[0].split()), len(rows[0].split()[0])
    height = len(rows) // -(-len(chars) // per)
    return {tuple(rows[i // per * height + y].split()[i % per] for y in range(height)): c
            for i, c in enumerate(chars)}, width, height


FONT, FONT_WIDTH, FONT_HEIGHT = label_font()


class Sheet:
    """A proof sheet read back: its pixels as rows of text and each cell's labels."""

    def __init__(self, path, cells, columns):
        self.mode, self.rows, self.columns = Image.open(path).mode, ink(path), columns
        self.pitch = ((len(self.rows[0]) - 16) // columns, (len(self.rows) - 16) // -(-cells // columns))

    def origin(self, i):
        return 8 + i % self.columns * self.pitch[0], 8 + i // self.columns * self.pitch[1]

    def area(self, x, y, w, h):
        return [row[x:x + w] for row in self.rows[y:y + h]]

    def labels(self, i):
        """The lines of text of cell i, top to bottom, each as the font's characters."""
        x, y = self.origin(i)
        lines, end = [], y + self.pitch[1]
        while y + FONT_HEIGHT <= end:
            text = ""
            while c := FONT.get(tuple(self.area(x + len(text) * (FONT_WIDTH + 1), y, FONT_WIDTH,
                                                FONT_HEIGHT))):
                text += c
            lines += [text] if text else []
            y += FONT_HEIGHT if text else 1
        return lines


def run(*args, stderr=b"", **options):
    """karvex's standard output; it must end well, saying `stderr` (None: anything)."""
    return output([KARVEX, *args], stderr=stderr, **options)


def made(name, tool, pcf):
    """The output of `tool` (pcf2bdf, compress) for an installed PCF font, made once."""
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        data = call(tool, input=gzip.open(os.path.join(MISC, pcf)).read()).stdout
        with tempfile.NamedTemporaryFile(dir=WORK, delete=False) as f:  # parallel runs agree
            f.write(data)
        os.replace(f.name, path)
    return path


def trim(rows):
    """A picture cut to the box of its ink."""
    inked = [y for y, row in enumerate(rows) if "#" in row]
    columns = [x for row in rows for x, c in enumerate(row) if c == "#"]
    return [row[min(columns):max(columns) + 1] for row in rows[inked[0]:inked[-1] + 1]] if inked else []


def pillow_rows(font, char, size):
    """FreeType's 1-bit rendering of a character, as Pillow gives it."""
    mask = ImageFont.truetype(font, size).getmask(char, mode="1")
    return ["".join(".#"[mask.getpixel((x, y)) > 0] for x in range(mask.size[0]))
            for y in range(mask.size[1])]


def bdf_glyphs(path, codes):
    """The bitmaps of a BDF font's glyphs with the given codes, as rows of ink."""
    return {int(code): trim(["".join(".#"[int(b)] for b in "{:0{}b}".format(int(row, 16), 4 * len(row)))
                             for row in bitmap.split()])
            for code, bitmap in re.findall(r"^ENCODING (\d+)$.*?^BITMAP$(.*?)^ENDCHAR$",
                                           open(path, encoding="latin-1").read(), re.M | re.S)
            if int(code) in codes}


def doubled(rows):
    """Rows of pixels twice their size each way, as a proof sheet draws them."""
    return ["".join(c * 2 for c in row) for row in rows for _ in (0, 1)]


class RealFontsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        lines = [line.strip().split(":") for line in open(HEX)]
        # 16 rows of 16 pixels; an 8-wide glyph (2 digits a row) stands in the left half.
        cls.hex = {int(code, 16): ["{:016b}".format(int(bits[n * r:n * r + n], 16) << 16 - 4 * n)
                                   .translate(str.maketrans("01", ".#")) for r in range(16)]
                   for code, bits in lines for n in [len(bits) // 16]}
        cls.combining = {int(line[:4], 16) for line in open("/usr/share/unifont/plane00-combining.txt")}

    def test_unifont_bdf(self):
        # A whole plane runs past the last EB code, FE7E, at glyph 8837.
        out = run(made("unifont.bdf", "pcf2bdf", "unifont.pcf.gz"), "0", "10FFFF", "-0=.",
                  stderr=b"karvex: the EB codes leave A121..FE7E at glyph 8837, U+10284 (FF21)\n")
        self.assertEqual(out.count(b"<fontData "), len(self.hex))
        self.assertTrue(blocks(out, "code") == self.hex)

    def test_unifont_faces(self):
        # The OpenType face by family name and the PCF strike by path, packed with gzip or
        # compress, for every code of unifont.hex: the combining marks, which the OpenType face
        # draws left of the origin, move into the cell, whole.
        codes = [c for c in self.hex if 0 < c < 0x10000]
        for face in ("Unifont", MISC + "unifont.pcf.gz",
                     made("unifont.pcf.Z", ["compress", "-c"], "unifont.pcf.gz")):
            drawn = blocks(run(face, "0", "FFFF", "-0=.", stderr=None), "unicode")
            self.assertEqual(list(drawn), list(range(0x10000)))
            self.assertEqual([c for c in codes if not self.same(c, drawn[c], c in self.combining)], [], face)
        # As a set, every character is drawn, none lacking.
        chars = sorted(c for c in codes if c >= 0x20 and c != 0xFEFF)
        p = call([KARVEX, "Unifont", "--codes=-", "-0=."], input="".join(map(chr, chars)).encode())
        drawn = blocks(p.stdout, "unicode")
        self.assertEqual((p.returncode, sorted(drawn)), (0, chars), p.stderr[-200:])
        self.assertEqual([c for c in chars if not self.same(c, drawn[c], c in self.combining)], [])

    def same(self, code, rows, moved):
        """Rows equal unifont.hex's glyph, or for a glyph moved into the cell its ink does."""
        return rows == self.hex[code] or (moved and trim(rows) == trim(self.hex[code]))

    def test_digests(self):
        # Every output is well-formed XML too.
        for args, digest in DIGESTS:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as tmp:
                source = args[0]
                if source.endswith(".pcf.gz"):
                    source = made(source.split("/")[-1] + ".bdf", "pcf2bdf", source)
                open(tmp + "/out", "wb").write(run(source, *args[1:], "-h", "-m=" + tmp + "/m",
                                                   stderr=None))
                data = open(tmp + "/out", "rb").read() + open(tmp + "/m", "rb").read()
                self.assertEqual(hashlib.sha256(data).hexdigest()[:16], digest)
                self.assertEqual(call(["xmllint", "--noout", "out", "m"], cwd=tmp).returncode, 0)

    def test_glyphs_that_fit_stay_as_they_were(self):
        # Digests taken before glyphs moved into the cell, of every block but those the cell
        # cut then (and that move now): IPAGothic's U+203E and U+FFE3, Unifont's marks.
        for face, size, moved, digest in (("IPAGothic", 16, {0x203E, 0xFFE3}, "2522e6db71167645"),
                                          ("IPAGothic", 24, {0x203E, 0xFFE3}, "8c58fe7b3867a7c7"),
                                          ("IPAGothic", 48, set(), "0aeaf010191d7762"),
                                          ("Unifont", 16, self.combining, "e032b8f5a0f0a597"),
                                          ("Unifont", 24, self.combining, "2795b712b5821ba9")):
            out = run(face, "0", "FFFF", "-x=%d" % size, "-y=%d" % size, "-0=.", stderr=None)
            kept = b"".join(m[0] for m in re.finditer(rb'<fontData [^>]*unicode="(\w+)">.*?</fontData>\n',
                                                      out, re.S) if int(m[1], 16) not in moved)
            self.assertEqual(hashlib.sha256(kept).hexdigest()[:16], digest, (face, size))

    def test_glyphs_whole_in_their_cell(self):
        # Each glyph's ink is what FreeType draws at the em given (Pillow's 1-bit rendering),
        # moved into the cell; one drawn at a smaller em would not fit a size larger.
        fonts = {name: call(["fc-match", "-f", "%{file}", name]).stdout.decode()
                 for name in ("IPAGothic", "DejaVu Sans", "Noto Sans CJK JP")}
        for face, char, width, height, em in GLYPHS:
            p = call([KARVEX, face, "%X" % ord(char), "-x=%d" % width, "-y=%d" % height, "-0=."])
            rows = p.stdout.decode().split("\n")[1:-2]
            pillow = lambda size: trim(pillow_rows(fonts[face], char, size))
            self.assertEqual((p.stderr, trim(rows)), (b"", pillow(em)), (face, char))
            big = pillow(em + 1)
            self.assertTrue(em == max(width, height) or len(big) > height or len(big[0]) > width)
        # A BDF font whose box is a row taller than its size: the cell of its size holds its
        # glyphs whole, bitmap for bitmap, and the note on the cell the size rules give says so.
        bdf = made("jksp24.bdf", "pcf2bdf", "jksp24.pcf.gz")
        p = call([KARVEX, bdf, "3021", "3022", "-0=."])
        self.assertTrue(p.stderr.endswith(b" at the right: U+E000 U+E001 (try -x=24 -y=24)\n"), p.stderr)
        out = blocks(run(bdf, "3021", "3022", "-x=24", "-y=24", "-0=."), "code")
        self.assertEqual({code: trim(rows) for code, rows in out.items()}, bdf_glyphs(bdf, out))

    def kana_hex(self):
        """A .hex file of unifont.hex's kana, whose glyphs are all 16 pixels wide."""
        path = os.path.join(WORK, "kana.hex")
        with open(HEX) as lines, open(path, "w") as f:
            f.write("16 16\n" + "".join(l for l in lines if "3041" <= l[:4] <= "3096"))
        return path

    def test_bmp_files_show_the_text_dump(self):
        # Pillow reads each file as the picture of the text dump at the same size, for faces,
        # a .hex file and a BDF font (named after the -u counter); 256 files are made with 20
        # open files at most.
        bdf = made("unifont.bdf", "pcf2bdf", "unifont.pcf.gz")
        for source, size in (("DejaVu Sans", 24), ("IPAGothic", 40), (self.kana_hex(), 16),
                             (bdf, 16)):
            with tempfile.TemporaryDirectory() as tmp:
                args = (source, "3000", "30FF", "-x=%d" % size, "-y=%d" % size)
                text = blocks(run(*args, "-0=.", stderr=None), "unicode")
                run(*args, "-o=bmp", cwd=tmp, stderr=None,
                    preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (20, 20)))
                self.assertEqual(sorted(os.listdir(tmp)), ["%04X.bmp" % c for c in text])
                for code, rows in text.items():
                    bmp = "%s/%04X.bmp" % (tmp, code)
                    self.assertEqual((Image.open(bmp).mode, ink(bmp)), ("1", rows))

    def test_proof_sheets_show_the_text_dump(self):
        # A face, a .hex file and a BDF font with a fallback face: in a grid of 16 columns,
        # cell i shows the i-th glyph's text dump twice its size, labelled with its EB code
        # (*1 when the fallback face drew it), U+ value and a BDF font's code; the lacking
        # characters follow, crossed out, with no EB code.
        text = "".join(map(chr, range(0x3041, 0x3061))) + "漢\ue000𠮷"
        bdf = made("unifont.bdf", "pcf2bdf", "unifont.pcf.gz")
        for source, fallen in (("IPAGothic", "𠮷"), (self.kana_hex(), "漢𠮷"), (bdf, "𠮷")):
            with tempfile.TemporaryDirectory() as tmp:
                p = call([KARVEX, source, "--codes=-", "-0=.", "--fallback=Noto Sans CJK JP",
                          "--proof=%s/p.png" % tmp], input=text.encode())
                glyphs = font_data(p.stdout)
                lacking = [(0xE000, None, None, None)]
                self.assertEqual(sorted(g[0] for g in glyphs + lacking), sorted(map(ord, text)))
                sheet = Sheet(tmp + "/p.png", len(text), 16)
                self.assertEqual(sheet.mode, "1")
                for i, (code, eb, font_code, rows) in enumerate(glyphs + lacking):
                    x, y = sheet.origin(i)
                    cell = sheet.area(x + 2, y + 2, 32, 32)
                    labels = ["U+%04X" % code]
                    if rows:
                        self.assertEqual(cell, doubled(rows), (source, code))
                        labels = [eb + "*1" * (chr(code) in fallen)] + labels
                        labels += ["0x%X" % font_code] if source == bdf else []
                    else:  # a cross, corner to corner
                        self.assertTrue(cell[0][0] == cell[0][-1] == cell[-1][0] == "#" and
                                        cell == [row[::-1] for row in cell], (source, code))
                    self.assertEqual(sheet.labels(i), labels, (source, code))
        # A BDF range: its font's codes, and the -u counter as U+ values.
        with tempfile.TemporaryDirectory() as tmp:
            glyphs = font_data(run(bdf, "3041", "3060", "--proof=%s/p.png" % tmp))
            sheet = Sheet(tmp + "/p.png", 32, 16)
            self.assertEqual([sheet.labels(i) for i in range(32)],
                             [[eb, "U+%04X" % (0xE000 + i), "0x%X" % (0x3041 + i)]
                              for i, (_, eb, _, _) in enumerate(glyphs)])
        # A face's missing-glyph box (DejaVu Sans has no U+0378) is drawn in a dashed frame.
        with tempfile.TemporaryDirectory() as tmp:
            glyphs = font_data(run("DejaVu Sans", "376", "378", "-0=.", "--proof=%s/p.png" % tmp,
                                   stderr=None))
            sheet = Sheet(tmp + "/p.png", 3, 3)
            for i, (x, y) in enumerate(map(sheet.origin, range(3))):
                self.assertEqual((sheet.area(x, y, 36, 1)[0], sheet.area(x + 2, y + 2, 32, 32)),
                                 ("####.." * 5 + "####.#" if i == 2 else "#" * 36, doubled(glyphs[i][3])))
        # A FreePWING book's sheet: a cell holds a glyph's XBM files side by side, each in a
        # frame of its width, and the gaiji name; a lacking character has no gaiji name.
        with tempfile.TemporaryDirectory() as tmp:
            call([KARVEX, "IPAGothic", "--codes=-", "--freepwing=%s/g" % tmp, "--proof=%s/p.png"
                  % tmp, "--heights=16,24,30,48"], input="é一\ue000".encode())
            sheet = Sheet(tmp + "/p.png", 3, 3)
            self.assertEqual(sheet.labels(2), ["U+E000"])
            for i, name in enumerate(("u00E9", "u4E00")):
                self.assertEqual(sheet.labels(i), [name])
                x, y = sheet.origin(i)
                top = sheet.area(x, y, sheet.pitch[0], 1)[0]
                frames = [m.span() for m in re.finditer("#+", top)]
                self.assertEqual(len(frames), 4)
                for (left, right), height in zip(frames, (16, 24, 30, 48)):
                    xbm = ink("%s/g/%s_%d.xbm" % (tmp, name, height), 255)
                    w, h = len(xbm[0]), len(xbm)
                    self.assertEqual((right - left, sheet.area(x + left + 2, y + 2, 2 * w, 2 * h)),
                                     (2 * w + 4, doubled(xbm)), (name, height))

    def test_progress_only_on_a_terminal(self):
        # `script` gives the run a terminal for stderr and, unless redirected, stdout: the
        # progress line shows only for 4097 codes or more with stdout elsewhere (nowhere in
        # the output otherwise), and ends before the lines that follow it.
        for last, to, end in (("1000", ">/dev/null", b"4097 of 4097 codes (100%)\r\nkarvex: "),
                              ("FFF", ">/dev/null", None), ("1000", "", None),
                              ("FFFF", ">/dev/full", b"%)\r\nkarvex: ")):
            shown = call(["script", "-qec", "%s 'DejaVu Sans' 0 %s %s" % (KARVEX, last, to),
                          "/dev/null"]).stdout
            self.assertTrue(end in shown if end else b"codes (" not in shown, shown[-99:])
            self.assertLessEqual(shown.count(b"codes ("), 101)  # once a percent at most
        self.assertTrue(shown.endswith(b"karvex: standard output: No space left on device\r\n"))

    def test_codes_of_a_real_text(self):
        # The xz manual page of manpages-ja, read from standard input: its characters, and
        # those SHIFT_JIS and JIS X 0208 lack, with the pictures of a range over them; under
        # 200 MB of address space, 256 MB of it through a pipe give what one copy gives.
        text = gzip.open("/usr/share/man/ja/man1/xz.1.gz").read()
        chars = sorted(ord(c) for c in set(text.decode()) if c >= " " and c != "\ufeff")

        def encoded(charset):  # iconv -c leaves out what it cannot encode: one char a line
            return zip(chars, call(["iconv", "-c", "-t", charset], input="".join(
                chr(c) + "\n" for c in chars).encode()).stdout.split(b"\n"))
        lacking = [c for c, line in encoded("SHIFT_JIS") if not line]
        no_jis = [c for c, euc in encoded("EUC-JP") if len(euc) != 2 or euc[0] < 0xA1]
        whole = blocks(run("IPAGothic", "%X" % chars[0], "%X" % chars[-1], "-0=.", stderr=None),
                       "unicode")
        # One character of this page is outside glibc's SHIFT_JIS: the fullwidth tilde, where
        # Shift_JIS has the wave dash (another release of the page may differ).
        self.assertEqual(lacking, [0xFF5E])
        limit = address_limit(200 << 20)
        for args, codes, copies in (((), chars, 1), (("--missing-from=SHIFT_JIS",), lacking, 1),
                                    (("--missing-from=JISX0208",), [c for c in no_jis if c > 0x7F],
                                     (256 << 20) // len(text) + 1)):
            p = call([KARVEX, "IPAGothic", "--codes=-", "-0=.", *args], input=text * copies,
                     preexec_fn=limit)
            self.assertEqual((p.returncode, blocks(p.stdout, "unicode")),
                             (0, {c: whole[c] for c in codes}), args)


# face, character, cell width and height, the em its glyph is drawn at. Outline faces come
# from FreeType's hinter: another FreeType version may move pixels, as for the digests. The
# digests of whole planes (test_glyphs_that_fit_stay_as_they_were) pin IPAGothic and Unifont.
GLYPHS = [
    ("Noto Sans CJK JP", "吉", 32, 30, 31),  # 31 rows at 32: one em smaller
    ("IPAGothic", "井", 32, 30, 32),  # below the cell: moved up
    ("IPAGothic", "①", 8, 16, 8),  # a full-width glyph in a half-width cell
    ("DejaVu Sans", "j", 16, 16, 16),  # left of the origin: moved right
    ("DejaVu Sans", "ʃ", 24, 24, 24),
    ("DejaVu Sans", "J", 48, 48, 48),  # left of the origin: moved right
]

DPI75 = "/usr/share/fonts/X11/75dpi/"
DIGESTS = [
    (("shnm6x12r.pcf.gz", "0", "7FFFFFFF"), "475cf266eb58cf77"),
    (("shnmk12p.pcf.gz", "0", "7FFFFFFF"), "3763febb9ed6c5ab"),
    (("jksp24.pcf.gz", "0", "7FFFFFFF"), "e9918439bc3abd2b"),
    (("b24.pcf.gz", "0", "7FFFFFFF"), "5472242783e542a6"),
    ((DPI75 + "timR24.pcf.gz", "0", "7FFFFFFF"), "86f7772d08e93dae"),
    # Outline faces come from FreeType's hinter and rasterizer: another FreeType version may
    # move pixels and change these digests, with karvex unchanged.
    (("/usr/share/fonts/opentype/unifont/unifont_upper.otf", "1F300", "1F64F"), "1885beca442819fe"),
    # The second face of a font collection, found by family name.
    (("WenQuanYi Micro Hei Mono", "20", "7E"), "afe059cf487e3eab"),
    (("IPAGothic", "3000", "33FF", "-x=32", "-y=30"), "6600a944348076af"),
    # CJK faces put the ideographic em box in the cell; glyphs that reach out of the cell
    # move into it, or are drawn smaller.
    (("Noto Sans CJK JP", "5400", "54FF"), "20c74ebc358c4537"),
    (("DejaVu Sans", "20", "24F"), "d3c1dac6bccd5e7c"),
    (("VL Gothic", "20", "2FF"), "0cb577b08fb367df"),
]

if __name__ == "__main__":
    unittest.main()
