#include "gaiji/glyph_stream.h"

#include <algorithm>
#include <cstddef>

namespace karvex {

void CodeTally::Add(uint32_t code) {
  ++count;
  const auto at = std::lower_bound(lowest.begin(), lowest.end(), code);
  if (at - lowest.begin() < std::ptrdiff_t{kNamedCodes}) {
    lowest.insert(at, code);
    if (lowest.size() > kNamedCodes) lowest.pop_back();
  }
}

bool IsEbCode(int32_t code) {
  const uint32_t high = uint32_t(code) >> 8, low = uint32_t(code) & 0xFF;
  return high >= 0xA1 && high <= 0xFE && low >= 0x21 && low <= 0x7E;
}

void GlyphStream::Begin(CellSize cell) {
  cell_ = cell;
  for (GlyphOutput* output : outputs_) output->Begin(cell, start_eb_);
}

void GlyphStream::Put(Glyph* glyph) {
  glyph->eb = eb_;
  eb_ = NextEbCode(eb_);
  ++glyphs_;
  if (departure_.glyph == 0 && !IsEbCode(glyph->eb)) {
    departure_ = Departure{glyphs_, glyph->unicode, glyph->eb};
  }
  CountCuts(*glyph, uint32_t(glyph->unicode));
  if (glyph->missing) missing_.Add(uint32_t(glyph->unicode));
  for (GlyphOutput* output : outputs_) output->Put(*glyph);
}

void GlyphStream::Lack(uint32_t character, const Glyph* cut) {
  lacking_.push_back(character);
  if (cut) CountCuts(*cut, character);
}

void GlyphStream::CountCuts(const Glyph& glyph, uint32_t character) {
  for (int i = 0; i < glyph.pictures; ++i) {
    if (glyph.picture[i].cut == 0) continue;
    cuts_[i].codes.Add(character);
    cuts_[i].edges |= glyph.picture[i].cut;
  }
}

void GlyphStream::End() {
  for (GlyphOutput* output : outputs_) output->End();
}

bool GlyphStream::failed() const {
  for (const GlyphOutput* output : outputs_) {
    if (output->failed()) return true;
  }
  return false;
}

}  // namespace karvex
