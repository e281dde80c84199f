"""FreePWING books that fpwmake (Debian's freepwing) builds from karvex's --freepwing output,
read back with the EB library's ebinfo and ebfont (eb-utils): every gaiji must come back as
karvex's own text dump of its character, at each height."""

import os
import tempfile
import unittest

from support import HEX, KARVEX, MISC, WORK, blocks, ink, output

HEIGHTS = (16, 24, 30, 48)
# The widths of FreePWING's cells, which karvex draws in: half, full, by height.
CELLS = {16: (8, 16), 24: (16, 24), 30: (16, 32), 48: (24, 48)}

# A parser that writes each gaiji of the lists once, in one entry.
PARSER = r"""use FreePWING::FPWUtils::FPWParser;
initialize_fpwparser('text' => \$t, 'heading' => \$h, 'word2' => \$w);
$t->new_entry() && $h->new_entry() && $h->add_text('gaiji') or die $t->error_message();
for my $width ('half', 'full') {
  open(my $list, '<', "g/${width}char.txt") or next;
  while (<$list>) {
    my ($name) = split;
    ($width eq 'half' ? $t->add_half_user_character($name)
                      : $t->add_full_user_character($name)) or die $t->error_message();
  }
}
$t->add_newline() && $w->add_entry('gaiji', $h->entry_position(), $t->entry_position())
  or die $t->error_message();
finalize_fpwparser('text' => \$t, 'heading' => \$h, 'word2' => \$w);
"""


def run(args, cwd, stdin=None):
    return output(args, stdin, cwd=cwd, limit=60)


def dumps(source, text, cwd, full, height):
    """karvex's text dump of each character of `text` in the cell of a width and height."""
    return blocks(run([KARVEX, source, "--codes=-", "-x=%d" % CELLS[height][full], "-y=%d" % height,
                       "-0=.", *(["--fallback=Noto Sans CJK JP"] * (source == "IPAGothic"))],
                      cwd, text.encode()))


def read(path):
    with open(path) as f:
        return f.read()


def build(folder, heights):
    """Builds the book of folder/g with fpwmake; returns ebinfo's report and ebfont's glyphs
    by (full, height, EB code)."""
    slots = lambda kind: "  ".join("GAI%d%s" % (h, kind) for h in heights)
    open(folder + "/parser", "w").write(PARSER)
    open(folder + "/Makefile", "w").write("FPWPARSER = parser\nHALFCHARS = g/halfchar.txt\n"
                                          "FULLCHARS = g/fullchar.txt\nDIR = book\n"
                                          "include fpwutils.mk\n")
    open(folder + "/catalogs.txt", "wb").write(
        b'[Catalog]\nFileName = catalogs\nType = EPWING1\nBooks = 1\n\n[Book]\n'
        b'Title = "\xa3\xc7"\nBookType = 6001\nDirectory = "BOOK"\n'
        b'ZenGaiji = "%s"\nHanGaiji = "%s"\n' % (slots("F").encode(), slots("H").encode()))
    for target in ([], ["catalogs"], ["install", "INSTALLDIR=" + folder + "/installed"]):
        run(["fpwmake", *target], folder)
    book = folder + "/installed/book"
    os.mkdir(folder + "/font")
    run(["ebfont", "-f", ",".join(map(str, heights)), "-o", folder + "/font", book], folder)
    glyphs = {}
    for root, _, files in os.walk(folder + "/font"):
        for name in files:
            height, width = root.split("/")[-2:]
            glyphs[width == "wide", int(height), int(name[:4], 16)] = ink(os.path.join(root, name), 255)
    return run(["ebinfo", book], folder).decode(), glyphs


class FreePwingBookTest(unittest.TestCase):
    def check(self, folder, heights, sources):
        """Builds the book and compares each gaiji, listed in g/*char.txt in the order of
        the runs, with the text dump of the source that wrote it."""
        info, glyphs = build(folder, heights)
        self.assertIn("font sizes: %s \n" % " ".join(map(str, heights)), info)
        # The viewer map: at each line's code, the glyph of that line's character.
        lines = read(folder + "/g/gaiji.map").splitlines()
        self.assertEqual(len(lines), sum(1 for key in glyphs if key[1] == 16))
        for line in lines:
            code, name = line[1:].split("\t")
            self.assertEqual(glyphs[line[0] == "z", 16, int(code, 16)],
                             ink("%s/g/%s_16.xbm" % (folder, name), 255), line)
        for full, kind in ((False, "narrow"), (True, "wide")):
            names = [line.split()[0]
                     for line in read(folder + "/g/%schar.txt" % ("half", "full")[full]).splitlines()]
            last = 0xA121 + len(names) // 94 * 0x100 + len(names) % 94 - 1
            self.assertIn("%s font characters: 0xa121 -- 0x%x\n" % (kind, last), info)
            for n, name in enumerate(names):
                code = int(name[1:], 16)
                source, text = next((s, t) for s, t in sources if chr(code) in t)
                for height in heights:
                    expected = dumps(source, chr(code), folder, full, height)[code]
                    eb = 0xA121 + n // 94 * 0x100 + n % 94
                    self.assertEqual(glyphs[full, height, eb], expected, (name, height))

    def test_a_face_in_both_widths_at_every_height(self):
        # Kanji full width, Latin letters half width, U+20BB7 from the fallback face; the
        # characters of ambiguous width take the width of the face's advance (① and the
        # other symbols full, é and Å half).
        text = "é髙鷗ʃ𠮷g①№℡—∥∮∟⊿☃♨❶Å"
        with tempfile.TemporaryDirectory(dir=WORK) as tmp:
            run([KARVEX, "IPAGothic", "--codes=-", "--freepwing=g", "--heights=16,24,30,48",
                 "--fallback=Noto Sans CJK JP"], tmp, text.encode())
            half = [line.split()[0] for line in read(tmp + "/g/halfchar.txt").splitlines()]
            self.assertEqual(half, ["u0067", "u00C5", "u00E9", "u0283"])
            self.check(tmp, HEIGHTS, [("IPAGothic", text)])

    def test_files_of_both_widths_added_up(self):
        # A .hex file of full-width glyphs, then a JIS X 0208 BDF font reached through
        # conversion and a JIS X 0201 one of half-width kana, each run adding to the lists.
        kanji, kana = "漢字", "ｱｲｳ"
        with tempfile.TemporaryDirectory(dir=WORK) as tmp:
            lines = [l for l in read(HEX).splitlines(True) if l[:4] in ("3042", "30AB")]
            open(tmp + "/f.hex", "w").write("16 16\n" + "".join(lines))
            for pcf in ("shnmk16", "shnm8x16r"):
                open("%s/%s.bdf" % (tmp, pcf), "wb").write(
                    run(["pcf2bdf", MISC + pcf + ".pcf.gz"], tmp))
            run([KARVEX, "f.hex", "--freepwing=g"], tmp)
            run([KARVEX, "shnmk16.bdf", "--codes=-", "--freepwing=g"], tmp, kanji.encode())
            run([KARVEX, "shnm8x16r.bdf", "--codes=-", "--freepwing=g"], tmp, kana.encode())
            self.check(tmp, (16,), [("f.hex", "あカ"), ("shnmk16.bdf", kanji),
                                    ("shnm8x16r.bdf", kana)])


if __name__ == "__main__":
    unittest.main()
