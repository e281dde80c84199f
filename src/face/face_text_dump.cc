#include "face/face_text_dump.h"

#include <algorithm>
#include <cstring>

#include "gaiji/glyph_cell.h"

namespace karvex {

namespace {
constexpr uint32_t kCanvasSize = 48;
}  // namespace

uint32_t TextDumpEm(uint32_t width, uint32_t height) {
  return std::max(std::min(width, kCanvasSize), std::min(height, kCanvasSize));
}

bool FaceTextDump(int32_t code, uint32_t width, uint32_t height, int32_t eb,
                  uint32_t row_offset, FaceRasterizer* rasterizer, MonoCanvas* canvas,
                  GaijiWriter* writer, std::string* error) {
  canvas->Reset(kCanvasSize, kCanvasSize);
  const bool drawn = rasterizer->Draw(code, TextDumpEm(width, height), canvas, error);
  width = std::min(width, kCanvasSize);
  height = std::min(height, kCanvasSize);

  writer->GlyphOpening(eb, code);
  const uint32_t columns = width == 0 ? kCanvasSize : width;
  const uint8_t off = static_cast<uint8_t>(writer->off_char());
  // Eight pixels at a time: a byte's ink bits as 0/1 bytes, times (off ^ ink), flip the
  // background characters to ink. No lane can carry into the next.
  const uint64_t off8 = 0x0101010101010101u * off;
  const uint64_t flip8 = uint64_t{uint8_t(off ^ kInkChar)};
  // The sum wraps for offsets from -height to -1: then no rows at all.
  if (row_offset < row_offset + height) {
    for (uint32_t i = 0; i < height; ++i) {
      uint32_t y = row_offset + i;
      char* text = writer->BeginRow(columns);
      if (y >= kCanvasSize) {  // below the canvas: background
        std::memset(text, off, columns);
        continue;
      }
      const uint8_t* bits = canvas->row(y);
      for (uint32_t x = 0; x < columns; x += 8) {
        uint64_t ink;  // a clear canvas bit is ink
        std::memcpy(&ink, kBitBytes[uint8_t(~bits[x / 8])].data(), 8);
        const uint64_t chars = off8 ^ (ink * flip8);
        std::memcpy(text + x, &chars, std::min<uint32_t>(8, columns - x));
      }
    }
  }
  writer->GlyphClosing();
  return drawn;
}

}  // namespace karvex
