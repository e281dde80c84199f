// Short paths that real fonts do not reach in full: the two-digit scanner on anything but
// plain digits, and the byte-wise blit with clipping and stray source bits. Each must
// give exactly what the plain rule gives, for every input. (The byte-wise cell and text
// paths are pinned by the byte-exact real-font tests and face_output_test.cc.)
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "face/rasterizer.h"
#include "gaiji/numbers.h"

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
