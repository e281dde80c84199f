#include "readers/bdf_reader.h"

#include <gtest/gtest.h>

#include "reader_test_util.h"

namespace karvex {
namespace {

ReaderOutput Bdf(std::string_view text, ReadOptions options = {}) {
  if (options.last_code == 0) options.last_code = 0x10FFFF;
  return RunReader(ReadBdf, text, options);
}

// A font with the given box line and glyph sections.
std::string Font(const std::string& box, const std::string& glyphs) {
  return "STARTFONT 2.1\nFONT -test-x\nSIZE 16 75 75\n" + box +
         "\nSTARTPROPERTIES 1\nFONT_ASCENT 14\nENDPROPERTIES\nCHARS 1\n" + glyphs + "ENDFONT\n";
}

std::string Glyph(int encoding, const std::string& bbx, const std::vector<std::string>& rows) {
  std::string text = "STARTCHAR g" + std::to_string(encoding) + "\nENCODING " +
                     std::to_string(encoding) + "\nSWIDTH 500 0\nDWIDTH 8 0\nBBX " + bbx +
                     "\nBITMAP\n";
  for (const std::string& row : rows) text += row + "\n";
  return text + "ENDCHAR\n";
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Opening(int code, const char* eb, const char* unicode) {
  char text[96];
  std::snprintf(text, sizeof text, "<fontData code=\"%X\"  ebcode=\"%s\" unicode=\"%s\">", code,
                eb, unicode);
  return text;
}

TEST(BdfReaderTest, WritesHeaderGlyphsMapAndFooter) {
  ReadOptions options;
  options.header = true;
  options.first_code = 0x41;
  options.last_code = 0x42;
  std::string font = Font("FONTBOUNDINGBOX 8 16 0 -2",
                          Glyph(64, "8 1 0 13", {"FF"}) + Glyph(65, "8 1 0 13", {"81"}) +
                              Glyph(66, "8 1 0 13", {"18"}) + Glyph(67, "8 1 0 13", {"FF"}));
  ReaderOutput r = Bdf(font, options);
  EXPECT_TRUE(r.ok) << r.err;
  std::vector<std::string> a = BlankRows(8, 16), b = BlankRows(8, 16);
  a[0] = "#      #";
  b[0] = "   ##   ";
  EXPECT_EQ(r.out,
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiData xml:space=\"preserve\">\n"
            "<fontSet size=\"8X16\" start=\"A121\">\n" +
                Block(Opening(0x41, "A121", "E000"), a) + Block(Opening(0x42, "A122", "E001"), b) +
                "</fontSet>\n</gaijiData>\n");
  EXPECT_EQ(r.map,
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gaijiSet>\n"
            "<gaijiMap unicode=\"#xE000\" ebcode=\"A121\"/>\n"
            "<gaijiMap unicode=\"#xE001\" ebcode=\"A122\"/>\n</gaijiSet>\n");
}

// Where one glyph lands in the cell: box line, BBX line, bitmap rows, expected picture.
TEST(BdfReaderTest, PlacesGlyphsByTheirBoundingBoxes) {
  struct Case {
    const char* name;
    const char* box;
    const char* bbx;
    std::vector<std::string> bitmap;
    int width, height;
    std::vector<std::pair<int, std::string>> ink_rows;  // rows not blank
  } cases[] = {
      {"row offset -2+16-12+1 = 3", "FONTBOUNDINGBOX 16 16 0 -2", "8 12 0 -1",
       std::vector<std::string>(12, "80"), 16, 16,
       {{3, "#"}, {4, "#"}, {5, "#"}, {6, "#"}, {7, "#"}, {8, "#"}, {9, "#"}, {10, "#"},
        {11, "#"}, {12, "#"}, {13, "#"}, {14, "#"}}},
      {"a positive box y offset counts as negative", "FONTBOUNDINGBOX 16 16 0 2", "8 1 0 -1",
       {"FF"}, 16, 16, {{14, "########"}}},
      {"placement uses the box height, not the cell's", "FONTBOUNDINGBOX 8 8 0 -1",
       "8 8 0 -1", std::vector<std::string>(8, "C3"), 8, 16,
       {{0, "##    ##"}, {1, "##    ##"}, {2, "##    ##"}, {3, "##    ##"},
        {4, "##    ##"}, {5, "##    ##"}, {6, "##    ##"}, {7, "##    ##"}}},
      {"rows below a 32x30 cell are cut", "FONTBOUNDINGBOX 32 32 0 -4", "8 3 0 -4",
       {"01", "02", "04"}, 32, 30, {{29, "       #"}}},
      {"box x offset -1 shifts right", "FONTBOUNDINGBOX 16 16 -1 -2", "8 1 0 0", {"FF"}, 16,
       16, {{13, " ########"}}},
      {"a negative x shift also shifts right", "FONTBOUNDINGBOX 16 16 -1 -2", "8 1 -2 0",
       {"FF"}, 16, 16, {{13, " ########"}}},
      {"glyph width capped at the cell width", "FONTBOUNDINGBOX 8 16 0 -2", "16 1 0 0",
       {"F0FF"}, 8, 16, {{13, "####"}}},
      {"extra rows past the cell height are ignored", "FONTBOUNDINGBOX 8 16 0 -2", "8 1 0 13",
       std::vector<std::string>(20, "FF"), 8, 16,
       {{0, "########"}, {1, "########"}, {2, "########"}, {3, "########"},
        {4, "########"}, {5, "########"}, {6, "########"}, {7, "########"},
        {8, "########"}, {9, "########"}, {10, "########"}, {11, "########"},
        {12, "########"}, {13, "########"}, {14, "########"}, {15, "########"}}},
      {"bits past the right edge land on the next row", "FONTBOUNDINGBOX 8 16 0 -2",
       "8 2 4 0", {"FF", "FF"}, 8, 16, {{12, "    ####"}, {13, "    ####"}, {14, "####"}}},
      {"later bytes of a row above the cell land in row 0", "FONTBOUNDINGBOX 16 16 0 -2",
       "16 1 8 14", {"00FF"}, 16, 16, {{0, "########"}}},
      {"missing or digitless pairs are background", "FONTBOUNDINGBOX 16 16 0 -2",
       "16 3 0 0", {"F", "zzFF", ""}, 16, 16,
       {{11, "    ####"}, {12, "        ########"}}},
      {"pairs skip leading blanks like %02X", "FONTBOUNDINGBOX 16 16 0 -2", "16 1 0 0",
       {" 1FF"}, 16, 16, {{13, "   #############"}}},
  };
  for (const Case& c : cases) {
    ReaderOutput r = Bdf(Font(c.box, Glyph(0x41, c.bbx, c.bitmap)));
    EXPECT_TRUE(r.ok) << c.name << ": " << r.err;
    std::vector<std::string> rows = BlankRows(c.width, c.height);
    for (const auto& [row, ink] : c.ink_rows) rows[row].replace(0, ink.size(), ink);
    EXPECT_EQ(r.out, Block(Opening(0x41, "A121", "E000"), rows)) << c.name;
  }
}

TEST(BdfReaderTest, EndcharCountsOnlyAtTheStartOfALine) {
  // " ENDCHAR" is a bitmap row; "ENDCHARX" ends the bitmap.
  std::string font = Font("FONTBOUNDINGBOX 8 16 0 -2",
                          "STARTCHAR a\nENCODING 65\nBBX 8 2 0 12\nBITMAP\nFF\n ENDCHAR\n"
                          "ENDCHARX\n");
  std::vector<std::string> rows = BlankRows(8, 16);
  rows[0] = "########";
  rows[1] = "    ### ";  // the blank is skipped and "EN" reads as 0E
  EXPECT_EQ(Bdf(font).out, Block(Opening(0x41, "A121", "E000"), rows));

  // A glyph without ENDCHAR swallows the next glyph's lines as rows and ends with its
  // ENDCHAR, under its own code.
  font = Font("FONTBOUNDINGBOX 8 16 0 -2",
              "STARTCHAR a\nENCODING 65\nBBX 8 1 0 14\nBITMAP\n80\n" +
                  Glyph(66, "8 1 0 14", {"01"}));
  ReaderOutput r = Bdf(font);
  EXPECT_EQ(r.out.find("code=\"42\""), std::string::npos);
  ASSERT_NE(r.out.find("code=\"41\""), std::string::npos);
  EXPECT_EQ(r.map, "<gaijiMap unicode=\"#xE000\" ebcode=\"A121\"/>\n");

  // Lines past 255 characters are read whole: no far-off ENDFONT or ENDCHAR counts.
  const std::string blanks(300, ' ');
  font = "STARTFONT 2.1\nCOMMENT" + blanks + "ENDFONT\nFONTBOUNDINGBOX 8 16 0 -2\nSTARTCHAR A" +
         blanks + "ENDFONT\nENCODING 65\nBBX 8 3 0 11\nBITMAP\nFF" + std::string(400, '0') +
         "ENDCHAR\n81" + blanks + "ENDCHAR\nFF\nENDCHAR\n";
  rows = BlankRows(8, 16);
  rows[0] = rows[2] = "########";
  rows[1] = "#      #";
  EXPECT_EQ(Bdf(font).out, Block(Opening(0x41, "A121", "E000"), rows));
}

TEST(BdfReaderTest, GlyphStateRunsOnFromGlyphToGlyph) {
  // No ENCODING: the previous code stays. No BBX: the width is 0 and the glyph is blank.
  // A tab does not separate a keyword from its value: "ENCODING\t66" is no ENCODING.
  std::string font = Font("FONTBOUNDINGBOX 8 16 0 -2",
                          Glyph(0x41, "8 1 0 13", {"FF"}) +
                              "STARTCHAR b\nBITMAP\nFF\nENDCHAR\n"
                              "STARTCHAR c\nENCODING -1\nBBX 8 1 0 13\nBITMAP\nFF\nENDCHAR\n"
                              "STARTCHAR d\nENCODING\t66\nBITMAP\nFF\nENDCHAR\n");
  ReaderOutput r = Bdf(font);
  std::vector<std::string> a = BlankRows(8, 16);
  a[0] = "########";
  EXPECT_EQ(r.out, Block(Opening(0x41, "A121", "E000"), a) +
                       Block(Opening(0x41, "A122", "E001"), BlankRows(8, 16)));
}

TEST(BdfReaderTest, FailuresKeepWhatWasWrittenAndSayWhy) {
  ReadOptions options;
  options.header = true;
  const std::string footer = "</fontSet>\n</gaijiData>\n";
  const std::string glyph = Glyph(0x41, "8 1 0 13", {"FF"});
  struct Case {
    std::string text;
    bool footer_written;
    const char* err;
  } cases[] = {
      {"STARTFONT 2.1\n" + glyph + "FONTBOUNDINGBOX 8 16 0 -2\n", false,
       "line 2: STARTCHAR before FONTBOUNDINGBOX"},
      {"STARTFONT 2.1\nBITMAP\nFF\nENDCHAR\n", false, "line 3: bitmap before FONTBOUNDINGBOX"},
      {"STARTFONT 2.1\nBITMAP\nENDCHAR\n", false, "line 3: bitmap before FONTBOUNDINGBOX"},
      {"FONTBOUNDINGBOX 8 16 0 -2\nSTARTCHAR a\nENCODING 65\nBBX 8 1 0 13\nBITMAP\nFF\n",
       true, "line 6: the file ends inside a bitmap"},
      {"FONTBOUNDINGBOX 8 16 0\n" + glyph, true,
       "line 1: FONTBOUNDINGBOX has too few values; reading ends here"},
      {"FONTBOUNDINGBOX 8 16 0 -2\nSTARTCHAR a\nENCODING\n", true,
       "line 3: ENCODING has too few values; reading ends here"},
      {"FONTBOUNDINGBOX 8 16 0 -2\nCHARS\n" + glyph, true,
       "line 2: CHARS has too few values; reading ends here"},
  };
  for (const Case& c : cases) {
    ReaderOutput r = Bdf(c.text, options);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(EndsWith(r.out, footer), c.footer_written) << c.text;
    EXPECT_EQ(r.out.find("<fontData"), std::string::npos) << c.text;
  }
  // The glyphs before a second box stay written; nothing follows them.
  ReaderOutput r = Bdf(Font("FONTBOUNDINGBOX 8 16 0 -2", glyph + "FONTBOUNDINGBOX 1 1 0 0\n" +
                                                             glyph),
                       options);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "line 17: second FONTBOUNDINGBOX");
  std::vector<std::string> rows = BlankRows(8, 16);
  rows[0] = "########";
  EXPECT_TRUE(EndsWith(r.out, Block(Opening(0x41, "A121", "E000"), rows))) << r.out;
  EXPECT_TRUE(EndsWith(r.map, "ebcode=\"A121\"/>\n")) << r.map;

  // A cell past 32 bits is refused; the footer still ends the output.
  options.forced_width = 100000;
  options.forced_height = 100000;
  r = Bdf(Font("FONTBOUNDINGBOX 8 16 0 -2", glyph), options);
  EXPECT_EQ(r.err, "line 4: cannot make a 100000x100000 glyph cell");
  EXPECT_EQ(r.out, footer);
}

TEST(BdfReaderTest, EndfontAndTheFileEndFinishNormally) {
  ReadOptions options;
  options.header = true;
  ReaderOutput r = Bdf("STARTFONT 2.1\nENDFONT\nFONTBOUNDINGBOX 8 16 0 -2\n", options);
  EXPECT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.out, "</fontSet>\n</gaijiData>\n");
  r = Bdf("", options);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out, "</fontSet>\n</gaijiData>\n");

  // A glyph before the box whose code is outside the range is passed over like any other.
  options.header = false;
  options.first_code = 0x41;
  options.last_code = 0x41;
  r = Bdf("BITMAP\nENDCHAR\nFONTBOUNDINGBOX 8 16 0 -2\n" + Glyph(0x41, "8 1 0 13", {"FF"}),
          options);
  EXPECT_TRUE(r.ok) << r.err;
  std::vector<std::string> rows = BlankRows(8, 16);
  rows[0] = "########";
  EXPECT_EQ(r.out, Block(Opening(0x41, "A121", "E000"), rows));
}

}  // namespace
}  // namespace karvex
