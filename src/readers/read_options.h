// What the glyph file readers take from the command line.
#ifndef KARVEX_READERS_READ_OPTIONS_H_
#define KARVEX_READERS_READ_OPTIONS_H_

#include <cstdint>
#include <vector>

namespace karvex {

/// A character that a code-set run asks for, and the code of its glyph in the font.
struct WantedGlyph {
  uint32_t code;
  int32_t font_code;
  bool in_font = true;  ///< false: the font's encoding has no code for the character
};

struct ReadOptions {
  int32_t first_code = 0;          ///< BDF only: lowest code written.
  int32_t last_code = 0;           ///< BDF only: highest code written.
  int32_t start_unicode = 0xE000;  ///< BDF only: Unicode value of the first glyph written.
  int32_t forced_width = 0;        ///< Cell width when above 0.
  int32_t forced_height = 0;       ///< Cell height when above 0.
  /// A code-set run: the characters asked for, in ascending order, each written once in that
  /// order when the font has its glyph, and with its own code in the map; the stream hears
  /// of those the font lacks. Null: the range.
  const std::vector<WantedGlyph>* wanted = nullptr;
};

}  // namespace karvex

#endif  // KARVEX_READERS_READ_OPTIONS_H_
