#include "driver/code_set.h"

#include <algorithm>

#include "gaiji/charset.h"
#include "gaiji/numbers.h"

namespace karvex {

namespace {

constexpr uint32_t kCodeCount = 0x110000;

}  // namespace

bool CodeSetOfText(std::string_view text, std::vector<uint32_t>* codes, std::string* error) {
  std::vector<uint64_t> seen(kCodeCount / 64);  // a bit per code
  int64_t line = 1;
  for (size_t at = 0, length; at < text.size(); at += length) {
    uint32_t code;
    if (static_cast<uint8_t>(text[at]) < 0x80) {  // most of a text, by far
      code = static_cast<uint8_t>(text[at]);
      length = 1;
    } else if ((length = DecodeUtf8(text, at, &code)) == 0) {
      *error = "line " + std::to_string(line) + ": not UTF-8";
      return false;
    }
    line += code == '\n';
    if (code >= 0x20 && code != 0xFEFF) seen[code / 64] |= uint64_t{1} << (code % 64);
  }
  codes->clear();
  for (uint32_t word = 0; word < seen.size(); ++word) {
    for (uint64_t bits = seen[word]; bits != 0; bits &= bits - 1) {
      codes->push_back(word * 64 + uint32_t(__builtin_ctzll(bits)));
    }
  }
  return true;
}

bool KeepMissingFrom(const std::string& charset, std::vector<uint32_t>* codes) {
  CharsetConverter converter;
  if (!converter.Open(charset)) return false;
  std::string bytes;
  codes->erase(std::remove_if(codes->begin(), codes->end(),
                              [&](uint32_t code) { return converter.Convert(code, &bytes); }),
               codes->end());
  return true;
}

}  // namespace karvex
