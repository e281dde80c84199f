#include "driver/options.h"

#include <gtest/gtest.h>

namespace karvex {
namespace {

RunOptions Parse(std::vector<std::string_view> args, ParseOutcome expected = ParseOutcome::kRun) {
  RunOptions options;
  EXPECT_EQ(ParseCommandLine(args, &options), expected);
  return options;
}

TEST(OptionsTest, UsageWhenNoSourceOrAskedFor) {
  const std::vector<std::vector<std::string_view>> cases = {
      {}, {"-h"}, {"-x=16", "-m=map.xml"}, {"Arial", "41", "-?"}, {"-?", "Arial"},
      {"--help", "Arial"}, {"Arial", "--help"},
  };
  for (const auto& args : cases) {
    RunOptions options;
    EXPECT_EQ(ParseCommandLine(args, &options), ParseOutcome::kUsage) << args.size();
  }
}

TEST(OptionsTest, PositionalsAreSourceFirstCodeAndLastCode) {
  struct Case {
    std::vector<std::string_view> args;
    const char* source;
    int32_t first, last;
    int32_t count;
  } cases[] = {
      {{"Arial", "41"}, "Arial", 0x41, 0x41, 2},
      {{"Arial"}, "Arial", 0, 0, 1},
      {{"Arial", "50", "41"}, "Arial", 0x50, 0x41, 3},
      {{"font.bdf", "0", "FFFF", "extra"}, "font.bdf", 0, 0xFFFF, 4},
      {{"/usr/share/x.bdf", "0x20", "7e"}, "/usr/share/x.bdf", 0x20, 0x7E, 3},
      {{"f", "zz", "41"}, "f", 0, 0x41, 3},        // no digit: the field keeps its value
      {{"f", "41", "zz"}, "f", 0x41, 0x41, 3},
      {{"f", "-1"}, "f", 0, 0, 1},             // "-1" is an option, not a code
      {{"f", "1FFFFFFFF"}, "f", -1, -1, 2},
      {{"f", "123456789"}, "f", 0x23456789, 0x23456789, 2},
      {{"-x=1", "f", "-h", "7FFFFFFF"}, "f", 0x7FFFFFFF, 0x7FFFFFFF, 2},
  };
  for (const Case& c : cases) {
    RunOptions o = Parse(c.args);
    EXPECT_EQ(o.source, c.source);
    EXPECT_EQ(o.first_code, c.first) << c.source;
    EXPECT_EQ(o.last_code, c.last) << c.source;
    EXPECT_EQ(o.positional_count, c.count) << c.source;
  }
}

TEST(OptionsTest, OptionValuesStartAtTheFourthCharacter) {
  struct Case {
    std::string_view arg;
    int32_t width, height, row_offset, eb, unicode;
  } cases[] = {
      {"-x=24", 24, 0, 0, 0xA121, 0xE000},
      {"-x16", 6, 0, 0, 0xA121, 0xE000},      // the "1" is the unexamined third character
      {"-x", 0, 0, 0, 0xA121, 0xE000},        // no value text reads as empty
      {"-x=", 0, 0, 0, 0xA121, 0xE000},
      {"-x:24", 24, 0, 0, 0xA121, 0xE000},
      {"-x\xE2\x82\xAC" "5", 5, 0, 0, 0xA121, 0xE000},  // a non-ASCII separator is one character
      // An astral separator is two units: the value starts with its second half.
      {"-x\xF0\x9F\x98\x80" "16", 0, 0, 0, 0xA121, 0xE000},
      {"-e\xF0\x9F\x98\x80" "B021", 0, 0, 0, 0xA121, 0xE000},
      {"-\xF0\x9F\x98\x80" "=5", 0, 0, 0, 0xA121, 0xE000},  // an astral letter is none
      {"-x=-3", -3, 0, 0, 0xA121, 0xE000},
      {"-x=99999999999", INT32_MAX, 0, 0, 0xA121, 0xE000},
      {"-y=32", 0, 30, 0, 0xA121, 0xE000},
      {"-y=31", 0, 31, 0, 0xA121, 0xE000},
      {"-y=0x20", 0, 0, 0, 0xA121, 0xE000},
      {"-b=-4", 0, 0, -4, 0xA121, 0xE000},
      {"-e=B021", 0, 0, 0, 0xB021, 0xE000},
      {"-e=zz", 0, 0, 0, 0xA121, 0xE000},
      {"-e=123456789", 0, 0, 0, 0x23456789, 0xE000},
      {"-u=0x1F600", 0, 0, 0, 0xA121, 0x1F600},
      {"-X=24", 0, 0, 0, 0xA121, 0xE000},      // letters are case-sensitive
      {"-z=1", 0, 0, 0, 0xA121, 0xE000},
      {"-", 0, 0, 0, 0xA121, 0xE000},
  };
  for (const Case& c : cases) {
    RunOptions o = Parse({"f", c.arg});
    EXPECT_EQ(o.cell_width, c.width) << c.arg;
    EXPECT_EQ(o.cell_height, c.height) << c.arg;
    EXPECT_EQ(o.row_offset, c.row_offset) << c.arg;
    EXPECT_EQ(o.start_eb, c.eb) << c.arg;
    EXPECT_EQ(o.start_unicode, c.unicode) << c.arg;
    EXPECT_EQ(o.positional_count, 1) << c.arg;
  }
  // A later option overrides an earlier one; "/" starts a positional, not an option.
  RunOptions o = Parse({"-x=8", "/x=24", "-x=12"});
  EXPECT_EQ(o.cell_width, 12);
  EXPECT_EQ(o.source, "/x=24");
}

TEST(OptionsTest, CharacterAndTextOptions) {
  struct Case {
    std::string_view arg;
    char off_char;
    bool bmp;
  } cases[] = {
      {"-0=.", '.', false},
      {"-0=", '\0', false},
      {"-0", '\0', false},
      {"-0=\xE3\x80\x80", '\0', false},      // U+3000: the low 8 bits are 0
      {"-0=\xC3\xA9x", '\xE9', false},       // U+00E9
      {"-0=\xF0\x9F\x98\x80", '\x3D', false},  // U+1F600: first unit D83D
      {"-0=\xFF", '\xFD', false},            // invalid UTF-8 reads as U+FFFD
      {"-0\xF0\x9F\x98\x80.", '\0', false},  // value starts with unit DE00
      {"-0\xF0\x9F\x98\x81.", '\x01', false},
      {"-o=bmp", ' ', true},
      {"-o=Bitmap", ' ', true},
      {"-o=text", ' ', false},
      {"-o=x", ' ', false},
      {"-o", ' ', false},
  };
  for (const Case& c : cases) {
    RunOptions o = Parse({"f", c.arg});
    EXPECT_EQ(o.off_char, c.off_char) << c.arg;
    EXPECT_EQ(o.bmp_mode(), c.bmp) << c.arg;
  }
  EXPECT_TRUE(Parse({"f", "-h"}).header);
  EXPECT_FALSE(Parse({"f"}).header);
  EXPECT_EQ(Parse({"f", "-m="}).map_name, "");
  EXPECT_EQ(Parse({"f", "-m=\xE5\xA4\x96\xE5\xAD\x97.xml"}).map_name, "\xE5\xA4\x96\xE5\xAD\x97.xml");
  EXPECT_EQ(Parse({"f", "-m\xF0\x9F\x98\x80m.xml"}).map_name, "\xED\xB8\x80m.xml");
}

}  // namespace
}  // namespace karvex
