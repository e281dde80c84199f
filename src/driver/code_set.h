// The characters a run asks for by --codes and --missing-from.
#ifndef KARVEX_DRIVER_CODE_SET_H_
#define KARVEX_DRIVER_CODE_SET_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gaiji/glyph_stream.h"

namespace karvex {

/// Gathers the distinct characters of a UTF-8 text that comes a piece at a time, in memory
/// that does not grow with the text; a character may straddle two pieces. C0 controls (line
/// ends, tabs) and the byte order mark are not characters here.
class TextCodes {
 public:
  /// The longest line taken, in bytes without its line end. It stops endless lines (a
  /// stream with no line end) as soon as they are clearly no text.
  static constexpr int64_t kLongestLine = int64_t{1} << 20;

  TextCodes();
  /// Takes the next piece; false at the first fault, with error() set to "line L: not
  /// UTF-8", "line L: not text (a NUL byte)" or "line L: not text (a line over 1 MiB)".
  bool Take(std::string_view piece);
  /// Ends the text: its characters in ascending order into *codes; false when a fault was
  /// met or the text ends inside a character.
  bool Finish(std::vector<uint32_t>* codes);
  const std::string& error() const { return error_; }

 private:
  bool Fail(const char* reason);

  std::vector<uint8_t> seen_;  // a byte per code, which stores faster than a bit
  int64_t line_ = 1;
  int64_t line_start_ = 0;  // where the line began, from the start of the piece
  uint8_t pending_[4];      // a character the piece before ended inside
  size_t pending_size_ = 0, pending_length_ = 0;
  std::string error_;
};

/// Keeps the codes the character set `charset` cannot encode; false when the C library's
/// iconv knows no set of that name. JISX0208 (any case) is what an EB book's text holds:
/// ASCII and the characters EUC-JP encodes as two bytes from A1 up, not ¥ and ‾ (which
/// Shift_JIS and EUC-JP take as 5C and 7E), half-width kana or JIS X 0212.
bool KeepMissingFrom(const std::string& charset, std::vector<uint32_t>* codes);

/// "N of the characters: U+XXXX ..." for a list, the first ten named in ascending order;
/// `what` follows the count (" of the characters:").
std::string Characters(std::vector<uint32_t> codes, const char* what);
std::string Characters(const CodeTally& codes, const char* what);

}  // namespace karvex

#endif  // KARVEX_DRIVER_CODE_SET_H_
