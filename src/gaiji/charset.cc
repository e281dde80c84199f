#include "gaiji/charset.h"

#include <strings.h>

namespace karvex {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

CharsetConverter::~CharsetConverter() {
  if (iconv_ != reinterpret_cast<iconv_t>(-1)) iconv_close(iconv_);
}

bool CharsetConverter::Open(const std::string& charset) {
  if (iconv_ != reinterpret_cast<iconv_t>(-1)) iconv_close(iconv_);
  iconv_ = iconv_open(charset.c_str(), "UTF-32LE");
  return iconv_ != reinterpret_cast<iconv_t>(-1);
}

bool CharsetConverter::Convert(uint32_t code, std::string* bytes) {
  char in[4] = {char(code), char(code >> 8), char(code >> 16), char(code >> 24)};
  char out[32];
  char *in_at = in, *out_at = out;
  size_t in_left = sizeof in, out_left = sizeof out;
  iconv(iconv_, nullptr, nullptr, nullptr, nullptr);  // each character from the first state
  if (iconv(iconv_, &in_at, &in_left, &out_at, &out_left) == size_t(-1) ||
      iconv(iconv_, nullptr, nullptr, &out_at, &out_left) == size_t(-1)) {
    return false;
  }
  bytes->assign(out, size_t(out_at - out));
  return true;
}

bool FontEncoding::IsUnicode(std::string_view registry, std::string_view encoding) {
  return registry.empty() || StartsWithNoCase(registry, "ISO10646") ||
         (StartsWithNoCase(registry, "ISO8859") && encoding == "1");
}

bool FontEncoding::ForRegistry(std::string_view registry, std::string_view encoding) {
  if (StartsWithNoCase(registry, "JISX0208")) return Open("EUC-JP", Form::kEuc);
  if (StartsWithNoCase(registry, "JISX0212")) return Open("EUC-JP", Form::kEucAfter8F);
  if (StartsWithNoCase(registry, "JISX0201")) return Open("SHIFT_JIS", Form::kOneByte);
  if (StartsWithNoCase(registry, "GB2312")) return Open("EUC-CN", Form::kEuc);
  if (StartsWithNoCase(registry, "KSC5601")) return Open("EUC-KR", Form::kEuc);
  if (StartsWithNoCase(registry, "ISO8859")) {
    return Open("ISO-8859-" + std::string(encoding), Form::kOneByte);
  }
  // Others by name: KOI8 and R as KOI8-R, or the registry alone (BIG5 and 0 as BIG5).
  return Open(std::string(registry) + "-" + std::string(encoding), Form::kBytes) ||
         Open(std::string(registry), Form::kBytes);
}

bool FontEncoding::ForCharmap(uint32_t tag) {
  switch (tag) {
    case 0x736A6973: return Open("CP932", Form::kBytes);   // sjis
    case 0x67622020: return Open("GBK", Form::kBytes);     // gb
    case 0x62696735: return Open("BIG5", Form::kBytes);    // big5
    case 0x77616E73: return Open("CP949", Form::kBytes);   // wans
    case 0x6A6F6861: return Open("JOHAB", Form::kBytes);   // joha
    default: return false;
  }
}

bool FontEncoding::Open(const std::string& charset, Form form) {
  form_ = form;
  return converter_.Open(charset);
}

bool FontEncoding::FontCode(uint32_t code, int32_t* font_code) {
  if (!converter_.Convert(code, &bytes_) || bytes_.empty() || bytes_.size() > 4) return false;
  const auto byte = [&](size_t i) { return int32_t(uint8_t(bytes_[i])); };
  switch (form_) {
    case Form::kEuc:  // a two-byte character of the set's G1 half
      if (bytes_.size() != 2 || byte(0) < 0xA1 || byte(1) < 0xA1) return false;
      *font_code = (byte(0) << 8 | byte(1)) & 0x7F7F;
      return true;
    case Form::kEucAfter8F:  // a character of G3, behind its single shift
      if (bytes_.size() != 3 || byte(0) != 0x8F) return false;
      *font_code = (byte(1) << 8 | byte(2)) & 0x7F7F;
      return true;
    case Form::kOneByte:
      if (bytes_.size() != 1) return false;
      *font_code = byte(0);
      return true;
    case Form::kBytes:
      *font_code = 0;
      for (size_t i = 0; i < bytes_.size(); ++i) *font_code = *font_code << 8 | byte(i);
      return true;
  }
  return false;
}

}  // namespace karvex
