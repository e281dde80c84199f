#include "face/face_text_dump.h"

#include <algorithm>

namespace karvex {

namespace {
constexpr uint32_t kCanvasSize = 48;
}  // namespace

bool FaceTextDump(int32_t code, uint32_t width, uint32_t height, int32_t eb,
                  uint32_t row_offset, FaceRasterizer* rasterizer, MonoCanvas* canvas,
                  GaijiWriter* writer, std::string* error) {
  width = std::min(width, kCanvasSize);
  height = std::min(height, kCanvasSize);
  canvas->Reset(kCanvasSize, kCanvasSize);
  const bool drawn = rasterizer->Draw(code, std::max(width, height), canvas, error);

  writer->GlyphOpening(eb, code);
  const uint32_t columns = width == 0 ? kCanvasSize : width;
  const char chars[2] = {writer->off_char(), kInkChar};
  // The sum wraps for offsets from -height to -1: then no rows at all.
  if (row_offset < row_offset + height) {
    for (uint32_t i = 0; i < height; ++i) {
      uint32_t y = row_offset + i;
      char* text = writer->BeginRow(columns);
      for (uint32_t x = 0; x < columns; ++x) {
        text[x] = chars[y < kCanvasSize && canvas->ink(x, y)];
      }
    }
  }
  writer->GlyphClosing();
  return drawn;
}

}  // namespace karvex
