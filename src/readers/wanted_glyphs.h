// The glyphs a code-set run asks for, kept as a font is read and written in the order of
// their characters once it has been read.
#ifndef KARVEX_READERS_WANTED_GLYPHS_H_
#define KARVEX_READERS_WANTED_GLYPHS_H_

#include <string>
#include <vector>

#include "gaiji/gaiji_writer.h"
#include "readers/read_options.h"

namespace karvex {

class WantedGlyphs {
 public:
  /// `wanted` may be null (a run over the range): then nothing is wanted.
  explicit WantedGlyphs(const std::vector<WantedGlyph>* wanted);
  bool active() const { return wanted_ != nullptr; }
  bool Wants(int32_t font_code) const;
  /// Keeps the cell's picture as the glyph of `font_code`, unless one came before.
  void Keep(int32_t font_code, const GlyphCell& cell);
  /// Writes a block and a map entry for each character whose glyph was kept, with EB codes
  /// from *eb on (the block naming the font's code when `with_code`); the characters
  /// without a glyph go to *missing (when not null).
  void Write(GaijiWriter* writer, bool with_code, int32_t* eb, std::vector<uint32_t>* missing);

 private:
  const std::vector<WantedGlyph>* wanted_;
  std::vector<int32_t> font_codes_;    // sorted and distinct
  std::vector<std::string> pictures_;  // by font code; empty until its glyph comes
  int32_t width_ = 0, height_ = 0;
};

}  // namespace karvex

#endif  // KARVEX_READERS_WANTED_GLYPHS_H_
