#include "gaiji/glyph_cell.h"

#include <cstring>

namespace karvex {

namespace {

uint32_t WidthClass(uint32_t w) {
  if (w <= 8) return 8;
  if (w <= 12) return 12;
  if (w <= 16) return 16;
  if (w <= 24) return 24;
  if (w <= 32) return 32;
  return 48;
}

uint32_t HeightClass(uint32_t h) {
  if (h <= 16) return 16;
  if (h <= 24) return 24;
  if (h <= 32) return 32;
  return 48;
}

}  // namespace

CellSize SizeClass(int32_t nominal_width, int32_t nominal_height, int32_t forced_width,
                   int32_t forced_height) {
  uint32_t w = WidthClass(static_cast<uint32_t>(nominal_width));
  uint32_t h = HeightClass(static_cast<uint32_t>(nominal_height));
  // Narrow fonts get half-width cells of the height class (32 halves to 16, not 15).
  if (w < h) w = h / 2;
  if (h == 32) h = 30;
  CellSize size{static_cast<int32_t>(w), static_cast<int32_t>(h)};
  if (forced_width > 0) size.width = forced_width;
  if (forced_height > 0) size.height = forced_height;
  return size;
}

int32_t NextEbCode(int32_t code) {
  uint32_t next = static_cast<uint32_t>(code) + 1;
  if ((next & 0xFF) > 0x7E) next = (next & ~uint32_t{0xFF}) + 0x121;
  return static_cast<int32_t>(next);
}

void GlyphCell::ClearGlyph() {
  std::memset(pixels.get(), 0, static_cast<size_t>(area()));
}

void GlyphCell::ClearRow(int64_t r) {
  if (r >= 0 && r <= height) std::memset(row(r), 0, static_cast<size_t>(width));
}

bool CreateGlyphCell(CellSize size, GlyphCell* cell) {
  if (size.width <= 0 || size.height <= 0) return false;
  uint64_t bytes = uint64_t(size.width) * (uint64_t(size.height) + 1);
  if (bytes > 0xFFFFFFFFu) return false;
  uint8_t* p = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
  if (!p) return false;
  cell->width = size.width;
  cell->height = size.height;
  cell->pixels.reset(p);
  return true;
}

}  // namespace karvex
