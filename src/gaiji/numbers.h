// Lenient number reading in the manner of the C library's atoi and "%X".
#ifndef KARVEX_GAIJI_NUMBERS_H_
#define KARVEX_GAIJI_NUMBERS_H_

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

/// ScanHex without a width limit into a signed field that keeps its value on failure.
inline void ScanHexInto(std::string_view text, int32_t* field) {
  uint32_t v;
  if (ScanHex(text, 0, &v)) *field = static_cast<int32_t>(v);
}

}  // namespace karvex

#endif  // KARVEX_GAIJI_NUMBERS_H_
