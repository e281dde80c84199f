#!/usr/bin/env python3
"""Counts the glyphs a cell cuts, per face and cell, over each face's own characters (its
fontconfig charset, controls left out), as karvex's standard error says them:

    bench/cuts.py [KARVEX]    (default build/karvex)

Prints a tab-separated table: a row per face, a column per cell (the full and half cells
of FreePWING's four heights). A build of another version gives the figures to compare."""
import os
import subprocess
import sys
import tempfile

KARVEX = sys.argv[1] if len(sys.argv) > 1 else "build/karvex"
FACES = ["IPAGothic", "VL Gothic", "Noto Sans CJK JP", "Noto Serif CJK JP", "DejaVu Sans",
         "WenQuanYi Micro Hei", "Unifont"]
CELLS = ["16x16", "24x24", "32x30", "48x48", "8x16", "16x24", "16x30", "24x48"]

print("face\t" + "\t".join(CELLS))
with tempfile.TemporaryDirectory() as tmp:
    for face in FACES:
        charset = subprocess.run(["fc-match", "-f", "%{charset}", face], capture_output=True,
                                 text=True, check=True).stdout
        codes = [c for r in charset.split() for a, _, b in [r.partition("-")]
                 for c in range(int(a, 16), int(b or a, 16) + 1)]
        text = os.path.join(tmp, "codes.txt")
        with open(text, "w", encoding="utf-8") as f:
            f.write("".join(chr(c) for c in codes if c >= 0x20 and not 0xD800 <= c < 0xE000))
        counts = []
        for cell in CELLS:
            width, height = cell.split("x")
            err = subprocess.run([KARVEX, face, "--codes=" + text, "-x=" + width, "-y=" + height],
                                 capture_output=True).stderr.decode()
            # "... cuts N of the glyphs ..." (older builds: "the cell cuts N of the glyphs")
            counts.append(sum(int(line.split(" cuts ")[1].split()[0])
                              for line in err.splitlines() if " cuts " in line))
        print(face + "\t" + "\t".join(map(str, counts)), flush=True)
