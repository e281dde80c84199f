// The glyphs a code-set run asks for, kept as a font is read and written in the order of
// their characters once it has been read.
#ifndef KARVEX_READERS_WANTED_GLYPHS_H_
#define KARVEX_READERS_WANTED_GLYPHS_H_

#include <string>
#include <vector>

#include "gaiji/glyph_stream.h"
#include "readers/read_options.h"

namespace karvex {

class WantedGlyphs {
 public:
  /// `wanted` may be null (a run over the range): then nothing is wanted.
  explicit WantedGlyphs(const std::vector<WantedGlyph>* wanted);
  bool active() const { return wanted_ != nullptr; }
  bool Wants(int32_t font_code) const;
  /// Keeps the cell's picture, and the edges past which the cell cut its ink, as the glyph
  /// of `font_code`, unless one came before.
  void Keep(int32_t font_code, const GlyphCell& cell, uint8_t cut);
  /// Puts a glyph for each character whose glyph was kept whole (naming the font's code
  /// when `with_code`); a character without one, or whose glyph the cell cut, may come from
  /// the stream's substitute, or else is lacking.
  void Write(GlyphStream* stream, bool with_code);

 private:
  const std::vector<WantedGlyph>* wanted_;
  std::vector<int32_t> font_codes_;    // sorted and distinct
  std::vector<std::string> pictures_;  // by font code; empty until its glyph comes
  std::vector<uint8_t> cuts_;          // by font code
  int32_t width_ = 0, height_ = 0;
};

}  // namespace karvex

#endif  // KARVEX_READERS_WANTED_GLYPHS_H_
