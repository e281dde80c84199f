#include "readers/wanted_glyphs.h"

#include <algorithm>

namespace karvex {

WantedGlyphs::WantedGlyphs(const std::vector<WantedGlyph>* wanted) : wanted_(wanted) {
  if (!wanted) return;
  for (const WantedGlyph& glyph : *wanted) font_codes_.push_back(glyph.font_code);
  std::sort(font_codes_.begin(), font_codes_.end());
  font_codes_.erase(std::unique(font_codes_.begin(), font_codes_.end()), font_codes_.end());
  pictures_.resize(font_codes_.size());
}

bool WantedGlyphs::Wants(int32_t font_code) const {
  return std::binary_search(font_codes_.begin(), font_codes_.end(), font_code);
}

void WantedGlyphs::Keep(int32_t font_code, const GlyphCell& cell) {
  auto at = std::lower_bound(font_codes_.begin(), font_codes_.end(), font_code);
  if (at == font_codes_.end() || *at != font_code) return;
  std::string& picture = pictures_[size_t(at - font_codes_.begin())];
  if (!picture.empty()) return;  // the first glyph of a code counts, as a face has one
  picture.assign(reinterpret_cast<const char*>(cell.pixels.get()), size_t(cell.area()));
  width_ = cell.width;
  height_ = cell.height;
}

void WantedGlyphs::Write(GaijiWriter* writer, bool with_code, int32_t* eb,
                         std::vector<uint32_t>* missing) {
  for (const WantedGlyph& glyph : *wanted_) {
    auto at = std::lower_bound(font_codes_.begin(), font_codes_.end(), glyph.font_code);
    const std::string& picture = pictures_[size_t(at - font_codes_.begin())];
    if (picture.empty()) {
      if (missing) missing->push_back(glyph.code);
      continue;
    }
    const int32_t code = int32_t(glyph.code);
    if (with_code) {
      writer->GlyphOpeningWithCode(glyph.font_code, *eb, code);
    } else {
      writer->GlyphOpening(*eb, code);
    }
    writer->CellRows(reinterpret_cast<const uint8_t*>(picture.data()), width_, height_);
    writer->GlyphClosing();
    writer->MapEntry(code, *eb);
    *eb = NextEbCode(*eb);
  }
}

}  // namespace karvex
