// What golden rows reach only at great length: number scanning against the C library, the
// short paths against the plain rules, the size and EB code rules, every command-line field,
// the proof sheet's label font and what no source draws yet.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <utility>

#include "driver/code_set.h"
#include "driver/options.h"
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

TEST(EastAsianWidthTest, WideAndFullwidthCharacters) {
  // The first and last of runs, the characters either side, and the unassigned defaults.
  const std::pair<uint32_t, bool> cases[] = {
      {0x10FF, false}, {0x1100, true}, {0x115F, true}, {0x1160, false}, {0xE9, false},
      {0x283, false}, {0x3000, true}, {0x3042, true}, {0xFF01, true}, {0xFF61, false},
      {0x9FFF, true}, {0x20000, true}, {0x3FFFD, true}, {0x3FFFE, false}, {0x10FFFF, false}};
  for (const auto& [code, wide] : cases) EXPECT_EQ(IsWide(code), wide) << std::hex << code;
}

TEST(CodeSetTest, WellFormedUtf8Only) {
  // text: the codes, or the line of the first byte that is not well-formed UTF-8
  const std::pair<std::string, std::string> cases[] = {
      {"b\ta\r\nb\xEF\xBB\xBF\x7F", "61 62 7F"}, {"\xF0\x9F\x98\x80\xC3\xA9", "E9 1F600"},
      {"\xC0\x80", "line 1"}, {"\xE0\x9F\xBF", "line 1"}, {"\n\xED\xA0\x80", "line 2"},
      {"\xF4\x90\x80\x80", "line 1"}, {"\xE3\x81", "line 1"}, {"\xF8\x88\x80\x80\x80", "line 1"},
      {"\xED\xBF\xBF", "line 1"}, {"\xF0\x8F\xBF\xBF", "line 1"}, {"\xEE\x80\x80", "E000"},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<uint32_t> codes;
    std::string error, got;
    if (!CodeSetOfText(text, &codes, &error)) got = error.substr(0, error.find(':'));
    for (uint32_t code : codes) {
      char text[16];
      std::snprintf(text, sizeof text, &" %X"[got.empty()], code);
      got += text;
    }
    EXPECT_EQ(got, expected) << text;
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

TEST(ProofSheetTest, AMissingGlyphBoxHasADashedFrame) {
  // The same picture as a glyph and as a face's missing-glyph box: the frame of the box has
  // gaps, and nothing else differs.
  uint8_t pixels[8 * 8];
  for (int i = 0; i < 64; ++i) pixels[i] = uint8_t(i % 3 == 0);
  Glyph glyph;
  glyph.picture[0] = {pixels, 8, 8};
  FILE* file = std::tmpfile();
  OutputStream out(file);
  Failure failure;
  const ProofLayout layout(8, 8, 2);
  {
    ProofSheet sheet(layout, &out, "p.png", &failure);
    sheet.Put(glyph);
    glyph.missing = true;
    sheet.Put(glyph);
    sheet.Finish({});
  }
  ASSERT_TRUE(out.Flush() && !failure.happened());
  std::string png(size_t(std::ftell(file)), '\0');
  std::rewind(file);
  ASSERT_EQ(std::fread(&png[0], 1, png.size(), file), png.size());
  std::fclose(file);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
  image.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
  const auto ink = [&](int cell, int32_t x, int32_t y) {
    x += ProofLayout::kMargin + cell * layout.pitch_x();
    return grey[size_t(ProofLayout::kMargin + y) * image.width + size_t(x)] == 0;
  };
  const int32_t side = 2 * 8 + 4;  // the frame around the doubled picture
  int frame_ink[2] = {0, 0};
  for (int cell = 0; cell < 2; ++cell) {
    for (int32_t y = 0; y < side; ++y) {
      for (int32_t x = 0; x < side; ++x) {
        if (x == 0 || y == 0 || x == side - 1 || y == side - 1) {
          frame_ink[cell] += ink(cell, x, y);
        } else {
          EXPECT_EQ(ink(cell, x, y), ink(0, x, y)) << x << "," << y;
        }
      }
    }
  }
  EXPECT_EQ(frame_ink[0], 4 * side - 4);
  EXPECT_TRUE(frame_ink[1] >= 2 * side && frame_ink[1] < 4 * side - 4) << frame_ink[1];
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
      {"f 50 41 x", "f 50-41 0x0 b=0 n=4 [41: below the first code, 50; the range is empty]"},
      {"f zz 41", "f 0-41 0x0 b=0 n=3 [zz: not hexadecimal; read as 0]"},
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
      // Likely mistakes are read all the same, and said.
      {"f -m map.xml -u=30G0 -X", "f 0-0 e=A121 u=30 0x0 b=0 n=2 [-m: no value (write -m=FILE)] "
       "[map.xml: not hexadecimal; read as 0] [-u=30G0: not hexadecimal from \"G0\" on; read as "
       "30] [-X: no option -X; ignored]"},
      {"f U+3042 3041 -o=png", "f 0-3041 0x0 b=0 n=3 [U+3042: not hexadecimal; read as 0] "
       "[-o=png: not bmp, so no BMP files]"},
      {"f 3042 3041 --codes=t -o=BmP", "f 3042-3041 0x0 b=0 h=0 bmp=1 m= n=3"},
      {"f.HEX 3042 3041 -e=0x -u=0x1", "f.HEX 3042-3041 e=0 u=1 0x0 b=0 n=3"},
      // Long options are read strictly.
      {"f --heights=16,24,30 --fallback=A,B", "f 0-0 0x0 b=0 heights=16,24,30 fallback=A fallback=B n=1"},
      {"f --heights=16,30", "error --heights: FreePWING takes 16, 16,24, 16,24,30 or 16,24,30,48"},
      {"f --fallback=A,", "error --fallback: an empty face name"},
      {"f --codes book.txt", "error --codes: needs a value, as in --codes=FILE"},
      {"f --proof= -?", "error --proof: needs a value, as in --proof=FILE.png"},
      {"f -- x", "f 0-0 0x0 b=0 n=2 [--: no option --; ignored, and options go on after it] "
       "[x: not hexadecimal; read as 0]"},
      {"f --proof=p.PNG --proof=p.png.jpg", "error --proof: p.png.jpg does not end in .png"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace karvex
