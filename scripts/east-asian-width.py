#!/usr/bin/env python3
"""Writes src/gaiji/east_asian_width.cc from Unicode's EastAsianWidth.txt (Debian's
unicode-data): the ranges of wide (W) and fullwidth (F) characters, with the defaults the
file's header names for unassigned code points.

    scripts/east-asian-width.py [/usr/share/unicode/EastAsianWidth.txt] > src/gaiji/east_asian_width.cc
"""
import sys

path = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode/EastAsianWidth.txt"
wide = [False] * 0x110000
for first, last in ((0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                    (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)):
    wide[first:last + 1] = [True] * (last - first + 1)
version = "?"
for line in open(path, encoding="utf-8"):
    if line.startswith("# EastAsianWidth-"):
        version = line[len("# EastAsianWidth-"):].split(".txt")[0]
    data = line.split("#")[0].strip()
    if not data:
        continue
    codes, width = (field.strip() for field in data.split(";"))
    first, _, last = codes.partition("..")
    for code in range(int(first, 16), int(last or first, 16) + 1):
        wide[code] = width in ("W", "F")
ranges, code = [], 0
while code < len(wide):
    if wide[code]:
        start = code
        while code + 1 < len(wide) and wide[code + 1]:
            code += 1
        ranges.append((start, code))
    code += 1
print("// Made by scripts/east-asian-width.py from EastAsianWidth-%s.txt; do not edit." % version)
print('#include "gaiji/east_asian_width.h"\n\n#include <algorithm>\n#include <iterator>\n')
print("namespace karvex {\n\nnamespace {\n\n// First and last code of each run of W and F characters.")
print("constexpr uint32_t kWide[][2] = {")
for i in range(0, len(ranges), 4):
    print("    " + " ".join("{0x%X, 0x%X}," % r for r in ranges[i:i + 4]))
print("};\n\n}  // namespace\n")
print("""bool IsWide(uint32_t code) {
  const auto* run = std::upper_bound(std::begin(kWide), std::end(kWide), code,
                                     [](uint32_t c, const uint32_t* r) { return c < r[0]; });
  return run != std::begin(kWide) && code <= run[-1][1];
}

}  // namespace karvex""")
