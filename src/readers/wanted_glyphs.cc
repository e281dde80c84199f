#include "readers/wanted_glyphs.h"

#include <algorithm>

namespace karvex {

WantedGlyphs::WantedGlyphs(const std::vector<WantedGlyph>* wanted) : wanted_(wanted) {
  if (!wanted) return;
  for (const WantedGlyph& glyph : *wanted) {
    if (glyph.in_font) font_codes_.push_back(glyph.font_code);
  }
  std::sort(font_codes_.begin(), font_codes_.end());
  font_codes_.erase(std::unique(font_codes_.begin(), font_codes_.end()), font_codes_.end());
  pictures_.resize(font_codes_.size());
  cuts_.resize(font_codes_.size());
}

bool WantedGlyphs::Wants(int32_t font_code) const {
  return std::binary_search(font_codes_.begin(), font_codes_.end(), font_code);
}

void WantedGlyphs::Keep(int32_t font_code, const GlyphCell& cell, uint8_t cut) {
  auto at = std::lower_bound(font_codes_.begin(), font_codes_.end(), font_code);
  if (at == font_codes_.end() || *at != font_code) return;
  std::string& picture = pictures_[size_t(at - font_codes_.begin())];
  if (!picture.empty()) return;  // the first glyph of a code counts, as a face has one
  picture.assign(reinterpret_cast<const char*>(cell.pixels.get()), size_t(cell.area()));
  cuts_[size_t(at - font_codes_.begin())] = cut;
  width_ = cell.width;
  height_ = cell.height;
}

void WantedGlyphs::Write(GlyphStream* stream, bool with_code) {
  for (const WantedGlyph& wanted : *wanted_) {
    if (stream->failed()) return;
    auto at = std::lower_bound(font_codes_.begin(), font_codes_.end(), wanted.font_code);
    static const std::string kNone;
    const size_t index = size_t(at - font_codes_.begin());
    const std::string& picture = wanted.in_font ? pictures_[index] : kNone;
    Glyph glyph;
    glyph.code = wanted.font_code;
    glyph.unicode = glyph.map_unicode = int32_t(wanted.code);
    glyph.with_code = with_code;
    if (picture.empty()) {
      if (!stream->Substitute(&glyph)) stream->Lack(wanted.code, nullptr);
      continue;
    }
    glyph.picture[0] = {reinterpret_cast<const uint8_t*>(picture.data()), width_, height_,
                        cuts_[index]};
    if (glyph.cut() && stream->Substitute(&glyph)) continue;
    if (glyph.cut()) {
      stream->Lack(wanted.code, &glyph);
      continue;
    }
    stream->Put(&glyph);
  }
}

}  // namespace karvex
