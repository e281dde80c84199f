#include "face/bmp_export.h"

#include <algorithm>
#include <cstring>

namespace karvex {

namespace {

constexpr uint32_t kPixelOffset = 62;  // file header 14 + info header 40 + 2 colours
constexpr uint32_t kMaxEm = 65535;      // FreeType's largest pixel size

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

bool BmpGeometryFor(uint32_t width, uint32_t height, BmpGeometry* geometry) {
  uint32_t w = (width + 7) & ~uint32_t{7};
  uint32_t h = (height + 7) & ~uint32_t{7};
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  // No face can be drawn with an em past 65535 pixels, and a canvas for one would take
  // gigabytes before the drawing fails.
  if (std::max(w, h) > kMaxEm) return false;
  uint64_t size = kPixelOffset + uint64_t{h} * (((w / 4) + 3) & ~uint32_t{3});
  if (size > UINT32_MAX) return false;
  *geometry = BmpGeometry{w, h, static_cast<uint32_t>(size)};
  return true;
}

bool DrawForBmp(int32_t code, const BmpGeometry& geometry, FaceRasterizer* rasterizer,
                MonoCanvas* canvas, std::string* error) {
  canvas->Reset(geometry.width, geometry.height);
  return rasterizer->Draw(code, std::max(geometry.width, geometry.height), canvas, error);
}

void WriteBmp(const MonoCanvas& canvas, const BmpGeometry& geometry, OutputStream* out) {
  uint8_t header[kPixelOffset] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, geometry.file_size);
  Put32(header + 10, kPixelOffset);
  Put32(header + 14, 40);
  Put32(header + 18, canvas.width);
  Put32(header + 22, canvas.height);  // positive: bottom row first
  Put16(header + 26, 1);
  Put16(header + 28, 1);
  // Colour 0 is black (ink), colour 1 white; entry 0 stays all zero.
  std::memset(header + 58, 0xFF, 3);
  out->Write(std::string_view(reinterpret_cast<const char*>(header), sizeof header));

  // The canvas rows are BMP rows already; they go out bottom first with zero padding,
  // and never past the file size.
  constexpr size_t kZeros = 4096;
  static const char zeros[kZeros] = {};
  const size_t used = (size_t{canvas.width} + 7) / 8;
  uint64_t room = geometry.file_size - kPixelOffset;
  for (uint32_t y = canvas.height; y-- > 0 && room >= canvas.stride; room -= canvas.stride) {
    out->Write(std::string_view(reinterpret_cast<const char*>(canvas.row(y)), used));
    out->Write(std::string_view(zeros, canvas.stride - used));
  }
  for (; room > 0; room -= std::min<uint64_t>(room, kZeros)) {
    out->Write(std::string_view(zeros, static_cast<size_t>(std::min<uint64_t>(room, kZeros))));
  }
}

}  // namespace karvex
