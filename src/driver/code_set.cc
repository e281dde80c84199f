#include "driver/code_set.h"

#include <strings.h>

#include <algorithm>

#include "gaiji/charset.h"
#include "gaiji/numbers.h"

namespace karvex {

namespace {

constexpr uint32_t kCodeCount = 0x110000;

}  // namespace

TextCodes::TextCodes() : seen_(kCodeCount) {}

bool TextCodes::Fail(const char* reason) {
  error_ = "line " + std::to_string(line_) + ": " + reason;
  return false;
}

bool TextCodes::Take(std::string_view piece) {
  if (!error_.empty()) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(piece.data());
  const int64_t size = int64_t(piece.size());
  int64_t at = 0;
  if (pending_size_ > 0) {  // the rest of a character the last piece ended inside
    const size_t n = std::min(pending_length_ - pending_size_, size_t(size));
    std::copy(bytes, bytes + n, pending_ + pending_size_);
    pending_size_ += n;
    at = int64_t(n);
    if (pending_size_ < pending_length_) return true;
    uint32_t code;
    if (!DecodeUtf8(pending_, pending_length_, &code)) return Fail("not UTF-8");
    seen_[code] = 1;
    pending_size_ = 0;
  }
  while (at < size) {
    const uint8_t byte = bytes[at];
    if (byte < 0x80) {  // most of a text, by far
      seen_[byte] = 1;
      if (byte <= '\n') {
        if (byte == 0) return Fail("not text (a NUL byte)");
        if (byte == '\n') {
          if (at - line_start_ > kLongestLine) return Fail("not text (a line over 1 MiB)");
          ++line_;
          line_start_ = at + 1;
        }
      }
      ++at;
      continue;
    }
    const size_t length = Utf8SequenceLength(byte);
    uint32_t code;
    if (length == 0) return Fail("not UTF-8");
    if (size - at < int64_t(length)) {  // the next piece holds the rest
      pending_size_ = size_t(size - at);
      pending_length_ = length;
      std::copy(bytes + at, bytes + size, pending_);
      break;
    }
    if (!DecodeUtf8(bytes + at, length, &code)) return Fail("not UTF-8");
    seen_[code] = 1;
    at += int64_t(length);
  }
  if (size - line_start_ > kLongestLine) return Fail("not text (a line over 1 MiB)");
  line_start_ -= size;
  return true;
}

bool TextCodes::Finish(std::vector<uint32_t>* codes) {
  if (!error_.empty()) return false;
  if (pending_size_ > 0) return Fail("not UTF-8");
  codes->clear();
  for (uint32_t code = 0x20; code < kCodeCount; ++code) {
    if (seen_[code] && code != 0xFEFF) codes->push_back(code);
  }
  return true;
}

bool KeepMissingFrom(const std::string& charset, std::vector<uint32_t>* codes) {
  const bool jis = strcasecmp(charset.c_str(), "JISX0208") == 0;
  CharsetConverter converter;
  if (!converter.Open(jis ? "EUC-JP" : charset)) return false;
  std::string bytes;
  const auto in_set = [&](uint32_t code) {
    if (!jis) return converter.Convert(code, &bytes);
    return code < 0x80 || (converter.Convert(code, &bytes) && bytes.size() == 2 &&
                           uint8_t(bytes[0]) >= 0xA1 && uint8_t(bytes[1]) >= 0xA1);
  };
  codes->erase(std::remove_if(codes->begin(), codes->end(), in_set), codes->end());
  return true;
}

std::string Characters(std::vector<uint32_t> codes, const char* what) {
  std::sort(codes.begin(), codes.end());
  CodeTally tally;
  tally.count = int64_t(codes.size());
  tally.lowest.assign(codes.begin(), codes.begin() + std::min(codes.size(), kNamedCodes));
  return Characters(tally, what);
}

std::string Characters(const CodeTally& codes, const char* what) {
  std::string text = std::to_string(codes.count) + what;
  for (uint32_t code : codes.lowest) {
    char name[16];
    std::snprintf(name, sizeof name, " U+%04X", code);
    text += name;
  }
  return codes.count > int64_t(codes.lowest.size()) ? text + " ..." : text;
}

}  // namespace karvex
