#include "gaiji/numbers.h"

#include <climits>

namespace karvex {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

size_t SkipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return i;
}

}  // namespace

int32_t ScanDecimal(std::string_view text) {
  size_t i = SkipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate the magnitude, saturating just past the int32 range.
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) magnitude = int64_t{INT32_MAX} + 1;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

bool ScanHex(std::string_view text, size_t max_width, uint32_t* value) {
  text.remove_prefix(SkipSpace(text));
  if (max_width != 0 && text.size() > max_width) text = text.substr(0, max_width);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool any_digit = false;
  // A "0x" prefix counts as the digit 0 even when no hexadecimal digit follows it.
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    any_digit = true;
    i += 2;
  }
  uint32_t v = 0;
  for (int d; i < text.size() && (d = HexDigit(text[i])) >= 0; ++i) {
    v = (v << 4) | static_cast<uint32_t>(d);
    any_digit = true;
  }
  if (!any_digit) return false;
  *value = negative ? 0u - v : v;
  return true;
}

size_t Utf8SequenceLength(uint8_t lead) {
  return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}

bool DecodeUtf8(const uint8_t* bytes, size_t length, uint32_t* code) {
  uint32_t value = length == 1 ? bytes[0] : bytes[0] & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return false;
    value = value << 6 | (bytes[i] & 0x3F);
  }
  if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
      (value >= 0xD800 && value < 0xE000) || value > 0x10FFFF) {
    return false;
  }
  *code = value;
  return true;
}

size_t DecodeUtf8(std::string_view text, size_t at, uint32_t* code) {
  const size_t length = Utf8SequenceLength(uint8_t(text[at]));
  if (length == 0 || text.size() - at < length) return 0;
  return DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data() + at), length, code) ? length : 0;
}

}  // namespace karvex
