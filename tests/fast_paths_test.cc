// The short paths taken on whole fonts (two plain digits, eight pixels at a time, whole
// bytes of a glyph bitmap, block-wise output) must give exactly what the plain rules give,
// for every input, not only the common one.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "face/face_text_dump.h"
#include "face/rasterizer.h"
#include "gaiji/gaiji_writer.h"
#include "gaiji/glyph_cell.h"
#include "gaiji/numbers.h"
#include "gaiji/output_stream.h"
#include "readers/text_lines.h"

namespace karvex {
namespace {

TEST(ScanHexPairTest, AgreesWithScanHexOnEveryShortText) {
  // Digits of both cases, near misses, blanks, signs and the pieces of "0x".
  const std::string alphabet = std::string("09afAFgGxX+- \t\r\v:") + '\0';
  std::vector<std::string> texts = {""};
  for (size_t length = 1, begin = 0; length <= 4; ++length) {
    size_t end = texts.size();
    for (size_t i = begin; i < end; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    begin = end;
  }
  ASSERT_GT(texts.size(), 100000u);
  for (const std::string& text : texts) {
    uint32_t plain = 0x5A5A5A5A, fast = 0x5A5A5A5A;
    const bool plain_ok = ScanHex(text, 2, &plain);
    ASSERT_EQ(ScanHexPair(text, &fast), plain_ok) << '"' << text << '"';
    ASSERT_EQ(fast, plain) << '"' << text << '"';
  }
}

TEST(GlyphCellTest, PlaceByteStopsAtTheCellEndAndSkipsNegativeStarts) {
  GlyphCell cell;
  ASSERT_TRUE(CreateGlyphCell({3, 2}, &cell));  // 6 pixels and a spare row of 3
  auto pixels = [&] { return std::vector<uint8_t>(cell.pixels.get(), cell.pixels.get() + 9); };
  cell.PlaceByte(-1, 0xFF);
  EXPECT_EQ(pixels(), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
  cell.PlaceByte(0, 0xA5);  // 1010 0101: the last two bits fall past the cell
  EXPECT_EQ(pixels(), (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 0, 0}));
  cell.PlaceByte(4, 0x1C0);  // only the low eight bits count: 1100 0000
  EXPECT_EQ(pixels(), (std::vector<uint8_t>{1, 0, 1, 0, 1, 1, 0, 0, 0}));
  cell.PlaceByte(6, 0xFF);  // starts past the glyph rows
  EXPECT_EQ(pixels(), (std::vector<uint8_t>{1, 0, 1, 0, 1, 1, 0, 0, 0}));

  GlyphCell wide;
  ASSERT_TRUE(CreateGlyphCell({16, 1}, &wide));
  wide.PlaceByte(5, 0x81);  // a whole byte inside the cell, not byte-aligned
  wide.PlaceByte(9, 0xFF);  // seven pixels left: the spare row stays clear
  std::vector<uint8_t> expected(32, 0);
  expected[5] = expected[12] = 1;
  for (int p = 9; p < 16; ++p) expected[p] = 1;
  EXPECT_EQ(std::vector<uint8_t>(wide.pixels.get(), wide.pixels.get() + 32), expected);
}

TEST(TextLinesTest, TokensAndLinesSplitAsTheReadersNeed) {
  struct Case {
    std::string text;
    std::vector<std::string> tokens;
  } cases[] = {
      {"", {}},
      {" \r\n ", {}},
      {"BBX 8 16 0 -2\r\n", {"BBX", "8", "16", "0", "-2"}},
      {"  A\tB  C\r", {"A\tB", "C"}},  // a tab is part of a token
      {"\xff\xfe x", {"\xff\xfe", "x"}},
      {"X", {"X"}},
  };
  for (const Case& c : cases) {
    Tokens tokens(c.text, " \r\n");
    std::vector<std::string> got;
    for (std::string_view t; tokens.Next(&t);) got.emplace_back(t);
    EXPECT_EQ(got, c.tokens) << '"' << c.text << '"';
  }

  const std::string with_nul("ab\0cd\nef\n\0\r\ngh", 15);
  for (const auto& [text, lines] :
       {std::pair<std::string, std::vector<std::string>>{with_nul, {"ab", "ef", "", "gh"}},
        {"a\r\nb\n\nc", {"a\r", "b", "", "c"}},
        {"", {}}}) {
    LineCursor cursor(text);
    std::vector<std::string> got;
    for (std::string_view line; cursor.Next(&line);) got.emplace_back(line);
    EXPECT_EQ(got, lines);
    EXPECT_EQ(cursor.number(), int64_t(lines.size()));
  }
}

// Writes the same mixture of small and large pieces to a stream; returns what was meant.
std::string WriteMixture(OutputStream* out) {
  std::string expected;
  for (int i = 0; i < 30000; ++i) {
    std::string piece = "<fontData ebcode=\"" + std::to_string(i) + "\">";
    out->Write(piece);
    expected += piece;
    out->Put(char('a' + i % 26));
    expected += char('a' + i % 26);
    size_t n = size_t(i % 61);
    char* room = out->Extend(n);
    for (size_t k = 0; k < n; ++k) room[k] = char('A' + (i + k) % 26);
    expected.append(room, n);
    if (i % 9999 == 0) {  // now and then a piece longer than a whole block
      std::string big(150000 + i, char('0' + i % 10));
      out->Write(big);
      expected += big;
    }
  }
  return expected;
}

TEST(OutputStreamTest, TextReachesTheFileWholeAndInOrder) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  OutputStream out(file);
  const std::string expected = WriteMixture(&out);
  ASSERT_TRUE(out.Flush());
  ASSERT_GT(expected.size(), size_t{1} << 20);  // many blocks
  std::string written(expected.size() + 1, '\0');
  std::rewind(file);
  written.resize(std::fread(&written[0], 1, written.size(), file));
  std::fclose(file);
  EXPECT_TRUE(written == expected);  // (not EXPECT_EQ: megabytes of text on a failure)
  EXPECT_EQ(written.size(), expected.size());

  OutputStream memory;
  EXPECT_TRUE(memory.text().empty());
  const std::string kept = WriteMixture(&memory);
  EXPECT_TRUE(memory.text() == kept);
}

// Fills the canvas with a fixed pseudo-random picture instead of drawing a character.
class NoiseRasterizer : public FaceRasterizer {
 public:
  bool Draw(int32_t code, uint32_t, MonoCanvas* canvas, std::string*) override {
    std::mt19937 random{uint32_t(code)};
    for (uint8_t& byte : canvas->bits) byte = uint8_t(random());
    return true;
  }
};

TEST(FaceTextDumpTest, RowsMatchTheCanvasPixelByPixel) {
  NoiseRasterizer face;
  for (char off : {' ', '.', '\0', '#'}) {
    for (uint32_t width : {1u, 7u, 8u, 13u, 16u, 20u, 47u, 48u, 0u}) {
      for (uint32_t row_offset : {0u, 5u, 40u}) {
        MonoCanvas canvas;
        OutputStream out;
        GaijiWriter writer(&out, nullptr, off);
        std::string error;
        const int32_t code = int32_t(width * 100 + row_offset);
        ASSERT_TRUE(FaceTextDump(code, width, 16, 0xA121, row_offset, &face, &canvas, &writer,
                                 &error));
        std::string expected = "<fontData ebcode=\"A121\" unicode=\"" + [&] {
          char hex[16];
          std::snprintf(hex, sizeof hex, "%X", uint32_t(code));
          return std::string(hex);
        }() + "\">\n";
        const uint32_t columns = width == 0 ? 48 : width;
        for (uint32_t y = row_offset; y < row_offset + 16; ++y) {
          for (uint32_t x = 0; x < columns; ++x) {
            expected += y < 48 && canvas.ink(x, y) ? '#' : off;
          }
          expected += '\n';
        }
        expected += "</fontData>\n";
        EXPECT_EQ(out.text(), expected) << "width " << width << " offset " << row_offset
                                        << " off " << int(off);
      }
    }
  }
}

TEST(MonoCanvasTest, InkRowInksWhatSetInkWouldAndNothingElse) {
  std::mt19937 random(7);
  for (uint32_t width : {8u, 16u, 24u, 45u, 48u, 64u}) {
    for (int trial = 0; trial < 400; ++trial) {
      const int64_t columns = 1 + int64_t(random() % 70);
      const int64_t left = int64_t(random() % 161) - 80;
      std::vector<uint8_t> source(size_t((columns + 7) / 8) + 1);
      for (uint8_t& byte : source) byte = uint8_t(random());
      MonoCanvas fast, plain;
      fast.Reset(width, 3);
      plain.Reset(width, 3);
      fast.InkRow(source.data(), columns, left, 1);
      for (int64_t x = 0; x < columns; ++x) {
        const bool set = (source[size_t(x / 8)] << (x % 8)) & 0x80;
        if (set && left + x >= 0 && left + x < int64_t{width}) {
          plain.SetInk(uint32_t(left + x), 1);
        }
      }
      // The whole storage, padding bits and the other rows included.
      ASSERT_EQ(fast.bits, plain.bits) << "width " << width << " columns " << columns
                                       << " left " << left;
    }
  }
}

}  // namespace
}  // namespace karvex
