"""Shared helpers for the integration tests: run the tool, make real fonts to feed it."""

import collections
import gzip
import os
import subprocess
import tempfile
import unittest

KARVEX = os.environ.get("KARVEX", os.path.join(os.path.dirname(__file__), "../../build/karvex"))
WORK = os.environ.get("KARVEX_WORK", os.path.join(tempfile.gettempdir(), "karvex-testdata"))
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
PCF_DIR = "/usr/share/fonts/X11/misc"


class Result(collections.namedtuple("Result", "status out err")):
    """A run's exit status, stdout (bytes) and stderr (str)."""
    def __repr__(self):
        return "Result(status=%r, err=%r, out=%r...)" % (self.status, self.err, self.out[:200])


def run(*args, cwd=None, stdout=None, timeout=600):
    """Runs karvex with the arguments; stdout may be redirected to an open file."""
    p = subprocess.run([KARVEX, *args], cwd=cwd, timeout=timeout,
                       stdout=stdout if stdout is not None else subprocess.PIPE,
                       stderr=subprocess.PIPE)
    return Result(p.returncode, p.stdout if stdout is None else b"",
                  p.stderr.decode("utf-8", "replace"))


def work_path(name):
    os.makedirs(WORK, exist_ok=True)
    return os.path.join(WORK, name)


def made_once(name, data):
    """A file in WORK that holds data() (bytes), made on first use."""
    path = work_path(name)
    if not os.path.exists(path):
        with open(path + ".tmp", "wb") as out:
            out.write(data())
        os.replace(path + ".tmp", path)
    return path


def bdf_from_pcf(pcf_name):
    """An installed .pcf.gz font (a name in PCF_DIR, or a path) as pcf2bdf writes it."""
    src = os.path.join(PCF_DIR, pcf_name)
    return made_once(os.path.basename(pcf_name)[:-len(".pcf.gz")] + ".bdf", lambda: subprocess.run(
        ["pcf2bdf"], input=gzip.open(src).read(), capture_output=True, check=True).stdout)


def unifont16_hex():
    """unifont.hex with a "16 16" size line in front."""
    with open(UNIFONT_HEX, "rb") as f:
        return made_once("unifont16.hex", lambda: b"16 16\n" + f.read())


def read_unifont_hex():
    """{code: picture} of unifont.hex, each picture 16 rows of 16 '#'/' ' columns;
    8-wide glyphs stand in the left columns."""
    glyphs = {}
    with open(UNIFONT_HEX) as f:
        for line in f:
            code, bits = line.strip().split(":")
            digits = len(bits) // 16  # per row: 2 for 8-wide glyphs, 4 for 16-wide
            glyphs[int(code, 16)] = [
                text_row(int(bits[r * digits:(r + 1) * digits], 16) << (16 - 4 * digits), 16)
                for r in range(16)]
    return glyphs


def glyph_blocks(xml_text):
    """[(opening line, [rows])] of every fontData block in the tool's output (str)."""
    blocks = []
    for part in xml_text.split("</fontData>\n")[:-1]:
        lines = part[part.rindex("<fontData "):].split("\n")
        blocks.append((lines[0], lines[1:-1]))
    return blocks


def attribute(opening, name):
    """Value of an attribute in a fontData opening line."""
    key = ' %s="' % name
    start = opening.index(key) + len(key)
    return opening[start:opening.index('"', start)]


# --- Expected output, written from the output format alone ---------------------------

_ROW_CHARS = str.maketrans("01", " #")


def text_row(bits, width, off=" "):
    """A cell row as text art: bit width-1 of `bits` is the leftmost pixel; bits above
    the row's width are dropped."""
    row = format(bits & ((1 << width) - 1), "0%db" % width).translate(_ROW_CHARS)
    return row if off == " " else row.replace(" ", off)


def hex_stream_rows(bits, width, height):
    """Text-art rows of a .hex bitmap (pairs of hexadecimal digits) in a width x height
    cell: the bits fill the cell as one stream, row after row, without padding at row
    ends; missing bits are background and bits past the cell are dropped."""
    stream = "".join(format(int(bits[i:i + 2], 16), "08b")
                     for i in range(0, len(bits) - 1, 2))
    stream = stream[:width * height].ljust(width * height, "0").translate(_ROW_CHARS)
    return [stream[r * width:(r + 1) * width] for r in range(height)]


def eb_codes(start=0xA121):
    """The EB gaiji codes from `start` on: the low byte runs up to 0x7E, then the high
    byte steps and the low byte starts again at 0x21."""
    code = start & 0xFFFFFFFF
    while True:
        yield code
        code = (code + 1) & 0xFFFFFFFF
        if code & 0xFF > 0x7E:
            code = ((code & ~0xFF) + 0x121) & 0xFFFFFFFF


def header(width, height, start_eb=0xA121):
    return ('<?xml version="1.0" encoding="Shift_JIS"?>\n'
            '<gaijiData xml:space="preserve">\n'
            '<fontSet size="%dX%d" start="%X">\n' % (width, height, start_eb & 0xFFFFFFFF))


FOOTER = "</fontSet>\n</gaijiData>\n"


def block(rows, eb, unicode, code=None):
    """One fontData block; with `code` the opening also names the source code."""
    if code is None:
        opening = '<fontData ebcode="%X" unicode="%X">\n' % (eb, unicode & 0xFFFFFFFF)
    else:
        opening = '<fontData code="%X"  ebcode="%X" unicode="%X">\n' % (
            code & 0xFFFFFFFF, eb, unicode & 0xFFFFFFFF)
    return opening + "".join(row + "\n" for row in rows) + "</fontData>\n"


def map_text(pairs, wrapped=True):
    """A gaiji map file of (unicode, ebcode) pairs."""
    body = "".join('<gaijiMap unicode="#x%04X" ebcode="%04X"/>\n' % (u & 0xFFFFFFFF, e)
                   for u, e in pairs)
    if not wrapped:
        return body
    return '<?xml version="1.0" encoding="Shift_JIS"?>\n<gaijiSet>\n' + body + "</gaijiSet>\n"


def first_difference(actual, expected):
    """A short readable account of where two outputs part, for failure messages."""
    a, e = actual.split("\n"), expected.split("\n")
    for i, (x, y) in enumerate(zip(a, e)):
        if x != y:
            start = max(0, i - 3)
            return ("line %d differs\n  got:      %r\n  expected: %r\n  context:  %r"
                    % (i + 1, x, y, e[start:i + 1]))
    return "one output stops early: %d lines against %d expected" % (len(a), len(e))


# --- BDF fonts, read with the format's own geometry ------------------------------------

class BdfGlyph:
    def __init__(self, name):
        self.name = name
        self.code = None
        self.bbx = None      # (width, height, x offset, y offset)
        self.rows = []       # hexadecimal bitmap rows as written in the file

    def row_bits(self, r):
        """Bitmap row r as an integer of bbx width bits, leftmost pixel highest; the
        padding bits at the row's end are dropped."""
        width = self.bbx[0]
        text = self.rows[r].strip()
        digits = 4 * len(text)
        value = int(text, 16) if text else 0
        return value >> (digits - width) if digits >= width else value << (width - digits)


class BdfFont:
    def __init__(self):
        self.box = None      # FONTBOUNDINGBOX (width, height, x offset, y offset)
        self.glyphs = []


def read_bdf(path):
    """Parses a BDF file: the font box and each glyph's code, box and bitmap rows."""
    font = BdfFont()
    glyph = None
    in_bitmap = False
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\n")
    for line in lines:
        line = line.rstrip("\r")
        if in_bitmap:
            if line.lstrip().startswith("ENDCHAR"):
                in_bitmap = False
                font.glyphs.append(glyph)
            else:
                glyph.rows.append(line)
            continue
        words = line.split()
        keyword = words[0] if words else ""
        if keyword == "FONTBOUNDINGBOX":
            font.box = tuple(int(w) for w in words[1:5])
        elif keyword == "STARTCHAR":
            glyph = BdfGlyph(line.split(None, 1)[1] if len(words) > 1 else "")
        elif keyword == "ENCODING":
            glyph.code = int(words[1])
        elif keyword == "BBX":
            glyph.bbx = tuple(int(w) for w in words[1:5])
        elif keyword == "BITMAP":
            in_bitmap = True
    return font


def bdf_picture(font, glyph, cell_width, cell_height):
    """(rows, departures): the glyph's picture in the cell as row integers (cell_width
    bits each), by the BDF geometry: glyph pixel (r, c) lies on cell row (font y + font
    height) - (glyph y + glyph height) + r and column glyph x - font x + c; what falls
    outside the cell is cut off. The departures are the ways in which karvex differs
    from that which this glyph runs into:
      "raised"    a font box y offset above 0 counts as that far below the baseline;
      "mirrored"  a glyph left of the font box is moved right by as much;
      "tall"      bitmap rows from the cell height on are not read;
      "spill"     the pixels of the last bitmap row that pass the cell's right edge run
                  on at the start of the next cell row."""
    box_w, box_h, box_x, box_y = font.box
    width, height, x, y = glyph.bbx
    quirks = set()
    if box_y > 0:
        quirks.add("raised")
        box_y = -box_y
    shift = x - box_x
    if shift < 0:
        quirks.add("mirrored")
        shift = -shift
    top = (box_y + box_h) - (y + height)
    if any(0 <= top + r < cell_height for r in range(cell_height, len(glyph.rows))):
        quirks.add("tall")
    rows = min(len(glyph.rows), cell_height)
    picture = [0] * cell_height
    for r in range(rows):
        if 0 <= top + r < cell_height:
            place = cell_width - shift - width
            bits = glyph.row_bits(r)
            picture[top + r] = (bits << place if place >= 0 else bits >> -place) \
                & ((1 << cell_width) - 1)
    # The bits read per row: the glyph width capped at the cell width, rounded up to bytes.
    read = min(width, 8 * ((min(width, cell_width) + 7) // 8))
    if shift + read > cell_width:
        quirks.add("spill")
        t = top + rows
        past = read - (cell_width - shift)  # glyph pixels past the right edge
        if shift > cell_width or past > cell_width or t == 0:
            raise ValueError("glyph %s: a placement these tests do not model" % glyph.name)
        if 0 < t < cell_height:
            bits = glyph.row_bits(rows - 1) >> (width - read)
            picture[t] = (bits & ((1 << past) - 1)) << (cell_width - past)
    return picture, quirks


def bdf_expected(font, cell_width, cell_height, first=0, last=0x7FFFFFFF, start_eb=0xA121,
                 start_unicode=0xE000, wrapped=True, off=" "):
    """What karvex writes for the font over the code range: (stdout text, map text,
    {quirk: number of glyphs written that run into it}, number of glyphs written)."""
    out = [header(cell_width, cell_height, start_eb)] if wrapped else []
    pairs = []
    counts = {}
    ebs = eb_codes(start_eb)
    unicode = start_unicode
    for glyph in font.glyphs:
        if not first <= glyph.code <= last:
            continue
        picture, quirks = bdf_picture(font, glyph, cell_width, cell_height)
        for q in quirks:
            counts[q] = counts.get(q, 0) + 1
        rows = [text_row(bits, cell_width, off) for bits in picture]
        eb = next(ebs)
        out.append(block(rows, eb, unicode, glyph.code))
        pairs.append((unicode, eb))
        unicode = (unicode + 1) & 0xFFFFFFFF
    if wrapped:
        out.append(FOOTER)
    return "".join(out), map_text(pairs, wrapped), counts, len(pairs)


# --- Files made at test time -----------------------------------------------------------

class TempDir:
    """A scratch folder that a test case writes its inputs to."""

    def __init__(self, test_case):
        self._dir = tempfile.TemporaryDirectory(prefix="karvex-")
        test_case.addCleanup(self._dir.cleanup)
        self.path = self._dir.name

    def file(self, name, data):
        """Writes `data` (str or bytes) to a file in the folder and returns its path."""
        path = os.path.join(self.path, name)
        with open(path, "wb") as f:
            f.write(data.encode("latin-1") if isinstance(data, str) else data)
        return path

    def join(self, name):
        return os.path.join(self.path, name)


def crlf_copy(path):
    """A copy of a text file in WORK with every LF turned into CR LF."""
    with open(path, "rb") as f:
        return made_once(os.path.basename(path) + ".crlf" + os.path.splitext(path)[1],
                         lambda: f.read().replace(b"\n", b"\r\n"))


def main():
    unittest.main(verbosity=2)
