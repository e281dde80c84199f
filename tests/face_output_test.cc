#include <gtest/gtest.h>

#include "face/bmp_export.h"
#include "face/face_text_dump.h"
#include "fake_rasterizer.h"

namespace karvex {
namespace {

struct Dump {
  std::vector<std::string> rows;
  std::string opening;
  uint32_t em;
};

Dump TextDump(int32_t code, uint32_t width, uint32_t height, uint32_t row_offset,
              char off = ' ') {
  FakeRasterizer face;
  MonoCanvas canvas;
  OutputStream out;
  GaijiWriter writer(&out, nullptr, off);
  std::string error;
  EXPECT_TRUE(FaceTextDump(code, width, height, 0xA121, row_offset, &face, &canvas, &writer,
                           &error));
  Dump dump;
  std::string text = out.text();
  size_t end = text.find('\n');
  dump.opening = text.substr(0, end);
  for (size_t start = end + 1; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    dump.rows.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(dump.rows.back(), "</fontData>");
  dump.rows.pop_back();
  EXPECT_EQ(face.calls.size(), 1u);
  dump.em = face.calls.at(0).second;
  return dump;
}

// The diagonal's pixel in a row of the 48 x 48 canvas, as text.
std::string DiagonalRow(uint32_t canvas_row, uint32_t em, uint32_t columns) {
  std::string row(columns, ' ');
  if (canvas_row < em && canvas_row < columns) row[canvas_row] = '#';
  return row;
}

TEST(FaceTextDumpTest, WindowOfTheCanvasFollowsSizeAndRowOffset) {
  struct Case {
    uint32_t width, height, row_offset;
    uint32_t em, rows, columns, first_canvas_row;
  } cases[] = {
      {16, 16, 0, 16, 16, 16, 0},
      {20, 12, 0, 20, 12, 20, 0},
      {60, 16, 0, 48, 16, 48, 0},           // capped at 48
      {uint32_t(-5), 16, 0, 48, 16, 48, 0},  // negative counts as huge
      {0, 16, 0, 16, 16, 48, 0},            // width 0: all 48 columns
      {16, 0, 0, 16, 0, 16, 0},             // height 0: no rows
      {16, 16, 4, 16, 16, 16, 4},
      {16, 48, 0, 48, 48, 16, 0},
      {8, 24, 0, 24, 24, 8, 0},
      {16, 16, 40, 16, 16, 16, 40},         // rows past the canvas are background
  };
  for (const Case& c : cases) {
    Dump dump = TextDump(0x41, c.width, c.height, c.row_offset);
    EXPECT_EQ(dump.opening, "<fontData ebcode=\"A121\" unicode=\"41\">");
    EXPECT_EQ(dump.em, c.em) << c.width << "x" << c.height;
    ASSERT_EQ(dump.rows.size(), c.rows) << c.width << "x" << c.height;
    for (uint32_t i = 0; i < c.rows; ++i) {
      uint32_t canvas_row = c.first_canvas_row + i;
      std::string expected = canvas_row < 48 ? DiagonalRow(canvas_row, c.em, c.columns)
                                             : std::string(c.columns, ' ');
      if (canvas_row == 47) expected[1] = '#';  // the fake's code mark: 0x41 % 8
      EXPECT_EQ(dump.rows[i], expected) << c.width << "x" << c.height << " row " << i;
    }
  }
}

TEST(FaceTextDumpTest, OffsetsThatWrapWriteNoRowsAndFarOnesOnlyBackground) {
  EXPECT_TRUE(TextDump(0x41, 16, 16, uint32_t(-1)).rows.empty());
  EXPECT_TRUE(TextDump(0x41, 16, 16, uint32_t(-16)).rows.empty());
  Dump far = TextDump(0x41, 16, 16, uint32_t(-17));
  EXPECT_EQ(far.rows, std::vector<std::string>(16, std::string(16, ' ')));
}

TEST(FaceTextDumpTest, CodeIsWrittenWholeAndPolarityFollowsTheBackgroundCharacter) {
  Dump dump = TextDump(0x1F600, 8, 2, 0, '.');
  EXPECT_EQ(dump.opening, "<fontData ebcode=\"A121\" unicode=\"1F600\">");
  EXPECT_EQ(dump.rows, (std::vector<std::string>{"#.......", ".#......"}));
}

TEST(BmpGeometryTest, RoundsToMultiplesOf8AndRefusesNonsense) {
  struct Case {
    uint32_t width, height;
    bool ok;
    uint32_t w, h, size;
  } cases[] = {
      {16, 16, true, 16, 16, 126},
      {12, 12, true, 16, 16, 126},
      {8, 30, true, 8, 32, 62 + 4 * 32},
      {24, 24, true, 24, 24, 254},
      {32, 32, true, 32, 32, 318},
      {1, 1, true, 8, 8, 62 + 4 * 8},
      {65528, 16, true, 65528, 16, 62 + 16u * 16384},
      {60000, 60000, true, 60000, 60000, 62 + 60000u * 15000},
      {65529, 16, false, 0, 0, 0},           // rounds to 65536: no face draws that large
      {100000, 100000, false, 0, 0, 0},
      {0, 16, false, 0, 0, 0},
      {16, 0, false, 0, 0, 0},
      {2147483647, 16, false, 0, 0, 0},      // rounds to 2^31: negative
      {uint32_t(-3), 16, false, 0, 0, 0},    // rounds to 0
  };
  for (const Case& c : cases) {
    BmpGeometry g{};
    EXPECT_EQ(BmpGeometryFor(c.width, c.height, &g), c.ok) << c.width << "x" << c.height;
    if (!c.ok) continue;
    EXPECT_EQ(g.width, c.w);
    EXPECT_EQ(g.height, c.h);
    EXPECT_EQ(g.file_size, c.size) << c.width << "x" << c.height;
  }
}

std::string BmpBytes(int32_t code, uint32_t width, uint32_t height, uint32_t* em) {
  BmpGeometry geometry;
  EXPECT_TRUE(BmpGeometryFor(width, height, &geometry));
  FakeRasterizer face;
  MonoCanvas canvas;
  std::string error;
  EXPECT_TRUE(DrawForBmp(code, geometry, &face, &canvas, &error));
  *em = face.calls.at(0).second;
  OutputStream out;
  WriteBmp(canvas, geometry, &out);
  return out.text();
}

TEST(BmpWriterTest, HeaderRowsAndTrailingZerosAreExact) {
  uint32_t em;
  std::string bmp = BmpBytes(0x41, 16, 16, &em);
  EXPECT_EQ(em, 16u);
  const std::string expected_header(
      "BM\x7E\0\0\0\0\0\0\0\x3E\0\0\0"          // signature, size 126, offset 62
      "\x28\0\0\0\x10\0\0\0\x10\0\0\0\1\0\1\0"  // 40, 16 x 16, 1 plane, 1 bit
      "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
      "\0\0\0\0\xFF\xFF\xFF\0",                 // black, white
      62);
  ASSERT_EQ(bmp.size(), 126u);
  EXPECT_EQ(bmp.substr(0, 62), expected_header);
  // Bottom row first: row 15 holds the diagonal's end and the code mark (0x41 % 8 = 1).
  EXPECT_EQ(bmp.substr(62, 4), std::string("\xBF\xFE\0\0", 4));
  EXPECT_EQ(bmp.substr(62 + 4 * 15, 4), std::string("\x7F\xFF\0\0", 4));  // top row

  // 24 x 24: the size counts 8 bytes a row, 4 of them written; zeros fill the file up.
  bmp = BmpBytes(0x41, 24, 24, &em);
  EXPECT_EQ(em, 24u);
  ASSERT_EQ(bmp.size(), 254u);
  EXPECT_EQ(bmp.substr(62 + 4 * 23, 4), std::string("\x7F\xFF\xFF\0", 4));  // top row
  EXPECT_EQ(bmp.substr(62 + 96), std::string(96, '\0'));
}

}  // namespace
}  // namespace karvex
