// What golden rows reach only at great length: number scanning against the C library, the
// short paths against the plain rules, the size and EB code rules, every command-line field,
// the proof sheet's label font and what no source draws yet.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>

#include "driver/code_set.h"
#include "driver/options.h"
#include "face/face_source.h"
#include "gaiji/combining_marks.h"
#include "gaiji/east_asian_width.h"
#include "gaiji/glyph_cell.h"
#include "gaiji/output_stream.h"
#include "gaiji/numbers.h"
#include "gaiji/proof_sheet.h"

namespace karvex {
namespace {

TEST(NumbersTest, ReadAsTheCLibraryReads) {
  // Short texts of the characters that matter: blanks, signs, "0x", digits, non-digits.
  const char alphabet[] = " \t\r+-0xX19afFg:";
  std::mt19937 random(20261206);
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    for (int length = int(random() % 7); length > 0; --length) {
      text += alphabet[random() % (sizeof alphabet - 1)];
    }
    for (size_t width : {0, 2}) {
      unsigned expected = 777, actual = 777, pair = 777;
      int matched = std::sscanf(text.c_str(), width ? "%02X" : "%X", &expected);
      ASSERT_EQ(ScanHex(text, width, &actual), matched == 1) << '"' << text << '"';
      ASSERT_EQ(actual, expected) << '"' << text << '"';
      if (width == 2) {  // bitmap bytes take a short path for two plain digits
        ASSERT_EQ(ScanHexPair(text, &pair), matched == 1) << '"' << text << '"';
        ASSERT_EQ(pair, expected) << '"' << text << '"';
      }
    }
    ASSERT_EQ(ScanDecimal(text), std::atoi(text.c_str())) << '"' << text << '"';
  }
  // Past the int32 range a decimal clamps to its end, as the Windows C library's atoi does.
  const std::pair<std::string_view, int32_t> clamped[] = {
      {"2147483647", INT32_MAX},  {"2147483648", INT32_MAX},  {"99999999999", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-99999999999", INT32_MIN}};
  for (const auto& [text, value] : clamped) EXPECT_EQ(ScanDecimal(text), value) << text;
}

TEST(OutputStreamTest, TextPastABlockGoesToTheFileInOrder) {
  const std::string text = "a" + std::string(70001, 'b') + "c";
  FILE* file = std::tmpfile();
  OutputStream out(file);
  for (size_t at : {0, 1, 70002}) out.Write(std::string_view(text).substr(at, at == 1 ? 70001 : 1));
  ASSERT_TRUE(out.Flush());
  std::string written(text.size() + 1, '\0');
  std::rewind(file);
  written.resize(std::fread(&written[0], 1, written.size(), file));
  std::fclose(file);
  EXPECT_TRUE(written == text);
}

TEST(GlyphCellTest, SizeClassAndEbCodeRules) {
  // nominal width and height, forced width and height: the cell
  const int32_t sizes[][6] = {
      {5, 8, 0, 0, 8, 16},    {12, 12, 0, 0, 8, 16},  {13, 13, 0, 0, 16, 16},
      {16, 24, 0, 0, 12, 24}, {24, 32, 0, 0, 16, 30}, {25, 25, 0, 0, 32, 30},
      {33, 33, 0, 0, 48, 48}, {-1, 16, 0, 0, 48, 16}, {16, -5, 0, 0, 24, 48},
      {48, 16, 0, 0, 48, 16}, {8, 8, 0, 48, 8, 48},   {16, 16, 20, -3, 20, 16}};
  for (const auto& s : sizes) {
    CellSize cell = SizeClass(s[0], s[1], s[2], s[3]);
    EXPECT_EQ(cell.width * 1000 + cell.height, s[4] * 1000 + s[5]) << s[0] << "x" << s[1];
  }
  const uint32_t steps[][2] = {{0xA17E, 0xA221}, {0xA17F, 0xA221}, {0xA1FF, 0xA200},
                               {0xFF7E, 0x10021}};
  for (const auto& s : steps) EXPECT_EQ(uint32_t(NextEbCode(int32_t(s[0]))), s[1]) << s[0];
}

TEST(UnicodeTablesTest, WidthClassesAndCombiningMarks) {
  // The first and last of runs, the characters either side, and the unassigned defaults:
  // the East Asian Width class (Narrow, Wide, Ambiguous) and whether a combining mark.
  const std::tuple<uint32_t, char, bool> cases[] = {
      {0x10FF, 'N', 0},  {0x1100, 'W', 0},  {0x115F, 'W', 0},   {0x1160, 'N', 0},
      {0xA0, 'N', 0},    {0xA1, 'A', 0},    {0xA2, 'N', 0},     {0xE9, 'A', 0},
      {0x283, 'N', 0},   {0x2FF, 'N', 0},   {0x300, 'A', 1},    {0x36F, 'A', 1},
      {0x370, 'N', 0},   {0x44F, 'A', 0},   {0x450, 'N', 0},    {0xE30, 'N', 0},
      {0xE31, 'N', 1},   {0xE32, 'N', 0},   {0x3000, 'W', 0},   {0x3098, 'N', 0},
      {0x3099, 'W', 1},  {0x309A, 'W', 1},  {0x309B, 'W', 0},   {0x3247, 'W', 0},
      {0x3248, 'A', 0},  {0x324F, 'A', 0},  {0x3250, 'W', 0},   {0x9FFF, 'W', 0},
      {0xF8FF, 'A', 0},  {0xF900, 'W', 0},  {0xFE0F, 'A', 1},   {0xFE10, 'W', 0},
      {0xFF01, 'W', 0},  {0xFF61, 'N', 0},  {0x20000, 'W', 0},  {0x3FFFD, 'W', 0},
      {0x3FFFE, 'N', 0}, {0xE0100, 'A', 1}, {0xE01EF, 'A', 1},  {0xE01F0, 'N', 0},
      {0x10FFFD, 'A', 0}, {0x10FFFE, 'N', 0}, {0x10FFFF, 'N', 0}};
  for (const auto& [code, width, mark] : cases) {
    EXPECT_EQ("NWA"[int(EastAsianWidthOf(code))], width) << std::hex << code;
    EXPECT_EQ(IsWide(code), width == 'W') << std::hex << code;
    EXPECT_EQ(IsCombiningMark(code), mark) << std::hex << code;
  }
}

TEST(CodeSetTest, TextInPiecesOfAnySize) {
  // text: the codes, or the fault and its line; the same whatever the pieces it comes in
  const std::string long_line(TextCodes::kLongestLine, 'a'), longer = long_line + "a";
  const std::string over = "line 2: not text (a line over 1 MiB)", bad = "line 1: not UTF-8";
  const std::pair<std::string, std::string> cases[] = {
      {"b\ta\r\nb\xEF\xBB\xBF\x7F", "61 62 7F"}, {"\xF0\x9F\x98\x80\xC3\xA9", "E9 1F600"},
      {"\xC0\x80", bad}, {"\xE0\x9F\xBF", bad}, {"\n\xED\xA0\x80", "line 2: not UTF-8"},
      {"\xF4\x90\x80\x80", bad}, {"\xE3\x81", bad}, {"\xF8\x88\x80\x80\x80", bad},
      {"\xED\xBF\xBF", bad}, {"\xF0\x8F\xBF\xBF", bad}, {"\xEE\x80\x80", "E000"},
      {"\xE3\x81\n\x82", bad}, {std::string("a\n\nb\0c", 6), "line 3: not text (a NUL byte)"},
      {long_line + "\nb", "61 62"}, {"\n" + longer, over}, {"\n" + longer + "\n", over},
  };
  for (const auto& [text, expected] : cases) {
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, text.size()}) {
      TextCodes codes;
      for (size_t at = 0; at < text.size() && codes.Take(text.substr(at, piece));) at += piece;
      std::vector<uint32_t> got;
      std::string listed = codes.Finish(&got) ? "" : codes.error();
      for (uint32_t code : got) {
        char text[16];
        std::snprintf(text, sizeof text, &" %X"[listed.empty()], code);
        listed += text;
      }
      EXPECT_EQ(listed, expected) << text.substr(0, 16) << " in pieces of " << piece;
    }
  }
}

TEST(ProofSheetTest, HexDigitsOfTheLabelFontDifferInTwoPixelsOrMore) {
  // A blank, which the font does not draw, stands for a digit it would lack.
  const std::string chars = " 0123456789ABCDEF";
  for (size_t a = 0; a < chars.size(); ++a) {
    for (size_t b = a + 1; b < chars.size(); ++b) {
      int differ = 0;
      for (int32_t y = 0; y < kLabelFontHeight; ++y) {
        for (int32_t x = 0; x < kLabelFontWidth; ++x) {
          differ += LabelFontInk(chars[a], x, y) != LabelFontInk(chars[b], x, y);
        }
      }
      EXPECT_GE(differ, 2) << chars[a] << " " << chars[b];
    }
  }
}

// The fields a command line sets, those left at their defaults unnamed.
std::string Parse(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  RunOptions o, d;
  ParseOutcome outcome = ParseCommandLine({words.begin(), words.end()}, &o);
  if (outcome == ParseOutcome::kError) return "error " + o.error;
  if (outcome != ParseOutcome::kRun) return outcome == ParseOutcome::kUsage ? "usage" : "help";
  std::ostringstream out;
  out << o.source << " " << std::hex << std::uppercase << o.first_code << "-" << o.last_code;
  if (o.start_eb != d.start_eb || o.start_unicode != d.start_unicode) {
    out << " e=" << o.start_eb << " u=" << o.start_unicode;
  }
  out << std::dec << " " << o.cell_width << "x" << o.cell_height << " b=" << o.row_offset;
  if (o.header || o.bmp_mode() || !o.map_name.empty()) {
    out << " h=" << o.header << " bmp=" << o.bmp_mode() << " m=" << o.map_name;
  }
  if (o.off_char != d.off_char) out << " 0=" << std::hex << int(uint8_t(o.off_char));
  for (size_t i = 0; o.heights != d.heights && i < o.heights.size(); ++i) {
    out << (i == 0 ? " heights=" : ",") << o.heights[i];
  }
  for (const std::string& face : o.fallback) out << " fallback=" << face;
  out << " n=" << o.positional_count;
  for (const std::string& note : o.notes) out << " [" << note << "]";
  return out.str();
}

TEST(OptionsTest, EveryFieldOfTheCommandLine) {
  const char* cases[][2] = {
      {"-h -x=8", "usage"}, {"f --help -?", "help"},
      {"f 0x1FFFFFFFF -1", "f FFFFFFFF-FFFFFFFF 0x0 b=0 n=2 [-1: no option -1; ignored]"},
      {"-x16 f -y=32 -b=-4", "f 0-0 6x30 b=-4 n=1"},
      {"f -x:24 -y=31 -e=B021 -u=0x1F600", "f 0-0 e=B021 u=1F600 24x31 b=0 n=1"},
      {"f -e=zz -X=24 -z=1 - -x", "f 0-0 0x0 b=0 n=1 [-e=zz: not hexadecimal; read as A121] "
       "[-X=24: no option -X; ignored] [-z=1: no option -z; ignored] [-: no option letter; "
       "ignored] [-x: no value (write -x=N)]"},
      {"-x=8 /x=24 -x=-3", "/x=24 0-0 -3x0 b=0 n=1"},
      {"f -h -o=Bitmap -m=外字.xml -0=", "f 0-0 0x0 b=0 h=1 bmp=1 m=外字.xml 0=0 n=1 "
       "[-o=Bitmap: read as bmp] [-0=: no value (write -0=C)]"},
      {"f -o=bmp -o=text -0=\xC3\xA9x",
       "f 0-0 0x0 b=0 0=E9 n=1 [-o=text: not bmp, so no BMP files]"},
      {"f -0=\xE3\x80\x80", "f 0-0 0x0 b=0 0=0 n=1"},
      {"f -0=\xF0\x9F\x98\x80", "f 0-0 0x0 b=0 0=3D n=1"},
      {"f -0=\xFF", "f 0-0 0x0 b=0 0=FD n=1"},
      // After a third character past U+FFFF the value starts with its second half.
      {"f -0\xF0\x9F\x98\x81.", "f 0-0 0x0 b=0 0=1 n=1"},
      {"f -e\xF0\x9F\x98\x80" "B021 -x\xE2\x82\xAC" "5",
       "f 0-0 5x0 b=0 n=1 [-e\xF0\x9F\x98\x80" "B021: not hexadecimal; read as A121]"},
      {"f -m\xF0\x9F\x98\x80m", "f 0-0 0x0 b=0 h=0 bmp=0 m=\xED\xB8\x80m n=1"},
      // Likely mistakes are read all the same, and said (more in tests/golden/driver.txt).
      {"f -u=30G0",
       "f 0-0 e=A121 u=30 0x0 b=0 n=1 [-u=30G0: not hexadecimal from \"G0\" on; read as 30]"},
      {"f 3042 3041 --codes=t -o=BmP", "f 3042-3041 0x0 b=0 h=0 bmp=1 m= n=3"},
      {"f.HEX 3042 3041 -e=0x -u=0x1", "f.HEX 3042-3041 e=0 u=1 0x0 b=0 n=3"},
      // Long options are read strictly.
      {"f --heights=16,24,30 --fallback=A,B", "f 0-0 0x0 b=0 heights=16,24,30 fallback=A fallback=B n=1"},
      {"f --heights=16,30", "error --heights: FreePWING takes 16, 16,24, 16,24,30 or 16,24,30,48"},
      {"f --fallback=A,", "error --fallback: an empty face name"},
      {"f --codes book.txt", "error --codes: needs a value, as in --codes=FILE"},
      {"f --proof= -?", "error --proof: needs a value, as in --proof=FILE.png"},
      {"f --proof=p.PNG --proof=p.png.jpg", "error --proof: p.png.jpg does not end in .png"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c[0]), c[1]) << c[0];
}

// A face whose glyph is a box of ink, its sides and place given at an em of 16 and scaled
// to the em asked for; it has no size below `smallest`.
struct BoxFace : FaceRasterizer {
  int64_t left, top, width, height;
  uint32_t smallest = 1;
  std::vector<uint8_t> bits;
  bool HasSize(uint32_t em, std::vector<Strike>*) override { return em >= smallest; }
  bool HasGlyph(int32_t) override { return true; }
  bool Render(int32_t, uint32_t em, uint32_t, GlyphImage* image, std::string*) override {
    if (em < smallest) return false;
    const auto scale = [em](int64_t v) { return v * em / 16; };
    const int64_t w = scale(width), h = scale(height), stride = (w + 7) / 8;
    bits.assign(size_t(stride * h), 0);
    for (int64_t y = 0; y < h; ++y) {
      for (int64_t x = 0; x < w; ++x) bits[size_t(y * stride + x / 8)] |= uint8_t(0x80 >> x % 8);
    }
    *image = GlyphImage{bits.data(), stride, w, h, scale(left), scale(top), 0};
    return true;
  }
};

TEST(FaceDrawingTest, GlyphsMoveIntoTheCellOrShrinkToFit) {
  // glyph box at em 16 (left, top, width, height), the face's smallest size, the cell and
  // -b: the ink's box in the picture, the cut edges, the em drawn at
  struct Case {
    int64_t left, top, width, height;
    uint32_t smallest, columns, rows, offset;
    std::string expected;
  };
  const Case cases[] = {
      {2, 3, 8, 10, 1, 16, 16, 0, "2,3 8x10 cut 0 at em"},
      {-3, 3, 8, 10, 1, 16, 16, 0, "0,3 8x10 cut 0 at em"},       // left of the origin
      {12, -2, 8, 10, 1, 16, 16, 0, "8,0 8x10 cut 0 at em"},      // right and above
      {2, 10, 8, 10, 1, 16, 16, 0, "2,6 8x10 cut 0 at em"},       // below
      {0, 0, 16, 18, 1, 16, 16, 0, "0,0 15x16 cut 0 smaller"},    // 18 rows: em 15 is the largest
      {0, 0, 16, 18, 16, 16, 16, 0, "0,0 16x16 cut 2 at em"},     // no smaller size: cut below
      {-2, 0, 4, 4, 1, 16, 16, 4, "none cut 1 at em"},            // -b=4 shows rows 4 on
      {0, 0, 12, 12, 1, 8, 16, 0, "0,0 8x8 cut 0 smaller"},       // a full-width box at half width
  };
  for (const Case& c : cases) {
    BoxFace face;
    face.left = c.left, face.top = c.top, face.width = c.width, face.height = c.height;
    face.smallest = c.smallest;
    FaceView view = FaceTextDump(c.columns, c.rows, c.offset);
    FaceDrawing drawing;
    std::string error;
    ASSERT_TRUE(drawing.Draw(&face, 0x41, view, &error));
    const Bitmap picture = drawing.picture();
    int64_t x0 = 99, y0 = 99, x1 = -1, y1 = -1;
    for (int64_t i = 0; i < int64_t{picture.width} * picture.height; ++i) {
      if (!picture.pixels[i]) continue;
      x0 = std::min(x0, i % picture.width), x1 = std::max(x1, i % picture.width);
      y0 = std::min(y0, i / picture.width), y1 = std::max(y1, i / picture.width);
    }
    std::ostringstream got;
    if (x1 < 0) {
      got << "none";
    } else {
      got << x0 << "," << y0 << " " << x1 - x0 + 1 << "x" << y1 - y0 + 1;
    }
    got << " cut " << int(picture.cut) << (drawing.whole_at_em() || picture.cut ? " at em" : " smaller");
    EXPECT_EQ(got.str(), c.expected) << c.left << "," << c.top << " " << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace karvex
