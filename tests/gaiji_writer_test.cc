#include "gaiji/gaiji_writer.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace karvex {
namespace {

TEST(GaijiWriterTest, WritesEveryFragmentExactly) {
  OutputStream out, map;
  GaijiWriter writer(&out, &map);
  writer.Header(8, 16, 0xA121);
  writer.GlyphOpening(0xA121, 0x41);
  writer.GlyphOpeningWithCode(0x1F600, -1, 0xE000);
  writer.GlyphClosing();
  writer.MapEntry(0x41, 0xA121);
  writer.MapEntry(0x1F600, 0x21);
  writer.MapEntry(-2, 0x10021);
  writer.Footer();
  EXPECT_EQ(out.text(),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiData xml:space=\"preserve\">\n"
            "<fontSet size=\"8X16\" start=\"A121\">\n"
            "<fontData ebcode=\"A121\" unicode=\"41\">\n"
            "<fontData code=\"1F600\"  ebcode=\"FFFFFFFF\" unicode=\"E000\">\n"
            "</fontData>\n"
            "</fontSet>\n"
            "</gaijiData>\n");
  EXPECT_EQ(map.text(),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiSet>\n"
            "<gaijiMap unicode=\"#x0041\" ebcode=\"A121\"/>\n"
            "<gaijiMap unicode=\"#x1F600\" ebcode=\"0021\"/>\n"
            "<gaijiMap unicode=\"#xFFFFFFFE\" ebcode=\"10021\"/>\n"
            "</gaijiSet>\n");
}

TEST(GaijiWriterTest, HeaderSizesAreSignedAndMapIsOptional) {
  OutputStream out;
  GaijiWriter writer(&out, nullptr);
  writer.Header(-5, 100, -1);
  writer.MapEntry(1, 2);
  writer.Footer();
  EXPECT_EQ(out.text(),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiData xml:space=\"preserve\">\n"
            "<fontSet size=\"-5X100\" start=\"FFFFFFFF\">\n"
            "</fontSet>\n"
            "</gaijiData>\n");
}

TEST(GaijiWriterTest, CellRowsUseTheBackgroundCharacter) {
  GlyphCell cell;
  ASSERT_TRUE(CreateGlyphCell({3, 2}, &cell));
  cell.pixels[0] = 1;
  cell.pixels[4] = 7;  // any non-zero byte is ink
  cell.pixels[6] = 1;  // the spare row is never printed
  for (char off : {' ', '.', '\0'}) {
    OutputStream out;
    GaijiWriter writer(&out, nullptr, off);
    writer.CellRows(cell);
    const std::string expected{'#', off, off, '\n', off, '#', off, '\n'};
    EXPECT_EQ(out.text(), expected);
  }
}

TEST(OutputStreamTest, PiecesOfAnySizeReachTheFileInOrder) {
  // Small pieces, pieces filled in place, and pieces of a whole buffer block or more,
  // which go to the file straight after what is buffered.
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  OutputStream out(file);
  std::string expected;
  for (size_t size : {5, 70001, 3, 65536, 65537, 200000, 1, 2}) {
    const std::string piece(size, char('a' + expected.size() % 26));
    if (size % 2) {
      out.Write(piece);
    } else {
      piece.copy(out.Extend(size), size);
    }
    expected += piece;
  }
  ASSERT_TRUE(out.Flush());
  std::string written(expected.size() + 1, '\0');
  std::rewind(file);
  written.resize(std::fread(&written[0], 1, written.size(), file));
  std::fclose(file);
  EXPECT_TRUE(written == expected);  // (not EXPECT_EQ: a failure would print megabytes)
}

TEST(OutputStreamTest, KeepsTheFirstWriteErrorAndReportsIt) {
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  OutputStream out(full);
  out.Write("some text");
  EXPECT_FALSE(out.failed());  // still buffered
  EXPECT_FALSE(out.Flush());
  EXPECT_TRUE(out.failed());
  EXPECT_EQ(out.error(), ENOSPC);
  std::fclose(full);
}

}  // namespace
}  // namespace karvex
