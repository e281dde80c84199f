#include "readers/hex_reader.h"

#include <gtest/gtest.h>

#include "reader_test_util.h"

namespace karvex {
namespace {

ReaderOutput Hex(std::string_view text, const ReadOptions& options = {}) {
  return RunReader(ReadHex, text, options);
}

const std::vector<std::string> kLetterA8x16 = {
    "        ", "        ", "        ", "        ", "   ##   ", "  #  #  ",
    " #    # ", " #    # ", " ###### ", " #    # ", " #    # ", " #    # ",
    " #    # ", "        ", "        ", "        "};

TEST(HexReaderTest, WritesHeaderGlyphMapAndFooter) {
  ReadOptions options;
  options.header = true;
  ReaderOutput r = Hex("8 16\nE000:00000000182442427E42424242000000\n", options);
  EXPECT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.out,
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiData xml:space=\"preserve\">\n"
            "<fontSet size=\"8X16\" start=\"A121\">\n" +
                Block("<fontData ebcode=\"A121\" unicode=\"E000\">", kLetterA8x16) +
                "</fontSet>\n</gaijiData>\n");
  EXPECT_EQ(r.map,
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gaijiSet>\n"
            "<gaijiMap unicode=\"#xE000\" ebcode=\"A121\"/>\n</gaijiSet>\n");
}

TEST(HexReaderTest, SizeLineGivesTheCell) {
  struct Case {
    const char* size_line;
    int32_t forced_w, forced_h;
    const char* fontset;
  } cases[] = {
      {"8 16", 0, 0, "8X16"},    {"12 12", 0, 0, "8X16"},   {"16 16", 0, 0, "16X16"},
      {"13 x", 0, 0, "16X16"},   {"24 24", 0, 0, "24X24"},  {"32 32", 0, 0, "32X30"},
      {"33 33", 0, 0, "48X48"},  {"-1 1", 0, 0, "48X48"},   {"0 0", 0, 0, "8X16"},
      {"x y", 0, 0, "8X16"},     {"16 16", 24, 0, "24X16"}, {"16 16", 0, 48, "16X48"},
      {"  16   16  extra\r", 0, 0, "16X16"},
  };
  for (const Case& c : cases) {
    ReadOptions options;
    options.header = true;
    options.forced_width = c.forced_w;
    options.forced_height = c.forced_h;
    ReaderOutput r = Hex(std::string(c.size_line) + "\n", options);
    EXPECT_TRUE(r.ok) << c.size_line << ": " << r.err;
    EXPECT_NE(r.out.find(std::string("<fontSet size=\"") + c.fontset + "\""), std::string::npos)
        << c.size_line << " gave " << r.out;
  }
}

TEST(HexReaderTest, BitsRunAsOneStreamAcrossRowEnds) {
  // A 24-wide cell takes 24 bits per row: the byte pairs do not line up with rows.
  ReadOptions options;
  options.forced_width = 24;
  ReaderOutput r = Hex("16 16\n41:FF00FF81\n", options);
  std::vector<std::string> rows = BlankRows(24, 16);
  rows[0] = "########        ########";
  rows[1] = "#      #                ";
  EXPECT_EQ(r.out, Block("<fontData ebcode=\"A121\" unicode=\"41\">", rows));

  // A 48 x 48 glyph is 576 digits on one line; it must come out whole.
  std::string line = "E001:";
  for (int i = 0; i < 48 * 6; ++i) line += (i % 6 == 5) ? "01" : "00";
  r = Hex("48 48\n" + line + "\n");
  rows = BlankRows(48, 48);
  for (std::string& row : rows) row[47] = '#';
  EXPECT_EQ(r.out, Block("<fontData ebcode=\"A121\" unicode=\"E001\">", rows));
}

TEST(HexReaderTest, GlyphLinesCarryTheirCodeAndStepTheEbCode) {
  ReadOptions options;
  options.start_eb = 0xA17D;
  ReaderOutput r = Hex(
      "8 16\n"
      "0041:FF\n"
      "::42:80\r\n"    // leading colons skipped; CR ends the bitmap text
      "U+0043:01\n"    // no hexadecimal number: the previous code stays
      "44G:0\n"        // one character: blank
      "0045\n",        // no colon: blank glyph with its code
      options);
  std::vector<std::string> first = BlankRows(8, 16), second = BlankRows(8, 16),
                           third = BlankRows(8, 16);
  first[0] = "########";
  second[0] = "#       ";
  third[0] = "       #";
  EXPECT_EQ(r.out, Block("<fontData ebcode=\"A17D\" unicode=\"41\">", first) +
                       Block("<fontData ebcode=\"A17E\" unicode=\"42\">", second) +
                       Block("<fontData ebcode=\"A221\" unicode=\"42\">", third) +
                       Block("<fontData ebcode=\"A222\" unicode=\"44\">", BlankRows(8, 16)) +
                       Block("<fontData ebcode=\"A223\" unicode=\"45\">", BlankRows(8, 16)));
  EXPECT_EQ(r.map,
            "<gaijiMap unicode=\"#x0041\" ebcode=\"A17D\"/>\n"
            "<gaijiMap unicode=\"#x0042\" ebcode=\"A17E\"/>\n"
            "<gaijiMap unicode=\"#x0042\" ebcode=\"A221\"/>\n"
            "<gaijiMap unicode=\"#x0044\" ebcode=\"A222\"/>\n"
            "<gaijiMap unicode=\"#x0045\" ebcode=\"A223\"/>\n");
}

TEST(HexReaderTest, PairsAreReadLikePercent02X) {
  struct Case {
    const char* bitmap;
    const char* row0;
    const char* row1;
  } cases[] = {
      {"F0F", "####    ", "        "},    // odd last character ignored
      {"F0F\r", "####    ", "        "},  // also before a CR
      {"F0 1", "####    ", "       #"},   // " 1" reads as 01
      {"  F0", "####    ", "####    "},   // blanks skipped past the pair: F0 twice
      {"F0zz", "####    ", "####    "},   // no digit: the last byte value again
      {"8:01", "    #   ", "       #"},   // a later colon belongs to the bitmap text
      {"-1", "########", "        "},     // a sign is read; the low 8 bits count
      {"0x", "        ", "        "},
  };
  for (const Case& c : cases) {
    ReaderOutput r = Hex(std::string("8 16\n41:") + c.bitmap + "\n");
    std::vector<std::string> rows = BlankRows(8, 16);
    rows[0] = c.row0;
    rows[1] = c.row1;
    EXPECT_EQ(r.out, Block("<fontData ebcode=\"A121\" unicode=\"41\">", rows)) << c.bitmap;
  }
  // The repeated byte value runs on from an earlier line.
  ReaderOutput r = Hex("8 16\n41:0C\n42:zz\n");
  std::vector<std::string> rows = BlankRows(8, 16);
  rows[0] = "    ##  ";
  EXPECT_EQ(r.out, Block("<fontData ebcode=\"A121\" unicode=\"41\">", rows) +
                       Block("<fontData ebcode=\"A122\" unicode=\"42\">", rows));
}

TEST(HexReaderTest, BlankLinesCarryNoGlyph) {
  ReadOptions options;
  options.header = true;
  const std::string with_blanks = std::string("8 16\n\n41:FF\n::\n \t\r\n") + '\0' +
                                  "42:FF\n43:FF\n::";
  ReaderOutput r = Hex(with_blanks, options);
  ReaderOutput plain = Hex("8 16\n41:FF\n43:FF\n", options);
  EXPECT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.out, plain.out);
  EXPECT_EQ(r.map, plain.map);
  EXPECT_NE(r.out.find("ebcode=\"A122\" unicode=\"43\""), std::string::npos);
}

TEST(HexReaderTest, FailuresWriteWhatTheReaderReachedAndSayWhy) {
  ReadOptions options;
  options.header = true;
  struct Case {
    const char* text;
    int32_t forced_w;
    std::string out;
    std::string map;
    const char* err;
  } cases[] = {
      {"", 0, "</fontSet>\n</gaijiData>\n", "</gaijiSet>\n", "empty file"},
      {"16\n41:FF\n", 0, "", "", "line 1: the size line needs two values"},
      {"\n16 16\n", 0, "", "", "line 1: the size line needs two values"},
      {"16\t16\n", 0, "", "", "line 1: the size line needs two values"},  // a tab joins
      {"16 16\n41:FF\n", 100000, "</fontSet>\n</gaijiData>\n", "</gaijiSet>\n",
       "cannot make a 100000x100000 glyph cell"},
  };
  for (const Case& c : cases) {
    options.forced_width = c.forced_w;
    options.forced_height = c.forced_w;
    ReaderOutput r = Hex(c.text, options);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.map, c.map);
  }
}

}  // namespace
}  // namespace karvex
