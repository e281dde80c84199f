// What the end-to-end rows cannot reach cheaply: the number scanners against the C
// library, the short paths against the plain rules they stand for, the size and EB code
// rules at their edges, and every field the command line sets.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "driver/options.h"
#include "face/rasterizer.h"
#include "gaiji/glyph_cell.h"
#include "gaiji/numbers.h"

namespace karvex {
namespace {

TEST(NumbersTest, ReadAsTheCLibraryReads) {
  // Short texts of the characters that matter: blanks, signs, "0x", digits, non-digits.
  const char alphabet[] = " \t+-0xX19aFg:";
  std::mt19937 random(20261206);
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    for (int length = int(random() % 7); length > 0; --length) {
      text += alphabet[random() % (sizeof alphabet - 1)];
    }
    for (size_t width : {0, 2}) {
      unsigned expected = 777, actual = 777;
      int matched = std::sscanf(text.c_str(), width ? "%02X" : "%X", &expected);
      ASSERT_EQ(ScanHex(text, width, &actual), matched == 1) << '"' << text << '"';
      ASSERT_EQ(actual, expected) << '"' << text << '"';
    }
    ASSERT_EQ(ScanDecimal(text), std::atoi(text.c_str())) << '"' << text << '"';
  }
  EXPECT_EQ(ScanDecimal("99999999999"), INT32_MAX);
  EXPECT_EQ(ScanDecimal("-99999999999"), INT32_MIN);
}

TEST(NumbersTest, HexPairShortPathAgreesOnEveryShortText) {
  const std::string alphabet = std::string("09afAFgGxX+- \t\r\v:") + '\0';
  std::vector<std::string> texts = {""};
  for (size_t i = 0; texts[i].size() < 4; ++i) {
    for (char c : alphabet) texts.push_back(texts[i] + c);
  }
  for (const std::string& text : texts) {
    uint32_t plain = 0x5A5A5A5A, fast = 0x5A5A5A5A;
    ASSERT_EQ(ScanHexPair(text, &fast), ScanHex(text, 2, &plain)) << '"' << text << '"';
    ASSERT_EQ(fast, plain) << '"' << text << '"';
  }
}

TEST(MonoCanvasTest, InkRowInksWhatSetInkWould) {
  std::mt19937 random(7);
  for (uint32_t width : {8u, 24u, 45u, 64u}) {
    for (int trial = 0; trial < 400; ++trial) {
      const int64_t columns = 1 + int64_t(random() % 70), left = int64_t(random() % 161) - 80;
      std::vector<uint8_t> source(size_t((columns + 7) / 8) + 1);
      for (uint8_t& byte : source) byte = uint8_t(random());
      MonoCanvas fast, plain;
      fast.Reset(width, 3);
      plain.Reset(width, 3);
      fast.InkRow(source.data(), columns, left, 1);
      for (int64_t x = std::max<int64_t>(0, -left); x < columns && left + x < width; ++x) {
        if ((source[size_t(x / 8)] << (x % 8)) & 0x80) plain.SetInk(uint32_t(left + x), 1);
      }
      ASSERT_EQ(fast.bits, plain.bits) << width << " " << columns << " " << left;
    }
  }
}

TEST(GlyphCellTest, SizeClassAndEbCodeRules) {
  // nominal width and height, forced width and height: the cell
  const int32_t sizes[][6] = {{5, 8, 0, 0, 8, 16},    {12, 12, 0, 0, 8, 16}, {13, 13, 0, 0, 16, 16},
                              {16, 24, 0, 0, 12, 24}, {24, 32, 0, 0, 16, 30}, {25, 25, 0, 0, 32, 30},
                              {33, 33, 0, 0, 48, 48}, {-1, 16, 0, 0, 48, 16}, {16, -5, 0, 0, 24, 48},
                              {48, 16, 0, 0, 48, 16}, {8, 8, 0, 48, 8, 48},   {16, 16, 20, -3, 20, 16}};
  for (const auto& s : sizes) {
    CellSize cell = SizeClass(s[0], s[1], s[2], s[3]);
    EXPECT_EQ(cell.width * 1000 + cell.height, s[4] * 1000 + s[5]) << s[0] << "x" << s[1];
  }
  const uint32_t steps[][2] = {{0xA17E, 0xA221}, {0xA17F, 0xA221}, {0xA1FF, 0xA200}, {0xFF7E, 0x10021}};
  for (const auto& s : steps) EXPECT_EQ(uint32_t(NextEbCode(int32_t(s[0]))), s[1]) << s[0];
}

std::string Parse(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word == "''" ? "" : word);
  RunOptions o;
  if (ParseCommandLine({words.begin(), words.end()}, &o) == ParseOutcome::kUsage) return "usage";
  char text[256];
  std::snprintf(text, sizeof text, "%s %X-%X e=%X u=%X %dx%d b=%d h=%d bmp=%d m=%s 0=%02X n=%d",
                o.source.c_str(), o.first_code, o.last_code, o.start_eb, o.start_unicode,
                o.cell_width, o.cell_height, o.row_offset, o.header, o.bmp_mode(),
                o.map_name.c_str(), uint8_t(o.off_char), o.positional_count);
  return text;
}

TEST(OptionsTest, EveryFieldOfTheCommandLine) {
  const char* cases[][2] = {
      {"", "usage"}, {"-h -x=8", "usage"}, {"f 41 -?", "usage"}, {"--help f", "usage"},
      {"f", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=1"},
      {"f 41", "f 41-41 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=2"},
      {"f 50 41 x", "f 50-41 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=4"},
      {"f zz 41", "f 0-41 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=3"},
      {"f 0x1FFFFFFFF -1", "f FFFFFFFF-FFFFFFFF e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=2"},
      {"-x16 f -y=32 -b=-4", "f 0-0 e=A121 u=E000 6x30 b=-4 h=0 bmp=0 m= 0=20 n=1"},
      {"f -x:24 -y=31 -e=B021 -u=0x1F600", "f 0-0 e=B021 u=1F600 24x31 b=0 h=0 bmp=0 m= 0=20 n=1"},
      {"f -e=zz -X=24 -z=1 - -x", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=20 n=1"},
      {"-x=8 /x=24 -x=-3", "/x=24 0-0 e=A121 u=E000 -3x0 b=0 h=0 bmp=0 m= 0=20 n=1"},
      {"f -h -o=Bitmap -m=外字.xml -0=", "f 0-0 e=A121 u=E000 0x0 b=0 h=1 bmp=1 m=外字.xml 0=00 n=1"},
      {"f -o=bmp -o=text -0=\xC3\xA9x", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=E9 n=1"},
      {"f -0=\xE3\x80\x80", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=00 n=1"},
      {"f -0=\xF0\x9F\x98\x80", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=3D n=1"},
      {"f -0=\xFF", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=FD n=1"},
      // After a third character past U+FFFF the value starts with its second half.
      {"f -0\xF0\x9F\x98\x81.", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m= 0=01 n=1"},
      {"f -e\xF0\x9F\x98\x80" "B021 -x\xE2\x82\xAC" "5", "f 0-0 e=A121 u=E000 5x0 b=0 h=0 bmp=0 m= 0=20 n=1"},
      {"f -m\xF0\x9F\x98\x80m", "f 0-0 e=A121 u=E000 0x0 b=0 h=0 bmp=0 m=\xED\xB8\x80m 0=20 n=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace karvex
