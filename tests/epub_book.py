"""EPUB 3 books around chapters whose gaiji became images: Debian's epubcheck must find no
error and no warning, and headless Chromium must draw each image at its size, with the
glyph's ink, where its character stood, and change nothing else on the page.
The books are made by examples/epub/make-book.sh."""

import os
import re
import shutil
import tempfile
import unittest

from PIL import Image, ImageChops

from support import HEX, KARVEX, WORK, call, ink

EPUBCHECK = ["java", "-jar", "/usr/share/java/epubcheck.jar"]
MAKE_BOOK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../examples/epub/make-book.sh")
# Without the flags that stop its background connections, Chromium waits on a closed network.
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars"]


def run(args, cwd=None, limit=120):
    """The status of a command and its output and error text together."""
    p = call(args, cwd=cwd, limit=limit)
    return p.returncode, (p.stdout + p.stderr).decode("utf-8", "replace")


def screenshot(page, width, height, png):
    """The page as headless Chromium draws it in a window of width x height, as RGB."""
    with tempfile.TemporaryDirectory(dir=WORK) as profile:
        status, out = run(CHROMIUM + ["--user-data-dir=" + profile, "--screenshot=" + png,
                                      "--window-size=%d,%d" % (width, height),
                                      "file://" + os.path.abspath(page)])
    assert status == 0 and os.path.exists(png), out[-2000:]
    return Image.open(png).convert("RGB")


def outside(image, boxes):
    """The picture with the boxes painted black."""
    image = image.copy()
    for box in boxes:
        image.paste((0, 0, 0), box)
    return image


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def mask_of(image, colour):
    """255 where the picture has exactly this colour, 0 elsewhere."""
    mask = Image.new("L", image.size)
    mask.putdata([255 * (pixel == colour) for pixel in image.getdata()])
    return mask


def differ(a, b):
    return ImageChops.difference(a, b).getbbox() is not None


# A chapter at 128 pixels an em, which the images fill at their own size, on a sepia page
# that shows through their background. 髙, 吉 and the half-width ｱ are the run's codes; the
# reference, the comment, the head and the attribute keep their 髙.
CHAPTER = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html>
<html xmlns="http://www.w3.org/1999/xhtml" xml:lang="ja" lang="ja" class="{cls}">
<head>
<meta charset="UTF-8"/>
<title>髙島屋</title>
<link rel="stylesheet" type="text/css" href="../image/gaiji.css"/>
<style>
html {{ writing-mode: {mode}; background-color: #f4e8c8; }}
body {{ margin: 16px; font-size: 128px; line-height: 1.5; }}
</style>
</head>
<body>
<p title="髙">髙島屋の<span>吉</span>ｱ&#x9AD9;<!-- 髙 --></p>
</body>
</html>
"""
GAIJI = "髙吉ｱ"


MODES = {"horizontal": ("horizontal-tb", "hltr", (1200, 400)),
         "vertical": ("vertical-rl", "vrtl", (560, 1200))}


def glyph(c):
    """unifont.hex's glyph of a character as rows of hexadecimal digits, 16 or 8 pixels wide."""
    with open(HEX) as f:
        bits = next(line.split(":")[1].strip() for line in f if int(line[:line.index(":")], 16) == ord(c))
    return [bits[i:i + len(bits) // 16] for i in range(0, len(bits), len(bits) // 16)]


class EpubBookTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        """A book of a chapter in horizontal text and one in vertical text, whose gaiji come
        from a BDF font of unifont's 16x16 glyphs of 髙 and 吉 and its 8x16 glyph of ｱ."""
        cls.tmp = tempfile.TemporaryDirectory(dir=WORK)
        tmp = cls.tmp.name
        write(tmp + "/f.bdf", 'FONTBOUNDINGBOX 16 16 0 -2\nCHARSET_REGISTRY "ISO10646"\nCHARSET_ENCODING "1"\n'
              + "".join("STARTCHAR c\nENCODING %d\nBBX %d 16 0 -2\nBITMAP\n%s\nENDCHAR\n" % (
                  ord(c), 4 * len(glyph(c)[0]), "\n".join(glyph(c))) for c in GAIJI) + "ENDFONT\n")
        write(tmp + "/gaiji.txt", GAIJI)
        os.makedirs(tmp + "/book/OEBPS/text")
        chapters = ["book/OEBPS/text/%s.xhtml" % name for name in MODES]
        for chapter, (mode, style, _) in zip(chapters, MODES.values()):
            write(tmp + "/" + chapter, CHAPTER.format(mode=mode, cls=style))
        cls.status = run([KARVEX, "f.bdf", "--epub=book/OEBPS/image", "--codes=gaiji.txt",
                          "--epub-text=" + ",".join(chapters)], cwd=tmp)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        self.assertEqual(self.status, (0, ""))

    def test_images_and_chapters(self):
        # Each image the font's glyph 8 times its size, ink black on a transparent
        # background; each chapter, its images turned back into their alt text, as it was.
        for c in GAIJI:
            path = self.tmp.name + "/book/OEBPS/image/gaiji-u%04X.png" % ord(c)
            with Image.open(path) as png:
                self.assertEqual((png.mode, png.info.get("transparency")), ("P", 1))
            rows = ["".join(".#"[int(b)] * 8 for b in "{:0{}b}".format(int(r, 16), 4 * len(r)))
                    for r in glyph(c) for _ in range(8)]
            self.assertEqual(ink(path), rows, c)
        for name, (mode, style, _) in MODES.items():
            with open(self.tmp.name + "/book/OEBPS/text/%s.xhtml" % name) as f:
                rewritten = f.read()
            self.assertEqual(re.subn(r'<img class="gaiji(-wide)?" src="../image/gaiji-u[0-9A-F]+.png" '
                                     r'alt="(.)"/>', r"\2", rewritten),
                             (CHAPTER.format(mode=mode, cls=style), 3))

    def test_epubcheck(self):
        self.assertEqual(run([MAKE_BOOK, self.tmp.name + "/book", self.tmp.name + "/book.epub"]),
                         (0, ""))
        status, out = run(EPUBCHECK + [self.tmp.name + "/book.epub"], limit=180)
        self.assertTrue(status == 0 and "No errors or warnings detected" in out, out)

    def test_pages(self):
        for name in MODES:
            with self.subTest(name):
                self.check_page(name)

    def check_page(self, name):
        mode, _, size = MODES[name]
        vertical = mode.startswith("vertical")
        with tempfile.TemporaryDirectory(dir=WORK) as tmp:
            shutil.copytree(self.tmp.name + "/book/OEBPS", tmp + "/OEBPS")
            chapter = "%s/OEBPS/text/%s.xhtml" % (tmp, name)
            # The page as written, with blank images, with each image a box of its own
            # colour, and as it was before the images.
            colours = {c: tuple(255 * (i == n) for n in range(3)) for i, c in enumerate(GAIJI)}
            paths = {c: "%s/OEBPS/image/gaiji-u%04X.png" % (tmp, ord(c)) for c in GAIJI}
            glyphs = {c: Image.open(path).convert("RGBA") for c, path in paths.items()}
            pages = {"gaiji": screenshot(chapter, *size, tmp + "/gaiji.png")}
            for kind in ("blank", "boxes"):
                for c, glyph in glyphs.items():
                    fill = colours[c] + (255,) if kind == "boxes" else (0, 0, 0, 0)
                    Image.new("RGBA", glyph.size, fill).save(paths[c])
                pages[kind] = screenshot(chapter, *size, "%s/%s.png" % (tmp, kind))
            write(chapter, CHAPTER.format(mode=mode, cls=MODES[name][1]))
            pages["text"] = screenshot(chapter, *size, tmp + "/text.png")

        boxes = []
        for c in GAIJI:
            mask = mask_of(pages["boxes"], colours[c])
            box = mask.getbbox()
            # The whole image at its own size: 128x128, or 64x128 for the half-width ｱ.
            self.assertEqual((box[2] - box[0], box[3] - box[1]), glyphs[c].size, c)
            self.assertEqual(mask.crop(box).histogram()[255], glyphs[c].size[0] * glyphs[c].size[1])
            boxes.append(box)
            # The glyph's ink black on the page, and the page showing through elsewhere.
            expected = pages["blank"].crop(box)
            expected.paste((0, 0, 0), mask=mask_of(glyphs[c], (0, 0, 0, 255)))
            self.assertFalse(differ(pages["gaiji"].crop(box), expected), c)
            # The character stood there.
            self.assertTrue(differ(pages["text"].crop(box), pages["blank"].crop(box)), c)
        # In reading order: along the line left to right, or down the column.
        along = [box[1] if vertical else box[0] for box in boxes]
        self.assertEqual(along, sorted(along))
        # Nothing else moved from where it stood before the images: the original page is
        # the same but near the boxes, where a font's glyph may reach a little above or
        # below (left or right of) the em that the image fills. In vertical text the
        # half-width ｱ, drawn sideways as text, stands upright as an image: it takes a whole
        # em down the column, and what follows it moves down half an em.
        near = [(x0, y0 - 32, x1, y1 + 32) if not vertical else (x0 - 32, y0, x1 + 32, y1)
                for x0, y0, x1, y1 in boxes]
        end = (size[0], boxes[2][1]) if vertical else size
        self.assertFalse(differ(outside(pages["gaiji"], near).crop((0, 0) + end),
                                outside(pages["text"], near).crop((0, 0) + end)))


if __name__ == "__main__":
    unittest.main()
