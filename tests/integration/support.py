"""Shared helpers for the integration tests: run the tool, make real fonts to feed it."""

import gzip
import os
import subprocess
import tempfile
import unittest

KARVEX = os.environ.get("KARVEX", os.path.join(os.path.dirname(__file__), "../../build/karvex"))
WORK = os.environ.get("KARVEX_WORK", os.path.join(tempfile.gettempdir(), "karvex-testdata"))
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
PCF_DIR = "/usr/share/fonts/X11/misc"


class Result:
    def __init__(self, status, out, err):
        self.status = status
        self.out = out  # bytes
        self.err = err  # str

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


def bdf_from_pcf(pcf_name):
    """BDF text of an installed PCF font, made once with pcf2bdf and kept in WORK."""
    base = pcf_name.replace(".pcf.gz", "").replace(".pcf", "")
    path = work_path(base + ".bdf")
    if not os.path.exists(path):
        src = os.path.join(PCF_DIR, pcf_name)
        with open(path + ".tmp", "wb") as out:
            if src.endswith(".gz"):
                data = gzip.open(src).read()
                subprocess.run(["pcf2bdf"], input=data, stdout=out, check=True)
            else:
                subprocess.run(["pcf2bdf", src], stdout=out, check=True)
        os.replace(path + ".tmp", path)
    return path


def unifont16_hex():
    """unifont.hex with a "16 16" size line in front, kept in WORK."""
    path = work_path("unifont16.hex")
    if not os.path.exists(path):
        with open(UNIFONT_HEX, "rb") as src, open(path + ".tmp", "wb") as out:
            out.write(b"16 16\n")
            out.write(src.read())
        os.replace(path + ".tmp", path)
    return path


def read_unifont_hex():
    """{code: picture} of unifont.hex, each picture 16 rows of 16 '#'/' ' columns;
    8-wide glyphs stand in the left columns."""
    glyphs = {}
    with open(UNIFONT_HEX) as f:
        for line in f:
            code, bits = line.strip().split(":")
            width = len(bits) * 4 // 16
            rows = []
            for r in range(16):
                value = int(bits[r * width // 4:(r + 1) * width // 4], 16)
                row = "".join("#" if value >> (width - 1 - c) & 1 else " " for c in range(width))
                rows.append(row.ljust(16))
            glyphs[int(code, 16)] = rows
    return glyphs


def glyph_blocks(xml_text):
    """[(opening line, [rows])] of every fontData block in the tool's output (str)."""
    blocks = []
    lines = xml_text.split("\n")
    i = 0
    while i < len(lines):
        if lines[i].startswith("<fontData "):
            opening = lines[i]
            j = i + 1
            while lines[j] != "</fontData>":
                j += 1
            blocks.append((opening, lines[i + 1:j]))
            i = j
        i += 1
    return blocks


def attribute(opening, name):
    """Value of an attribute in a fontData opening line."""
    key = ' %s="' % name
    start = opening.index(key) + len(key)
    return opening[start:opening.index('"', start)]


def main():
    unittest.main(verbosity=2)
