"""BMP export of installed faces, each file read back by its header fields and by Pillow
(an independent BMP decoder). Expected pixels come from unifont.hex, which Unifont draws
exactly enlarged at an em of 16, 32, 48 or 64 pixels, and from the text dump of the same
glyph at the same em. Counters and the map file in BMP mode are pinned in run_test.cc."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from PIL import Image

from face_support import dump, has_ink, scaled
from support import KARVEX, main, read_unifont_hex, run, work_path

PIXELS = 62  # 14-byte file header, 40-byte info header, two colours


def read_bmp(path):
    """(fields, rows, data) of a BMP file: the header fields the tool writes, the picture
    as Pillow decodes it ('#' black, ' ' white), and the file's bytes."""
    with open(path, "rb") as f:
        data = f.read()
    fields = dict(zip(
        ["signature", "file size", "reserved", "pixel offset", "header size", "width",
         "height", "planes", "bits", "compression"], struct.unpack_from("<2sIIIIiiHHI", data)))
    fields["colours"] = data[54:62]
    with Image.open(path) as image:
        image.load()
        width, height = image.size
        rows = ["".join(" #"[image.getpixel((x, y)) == 0] for x in range(width))
                for y in range(height)]
        fields["decoded"] = (image.format, image.mode, image.size)
    return fields, rows, data


class BmpTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.hex = read_unifont_hex()

    def folder(self):
        path = tempfile.mkdtemp(prefix="bmp-", dir=os.path.dirname(work_path("x")))
        self.addCleanup(shutil.rmtree, path, True)
        return path

    def export(self, face, first, last, *options, cwd):
        result = run(face, first, last, "-o=bmp", *options, cwd=cwd)
        self.assertEqual((result.status, result.err, result.out), (0, "", b""))


class LayoutTest(BmpTestCase):
    def test_sizes(self):
        # options, picture w x h, file size S, em (Unifont is exact at 16, 32, 48, 64)
        cases = [
            ((), 16, 16, 126, 16),
            (("-x=12", "-y=12"), 16, 16, 126, 16),
            (("-x=9", "-y=1"), 16, 8, 94, 16),
            (("-x=24", "-y=24"), 24, 24, 254, 24),    # 96 bytes of rows, 96 of zeros
            (("-x=8", "-y=32"), 8, 32, 190, 32),      # height 30 rounds back up to 32
            (("-x=40", "-y=16"), 40, 16, 254, 40),
            (("-x=64", "-y=16"), 64, 16, 318, 64),    # no cap at 48 here
        ]
        for options, w, h, size, em in cases:
            with self.subTest(options=options):
                cwd = self.folder()
                self.export("Unifont", "41", "42", *options, cwd=cwd)
                self.assertEqual(sorted(os.listdir(cwd)), ["0041.bmp", "0042.bmp"])
                for code in (0x41, 0x42):
                    fields, rows, data = read_bmp(os.path.join(cwd, "%04X.bmp" % code))
                    self.assertEqual(fields, {
                        "signature": b"BM", "file size": size, "reserved": 0,
                        "pixel offset": PIXELS, "header size": 40, "width": w, "height": h,
                        "planes": 1, "bits": 1, "compression": 0,
                        "colours": b"\0\0\0\0\xff\xff\xff\0", "decoded": ("BMP", "1", (w, h))})
                    used = PIXELS + h * ((w + 31) // 32) * 4
                    self.assertEqual((len(data), data[used:]), (size, bytes(size - used)))
                    if em % 16 == 0:
                        self.assertEqual(rows, scaled(self.hex[code], em // 16, w, h))
                    else:
                        text = dump("Unifont", code, code, "-x=%d" % em, "-y=%d" % em)[code]
                        self.assertEqual(rows, [r[:w] for r in text[:h]])
                        self.assertTrue(has_ink(rows))

    def test_pixels_equal_the_text_dump(self):
        # The same glyphs at the same em through both outputs, for outline faces whose
        # hinting makes no exact enlargement.
        for face in ("DejaVu Sans", "IPAGothic"):
            for options in ((), ("-x=24", "-y=24")):
                with self.subTest(face=face, options=options):
                    cwd = self.folder()
                    text = dump(face, 0x41, 0x7A, *options)
                    self.assertTrue(all(has_ink(text[c]) for c in range(0x41, 0x5B)))
                    text.update(dump(face, 0x3040, 0x3042, *options))
                    self.export(face, "41", "7A", *options, cwd=cwd)
                    self.export(face, "3040", "3042", *options, cwd=cwd)
                    self.assertEqual(len(os.listdir(cwd)), len(text))
                    for code, expected in text.items():
                        self.assertEqual(read_bmp(os.path.join(cwd, "%04X.bmp" % code))[1],
                                         expected, "U+%04X" % code)

    def test_second_run_replaces_the_files(self):
        cwd = self.folder()
        with open(os.path.join(cwd, "0042.bmp"), "wb") as f:
            f.write(b"\xaa" * 5000)
        self.export("Unifont", "41", "42", "-x=48", "-y=48", cwd=cwd)
        self.export("Unifont", "41", "42", cwd=cwd)
        for code in (0x41, 0x42):
            fields, rows, data = read_bmp(os.path.join(cwd, "%04X.bmp" % code))
            self.assertEqual((len(data), fields["width"], fields["height"]), (126, 16, 16))
            self.assertEqual(rows, self.hex[code])


class FailureTest(BmpTestCase):
    def test_files_that_cannot_be_made_or_written(self):
        # A BMP export of 41..43 with -h and a map file outside the folder: status 2 and
        # one stderr line naming the first file that failed, while stdout and the map file
        # hold everything, as in a good run. (what, folder or None for a new one, prepare,
        # options, stderr, BMP files left)
        cases = [
            ("no picture for the size", None, None, ["-y=-8"],
             "karvex: 0041.bmp: a 16x-8 cell gives no BMP picture\n", []),
            ("a file on /dev/full", None, lambda cwd: os.symlink("/dev/full", cwd + "/0041.bmp"),
             [], "karvex: 0041.bmp: No space left on device\n", ["0041.bmp", "0042.bmp", "0043.bmp"]),
            ("sysfs, where even root makes no file", "/sys", None, [],
             "karvex: 0041.bmp: Permission denied\n", None),
        ]
        for what, cwd, prepare, options, err, left in cases:
            with self.subTest(what):
                cwd = cwd or self.folder()
                if prepare:
                    prepare(cwd)
                map_path = os.path.join(self.folder(), "map.xml")
                result = run("Unifont", "41", "43", "-o=bmp", "-h", "-m=" + map_path, *options,
                             cwd=cwd)
                size = "16X-8" if options else "16X16"
                self.assertEqual((result.status, result.err, result.out.decode()), (
                    2, err, '<?xml version="1.0" encoding="Shift_JIS"?>\n<gaijiData xml:space='
                    '"preserve">\n<fontSet size="%s" start="A121">\n</fontSet>\n</gaijiData>\n'
                    % size))
                with open(map_path) as f:
                    self.assertEqual(f.read().count("<gaijiMap "), 3)
                if left is not None:
                    self.assertEqual(sorted(os.listdir(cwd)), left)
                for name in (left or [])[1:]:
                    self.assertEqual(read_bmp(os.path.join(cwd, name))[1], self.hex[int(name[:4], 16)])

    def test_read_only_folder(self):
        # A read-only tmpfs in user and mount namespaces of our own; root is refused too.
        if subprocess.run(["unshare", "-rm", "true"], capture_output=True).returncode != 0:
            self.skipTest("no user and mount namespaces here")
        cwd, map_path = self.folder(), os.path.join(self.folder(), "map.xml")
        script = ('mount -t tmpfs -o ro none "$1" && cd "$1" && '
                  'exec "$2" Unifont 41 43 -o=bmp -h -m="$3"')
        p = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", cwd, KARVEX, map_path],
                           capture_output=True, text=True)
        self.assertEqual((p.returncode, p.stderr), (2, "karvex: 0041.bmp: Read-only file system\n"))
        with open(map_path) as f:
            self.assertEqual(f.read().count("<gaijiMap "), 3)
        self.assertEqual(os.listdir(cwd), [])


if __name__ == "__main__":
    main()
