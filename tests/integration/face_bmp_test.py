"""BMP export of installed faces, each file read back by hand (header fields at their
offsets) and by Pillow (an independent BMP decoder). Expected pixels come from
unifont.hex, which Unifont draws exactly enlarged at an em of 16, 32, 48 or 64 pixels,
and from the text dump of the same glyph at the same em."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from PIL import Image

from face_support import UNIFONT_UPPER, draw, dump, has_ink, scaled
from support import KARVEX, glyph_blocks, main, read_unifont_hex, run, work_path

PIXELS = 62  # 14-byte file header, 40-byte info header, two colours


def read_bmp(path):
    """(fields, rows, data) of a BMP file: the header fields the tool writes, the picture
    as decoded by Pillow ('#' black, ' ' white), and the file's bytes."""
    with open(path, "rb") as f:
        data = f.read()
    fields = {
        "signature": data[0:2],
        "file size": struct.unpack_from("<I", data, 2)[0],
        "reserved": struct.unpack_from("<HH", data, 6),
        "pixel offset": struct.unpack_from("<I", data, 10)[0],
        "header size": struct.unpack_from("<I", data, 14)[0],
        "size": struct.unpack_from("<ii", data, 18),
        "planes": struct.unpack_from("<H", data, 26)[0],
        "bits": struct.unpack_from("<H", data, 28)[0],
        "compression": struct.unpack_from("<I", data, 30)[0],
        "colours": data[54:62],
    }
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
        return result


class LayoutTest(BmpTestCase):
    def test_sizes(self):
        # options, canvas w x h, file size S, em (Unifont is exact at 16, 32, 48, 64)
        cases = [
            ((), 16, 16, 126, 16),
            (("-x=12", "-y=12"), 16, 16, 126, 16),
            (("-x=9", "-y=1"), 16, 8, 94, 16),
            (("-x=24", "-y=24"), 24, 24, 254, 24),    # 96 bytes of rows, 96 of zeros
            (("-x=32", "-y=32"), 32, 32, 318, 32),    # height 30 rounds back up to 32
            (("-x=8", "-y=32"), 8, 32, 190, 32),
            (("-x=40", "-y=16"), 40, 16, 254, 40),
            (("-x=48", "-y=48"), 48, 48, 638, 48),
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
                        "signature": b"BM", "file size": size, "reserved": (0, 0),
                        "pixel offset": PIXELS, "header size": 40, "size": (w, h),
                        "planes": 1, "bits": 1, "compression": 0,
                        "colours": b"\0\0\0\0\xff\xff\xff\0",
                        "decoded": ("BMP", "1", (w, h))})
                    self.assertEqual(len(data), size)
                    used = PIXELS + h * ((w + 31) // 32) * 4
                    self.assertEqual(data[used:], bytes(size - used), "zeros after the rows")
                    if em % 16 == 0:
                        self.assertEqual(rows, scaled(self.hex[code], em // 16, w, h))
                    else:
                        text = draw("Unifont", [code], "-x=%d" % em, "-y=%d" % em)[code]
                        self.assertEqual(rows, [r[:w] for r in text[:h]])
                        self.assertTrue(has_ink(rows))

    def test_pixels_equal_the_text_dump(self):
        # The same glyph at the same em through both outputs, for outline faces whose
        # hinting makes no exact enlargement.
        for face in ("DejaVu Sans", "IPAGothic", "Unifont"):
            for options in ((), ("-x=24", "-y=24")):
                with self.subTest(face=face, options=options):
                    cwd = self.folder()
                    text = dump(face, 0x41, 0x5A, *options)
                    self.export(face, "41", "5A", *options, cwd=cwd)
                    extra = (0x67, 0x3042, 0x56FD, 0xFF21)
                    text.update(draw(face, extra, *options))
                    for code in extra:
                        self.export(face, "%X" % code, "%X" % code, *options, cwd=cwd)
                    self.assertEqual(len(os.listdir(cwd)), 26 + len(extra))
                    for code, expected in text.items():
                        _, rows, _ = read_bmp(os.path.join(cwd, "%04X.bmp" % code))
                        self.assertEqual(rows, expected, "U+%04X" % code)
                    self.assertTrue(all(has_ink(text[c]) for c in range(0x41, 0x5B)))

    def test_file_names_and_blank_codes(self):
        # code, file name, has ink (codes outside 1..10FFFF draw nothing)
        cases = [
            (0x0, "0000.bmp", False),
            (0x41, "0041.bmp", True),
            (0x1F600, "1F600.bmp", True),
            (0x110041, "110041.bmp", False),
            (0x7FFFFFFF, "7FFFFFFF.bmp", False),
            (0xFFFFFFFF, "FFFFFFFF.bmp", False),
        ]
        for code, name, ink in cases:
            with self.subTest(name=name):
                cwd = self.folder()
                face = UNIFONT_UPPER if code == 0x1F600 else "Unifont"
                self.export(face, "%X" % code, "%X" % code, cwd=cwd)
                self.assertEqual(os.listdir(cwd), [name])
                _, rows, _ = read_bmp(os.path.join(cwd, name))
                self.assertEqual(has_ink(rows), ink)
                if not ink:
                    self.assertEqual(rows, [" " * 16] * 16)

    def test_output_mode_and_counters(self):
        # BMP mode writes nothing but header and footer to stdout, and still steps the
        # Unicode and EB counters for the map.
        for mode in ("-o=bmp", "-o=B", "-o=Bitmap"):
            with self.subTest(mode=mode):
                cwd = self.folder()
                result = run("Unifont", "7D", "80", mode, "-h", "-m=map.xml", "-e=A17D",
                             "-u=F000", cwd=cwd)
                self.assertEqual((result.status, result.err), (0, ""))
                self.assertEqual(result.out, b'<?xml version="1.0" encoding="Shift_JIS"?>\n'
                                 b'<gaijiData xml:space="preserve">\n'
                                 b'<fontSet size="16X16" start="A17D">\n'
                                 b'</fontSet>\n</gaijiData>\n')
                with open(os.path.join(cwd, "map.xml"), "rb") as f:
                    self.assertEqual(f.read(), b'<?xml version="1.0" encoding="Shift_JIS"?>\n'
                                     b'<gaijiSet>\n'
                                     b'<gaijiMap unicode="#xF000" ebcode="A17D"/>\n'
                                     b'<gaijiMap unicode="#xF001" ebcode="A17E"/>\n'
                                     b'<gaijiMap unicode="#xF002" ebcode="A221"/>\n'
                                     b'<gaijiMap unicode="#xF003" ebcode="A222"/>\n'
                                     b'</gaijiSet>\n')
                self.assertEqual(sorted(os.listdir(cwd)),
                                 ["007D.bmp", "007E.bmp", "007F.bmp", "0080.bmp", "map.xml"])
        text = run("Unifont", "41", "-o=text")
        self.assertEqual(len(glyph_blocks(text.out.decode())), 1)

    def test_second_run_replaces_the_files(self):
        cwd = self.folder()
        with open(os.path.join(cwd, "0042.bmp"), "wb") as f:
            f.write(b"\xaa" * 5000)
        self.export("Unifont", "41", "42", "-x=48", "-y=48", cwd=cwd)
        self.export("Unifont", "41", "42", cwd=cwd)
        for code in (0x41, 0x42):
            fields, rows, data = read_bmp(os.path.join(cwd, "%04X.bmp" % code))
            self.assertEqual((len(data), fields["size"]), (126, (16, 16)))
            self.assertEqual(rows, self.hex[code])


class FailureTest(BmpTestCase):
    def check_failed_run(self, cwd, extra=(), size="16X16"):
        """Runs a BMP export of 41..43 with -h and a map file outside `cwd`: exit status
        2 and one stderr line naming the first file that failed, while stdout and the map
        file hold everything, as in a good run."""
        map_dir = self.folder()
        map_path = os.path.join(map_dir, "map.xml")
        result = run("Unifont", "41", "43", "-o=bmp", "-h", "-m=" + map_path, *extra, cwd=cwd)
        self.assertEqual(result.status, 2, result)
        self.assertEqual(result.err.count("\n"), 1, result.err)
        self.assertTrue(result.err.startswith("karvex: 0041.bmp: "), result.err)
        self.assertEqual(result.out, ('<?xml version="1.0" encoding="Shift_JIS"?>\n'
                                      '<gaijiData xml:space="preserve">\n'
                                      '<fontSet size="%s" start="A121">\n'
                                      '</fontSet>\n</gaijiData>\n' % size).encode())
        with open(map_path) as f:
            self.assertEqual(f.read().count("<gaijiMap "), 3)
        return result

    def test_sizes_without_a_sensible_canvas(self):
        cases = [
            (("-x=2147483647",), "2147483647X16"),           # rounds past 2^31
            (("-x=-1",), "-1X16"),                           # rounds to 0, unsigned
            (("-y=-8",), "16X-8"),
            (("-x=200000", "-y=200000"), "200000X200000"),  # a file size past 32 bits
        ]
        for options, size in cases:
            with self.subTest(options=options):
                cwd = self.folder()
                self.check_failed_run(cwd, options, size)
                self.assertEqual(os.listdir(cwd), [])

    def test_file_that_cannot_be_created(self):
        cwd = self.folder()
        os.mkdir(os.path.join(cwd, "0041.bmp"))
        self.check_failed_run(cwd)
        # Only that code's file is missing.
        self.assertEqual(sorted(os.listdir(cwd)), ["0041.bmp", "0042.bmp", "0043.bmp"])
        self.assertTrue(os.path.isdir(os.path.join(cwd, "0041.bmp")))
        for code in (0x42, 0x43):
            _, rows, _ = read_bmp(os.path.join(cwd, "%04X.bmp" % code))
            self.assertEqual(rows, self.hex[code])

    def test_file_that_cannot_be_written(self):
        cwd = self.folder()
        os.symlink("/dev/full", os.path.join(cwd, "0041.bmp"))
        result = self.check_failed_run(cwd)
        self.assertIn("No space left on device", result.err)

    def test_read_only_folders(self):
        # sysfs refuses new files even to root.
        self.check_failed_run("/sys")
        # A read-only tmpfs in a mount namespace of our own, where the system allows one.
        cwd = self.folder()
        probe = subprocess.run(["unshare", "-rm", "true"], capture_output=True)
        if probe.returncode != 0:
            self.skipTest("no user and mount namespaces here")
        map_path = os.path.join(self.folder(), "map.xml")
        script = ('mount -t tmpfs -o ro none "$1" && cd "$1" && '
                  'exec "$2" Unifont 41 43 -o=bmp -h -m="$3"')
        p = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", cwd, KARVEX, map_path],
                           capture_output=True, text=True)
        self.assertEqual(p.returncode, 2, p)
        self.assertEqual(p.stderr, "karvex: 0041.bmp: Read-only file system\n")
        with open(map_path) as f:
            self.assertEqual(f.read().count("<gaijiMap "), 3)
        self.assertEqual(os.listdir(cwd), [])


if __name__ == "__main__":
    main()
