// EPUB gaiji parts: XHTML chapters read and rewritten byte for byte, images as exact bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gaiji/epub_chapter.h"
#include "gaiji/epub_images.h"
#include "gaiji/numbers.h"

namespace karvex {
namespace {

TEST(EpubChapterTest, FirstFaultOfADocument) {
  const char* cases[][2] = {
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone='yes'?>\n<!DOCTYPE html>\n"
       "<html><!-- c --><?pi x?><![CDATA[<&]]>&lt;>&amp;&apos;&quot;&#x20BB7;&#38;]]&gt;</html>\n"
       "<!-- -->\n", ""},
      {"<!DOCTYPE h PUBLIC \"-//X\" \"x>y\" [<!ENTITY a \"]>\"><!-- ] -->]><a/>", ""},
      {"<\xE6\xBC\xA2 \xE5\xB1\x9E='1' xmlns:a=\"u\"><a:b\n/></\xE6\xBC\xA2 >", ""},
      {" \n", "line 2: no root element"},
      {"<?xml version='1.0' encoding='Shift_JIS'?><a/>",
       "line 1: the declaration names encoding Shift_JIS; only UTF-8 is read"},
      {"<?xml encoding='UTF-8'?><a/>", "line 1: a malformed XML declaration"},
      {"<a/>\n<?xml version='1.0'?>", "line 2: an XML declaration that is not at the start"},
      {"<a>\n<b>\n</a>", "line 3: </a> closes <b> (opened on line 2)"},
      {"<a>\n<b>", "line 2: the document ends inside <b> (opened on line 2)"},
      {"<a></a x>", "line 1: a malformed end tag"},
      {"<a x='1' y='2'\n x=\"3\"/>", "line 2: <a> has attribute x twice"},
      {"<a x=1/>", "line 1: <a>: attribute x has a value without quotes"},
      {"<a x='a<b'/>", "line 1: <a>: attribute x has < in its value"},
      {"<a x='1'y='2'/>", "line 1: <a>: no white space before y"},
      {"<a x='&amp'/>", "line 1: & that starts no reference (write &amp;)"},
      {"<a>&nbsp;</a>",
       "line 1: unknown entity &nbsp; (only &lt; &gt; &amp; &apos; &quot; and character references)"},
      {"<a>&#xD800;</a>", "line 1: &#xD800; is no character XML allows"},
      {"<a>AT&T</a>", "line 1: & that starts no reference (write &amp;)"},
      {"<a>1 < 2</a>", "line 1: < that starts no tag (write &lt;)"},
      {"<a>]]></a>", "line 1: ]]> in text"},
      {"<a><!-- a -- b --></a>", "line 1: -- inside a comment"},
      {"<a>\n<![CDATA[x</a>", "line 2: the CDATA section of line 2 is not closed"},
      {"<a/><b/>", "line 1: markup after the root element"},
      {"x<a/>", "line 1: text outside the root element"},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", "line 1: a second DOCTYPE"},
      {"<!DOCTYPE a [<!ENTITY b 'c'>", "line 1: the DOCTYPE of line 1 is not closed"},
      // A CR alone ends a line, as CR LF does; a byte that is not UTF-8 comes before the
      // faults it hides, and after those before it.
      {"<a/>\r\r\n\xFF", "line 3: not UTF-8"},
      {"<a><!-- \xE6\xBC -->", "line 1: not UTF-8"},
      {"<a></b>\n\xFF", "line 1: </b> closes <a> (opened on line 1)"},
      {"<a>\x01</a>", "line 1: U+0001 is no character XML allows"},
  };
  for (const auto& [document, fault] : cases) EXPECT_EQ(XmlFault(document), fault) << document;
}

// The characters of a body's text, as text.
std::string Characters(std::string_view document) {
  std::vector<uint32_t> codes;
  std::string fault, text;
  if (!BodyCharacters(document, &codes, &fault)) return fault;
  for (uint32_t code : codes) text += std::to_string(code) + " ";
  return text;
}

// The text with every "{C}" as C, or with the image that replaces C from ../image.
std::string Marked(std::string text, const GaijiClasses* classes) {
  for (size_t open; (open = text.find('{')) != std::string::npos;) {
    const size_t close = text.find('}', open);
    uint32_t code;
    DecodeUtf8(text, open + 1, &code);
    char name[32];
    std::snprintf(name, sizeof name, "gaiji-u%04X.png", code);
    const std::string alt = text.substr(open + 1, close - open - 1);
    text.replace(open, close + 1 - open,
                 !classes ? alt
                          : "<img class=\"" + classes->at(code) + "\" src=\"../image/" + name +
                                "\" alt=\"" + (alt == "\"" ? "&quot;" : alt) + "\"/>");
  }
  return text;
}

TEST(EpubChapterTest, BodyTextBecomesImagesAndNothingElse) {
  const GaijiClasses classes = {{0x6F22, "gaiji"}, {0xFF71, "gaiji-wide"}, {'"', "gaiji"},
                                {0x20BB7, "gaiji"}, {' ', "gaiji"}};
  // a document with its images marked "{C}", the characters of its body's text
  const char* cases[][2] = {
      {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>漢<title>漢</title><style>漢</style>"
       "</head><body title=\"漢\"><p>{漢}&#x6F22;<!--漢--><![CDATA[漢]]>{ｱ}{\"}</p></body></html>",
       "34 28450 65393 "},
      {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><script>漢</script>"
       "<svg xmlns=\"http://www.w3.org/2000/svg\"><text>漢</text></svg><ruby>{漢}<rp>(</rp>"
       "<rt>{ｱ}</rt><rp>)</rp></ruby><select><option>漢</option></select><textarea>漢</textarea>"
       "<div xmlns=\"urn:x\">漢</div><p/>{ｱ}</body></html>",
       "28450 65393 "},
      {"<html><body>\r\n{漢} \t字</body></html>", "23383 28450 "},
      {"<html xmlns=\"urn:x\"><body>漢</body></html>", ""},
      {"<html><body>漢</p></html>", "line 1: </p> closes <body> (opened on line 1)"},
  };
  for (const auto& [marked, characters] : cases) {
    const std::string document = Marked(marked, nullptr);
    EXPECT_EQ(Characters(document), characters) << document;
    std::string rewritten, fault;
    ReplaceGaiji(document, classes, "../image", &rewritten, &fault);
    EXPECT_EQ(rewritten, fault.empty() ? Marked(marked, &classes) : "") << document;
  }
  // XHTML as a prefixed namespace: the image takes the prefix.
  const std::string prefixed =
      "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\"><h:body><h:p>a𠮷</h:p></h:body></h:html>";
  std::string rewritten, fault;
  EXPECT_EQ(Characters(prefixed), "97 134071 ");
  ReplaceGaiji(prefixed, classes, "../image", &rewritten, &fault);
  EXPECT_EQ(rewritten, "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\"><h:body><h:p>a<h:img "
                       "class=\"gaiji\" src=\"../image/gaiji-u20BB7.png\" alt=\"𠮷\"/></h:p>"
                       "</h:body></h:html>");
  // The folder as a URL: bytes a path cannot hold escaped, a colon not read as a scheme.
  for (const auto& [folder, src] : {std::pair<const char*, const char*>{".", "gaiji-u6F22.png"},
                                    {"x:y/a b&#%", "./x:y/a%20b&amp;%23%25/gaiji-u6F22.png"}}) {
    ReplaceGaiji("<body>漢</body>", classes, folder, &rewritten, &fault);
    EXPECT_EQ(rewritten, "<body><img class=\"gaiji\" src=\"" + std::string(src) +
                             "\" alt=\"漢\"/></body>") << folder;
  }
}

TEST(EpubChapterTest, FolderOfTheImagesFromADocument) {
  // document, images' folder, current folder: the path between them
  const char* cases[][4] = {
      {"OEBPS/text/ch1.xhtml", "OEBPS/image", "/w", "../image"},
      {"ch.xhtml", ".", "/w", "."},
      {"./a/../b/c.xhtml", "b/./img/", "/w", "img"},
      {"/book/text/c.xhtml", "img", "/book", "../img"},
      {"text/c.xhtml", "/elsewhere/img", "/w/book", "../../../elsewhere/img"},
      {"c.xhtml", "..", "/w/book", ".."},
      {"/c.xhtml", "/../../img", "/", "img"},
      {"a/b/c.xhtml", "/", "/", "../.."}, {"a/b/c.xhtml", "a/b/c", "/x", "c"},
  };
  for (const auto& c : cases) EXPECT_EQ(RelativeFolder(c[0], c[1], c[2]), c[3]) << c[0];
}

// A picture from rows of '#' (ink) and '.'.
std::vector<uint8_t> Pixels(const std::vector<std::string>& rows) {
  std::vector<uint8_t> pixels;
  for (const std::string& row : rows) {
    for (char c : row) pixels.push_back(c == '#');
  }
  return pixels;
}

TEST(EpubImagesTest, PicturesScaledByAWholeFactorAndCentred) {
  struct Case {
    std::vector<std::string> picture;
    int32_t columns, width, height;
    std::string canvas;  // rows joined by "/", or "no" when the picture does not fit (below)
  };
  const Case cases[] = {
      {{"#.", ".#"}, 2, 5, 5, "##.../##.../..##./..##./....."},
      {{"##.", "..#"}, 3, 8, 8, "......../......../.####.../.####.../.....##./.....##./......../........"},
      {{"#..#", ".##."}, 2, 2, 4, "../#./.#/.."},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> pixels = Pixels(c.picture);
    const Bitmap picture{pixels.data(), int32_t(c.picture[0].size()), int32_t(c.picture.size())};
    std::vector<uint8_t> canvas;
    std::string rows = "no";
    if (FitPicture(picture, c.columns, c.width, c.height, &canvas)) {
      rows.clear();
      for (size_t i = 0; i < canvas.size(); ++i) {
        rows += (i > 0 && i % size_t(c.width) == 0 ? "/" : "") + std::string(1, ".#"[canvas[i]]);
      }
    }
    EXPECT_EQ(rows, c.canvas) << c.picture[0];
  }
}

std::string Hex(std::string_view bytes) {
  std::string hex;
  for (char c : bytes) hex += {"0123456789abcdef"[uint8_t(c) >> 4], "0123456789abcdef"[c & 15]};
  return hex;
}

TEST(EpubImagesTest, ImageFilesByteForByte) {
  std::map<std::string, std::string> files;
  const WriteFile write_file = [&files](const std::string& name, const auto& fill, std::string*) {
    OutputStream out;
    fill(&out);
    files[name] = out.text();
    return true;
  };
  Failure failure;
  EpubImageWriter writer("d", 4, false, write_file, &failure);
  // A full-width 2x2 glyph doubled to 4x4; a 1x2 one is half width.
  const std::vector<uint8_t> full = Pixels({"#.", ".#"}), half = Pixels({"#", "#"});
  Glyph glyph;
  glyph.unicode = 0x6F22;
  glyph.picture[0] = {full.data(), 2, 2};
  writer.Put(glyph);
  glyph.unicode = 0x41;
  glyph.picture[0] = {half.data(), 1, 2};
  writer.Put(glyph);
  writer.Finish({});
  EXPECT_EQ(failure.reason, "");
  EXPECT_EQ(Hex(files["d/gaiji-u6F22.png"]),
            "89504e470d0a1a0a0000000d494844520000000400000004010300000093"
            "3f0c3d00000006504c5445000000ffffffa5d99fdd0000000274524e53ff"
            "00e5b7304a0000001349444154789c010800f7ff0030003000c000c00548"
            "01e1066168d20000000049454e44ae426082");
  EXPECT_EQ(files.count("d/gaiji-u0041.png"), 1u);  // its pixels: tests/epub_book.py
  EXPECT_EQ(files["d/gaiji.css"], kGaijiCss);
  EXPECT_EQ(writer.classes(), (GaijiClasses{{0x41, "gaiji-wide"}, {0x6F22, "gaiji"}}));
  // A picture larger than the image is the run's failure, and stops the writer.
  const std::vector<uint8_t> tall(8, 1);
  glyph.picture[0] = {tall.data(), 1, 8};
  writer.Put(glyph);
  EXPECT_EQ(failure.name + ": " + failure.reason,
            "d/gaiji-u0041.png: a 1x8 picture does not fit a 2x4 image");
  EXPECT_TRUE(writer.failed());
}

}  // namespace
}  // namespace karvex
