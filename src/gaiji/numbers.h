// Lenient number reading in the manner of the C library's atoi and "%X", and UTF-8
// decoding.
#ifndef KARVEX_GAIJI_NUMBERS_H_
#define KARVEX_GAIJI_NUMBERS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace karvex {

/// True for the C locale's white space: blank, \t, \n, \v, \f, \r.
inline bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

/// Reads a decimal integer as atoi does: leading white space, an optional sign, digits up
/// to the first other character. No digit gives 0; values past the int32 range clamp.
int32_t ScanDecimal(std::string_view text);

/// Reads a hexadecimal number as scanf's "%X" does: leading white space, an optional sign,
/// an optional "0x", hexadecimal digits. At most `max_width` characters after the white
/// space take part (0 = no limit). Keeps the low 32 bits; a sign negates them.
/// Returns false, leaving *value alone, when no digit can be read.
bool ScanHex(std::string_view text, size_t max_width, uint32_t* value);

/// The value of a hexadecimal digit, -1 for any other character.
inline constexpr std::array<int8_t, 256> kHexDigitValue = [] {
  std::array<int8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = c >= '0' && c <= '9'   ? int8_t(c - '0')
               : c >= 'a' && c <= 'f' ? int8_t(c - 'a' + 10)
               : c >= 'A' && c <= 'F' ? int8_t(c - 'A' + 10)
                                      : int8_t{-1};
  }
  return table;
}();

/// Reads one bitmap byte at the start of `text` exactly as ScanHex(text, 2, value) does;
/// two plain hexadecimal digits, by far the common case, take a short path.
inline bool ScanHexPair(std::string_view text, uint32_t* value) {
  if (text.size() >= 2) {
    int high = kHexDigitValue[static_cast<uint8_t>(text[0])];
    int low = kHexDigitValue[static_cast<uint8_t>(text[1])];
    if ((high | low) >= 0) {
      *value = static_cast<uint32_t>(high << 4 | low);
      return true;
    }
  }
  return ScanHex(text, 2, value);
}

/// ScanHex without a width limit into a signed field that keeps its value on failure.
inline void ScanHexInto(std::string_view text, int32_t* field) {
  uint32_t v;
  if (ScanHex(text, 0, &v)) *field = static_cast<int32_t>(v);
}

/// The length of the UTF-8 sequence a byte leads, or 0 for a byte that leads none.
size_t Utf8SequenceLength(uint8_t lead);

/// The code point of the `length` bytes at `bytes` (the length their first byte gives), or
/// false when they are not well-formed UTF-8 (overlong forms, surrogates and codes past
/// 10FFFF included).
bool DecodeUtf8(const uint8_t* bytes, size_t length, uint32_t* code);

/// The length of the UTF-8 sequence at text[at] and its code point, or 0 when the bytes are
/// not well-formed UTF-8.
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t* code);

}  // namespace karvex

#endif  // KARVEX_GAIJI_NUMBERS_H_
