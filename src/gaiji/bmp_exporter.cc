#include "gaiji/bmp_exporter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace karvex {

namespace {

constexpr uint32_t kPixelOffset = 62;  // file header 14 + info header 40 + 2 colours
constexpr uint32_t kMaxSide = 65535;

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
  if (w == 0 || h == 0 || std::max(w, h) > kMaxSide) return false;
  uint64_t size = kPixelOffset + uint64_t{h} * (((w / 4) + 3) & ~uint32_t{3});
  if (size > UINT32_MAX) return false;
  *geometry = BmpGeometry{w, h, static_cast<uint32_t>(size)};
  return true;
}

void WriteBmp(const Bitmap& picture, const BmpGeometry& geometry, OutputStream* out) {
  uint8_t header[kPixelOffset] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, geometry.file_size);
  Put32(header + 10, kPixelOffset);
  Put32(header + 14, 40);
  Put32(header + 18, geometry.width);
  Put32(header + 22, geometry.height);  // positive: bottom row first
  Put16(header + 26, 1);
  Put16(header + 28, 1);
  // Colour 0 is black (ink), colour 1 white; entry 0 stays all zero.
  std::memset(header + 58, 0xFF, 3);
  out->Write(std::string_view(reinterpret_cast<const char*>(header), sizeof header));

  // Rows go out bottom first, a set bit white, padded with zero bytes to a multiple of 4,
  // and never past the file size.
  const size_t stride = ((size_t{geometry.width} + 31) / 32) * 4;
  const uint32_t width = std::min(uint32_t(picture.width), geometry.width);
  uint64_t room = geometry.file_size - kPixelOffset;
  for (uint32_t y = geometry.height; y-- > 0 && room >= stride; room -= stride) {
    char* row = out->Extend(stride);
    std::memset(row, 0, stride);
    std::memset(row, 0xFF, geometry.width / 8);
    if (y >= uint32_t(picture.height)) continue;
    const uint8_t* pixels = picture.pixels + size_t(y) * uint32_t(picture.width);
    for (uint32_t x = 0; x < width; x += 8) {
      // Eight 0/1 pixels into one byte, the first the highest bit; ink is a clear bit.
      uint8_t eight[8] = {};
      std::memcpy(eight, pixels + x, std::min<uint32_t>(8, width - x));
      uint64_t bits;
      std::memcpy(&bits, eight, 8);
      row[x / 8] = char(~((bits * 0x8040201008040201u) >> 56));
    }
  }
  constexpr size_t kZeros = 4096;
  static const char zeros[kZeros] = {};
  for (; room > 0; room -= std::min<uint64_t>(room, kZeros)) {
    out->Write(std::string_view(zeros, static_cast<size_t>(std::min<uint64_t>(room, kZeros))));
  }
}

void BmpExporter::Put(const Glyph& glyph) {
  if (failed_) return;
  char name[16];
  std::snprintf(name, sizeof name, "%04X.bmp", static_cast<uint32_t>(glyph.unicode));
  const Bitmap& picture = glyph.picture[0];
  BmpGeometry geometry;
  std::string error;
  if (!BmpGeometryFor(uint32_t(picture.width), uint32_t(picture.height), &geometry)) {
    error = "a " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
            " cell gives no BMP picture";
  } else if (write_file_(name, [&](OutputStream* out) { WriteBmp(picture, geometry, out); },
                         &error)) {
    return;
  }
  failure_->Set(name, error);
  failed_ = true;
}

}  // namespace karvex
