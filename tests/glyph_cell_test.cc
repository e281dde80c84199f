#include "gaiji/glyph_cell.h"

#include <gtest/gtest.h>

namespace karvex {
namespace {

TEST(SizeClassTest, RoundsNominalSizesAndHonoursForcedOnes) {
  struct Case {
    int32_t w, h, forced_w, forced_h;
    int32_t cell_w, cell_h;
  } cases[] = {
      {5, 8, 0, 0, 8, 16},      {8, 16, 0, 0, 8, 16},    {12, 12, 0, 0, 8, 16},
      {16, 16, 0, 0, 16, 16},   {16, 24, 0, 0, 12, 24},  {24, 24, 0, 0, 24, 24},
      {24, 32, 0, 0, 16, 30},   {32, 32, 0, 0, 32, 30},  {40, 40, 0, 0, 48, 48},
      {9, 9, 0, 0, 8, 16},      {13, 13, 0, 0, 16, 16},  {17, 17, 0, 0, 24, 24},
      {25, 25, 0, 0, 32, 30},   {33, 33, 0, 0, 48, 48},  {0, 0, 0, 0, 8, 16},
      {-1, -1, 0, 0, 48, 48},   {-1, 16, 0, 0, 48, 16},  {16, -5, 0, 0, 24, 48},
      {12, 24, 0, 0, 12, 24},   {6, 12, 0, 0, 8, 16},    {48, 16, 0, 0, 48, 16},
      // Forced sizes replace the rounded ones each on its own.
      {16, 16, 20, 0, 20, 16},  {8, 8, 0, 48, 8, 48},    {16, 16, 24, 0, 24, 16},
      {32, 32, 0, 32, 32, 32},  {16, 16, -3, -3, 16, 16}, {16, 16, 100000, 7, 100000, 7},
  };
  for (const Case& c : cases) {
    CellSize size = SizeClass(c.w, c.h, c.forced_w, c.forced_h);
    EXPECT_EQ(size.width, c.cell_w) << c.w << "x" << c.h << " forced " << c.forced_w << "x"
                                    << c.forced_h;
    EXPECT_EQ(size.height, c.cell_h) << c.w << "x" << c.h << " forced " << c.forced_w << "x"
                                     << c.forced_h;
  }
}

TEST(EbCodeSequenceTest, LowByteRunsFrom21To7E) {
  struct Case {
    uint32_t code, next;
  } cases[] = {
      {0xA121, 0xA122}, {0xA17D, 0xA17E}, {0xA17E, 0xA221}, {0xA17F, 0xA221},
      {0xA200, 0xA201}, {0xA100, 0xA101}, {0xA1FF, 0xA200}, {0xFF7E, 0x10021},
      {0xFFFFFF7E, 0x21}, {0xFFFFFFFF, 0x0}, {0x7FFFFF7E, 0x80000021},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(NextEbCode(static_cast<int32_t>(c.code))), c.next)
        << std::hex << c.code;
  }
}

TEST(GlyphCellTest, RefusesCellsPast32BitsAndClearsOnlyItsOwnRows) {
  GlyphCell cell;
  EXPECT_FALSE(CreateGlyphCell({100000, 100000}, &cell));
  EXPECT_FALSE(CreateGlyphCell({INT32_MAX, 2}, &cell));
  EXPECT_FALSE(cell.pixels);

  ASSERT_TRUE(CreateGlyphCell({4, 2}, &cell));
  for (int i = 0; i < 12; ++i) cell.pixels[i] = 1;
  cell.ClearRow(-1);  // not in the cell: nothing happens
  cell.ClearRow(3);
  cell.ClearRow(2);  // the spare row
  EXPECT_EQ(std::vector<uint8_t>(cell.pixels.get(), cell.pixels.get() + 12),
            std::vector<uint8_t>({1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
  cell.ClearGlyph();
  EXPECT_EQ(std::vector<uint8_t>(cell.pixels.get(), cell.pixels.get() + 8),
            std::vector<uint8_t>(8, 0));
}

}  // namespace
}  // namespace karvex
