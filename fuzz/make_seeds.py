#!/usr/bin/env python3
"""Makes the fuzz targets' seed inputs from real fonts installed by scripts/setup.sh:
a few glyphs cut from BDF files that pcf2bdf makes of X11 PCF fonts, and a few lines of
unifont.hex. Nothing of these fonts is kept in the repository; the seeds are written to
OUT/<target>/ at build or test time.

    make_seeds.py OUT
"""

import gzip
import os
import struct
import subprocess
import sys

PCF_DIR = "/usr/share/fonts/X11/misc"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"

# PCF font -> glyph codes to keep: several box sizes, proportional and fixed, with
# offsets and descenders.
PCF_CUTS = {
    "shnm8x16r.pcf.gz": [0x41, 0x67, 0x7E],
    "shnmk12p.pcf.gz": [0x2422, 0x2447, 0x3021],
    "jksp24.pcf.gz": [0x222F, 0x2A25],
    "a18rk.pcf.gz": [0x41, 0x6A],
    "b10.pcf.gz": [0x41, 0x71],
    "b24.pcf.gz": [0x41, 0x3042],
    "unifont.pcf.gz": [0x41, 0x3042, 0x4E00],
}

HEX_CODES = [0x0041, 0x0067, 0x00E9, 0x3042, 0x4E00, 0xFF21]


def reader_fields(flags, first=0, last=0, eb=0xA121, unicode=0xE000, width=0, height=0):
    """The field block in front of a reader fuzz input (see fuzz/reader_target.h)."""
    return struct.pack("<Biiiiii", flags, first, last, eb - (1 << 32) if eb > 0x7FFFFFFF else eb,
                       unicode, width, height)


def bdf_text(pcf_name):
    path = os.path.join(PCF_DIR, pcf_name)
    with gzip.open(path) as f:
        data = f.read()
    return subprocess.run(["pcf2bdf"], input=data, stdout=subprocess.PIPE,
                          check=True).stdout.decode("latin-1")


def cut_bdf(text, codes):
    """The font's header lines and the glyphs of `codes`, as a small BDF font."""
    lines = text.split("\n")
    head = []
    i = 0
    while not lines[i].startswith("CHARS"):
        head.append(lines[i])
        i += 1
    glyphs = []
    glyph = None
    for line in lines[i + 1:]:
        if line.startswith("STARTCHAR"):
            glyph = [line]
        elif glyph is not None:
            glyph.append(line)
            if line.startswith("ENDCHAR"):
                code = [int(l.split()[1]) for l in glyph if l.startswith("ENCODING")][0]
                if code in codes:
                    glyphs.append("\n".join(glyph))
                glyph = None
    if len(glyphs) != len(codes):
        raise SystemExit("make_seeds: the font lacks some of the glyphs %r" % codes)
    return "\n".join(head + ["CHARS %d" % len(glyphs)] + glyphs + ["ENDFONT", ""])


def hex_lines():
    wanted = {}
    with open(UNIFONT_HEX) as f:
        for line in f:
            code = int(line.split(":")[0], 16)
            if code in HEX_CODES:
                wanted[code] = line
    if len(wanted) != len(HEX_CODES):
        raise SystemExit("make_seeds: unifont.hex lacks some of %r" % HEX_CODES)
    return "".join(wanted[c] for c in HEX_CODES)


def face_fields(face, flags, off, code, width, height, row=0, eb=0xA121, code2=0x42,
                width2=24, height2=24):
    """The fields of a face fuzz input (see fuzz/face_fuzzer.cc)."""
    return struct.pack("<BBBiIIIiiII", face, flags, off, code, width, height, row, eb, code2,
                       width2, height2)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    out = sys.argv[1]
    seeds = {"bdf": {}, "hex": {}, "cli": {}, "face": {}}

    # Readers: header and map on, the whole code range; then forced cells and a range.
    whole = 1 | 2 | 16
    for pcf, codes in PCF_CUTS.items():
        name = pcf.replace(".pcf.gz", "")
        font = cut_bdf(bdf_text(pcf), codes).encode("latin-1")
        seeds["bdf"][name] = reader_fields(whole) + font
        seeds["bdf"][name + "-forced"] = reader_fields(1 | 2 | 16 | 4, width=20, height=30) + font
        seeds["bdf"][name + "-range"] = reader_fields(2, first=codes[0], last=codes[0]) + font
        seeds["cli"][name] = b"\x00" + b"\n".join(
            [name.encode() + b".bdf", b"0", b"FFFF", b"-h", b"-m=map.xml"]) + b"\0" + font
    glyphs = hex_lines().encode("ascii")
    for size in (b"16 16", b"8 16", b"24 24", b"32 32", b"48 48"):
        name = "unifont-" + size.decode().split()[0]
        seeds["hex"][name] = reader_fields(1 | 2) + size + b"\n" + glyphs
        seeds["cli"]["hex-" + name] = b"\x00" + b"\n".join(
            [b"u.hex", b"-h", b"-m=map.xml", b"-e=A17D"]) + b"\0" + size + b"\n" + glyphs
    seeds["hex"]["unifont-crlf"] = reader_fields(1) + (b"16 16\n" + glyphs).replace(b"\n", b"\r\n")

    # Faces through the command line: the real face, text and BMP, with a map file.
    for name, args in {
        "face-text": [b"DejaVu Sans", b"41", b"43", b"-h", b"-m=map.xml"],
        "face-bmp": [b"DejaVu Sans", b"3041", b"3042", b"-o=bmp", b"-x=24", b"-y=32"],
        "face-offset": [b"DejaVu Sans", b"67", b"-b=4", b"-x=20", b"-y=12", b"-0=."],
    }.items():
        seeds["cli"][name] = b"\x20" + b"\n".join(args) + b"\0"

    # Face targets: each face at common sizes, text and BMP.
    for face in range(4):
        for code in (0x41, 0x67, 0x3042, 0x4E00):
            seeds["face"]["f%d-%X-text" % (face, code)] = face_fields(face, 0, 0x20, code, 16, 16)
            seeds["face"]["f%d-%X-bmp" % (face, code)] = face_fields(face, 1, 0x20, code, 24, 24)
        seeds["face"]["f%d-48" % face] = face_fields(face, 0, 0x2E, 0x57, 48, 48, row=2)

    for target, files in seeds.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    print("make_seeds: %s" % ", ".join("%d %s" % (len(f), t) for t, f in seeds.items()))


if __name__ == "__main__":
    main()
