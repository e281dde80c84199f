#!/usr/bin/env python3
"""Writes the Unicode tables of src/gaiji/ from Debian's unicode-data files:

- east_asian_width.cc from EastAsianWidth.txt: the runs of wide (W, F) and of ambiguous (A)
  characters, with the defaults the file's header names for unassigned code points; all
  others (Na, H, N) are narrow;
- combining_marks.cc from UnicodeData.txt: the runs of general category M (Mn, Mc, Me).

    scripts/unicode-tables.py [UNICODE_DIR]    (default /usr/share/unicode)

run from anywhere; the files go to src/gaiji/ of the checkout the script is in.
"""
import os
import sys

folder = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "gaiji")
CODES = 0x110000


def runs(values):
    """(first, last, value) for each run of equal values other than None."""
    found, code = [], 0
    while code < CODES:
        start = code
        while code + 1 < CODES and values[code + 1] == values[start]:
            code += 1
        if values[start] is not None:
            found.append((start, code, values[start]))
        code += 1
    return found


def records(name):
    """(first, last, fields) for each line of a Unicode data file, and the file's version."""
    version = None
    for line in open(os.path.join(folder, name), encoding="utf-8"):
        if version is None and line.startswith("# " + name[:-4] + "-"):
            version = line[2:].split(".txt")[0]
        data = line.split("#")[0].strip()
        if data:
            fields = [field.strip() for field in data.split(";")]
            first, _, last = fields[0].partition("..")
            yield int(first, 16), int(last or first, 16), fields, version


def write(name, source, lines):
    with open(os.path.join(out_dir, name), "w", encoding="utf-8") as f:
        f.write("// Made by scripts/unicode-tables.py from %s; do not edit.\n" % source)
        f.write("\n".join(lines) + "\n")


def table(name, entries, per_line):
    lines = ["constexpr %s = {" % name]
    for i in range(0, len(entries), per_line):
        lines.append("    " + " ".join(entries[i:i + per_line]))
    return lines + ["};"]


# East Asian Width: W and F wide, A ambiguous, the rest narrow (None).
width = [None] * CODES
for first, last in ((0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                    (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)):
    width[first:last + 1] = ["W"] * (last - first + 1)
version = "EastAsianWidth.txt"
for first, last, fields, version in records("EastAsianWidth.txt"):
    value = {"W": "W", "F": "W", "A": "A"}.get(fields[1])
    width[first:last + 1] = [value] * (last - first + 1)
write("east_asian_width.cc", "%s.txt" % version, [
    '#include "gaiji/east_asian_width.h"', "", "#include <algorithm>", "#include <iterator>", "",
    "namespace karvex {", "", "namespace {", "",
    "struct WidthRun {", "  uint32_t first, last;", "  EastAsianWidthClass width;", "};",
    "constexpr auto W = EastAsianWidthClass::kWide, A = EastAsianWidthClass::kAmbiguous;", "",
    "// Each run of wide (W, F) or ambiguous (A) characters; the codes between are narrow.",
    *table("WidthRun kRuns[]", ["{0x%X, 0x%X, %s}," % run for run in runs(width)], 4),
    "", "}  // namespace", "",
    "EastAsianWidthClass EastAsianWidthOf(uint32_t code) {",
    "  const WidthRun* run = std::upper_bound(std::begin(kRuns), std::end(kRuns), code,",
    "                                         [](uint32_t c, const WidthRun& r) { return c < r.first; });",
    "  return run != std::begin(kRuns) && code <= run[-1].last ? run[-1].width",
    "                                                           : EastAsianWidthClass::kNarrow;",
    "}", "",
    "bool IsWide(uint32_t code) { return EastAsianWidthOf(code) == EastAsianWidthClass::kWide; }",
    "", "}  // namespace karvex"])

# General category M. UnicodeData.txt gives no version line; the Debian package's is used.
mark = [None] * CODES
pending = None
for first, _, fields, _ in records("UnicodeData.txt"):
    if fields[1].endswith(", First>"):
        pending = first
        continue
    start, pending = (pending if pending is not None else first), None
    if fields[2].startswith("M"):
        mark[start:first + 1] = [True] * (first + 1 - start)
version = os.popen("dpkg-query -W -f '${Version}' unicode-data 2>/dev/null").read() or "?"
write("combining_marks.cc", "UnicodeData.txt (unicode-data %s)" % version, [
    '#include "gaiji/combining_marks.h"', "", "#include <algorithm>", "#include <iterator>", "",
    "namespace karvex {", "", "namespace {", "",
    "// First and last code of each run of Mn, Mc and Me characters.",
    *table("uint32_t kMarks[][2]", ["{0x%X, 0x%X}," % (a, b) for a, b, _ in runs(mark)], 4),
    "", "}  // namespace", "",
    "bool IsCombiningMark(uint32_t code) {",
    "  const auto* run = std::upper_bound(std::begin(kMarks), std::end(kMarks), code,",
    "                                     [](uint32_t c, const uint32_t* r) { return c < r[0]; });",
    "  return run != std::begin(kMarks) && code <= run[-1][1];",
    "}", "", "}  // namespace karvex"])
