#include "gaiji/gaiji_writer.h"

#include <algorithm>
#include <cstdio>

namespace karvex {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";

// Upper-case hexadecimal of the value's 32 bits, at least `min_digits` (at most 8) digits.
void WriteHex(OutputStream* s, int32_t value, int min_digits = 1) {
  char text[8];
  uint32_t v = static_cast<uint32_t>(value);
  int n = 0;
  do {
    text[7 - n++] = "0123456789ABCDEF"[v & 0xF];
    v >>= 4;
  } while (v != 0 || n < min_digits);
  s->Write(std::string_view(text + 8 - n, static_cast<size_t>(n)));
}

}  // namespace

void GaijiWriter::Header(int32_t width, int32_t height, int32_t start_eb) {
  out_->Write(kDeclaration);
  out_->Write("<gaijiData xml:space=\"preserve\">\n<fontSet size=\"");
  char size[32];
  int n = std::snprintf(size, sizeof size, "%dX%d", width, height);
  out_->Write(std::string_view(size, static_cast<size_t>(n)));
  out_->Write("\" start=\"");
  WriteHex(out_, start_eb);
  out_->Write("\">\n");
  if (map_) {
    map_->Write(kDeclaration);
    map_->Write("<gaijiSet>\n");
  }
}

void GaijiWriter::Footer() {
  out_->Write("</fontSet>\n</gaijiData>\n");
  if (map_) map_->Write("</gaijiSet>\n");
}

void GaijiWriter::GlyphOpening(int32_t eb, int32_t unicode) {
  out_->Write("<fontData ebcode=\"");
  WriteHex(out_, eb);
  out_->Write("\" unicode=\"");
  WriteHex(out_, unicode);
  out_->Write("\">\n");
}

void GaijiWriter::GlyphOpeningWithCode(int32_t code, int32_t eb, int32_t unicode) {
  out_->Write("<fontData code=\"");
  WriteHex(out_, code);
  out_->Write("\"  ebcode=\"");
  WriteHex(out_, eb);
  out_->Write("\" unicode=\"");
  WriteHex(out_, unicode);
  out_->Write("\">\n");
}

void GaijiWriter::GlyphClosing() { out_->Write("</fontData>\n"); }

void GaijiWriter::Put(const Glyph& glyph) {
  if (blocks_) {
    if (glyph.with_code) {
      GlyphOpeningWithCode(glyph.code, glyph.eb, glyph.unicode);
    } else {
      GlyphOpening(glyph.eb, glyph.unicode);
    }
    const Bitmap& picture = glyph.picture[0];
    CellRows(picture.pixels, picture.width, picture.height);
    GlyphClosing();
  }
  MapEntry(glyph.map_unicode, glyph.eb);
}

void GaijiWriter::CellRows(const uint8_t* cell, int32_t width, int32_t height) {
  const char off = off_char_;
  // Rows go out in slices so that a huge forced width needs no huge buffer; the line end
  // rides with the last slice.
  constexpr int64_t kSlice = 4096;
  for (int32_t r = 0; r < height; ++r) {
    const uint8_t* pixels = cell + int64_t{r} * width;
    int64_t c = 0;
    do {
      const int64_t n = std::min<int64_t>(kSlice, width - c);
      const bool last = c + n == width;
      char* text = out_->Extend(static_cast<size_t>(n + last));
      // A select rather than a table look-up, so that the compiler can vectorise it.
      for (int64_t i = 0; i < n; ++i) text[i] = pixels[c + i] != 0 ? kInkChar : off;
      if (last) text[n] = '\n';
      c += n;
    } while (c < width);
  }
}

void GaijiWriter::MapEntry(int32_t unicode, int32_t eb) {
  if (!map_) return;
  map_->Write("<gaijiMap unicode=\"#x");
  WriteHex(map_, unicode, 4);
  map_->Write("\" ebcode=\"");
  WriteHex(map_, eb, 4);
  map_->Write("\"/>\n");
}

}  // namespace karvex
