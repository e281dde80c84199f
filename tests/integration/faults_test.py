"""Faults from outside the tool: sources that are folders, FIFOs, unreadable or random
files, outputs that cannot be made or written, extreme sizes and codes, huge lines, NUL
bytes, a font cut off in a bitmap. Each has its exact exit status and stderr line, and
a run that reports success has done all of its work.

The readers' own fault list (missing files, empty and malformed fonts, cells past 32 bits,
/dev/full for the readers) is in cli_faults_test.py, long and blank lines and CR LF files
in line_input_test.py, BMP files that cannot be made in face_bmp_test.py."""

import errno
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402

EXAMPLES = os.path.join(os.path.dirname(__file__), "../../examples")
FACE = "Unifont"
FULL = os.strerror(errno.ENOSPC)

# An 8 x 16 cell font: glyph A fills rows 0 to 7.
BOX = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 -1\n"
GLYPH_A = ("STARTCHAR A\nENCODING 65\nBBX 8 8 0 -1\nBITMAP\n"
           "18\n24\n42\n42\n7E\n42\n42\n00\nENDCHAR\n")
ROWS_A = ["   ##   ", "  #  #  ", " #    # ", " #    # ", " ###### ", " #    # ", " #    # ",
          "        "] + ["        "] * 8


def read(path, mode="r"):
    with open(path, mode, **({} if "b" in mode else {"encoding": "latin-1"})) as f:
        return f.read()


def failure(name, reason):
    return "karvex: %s: %s\n" % (name, reason)


def blocks(out):
    return support.glyph_blocks(out.decode("latin-1"))


def tokens(line):
    """A line's tokens as both readers cut them: blanks, CR and LF separate; tabs do not."""
    return [t for t in re.split(rb"[ \r\n]", line) if t]


def atoi(token):
    """The C library's atoi on a token: leading white space, a sign, digits; clamped."""
    m = re.match(rb"[ \t\n\v\f\r]*([+-]?)([0-9]*)", token)
    value = int(m.group(2) or b"0") * (-1 if m.group(1) == b"-" else 1)
    return max(-2 ** 31, min(2 ** 31 - 1, value))


def hex_cell(n):
    """The cell of a .hex size line's N: 8 x 16 up to 12, 16 x 16, 24 x 24, 32 x 30, and
    48 x 48 above 32 or below 0."""
    for top, cell in [(12, (8, 16)), (16, (16, 16)), (24, (24, 24)), (32, (32, 30))]:
        if 0 <= n <= top:
            return cell
    return 48, 48


class Case(support.unittest.TestCase):
    def folder(self):
        return support.TempDir(self)

    def assert_run(self, result, status, err, out=None):
        self.assertEqual((result.status, result.err), (status, err), result)
        if out is not None:
            self.assertEqual(result.out.decode("latin-1"), out)


class OutputFaultTest(Case):
    """Outputs that cannot be made or written."""

    def test_stdout_full_in_face_runs(self):
        # Text art and BMP mode's header and footer: the loss is reported, also when it
        # happens at the last flush. BMP mode without -h writes nothing to stdout.
        cases = [
            ("text art", ["41", "5A", "-h"], 2),
            ("text art, no header", ["0", "FFF"], 2),
            ("BMP files with a header", ["41", "43", "-o=bmp", "-h"], 2),
            ("BMP files alone", ["41", "43", "-o=bmp"], 0),
        ]
        for what, args, status in cases:
            with self.subTest(what):
                tmp = self.folder()
                with open("/dev/full", "wb") as full:
                    result = support.run(FACE, *args, stdout=full, cwd=tmp.path)
                self.assert_run(result, status,
                                failure("standard output", FULL) if status else "")
                if "-o=bmp" in args:
                    self.assertEqual(sorted(os.listdir(tmp.path)),
                                     ["0041.bmp", "0042.bmp", "0043.bmp"])

    def test_map_file_that_cannot_be_made(self):
        # The map file is made first; when it cannot be, nothing is read, drawn or written.
        tmp = self.folder()
        bdf = tmp.file("f.bdf", BOX + GLYPH_A)
        hexfile = tmp.file("f.hex", "8 16\n0041:FF\n")
        os.mkdir(tmp.join("folder.xml"))
        maps = [
            (tmp.join("no/map.xml"), os.strerror(errno.ENOENT)),
            (tmp.join("folder.xml"), os.strerror(errno.EISDIR)),
            (tmp.join("f.hex/map.xml"), os.strerror(errno.ENOTDIR)),
            ("/sys/karvex-map.xml", os.strerror(errno.EACCES)),  # sysfs: even root may not
            (tmp.join("m" * 300 + ".xml"), os.strerror(errno.ENAMETOOLONG)),
        ]
        sources = [(bdf, ["0", "FF", "-h"]), (hexfile, ["-h"]), (FACE, ["41", "-h"]),
                   (FACE, ["41", "42", "-o=bmp", "-h"])]
        for map_path, reason in maps:
            for source, args in sources:
                with self.subTest(map=map_path[-20:], source=os.path.basename(source), args=args):
                    cwd = self.folder()
                    result = support.run(source, *args, "-m=" + map_path, cwd=cwd.path)
                    self.assert_run(result, 2, failure(map_path, reason), "")
                    self.assertEqual(os.listdir(cwd.path), [])
        self.assertFalse(os.path.exists(tmp.join("no")))

    def test_map_file_in_a_read_only_folder(self):
        # A read-only tmpfs in mount and user namespaces of our own; root is refused too.
        if subprocess.run(["unshare", "-rm", "true"], capture_output=True).returncode != 0:
            self.skipTest("no user and mount namespaces here")
        tmp = self.folder()
        ro = tmp.join("ro")
        os.mkdir(ro)
        font = tmp.file("f.hex", "8 16\n0041:FF\n")
        for source, args in [(font, ["-h"]), (FACE, ["41", "-h"])]:
            with self.subTest(source=os.path.basename(source)):
                script = 'mount -t tmpfs -o ro none "$1" && shift && exec "$@"'
                p = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", ro,
                                    support.KARVEX, source, *args, "-m=%s/map.xml" % ro],
                                   capture_output=True)
                self.assertEqual((p.returncode, p.stderr.decode(), p.stdout),
                                 (2, failure(ro + "/map.xml", os.strerror(errno.EROFS)), b""))


class SourceFaultTest(Case):
    """Sources that are not plain readable files."""

    def test_folder_as_source(self):
        tmp = self.folder()
        for name in ("d.bdf", "d.HEX"):
            os.mkdir(tmp.join(name))
            with self.subTest(name):
                result = support.run(tmp.join(name), "0", "FF", "-h", "-m=" + tmp.join("m"))
                self.assert_run(result, 2, failure(tmp.join(name), os.strerror(errno.EISDIR)),
                                "")
                self.assertEqual(read(tmp.join("m")), "")

    def test_file_without_read_permission(self):
        # Root reads any file whatever its mode, so as root the tool runs as "nobody".
        tmp = self.folder()
        os.chmod(tmp.path, 0o755)
        binary = tmp.join("karvex")
        shutil.copy(support.KARVEX, binary)
        for name, text in [("locked.hex", "8 16\n0041:FF\n"), ("locked.bdf", BOX + GLYPH_A)]:
            with self.subTest(name):
                path = tmp.file(name, text)
                os.chmod(path, 0)
                command = [binary, path, "0", "FF", "-h"]
                if os.geteuid() == 0:
                    command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                               "--inh-caps=-all"] + command
                p = subprocess.run(command, capture_output=True)
                self.assertEqual((p.returncode, p.stderr.decode(), p.stdout),
                                 (2, failure(path, os.strerror(errno.EACCES)), b""))

    def test_file_that_fails_while_read(self):
        # /proc/self/mem opens, but reading its first page fails: an I/O error mid-read.
        tmp = self.folder()
        for name in ("mem.hex", "mem.bdf"):
            with self.subTest(name):
                os.symlink("/proc/self/mem", tmp.join(name))
                result = support.run(tmp.join(name), "-h")
                self.assert_run(result, 2, failure(tmp.join(name), os.strerror(errno.EIO)), "")

    def test_fifo_without_a_writer_reads_as_empty(self):
        tmp = self.folder()
        for name, status, err_reason, out in [
            ("f.hex", 2, "empty file", support.FOOTER),  # a .hex file needs its size line
            ("f.bdf", 0, None, support.FOOTER),         # a BDF without glyphs is no fault
        ]:
            with self.subTest(name):
                os.mkfifo(tmp.join(name))
                result = support.run(tmp.join(name), "0", "FF", "-h", timeout=20)
                self.assert_run(result, status,
                                failure(tmp.join(name), err_reason) if err_reason else "", out)

    def test_fifo_with_a_writer_is_read_whole(self):
        # The test holds the FIFO open before the tool starts, so the tool finds a writer;
        # it writes once the tool has the FIFO open, more than a pipe holds, so the tool
        # reads while the writer still writes, and closes it to end the input.
        sources = [(os.path.join(EXAMPLES, "sample.hex"), "s.hex", []),
                   (support.bdf_from_pcf("shnm8x16r.pcf.gz"), "s.bdf", ["0", "FF"])]
        for path, name, args in sources:
            with self.subTest(name):
                data = read(path, "rb")
                expected = support.run(path, *args, "-h")
                self.assertEqual(expected.status, 0)
                tmp = self.folder()
                fifo = tmp.join(name)
                os.mkfifo(fifo)
                fd = os.open(fifo, os.O_RDWR)  # a writer (and reader) that never blocks
                p = subprocess.Popen([support.KARVEX, fifo, *args, "-h"],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                writer = threading.Thread(target=self.write_when_open, args=(p, fifo, fd, data))
                writer.start()
                out, err = p.communicate(timeout=60)
                writer.join()
                self.assertEqual((p.returncode, err), (0, b""))
                self.assertTrue(out == expected.out, "FIFO output differs from the file's")
                self.assertGreater(len(blocks(out)), 4)

    @staticmethod
    def write_when_open(process, fifo, fd, data):
        # Closing the FIFO before the tool has it open would drop what it holds.
        deadline = time.time() + 30
        fds = "/proc/%d/fd" % process.pid
        while time.time() < deadline and process.poll() is None:
            try:
                if any(os.readlink(os.path.join(fds, n)) == fifo for n in os.listdir(fds)):
                    break
            except OSError:
                pass
            time.sleep(0.001)
        with os.fdopen(fd, "wb") as f:
            f.write(data)

    def test_random_bytes(self):
        # 64 KiB from fixed seeds. No line starts with a BDF keyword, so the BDF reader
        # writes the footer alone. The hex reader needs two tokens on the first line (seed
        # 4 has one, seed 7 two) and then takes each line with text as a glyph.
        for seed, size_line_ok in [(4, False), (7, True)]:
            with self.subTest(seed=seed):
                self.check_random_bytes(random.Random(seed).randbytes(1 << 16), size_line_ok)

    def check_random_bytes(self, data, size_line_ok):
        tmp = self.folder()
        lines = data.split(b"\n")
        if lines[-1] == b"":
            lines.pop()
        text_of = [line.split(b"\0")[0] for line in lines]  # a NUL ends a line's text
        firsts = {tokens(t)[0] for t in text_of if tokens(t)}
        self.assertFalse(firsts & {b"STARTCHAR", b"FONTBOUNDINGBOX", b"BITMAP", b"ENDFONT",
                                   b"CHARS", b"ENCODING", b"BBX"})
        result = support.run(tmp.file("r.bdf", data), "0", "7FFFFFFF", "-h")
        self.assert_run(result, 0, "", support.FOOTER)

        path = tmp.file("r.hex", data)
        result = support.run(path, "-h", "-m=" + tmp.join("map.xml"))
        size_tokens = tokens(text_of[0])
        self.assertEqual(len(size_tokens) >= 2, size_line_ok)
        if not size_line_ok:
            self.assert_run(result, 2, failure(path, "line 1: the size line needs two values"),
                            "")
            self.assertEqual(read(tmp.join("map.xml")), "")
            return
        width, height = hex_cell(atoi(size_tokens[0]))
        glyph_lines = [t for t in text_of[1:] if t.strip(b" \t\r\n:")]
        self.assert_run(result, 0, "")
        out = result.out.decode("latin-1")
        found = blocks(result.out)
        self.assertEqual(len(found), len(glyph_lines))
        self.assertGreater(len(found), 100)
        self.assertTrue(out.startswith(support.header(width, height)))
        self.assertTrue(out.endswith(support.FOOTER))
        ebs = support.eb_codes()
        for opening, rows in found:
            self.assertEqual(support.attribute(opening, "ebcode"), "%X" % next(ebs))
            self.assertEqual(len(rows), height)
            self.assertTrue(all(len(r) == width and set(r) <= {" ", "#"} for r in rows))
        self.assertEqual(read(tmp.join("map.xml")).count("<gaijiMap "), len(glyph_lines))

    def test_random_bytes_as_a_font_file(self):
        # FreeType cannot open it, so the name is looked up as a family name: a stand-in
        # face with a notice, and a good run.
        tmp = self.folder()
        path = tmp.file("random.ttf", random.Random(5).randbytes(1 << 14))
        stand_in = subprocess.run(["fc-match", "-f", "%{family[0]}", path],
                                  capture_output=True, text=True, check=True).stdout
        result = support.run(path, "41", "-h")
        self.assert_run(result, 0, 'karvex: no face named "%s"; using "%s"\n' % (path, stand_in))
        self.assertEqual(len(blocks(result.out)), 1)


class ExtremeValueTest(Case):
    """Forced sizes and codes at the ends of their ranges, for each kind of source."""

    def test_forced_sizes_past_any_cell(self):
        # W x (H + 1) bytes past 32 bits: no cell, one line, the footer alone.
        tmp = self.folder()
        hexfile = tmp.file("f.hex", "16 16\n0041:" + "FF" * 32 + "\n")
        bdf = tmp.file("f.bdf", BOX + GLYPH_A)
        cases = [
            (hexfile, ["-x=2147483647"], "2147483647x16"),
            (hexfile, ["-y=2147483647"], "16x2147483647"),
            (hexfile, ["-x=100000", "-y=100000"], "100000x100000"),
            (bdf, ["0", "FF", "-x=2147483647"], "2147483647x16"),
            (bdf, ["0", "FF", "-y=2147483647"], "8x2147483647"),
        ]
        for source, args, cell in cases:
            with self.subTest(source=os.path.basename(source), args=args):
                result = support.run(source, *args, "-h", "-m=" + tmp.join("m"))
                self.assert_run(result, 2, failure(source, "cannot make a %s glyph cell" % cell)
                                if source == hexfile else
                                failure(source, "line 2: cannot make a %s glyph cell" % cell),
                                support.FOOTER)
                self.assertEqual(read(tmp.join("m")), "</gaijiSet>\n")

    def test_forced_sizes_in_face_text_dumps(self):
        # The header shows the size asked for; the rows are capped at the 48 x 48 canvas
        # and drawn at that em, as a 48-pixel dump of the same window.
        for args, size, capped in [
            (["-x=100000", "-y=100000"], "100000X100000", ["-x=48", "-y=48"]),
            (["-x=2147483647"], "2147483647X16", ["-x=48", "-y=16"]),
            (["-y=2147483647"], "16X2147483647", ["-x=16", "-y=48"]),
        ]:
            with self.subTest(args=args):
                result = support.run(FACE, "41", "42", *args, "-h")
                reference = support.run(FACE, "41", "42", *capped, "-h")
                self.assert_run(result, 0, "")
                out = result.out.decode("latin-1")
                self.assertIn('<fontSet size="%s" start="A121">' % size, out)
                self.assertEqual(blocks(result.out), blocks(reference.out))
                self.assertTrue(any("#" in r for _, rows in blocks(result.out) for r in rows))

    def test_forced_sizes_in_bmp_export(self):
        # An em past the 65535 pixels FreeType takes draws nothing: no blank file stands
        # in for the picture. Past 32 bits of file size there is no picture at all.
        for args, line in [
            (["-x=100000", "-y=100000"],
             failure(FACE, "the face has no size of 100000 pixels")),
            (["-x=2147483647"], failure("0041.bmp", "a 2147483647x16 cell gives no BMP picture")),
        ]:
            with self.subTest(args=args):
                tmp = self.folder()
                result = support.run(FACE, "41", "42", "-o=bmp", *args, "-h",
                                     "-m=" + tmp.join("map.xml"), cwd=tmp.path)
                self.assert_run(result, 2, line)
                self.assertEqual(os.listdir(tmp.path), ["map.xml"])
                self.assertEqual(read(tmp.join("map.xml")).count("<gaijiMap "), 2)

    def test_bitmap_font_at_a_size_it_lacks(self):
        # The PCF Unifont has one strike, 16 pixels: at 24 the glyphs would come out blank.
        pcf = os.path.join(support.PCF_DIR, "unifont.pcf.gz")
        good = support.run(pcf, "41", "-h")
        self.assert_run(good, 0, "")
        result = support.run(pcf, "41", "42", "-x=24", "-y=24", "-h")
        self.assert_run(result, 2, failure(pcf, "the face has no size of 24 pixels"))
        self.assertEqual(len(blocks(result.out)), 2)
        self.assertTrue(result.out.endswith(support.FOOTER.encode()))

    def test_last_codes(self):
        # Codes 7FFFFFF0 to 7FFFFFFF: the last one has no 32-bit successor.
        tmp = self.folder()
        last16 = list(range(0x7FFFFFF0, 0x80000000))
        pairs = list(zip(range(0xE000, 0xE010), support.eb_codes()))

        result = support.run(FACE, "7FFFFFF0", "7FFFFFFF", "-h", "-m=" + tmp.join("m"),
                             timeout=60)
        self.assert_run(result, 0, "", support.header(16, 16) + "".join(
            support.block([" " * 16] * 16, eb, code) for code, (_, eb) in zip(last16, pairs))
            + support.FOOTER)
        self.assertEqual(read(tmp.join("m")), support.map_text(pairs))

        cwd = self.folder()
        result = support.run(FACE, "7FFFFFF0", "7FFFFFFF", "-o=bmp", cwd=cwd.path, timeout=60)
        self.assert_run(result, 0, "", "")
        self.assertEqual(sorted(os.listdir(cwd.path)), ["%X.bmp" % c for c in last16])
        white = read(cwd.join("7FFFFFFF.bmp"), "rb")
        self.assertEqual((len(white), white[62:]), (126, b"\xff\xff\0\0" * 16))

        # BDF: ENCODING past the int32 range reads as 2147483647, as atoi clamps.
        glyphs = "".join(GLYPH_A.replace("ENCODING 65", "ENCODING %s" % e)
                         for e in ("2147483631", "2147483632", "2147483647", "99999999999"))
        result = support.run(tmp.file("last.bdf", BOX + glyphs), "7FFFFFF0", "7FFFFFFF", "-h")
        self.assert_run(result, 0, "", support.header(8, 16) + "".join(
            support.block(ROWS_A, eb, 0xE000 + i, code) for i, (code, eb) in enumerate(
                zip([0x7FFFFFF0, 0x7FFFFFFF, 0x7FFFFFFF], support.eb_codes())))
            + support.FOOTER)

        # Hex: codes are taken whole, the low 32 bits of longer ones.
        lines = "".join("%s:%s\n" % (c, "81" * 16) for c in ("7FFFFFF0", "7FFFFFFF",
                                                              "80000000", "123456789"))
        result = support.run(tmp.file("last.hex", "8 16\n" + lines), "-h")
        self.assert_run(result, 0, "", support.header(8, 16) + "".join(
            support.block(["#      #"] * 16, eb, code) for code, eb in zip(
                [0x7FFFFFF0, 0x7FFFFFFF, 0x80000000, 0x23456789], support.eb_codes()))
            + support.FOOTER)


MEGABYTE = 1 << 20


class HugeInputTest(Case):
    """Lines of a megabyte, arguments of the largest size the kernel passes, NUL bytes."""

    def test_megabyte_lines(self):
        tmp = self.folder()
        a5 = "# #  # #"
        cases = [
            # A glyph line of a megabyte: the first 16 bytes fill the 8 x 16 cell.
            ("hex bitmap", "big.hex", "8 16\n0041:" + "A5" * (MEGABYTE // 2) + "\n0042:" + "FF" * 16,
             [], support.block([a5] * 16, 0xA121, 0x41)
             + support.block(["########"] * 16, 0xA122, 0x42)),
            # A megabyte of blanks and colons carries no glyph.
            ("hex blank", "blank.hex", "8 16\n" + " :" * (MEGABYTE // 2) + "\n0042:" + "FF" * 16,
             [], support.block(["########"] * 16, 0xA121, 0x42)),
            # A comment that ends in a keyword, and a bitmap row of a megabyte.
            ("BDF", "big.bdf", BOX + "COMMENT " + "x " * (MEGABYTE // 2) + "ENDFONT\n"
             + GLYPH_A.replace("\n18\n", "\n18" + "0" * MEGABYTE + "ENDCHAR\n"),
             ["0", "FF"], support.block(ROWS_A, 0xA121, 0xE000, 0x41)),
        ]
        for what, name, text, args, body in cases:
            with self.subTest(what):
                result = support.run(tmp.file(name, text), *args, "-h")
                self.assert_run(result, 0, "", support.header(8, 16) + body + support.FOOTER)

    def test_longest_arguments(self):
        # The kernel passes arguments of up to 128 KiB. Names are used whole: too long for
        # a file name, they fail to open and say so.
        tmp = self.folder()
        long_map = tmp.join("m" * (128 * 1024 - 100) + ".xml")
        long_source = tmp.join("s" * (128 * 1024 - 100) + ".hex")
        too_long = os.strerror(errno.ENAMETOOLONG)
        font = tmp.file("f.hex", "8 16\n0041:FF\n")
        self.assert_run(support.run(font, "-m=" + long_map), 2, failure(long_map, too_long), "")
        self.assert_run(support.run(long_source, "-h"), 2, failure(long_source, too_long), "")
        # Long option values are read as numbers: digits past the int32 range clamp.
        result = support.run(font, "-x=" + "9" * 100000, "-y=-" + "9" * 100000)
        self.assert_run(result, 2, failure(font, "cannot make a 2147483647x16 glyph cell"), "")

    def test_nul_bytes(self):
        tmp = self.folder()
        # A NUL ends a line's text: "ENCODING 6\0 5" reads as 6, a NUL-led bitmap row as
        # no digits (background), and a NUL-led ENDCHAR is no ENDCHAR.
        font = (BOX + "STARTCHAR x\nENCODING 6\0 5\nBBX 8 3 0 4\nBITMAP\n"
                "F\0F\n\0FF\n81\n\0ENDCHAR\nENDCHAR\n")
        rows = [" " * 8] * 16
        rows[0], rows[2] = "    ####", "#      #"
        result = support.run(tmp.file("nul.bdf", font), "0", "FF", "-h")
        self.assert_run(result, 0, "", support.header(8, 16)
                        + support.block(rows, 0xA121, 0xE000, 6) + support.FOOTER)
        # Files of NUL bytes alone: a .hex file without a size line, a BDF without glyphs.
        zeros = "\0" * 4096
        self.assert_run(support.run(tmp.file("z.hex", zeros), "-h"), 2,
                        failure(tmp.join("z.hex"), "line 1: the size line needs two values"), "")
        self.assert_run(support.run(tmp.file("z.bdf", zeros), "-h"), 0, "", support.FOOTER)


class CutFontTest(Case):
    def test_real_font_cut_inside_a_bitmap(self):
        # unifont.bdf cut in the middle of a bitmap row of the glyph of U+0041: every
        # glyph before it comes out as from the whole font, that glyph is dropped, the
        # footer closes the output, and the run ends with 2.
        path = support.bdf_from_pcf("unifont.pcf.gz")
        data = read(path, "rb")
        row = data.index(b"BITMAP\n", data.index(b"\nENCODING 65\n")) + 7
        for _ in range(5):
            row = data.index(b"\n", row) + 1
        cut = row + 1  # one digit of bitmap row 6
        tmp = self.folder()
        short = tmp.file("cut.bdf", data[:cut])
        whole = support.run(path, "0", "40", "-h", "-m=" + tmp.join("whole.xml"))
        result = support.run(short, "0", "FFFF", "-h", "-m=" + tmp.join("cut.xml"))
        self.assert_run(whole, 0, "")
        self.assert_run(result, 2, failure(
            short, "line %d: the file ends inside a bitmap" % (data[:cut].count(b"\n") + 1)))
        self.assertTrue(result.out == whole.out, "the glyphs before the cut differ")
        self.assertEqual(read(tmp.join("cut.xml")), read(tmp.join("whole.xml")))
        self.assertEqual(len(blocks(result.out)), 0x41)  # unifont has every code below A


if __name__ == "__main__":
    support.main()
