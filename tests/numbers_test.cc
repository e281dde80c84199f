#include "gaiji/numbers.h"

#include <gtest/gtest.h>

namespace karvex {
namespace {

TEST(ScanDecimalTest, ReadsAsAtoiDoesAndClamps) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"24", 24},
      {"  -7", -7},
      {"\t\n+16", 16},
      {"16x", 16},
      {"x16", 0},
      {"", 0},
      {"-", 0},
      {"- 5", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999999999999", INT32_MIN},
      {"0x10", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ScanDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(ScanHexTest, ReadsAsPercentXDoesKeepingLow32Bits) {
  struct Case {
    const char* text;
    size_t width;
    bool ok;
    uint32_t value;
  } cases[] = {
      {"41", 0, true, 0x41},
      {"a121", 0, true, 0xA121},
      {"  0x1F600", 0, true, 0x1F600},
      {"0X7e", 0, true, 0x7E},
      {"41G", 0, true, 0x41},
      {"-1", 0, true, 0xFFFFFFFF},
      {"+F", 0, true, 0xF},
      {"1FFFFFFFF", 0, true, 0xFFFFFFFF},
      {"123456789", 0, true, 0x23456789},
      {"0x", 0, true, 0},   // the "0" of the prefix is a digit
      {"0xZ", 0, true, 0},
      {"zz", 0, false, 0},
      {"U+0041", 0, false, 0},
      {"", 0, false, 0},
      {" \n", 0, false, 0},
      {"- 5", 0, false, 0},
      // Two-character fields, as bitmap pairs are read.
      {"ABCD", 2, true, 0xAB},
      {"  AB", 2, true, 0xAB},  // blanks before the field do not count
      {"A", 2, true, 0xA},
      {"-1", 2, true, 0xFFFFFFFF},
      {"0x1F", 2, true, 0},
      {"-0x10", 2, true, 0},
      {"G1", 2, false, 0},
  };
  for (const Case& c : cases) {
    uint32_t value = 12345;
    EXPECT_EQ(ScanHex(c.text, c.width, &value), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(value, c.ok ? c.value : 12345u) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace karvex
