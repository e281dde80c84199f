"""Helpers for the font-face tests: where installed faces live, which codes they map,
and the pictures the tool draws, as lists of text rows ('#' ink, ' ' background)."""

import gzip
import struct
import subprocess

from support import attribute, glyph_blocks, made_once, run

COMBINING_LIST = "/usr/share/unifont/plane00-combining.txt"
UNIFONT_PCF = "/usr/share/fonts/X11/misc/unifont.pcf.gz"
UNIFONT_UPPER = "/usr/share/fonts/opentype/unifont/unifont_upper.otf"
DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def face_file(family):
    """The font file fontconfig picks for a family name."""
    return subprocess.run(["fc-match", "-f", "%{file}", family], check=True,
                          capture_output=True, text=True).stdout


def face_family(family):
    """The first family name of fontconfig's best match for a name."""
    return subprocess.run(["fc-match", "-f", "%{family[0]}", family], check=True,
                          capture_output=True, text=True).stdout


def face_charset(path):
    """The codes a font file maps, as fontconfig reads them from the font ("0-d7ff f900-fffd")."""
    text = subprocess.run(["fc-query", "-f", "%{charset}", path], check=True,
                          capture_output=True, text=True).stdout
    codes = set()
    for item in text.split():
        low, _, high = item.partition("-")
        codes.update(range(int(low, 16), int(high or low, 16) + 1))
    return codes


def win_ascent(path):
    """(usWinAscent, unitsPerEm) read straight from a TrueType or OpenType file's OS/2
    and head tables."""
    with open(path, "rb") as f:
        data = f.read()
    tables = {}
    for i in range(struct.unpack_from(">H", data, 4)[0]):
        tag, _, offset, _ = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        tables[tag] = offset
    return (struct.unpack_from(">H", data, tables[b"OS/2"] + 74)[0],
            struct.unpack_from(">H", data, tables[b"head"] + 18)[0])


def combining_marks():
    """The Basic Multilingual Plane's combining marks, which Unifont draws left of the origin."""
    with open(COMBINING_LIST) as f:
        return {int(line.split(":")[0], 16) for line in f if line.strip()}


def unifont_pcf():
    """Unifont's PCF bitmap font unpacked into WORK: FreeType reads a gzip-packed PCF by
    unpacking from the start for every glyph, which is far too slow for whole planes."""
    return made_once("unifont.pcf", lambda: gzip.open(UNIFONT_PCF).read())


def pictures(result):
    """{code: rows} of a text dump, keyed by each block's unicode attribute."""
    return {int(attribute(opening, "unicode"), 16): rows
            for opening, rows in glyph_blocks(result.out.decode("latin-1"))}


def dump(face, first, last=None, *options):
    """The pictures of a face's codes first..last, with the given options; the run must
    succeed without a word on stderr."""
    last = first if last is None else last
    result = run(face, "%X" % first, "%X" % last, *options)
    if result.status != 0 or result.err:
        raise AssertionError("karvex %s %X %X %s: %r" % (face, first, last, options, result))
    return pictures(result)


def scaled(rows, factor, width, height):
    """A picture enlarged `factor` times in both directions, then cut or padded with
    background to width x height."""
    big = ["".join(c * factor for c in row) for row in rows for _ in range(factor)]
    big = [row[:width].ljust(width) for row in big[:height]]
    return big + [" " * width] * (height - len(big))


def has_ink(rows):
    return any("#" in row for row in rows)

