// What the glyph file readers take from the command line.
#ifndef KARVEX_READERS_READ_OPTIONS_H_
#define KARVEX_READERS_READ_OPTIONS_H_

#include <cstdint>

namespace karvex {

struct ReadOptions {
  int32_t first_code = 0;          ///< BDF only: lowest code written.
  int32_t last_code = 0;           ///< BDF only: highest code written.
  int32_t start_eb = 0xA121;       ///< EB code of the first glyph written.
  int32_t start_unicode = 0xE000;  ///< BDF only: Unicode value of the first glyph written.
  int32_t forced_width = 0;        ///< Cell width when above 0.
  int32_t forced_height = 0;       ///< Cell height when above 0.
  bool header = false;             ///< Wrap the glyphs in the XML header and footer.
};

}  // namespace karvex

#endif  // KARVEX_READERS_READ_OPTIONS_H_
