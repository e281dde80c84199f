"""Faults seen through the real binary: the exit status, the one stderr line
"karvex: NAME: REASON", and what stdout, the map file and the working folder hold then.
Only what takes a real process is here: real files, folders, FIFOs, permissions,
/dev/full, real fonts and faces, huge lines. The readers' and the driver's own rules are
pinned from memory in tests/*_test.cc."""

import errno
import os
import random
import shutil
import subprocess
import threading
import time

import support
from support import FOOTER, block, header, map_text, run

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")
USAGE = ("Usage: karvex {<fontface>|<bdf filename>} <from_code> [<to_code>] [-o=bmp]"
         "[-e=<ebcode>] [-u=<unicode>] [-x=16] [-y=16] [-m=<gaijimap>][-h]\n")
FULL = os.strerror(errno.ENOSPC)
MEGABYTE = 1 << 20

# An 8 x 8 font box gives an 8 x 16 cell; glyph A fills rows 0 to 7.
BOX = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 -1\n"
GLYPH_A = "STARTCHAR A\nENCODING 65\nBBX 8 8 0 -1\nBITMAP\n18\n24\n42\n42\n7E\n42\n42\n00\nENDCHAR\n"
ROWS_A = ["   ##   ", "  #  #  ", " #    # ", " #    # ", " ###### ", " #    # ", " #    # "] \
    + [" " * 8] * 9
BLOCK_A = block(ROWS_A, 0xA121, 0xE000, 0x41)
MAP_A = map_text([(0xE000, 0xA121)])
HEX = "8 16\n0041:" + "81" * 16 + "\n"
# A 48 x 48 glyph takes 576 digits on one line: here a diagonal, one pixel per row.
DIAGONAL = "".join("%012X" % (1 << (47 - r)) for r in range(48))
NUL_BDF = BOX + "STARTCHAR x\nENCODING 6\0 5\nBBX 8 3 0 4\nBITMAP\nF\0F\n\0FF\n81\n\0ENDCHAR\nENDCHAR\n"


def e(code):
    return os.strerror(code)


def rows(*ink, width=8, height=16):
    """A cell of background rows but for the given (row, text) pairs."""
    picture = [" " * width] * height
    for r, text in ink:
        picture[r] = text.ljust(width)
    return picture


# (what, {file in the test folder: text}, arguments, status, stderr, stdout (None: not
# checked), map file {dir}/m (None: it must not exist)). "{dir}" stands for the test
# folder, which is also the working folder: no run makes any other file there.
CASES = [
    ("good BDF run", {"f.bdf": BOX + GLYPH_A}, ["{dir}/f.bdf", "41", "-h", "-m={dir}/m"],
     0, "", header(8, 16) + BLOCK_A + FOOTER, MAP_A),
    ("missing source", {}, ["{dir}/none.hex", "-h"],
     2, "karvex: {dir}/none.hex: %s\n" % e(errno.ENOENT), "", None),
    ("folder as source", {"d.bdf/x": ""}, ["{dir}/d.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "karvex: {dir}/d.bdf: %s\n" % e(errno.EISDIR), "", ""),
    ("map in a missing folder: nothing is read or written", {"f.bdf": BOX + GLYPH_A},
     ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/no/map.xml"],
     2, "karvex: {dir}/no/map.xml: %s\n" % e(errno.ENOENT), "", None),
    ("map in a missing folder: no BMP file either", {},
     ["Unifont", "41", "42", "-o=bmp", "-h", "-m={dir}/no/map.xml"],
     2, "karvex: {dir}/no/map.xml: %s\n" % e(errno.ENOENT), "", None),
    ("empty hex file: the footer alone", {"e.hex": ""}, ["{dir}/e.hex", "-h", "-m={dir}/m"],
     2, "karvex: {dir}/e.hex: empty file\n", FOOTER, "</gaijiSet>\n"),
    ("size line of one value", {"s.hex": "16\n" + HEX}, ["{dir}/s.hex", "-h", "-m={dir}/m"],
     2, "karvex: {dir}/s.hex: line 1: the size line needs two values\n", "", ""),
    ("hex cell past 32 bits", {"c.hex": HEX}, ["{dir}/c.hex", "-h", "-x=100000", "-y=100000"],
     2, "karvex: {dir}/c.hex: cannot make a 100000x100000 glyph cell\n", FOOTER, None),
    ("hex cell 2147483647 wide", {"c.hex": HEX}, ["{dir}/c.hex", "-x=2147483647", "-m={dir}/m"],
     2, "karvex: {dir}/c.hex: cannot make a 2147483647x16 glyph cell\n", "", ""),
    ("BDF cell 2147483647 high", {"c.bdf": BOX + GLYPH_A},
     ["{dir}/c.bdf", "0", "FF", "-h", "-y=2147483647", "-m={dir}/m"],
     2, "karvex: {dir}/c.bdf: line 2: cannot make a 8x2147483647 glyph cell\n", FOOTER,
     "</gaijiSet>\n"),
    ("second FONTBOUNDINGBOX: what came before stands, no footer",
     {"f.bdf": BOX + GLYPH_A + BOX + GLYPH_A}, ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "karvex: {dir}/f.bdf: line 17: second FONTBOUNDINGBOX\n", header(8, 16) + BLOCK_A,
     MAP_A[:-len("</gaijiSet>\n")]),
    ("STARTCHAR before FONTBOUNDINGBOX: nothing at all",
     {"f.bdf": "STARTFONT 2.1\n" + GLYPH_A + BOX}, ["{dir}/f.bdf", "0", "FF", "-h", "-m={dir}/m"],
     2, "karvex: {dir}/f.bdf: line 2: STARTCHAR before FONTBOUNDINGBOX\n", "", ""),
    ("bitmap before FONTBOUNDINGBOX", {"f.bdf": "BITMAP\nFF\nENDCHAR\n" + BOX + GLYPH_A},
     ["{dir}/f.bdf", "0", "FF", "-h"],
     2, "karvex: {dir}/f.bdf: line 2: bitmap before FONTBOUNDINGBOX\n", "", None),
    # Faces: the cell is not capped for BMP files, and FreeType takes ems up to 65535.
    ("BMP cell 2147483647 wide", {}, ["Unifont", "41", "-o=bmp", "-x=2147483647", "-m={dir}/m"],
     2, "karvex: 0041.bmp: a 2147483647x16 cell gives no BMP picture\n", "",
     map_text([(0xE000, 0xA121)], False)),
    ("BMP em past FreeType's sizes: refused before a canvas is made", {},
     ["Unifont", "41", "42", "-o=bmp", "-x=100000", "-y=100000", "-h"],
     2, "karvex: 0041.bmp: a 100000x100000 cell gives no BMP picture\n",
     header(100000, 100000) + FOOTER, None),
    ("bitmap face in BMP mode at a size it lacks: no blank file stands in", {},
     [os.path.join(support.PCF_DIR, "unifont.pcf.gz"), "41", "-o=bmp", "-x=24", "-y=24"],
     2, "karvex: %s: the face has no size of 24 pixels\n"
     % os.path.join(support.PCF_DIR, "unifont.pcf.gz"), "", None),
    ("bitmap face at a size it lacks: blank blocks, status 2", {},
     [os.path.join(support.PCF_DIR, "unifont.pcf.gz"), "41", "42", "-x=24", "-y=24", "-h",
      "-m={dir}/m"],
     2, "karvex: %s: the face has no size of 24 pixels\n"
     % os.path.join(support.PCF_DIR, "unifont.pcf.gz"),
     header(24, 24) + block([" " * 24] * 24, 0xA121, 0x41) + block([" " * 24] * 24, 0xA122, 0x42)
     + FOOTER, map_text([(0xE000, 0xA121), (0xE001, 0xA122)])),
    # Lines of any length are read whole; .hex lines without a glyph take no EB code.
    ("576-digit glyph line between blank lines",
     {"l.hex": "48 48\n\nE000:%s\n::\n \t\r\nE001:%s" % (DIAGONAL, "FF" * 6)},
     ["{dir}/l.hex", "-e=A17E", "-m={dir}/m"], 0, "",
     block([" " * r + "#" + " " * (47 - r) for r in range(48)], 0xA17E, 0xE000)
     + block(rows((0, "#" * 48), width=48, height=48), 0xA221, 0xE001),
     map_text([(0xE000, 0xA17E), (0xE001, 0xA221)], False)),
    ("hex bitmap of a megabyte: the first 16 bytes fill the cell",
     {"big.hex": "8 16\n0041:" + "A5" * (MEGABYTE // 2) + "\n0042:" + "FF" * 16}, ["{dir}/big.hex"],
     0, "", block(["# #  # #"] * 16, 0xA121, 0x41) + block(["#" * 8] * 16, 0xA122, 0x42), None),
    ("hex line of a megabyte of blanks and colons carries no glyph",
     {"blank.hex": "8 16\n" + " :" * (MEGABYTE // 2) + "\n0042:" + "FF" * 16}, ["{dir}/blank.hex"],
     0, "", block(["#" * 8] * 16, 0xA121, 0x42), None),
    ("BDF comment ending in a keyword, bitmap row of a megabyte",
     {"big.bdf": BOX + "COMMENT " + "x " * (MEGABYTE // 2) + "ENDFONT\n"
      + GLYPH_A.replace("\n18\n", "\n18" + "0" * MEGABYTE + "ENDCHAR\n")},
     ["{dir}/big.bdf", "0", "FF"], 0, "", BLOCK_A, None),
    # A NUL ends a line's text: "ENCODING 6\0 5" reads as 6, a NUL-led row as background,
    # a NUL-led ENDCHAR is no ENDCHAR.
    ("NUL bytes in a BDF font", {"nul.bdf": NUL_BDF}, ["{dir}/nul.bdf", "0", "FF"], 0, "",
     block(rows((0, "    ####"), (2, "#      #")), 0xA121, 0xE000, 6), None),
    ("hex file of NUL bytes", {"z.hex": "\0" * 4096}, ["{dir}/z.hex", "-h"],
     2, "karvex: {dir}/z.hex: line 1: the size line needs two values\n", "", None),
    ("BDF file of NUL bytes", {"z.bdf": "\0" * 4096}, ["{dir}/z.bdf", "-h"], 0, "", FOOTER, None),
    ("usage: no arguments", {}, [], 255, "", USAGE, None),
    ("usage: -? after a source and a map file", {"f.bdf": BOX + GLYPH_A},
     ["{dir}/f.bdf", "0", "FF", "-m={dir}/m", "-?"], 255, "", USAGE, None),
]


class FaultTest(support.unittest.TestCase):
    def test_cases(self):
        for what, files, args, status, err, out, map_text_ in CASES:
            with self.subTest(what):
                tmp = support.TempDir(self)
                for name, text in files.items():
                    os.makedirs(os.path.dirname(tmp.join(name)), exist_ok=True)
                    tmp.file(name, text)
                before = set(os.listdir(tmp.path))
                result = run(*[a.replace("{dir}", tmp.path) for a in args], cwd=tmp.path)
                self.assertEqual((result.status, result.err), (status, err.replace("{dir}", tmp.path)))
                if out is not None:
                    self.assertTrue(result.out.decode("latin-1") == out,
                                    support.first_difference(result.out.decode("latin-1"), out))
                if map_text_ is None:
                    self.assertFalse(os.path.exists(tmp.join("m")))
                else:
                    with open(tmp.join("m"), encoding="latin-1") as f:
                        self.assertEqual(f.read(), map_text_)
                self.assertEqual(set(os.listdir(tmp.path)) - before - {"m"}, set())

    def test_write_errors(self):
        # (what, arguments, stdout on /dev/full?, status). Small runs fail at the last
        # flush; whole Unifont fails while glyphs are still being written.
        sample_bdf = [os.path.join(EXAMPLES, "sample.bdf"), "0", "FFFF", "-h"]
        unifont_hex = [support.unifont16_hex(), "-h"]
        for what, args, status in [
            ("sample BDF", sample_bdf, 2),
            ("sample hex", [os.path.join(EXAMPLES, "sample.hex"), "-h"], 2),
            ("unifont hex", unifont_hex, 2),
            ("face text art", ["Unifont", "41", "5A", "-h"], 2),
            ("face text art without a header", ["Unifont", "0", "FFF"], 2),
            ("face BMP files with a header", ["Unifont", "41", "43", "-o=bmp", "-h"], 2),
            ("face BMP files alone: stdout stays empty", ["Unifont", "41", "43", "-o=bmp"], 0),
            ("usage line", ["-?"], 2),
        ]:
            with self.subTest("stdout: " + what):
                tmp = support.TempDir(self)
                with open("/dev/full", "wb") as full:
                    result = run(*args, stdout=full, cwd=tmp.path)
                self.assertEqual((result.status, result.err),
                                 (status, "karvex: standard output: %s\n" % FULL if status else ""))
                if "-o=bmp" in args:
                    self.assertEqual(sorted(os.listdir(tmp.path)), ["0041.bmp", "0042.bmp", "0043.bmp"])
        # The map file on /dev/full: stdout still gets every glyph.
        for what, args in [("sample BDF", sample_bdf), ("unifont hex", unifont_hex)]:
            with self.subTest("map: " + what):
                good = run(*args)
                result = run(*args, "-m=/dev/full")
                self.assertEqual((good.status, result.status, result.err),
                                 (0, 2, "karvex: /dev/full: %s\n" % FULL))
                self.assertTrue(result.out == good.out, "stdout differs from a good run")

    def test_read_only_map_folder(self):
        # A read-only tmpfs in user and mount namespaces of our own; root is refused too.
        if subprocess.run(["unshare", "-rm", "true"], capture_output=True).returncode != 0:
            self.skipTest("no user and mount namespaces here")
        tmp = support.TempDir(self)
        ro = tmp.join("ro")
        os.mkdir(ro)
        font = tmp.file("f.hex", HEX)
        for source, args in [(font, ["-h"]), ("Unifont", ["41", "-o=bmp", "-h"])]:
            with self.subTest(source=os.path.basename(source)):
                script = 'mount -t tmpfs -o ro none "$1" && shift && exec "$@"'
                p = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", ro, support.KARVEX,
                                    source, *args, "-m=%s/map.xml" % ro],
                                   capture_output=True, cwd=tmp.path)
                self.assertEqual((p.returncode, p.stderr.decode(), p.stdout), (
                    2, "karvex: %s/map.xml: %s\n" % (ro, e(errno.EROFS)), b""))
                self.assertEqual(sorted(os.listdir(tmp.path)), ["f.hex", "ro"])

    def test_sources_that_are_not_plain_files(self):
        tmp = support.TempDir(self)
        # Root reads any file whatever its mode, so as root the tool runs as "nobody".
        os.chmod(tmp.path, 0o755)
        binary = tmp.join("karvex")
        shutil.copy(support.KARVEX, binary)
        locked = tmp.file("locked.bdf", BOX + GLYPH_A)
        os.chmod(locked, 0)
        command = [binary, locked, "0", "FF", "-h"]
        if os.geteuid() == 0:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                       "--inh-caps=-all"] + command
        p = subprocess.run(command, capture_output=True)
        self.assertEqual((p.returncode, p.stderr.decode(), p.stdout),
                         (2, "karvex: %s: %s\n" % (locked, e(errno.EACCES)), b""))
        # /proc/self/mem opens, but reading its first page fails: an I/O error mid-read.
        os.symlink("/proc/self/mem", tmp.join("mem.hex"))
        result = run(tmp.join("mem.hex"), "-h")
        self.assertEqual((result.status, result.err, result.out),
                         (2, "karvex: %s: %s\n" % (tmp.join("mem.hex"), e(errno.EIO)), b""))
        # A FIFO without a writer reads as empty: a .hex file needs its size line, a BDF
        # font without glyphs is no fault.
        for name, status, err in [("f.hex", 2, "empty file"), ("f.bdf", 0, None)]:
            with self.subTest(name):
                os.mkfifo(tmp.join(name))
                result = run(tmp.join(name), "0", "FF", "-h", timeout=20)
                self.assertEqual((result.status, result.err, result.out), (
                    status, "karvex: %s: %s\n" % (tmp.join(name), err) if err else "",
                    FOOTER.encode()))

    def test_fifo_with_a_writer_is_read_whole(self):
        # The test holds the FIFO open before the tool starts, so the tool finds a writer;
        # it writes once the tool has the FIFO open, more than a pipe holds, so the tool
        # reads while the writer still writes, and closes it to end the input.
        path = support.unifont16_hex()
        expected = run(path, "-h")
        fifo = support.TempDir(self).join("u.hex")
        os.mkfifo(fifo)
        fd = os.open(fifo, os.O_RDWR)  # a writer (and reader) that never blocks
        p = subprocess.Popen([support.KARVEX, fifo, "-h"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)

        def write_when_open():
            # Closing the FIFO before the tool has it open would drop what it holds.
            fds, deadline = "/proc/%d/fd" % p.pid, time.time() + 30
            while time.time() < deadline and p.poll() is None:
                try:
                    if any(os.readlink(os.path.join(fds, n)) == fifo for n in os.listdir(fds)):
                        break
                except OSError:
                    pass
                time.sleep(0.001)
            with os.fdopen(fd, "wb") as f, open(path, "rb") as src:
                f.write(src.read())

        writer = threading.Thread(target=write_when_open)
        writer.start()
        out, err = p.communicate(timeout=60)
        writer.join()
        self.assertEqual((p.returncode, err, expected.status), (0, b"", 0))
        self.assertTrue(out == expected.out, "FIFO output differs from the file's")

    def test_last_codes(self):
        # Codes 7FFFFFF0 to 7FFFFFFF: the last one has no 32-bit successor.
        tmp = support.TempDir(self)
        codes = range(0x7FFFFFF0, 0x80000000)
        pairs = list(zip(range(0xE000, 0xE010), support.eb_codes()))
        result = run("Unifont", "7FFFFFF0", "7FFFFFFF", "-h", "-m=" + tmp.join("m"), timeout=60)
        self.assertEqual((result.status, result.err), (0, ""))
        self.assertEqual(result.out.decode(), header(16, 16) + "".join(
            block([" " * 16] * 16, eb, code) for code, (_, eb) in zip(codes, pairs)) + FOOTER)
        with open(tmp.join("m")) as f:
            self.assertEqual(f.read(), map_text(pairs))
        result = run("Unifont", "7FFFFFF0", "7FFFFFFF", "-o=bmp", cwd=tmp.path, timeout=60)
        self.assertEqual((result.status, result.err, result.out), (0, "", b""))
        self.assertEqual(sorted(os.listdir(tmp.path)), ["%X.bmp" % c for c in codes] + ["m"])
        with open(tmp.join("7FFFFFFF.bmp"), "rb") as f:
            white = f.read()
        self.assertEqual((len(white), white[62:]), (126, b"\xff\xff\0\0" * 16))

    def test_real_font_cut_inside_a_bitmap(self):
        # unifont.bdf cut in bitmap row 6 of U+0041: every glyph before it comes out as
        # from the whole font, that glyph is dropped, the footer closes the output.
        path = support.bdf_from_pcf("unifont.pcf.gz")
        with open(path, "rb") as f:
            data = f.read()
        row = data.index(b"BITMAP\n", data.index(b"\nENCODING 65\n")) + 7
        for _ in range(5):
            row = data.index(b"\n", row) + 1
        tmp = support.TempDir(self)
        short = tmp.file("cut.bdf", data[:row + 1])
        whole = run(path, "0", "40", "-h", "-m=" + tmp.join("whole.xml"))
        result = run(short, "0", "FFFF", "-h", "-m=" + tmp.join("cut.xml"))
        self.assertEqual((whole.status, whole.err), (0, ""))
        self.assertEqual((result.status, result.err), (2, "karvex: %s: line %d: the file ends "
                         "inside a bitmap\n" % (short, data[:row + 1].count(b"\n") + 1)))
        self.assertTrue(result.out == whole.out, "the glyphs before the cut differ")
        with open(tmp.join("cut.xml")) as cut, open(tmp.join("whole.xml")) as full:
            self.assertEqual(cut.read(), full.read())
        self.assertEqual(len(support.glyph_blocks(result.out.decode())), 0x41)

    def test_crlf_files_read_as_lf_files(self):
        for path, args in [(os.path.join(EXAMPLES, "sample.bdf"), ["0", "FFFF"]),
                           (support.bdf_from_pcf("unifont.pcf.gz"), ["0", "10FFFF"]),
                           (support.unifont16_hex(), [])]:
            with self.subTest(os.path.basename(path)):
                tmp = support.TempDir(self)
                runs = []
                for source, map_name in [(path, "lf.xml"), (support.crlf_copy(path), "crlf.xml")]:
                    result = run(source, *args, "-h", "-m=" + tmp.join(map_name))
                    with open(tmp.join(map_name), "rb") as f:
                        runs.append((result.status, result.err, result.out, f.read()))
                self.assertEqual(runs[0][:2], (0, ""))
                self.assertIn(b"<fontData ", runs[0][2])
                self.assertTrue(runs[0] == runs[1], "CR LF output differs")

    def test_random_bytes(self):
        # 64 KiB from fixed seeds; no line starts with a BDF keyword, so the BDF reader
        # writes the footer alone. The hex reader needs two tokens on the first line (seed
        # 4 has one, seed 7 two, the first "8\xb4...", an 8 x 16 cell) and takes every line with
        # text but blanks, tabs, CR and colons as a glyph.
        tmp = support.TempDir(self)
        for seed in (4, 7):
            data = random.Random(seed).randbytes(1 << 16)
            with self.subTest(seed=seed):
                result = run(tmp.file("r.bdf", data), "0", "7FFFFFFF", "-h")
                self.assertEqual((result.status, result.err, result.out), (0, "", FOOTER.encode()))
                path = tmp.file("r.hex", data)
                result = run(path, "-h", "-m=" + tmp.join("m"))
                with open(tmp.join("m")) as f:
                    map_lines = f.read().count("<gaijiMap ")
                if seed == 4:
                    self.assertEqual((result.status, result.err, result.out, map_lines), (
                        2, "karvex: %s: line 1: the size line needs two values\n" % path, b"", 0))
                    continue
                self.assertEqual((result.status, result.err), (0, ""))
                text = [line.split(b"\0")[0] for line in data.split(b"\n")[1:]]
                glyphs = len([t for t in text if t.strip(b" \t\r\n:")])
                blocks = support.glyph_blocks(result.out.decode("latin-1"))
                self.assertEqual((len(blocks), map_lines), (glyphs, glyphs))
                self.assertGreater(glyphs, 100)
                self.assertTrue(result.out.startswith(header(8, 16).encode()))
                self.assertTrue(result.out.endswith(FOOTER.encode()))
                for (opening, cell), eb in zip(blocks, support.eb_codes()):
                    self.assertEqual(support.attribute(opening, "ebcode"), "%X" % eb)
                    self.assertTrue(len(cell) == 16 and all(len(r) == 8 and set(r) <= {" ", "#"}
                                                            for r in cell), opening)


if __name__ == "__main__":
    support.main()
