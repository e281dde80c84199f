#include "gaiji/numbers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace karvex {
namespace {

TEST(ScanDecimalTest, ReadsAsAtoiDoesAndClamps) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"24", 24},
      {"16x", 16},
      {"", 0},
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
      {"41G", 0, true, 0x41},
      {"-1", 0, true, 0xFFFFFFFF},
      {"1FFFFFFFF", 0, true, 0xFFFFFFFF},
      {"123456789", 0, true, 0x23456789},
      {"0x", 0, true, 0},   // the "0" of the prefix is a digit
      {"U+0041", 0, false, 0},
      {"", 0, false, 0},
      {"- 5", 0, false, 0},
      // Two-character fields, as bitmap pairs are read.
      {"ABCD", 2, true, 0xAB},
      {"  AB", 2, true, 0xAB},  // blanks before the field do not count
      {"A", 2, true, 0xA},
      {"-1", 2, true, 0xFFFFFFFF},
      {"0x1F", 2, true, 0},
      {"G1", 2, false, 0},
  };
  for (const Case& c : cases) {
    uint32_t value = 12345;
    EXPECT_EQ(ScanHex(c.text, c.width, &value), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(value, c.ok ? c.value : 12345u) << '"' << c.text << '"';
  }
}

// The C library itself is the reference: short strings of the characters that matter
// (blanks, signs, "0x", digits, a non-digit, a colon) must read as sscanf and atoi
// read them, wherever the value fits in 32 bits.
TEST(ScanNumbersTest, AgreeWithTheCLibrary) {
  const char alphabet[] = " \t+-0xX19aFg:";
  std::mt19937 random(20261206);
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    for (int length = int(random() % 7); length > 0; --length) {
      text += alphabet[random() % (sizeof alphabet - 1)];
    }
    for (size_t width : {0, 2}) {
      unsigned expected = 777, actual = 777;
      int matched = std::sscanf(text.c_str(), width ? "%02X" : "%X", &expected);
      ASSERT_EQ(ScanHex(text, width, &actual), matched == 1) << '"' << text << '"';
      ASSERT_EQ(actual, expected) << '"' << text << '"';
    }
    ASSERT_EQ(ScanDecimal(text), std::atoi(text.c_str())) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace karvex
