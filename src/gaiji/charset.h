// Characters in other character sets, through the C library's iconv: which characters a
// set can encode, and the codes of fonts that number their glyphs in such a set.
#ifndef KARVEX_GAIJI_CHARSET_H_
#define KARVEX_GAIJI_CHARSET_H_

#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace karvex {

/// Converts single characters from Unicode into a character set.
class CharsetConverter {
 public:
  CharsetConverter() = default;
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;
  ~CharsetConverter();

  /// Opens the set `charset`, any name `iconv -l` lists; false when the C library has none.
  bool Open(const std::string& charset);
  /// The bytes that stand for `code` in the set; false when the set cannot encode it.
  bool Convert(uint32_t code, std::string* bytes);

 private:
  iconv_t iconv_ = reinterpret_cast<iconv_t>(-1);
};

/// How a font numbers its glyphs when not by Unicode: a character set, and the part of a
/// character's bytes in it that is the font's code (for JIS X 0208, GB 2312 or KS C 5601
/// the two bytes of EUC without their high bits: あ is A4A2 in EUC-JP, 2422 in the font).
class FontEncoding {
 public:
  /// Unicode fonts: ISO10646, ISO8859-1 and fonts that name no registry.
  static bool IsUnicode(std::string_view registry, std::string_view encoding);
  /// For a BDF or PCF font's CHARSET_REGISTRY and CHARSET_ENCODING; false when iconv has
  /// no set for them.
  bool ForRegistry(std::string_view registry, std::string_view encoding);
  /// For one of FreeType's East Asian character maps (its tags sjis, gb, big5, wans, joha);
  /// false for any other.
  bool ForCharmap(uint32_t tag);
  /// The font's code for the character; false when the font's set has none for it.
  bool FontCode(uint32_t code, int32_t* font_code);

 private:
  enum class Form { kBytes, kEuc, kEucAfter8F, kOneByte };
  bool Open(const std::string& charset, Form form);

  CharsetConverter converter_;
  Form form_ = Form::kBytes;
  std::string bytes_;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_CHARSET_H_
