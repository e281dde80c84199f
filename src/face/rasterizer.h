// The drawing operations the font-face outputs need, behind a small interface so that the
// face loop can be tested without fonts.
#ifndef KARVEX_FACE_RASTERIZER_H_
#define KARVEX_FACE_RASTERIZER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karvex {

/// A monochrome canvas laid out as a 1-bit bitmap: rows top first, each padded to a
/// multiple of 4 bytes, most significant bit leftmost, a set bit white (background) and a
/// clear bit black (ink). The BMP writer copies its rows unchanged.
struct MonoCanvas {
  uint32_t width = 0;
  uint32_t height = 0;
  size_t stride = 0;  ///< bytes per row
  std::vector<uint8_t> bits;

  /// Makes the canvas width x height and all white, reusing its storage.
  void Reset(uint32_t w, uint32_t h) {
    width = w;
    height = h;
    stride = ((size_t{w} + 31) / 32) * 4;
    bits.assign(stride * h, 0xFF);
  }
  const uint8_t* row(uint32_t y) const { return bits.data() + stride * y; }
  bool ink(uint32_t x, uint32_t y) const { return !((row(y)[x / 8] << (x % 8)) & 0x80); }
  void SetInk(uint32_t x, uint32_t y) {
    bits[stride * y + x / 8] &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
  }
};

class FaceRasterizer {
 public:
  virtual ~FaceRasterizer() = default;
  /// Draws the character `code`, followed by a blank, in the face with an em of
  /// `em_pixels`, its reference point at the canvas's top-left corner, on the white
  /// `canvas`; ink outside the canvas is clipped. Codes outside 1..0x10FFFF draw nothing.
  /// False, with *error set and nothing drawn, when the face cannot draw the character
  /// at that size (a bitmap font without that size, an em past what the face takes, a
  /// glyph that does not load).
  virtual bool Draw(int32_t code, uint32_t em_pixels, MonoCanvas* canvas,
                    std::string* error) = 0;
};

}  // namespace karvex

#endif  // KARVEX_FACE_RASTERIZER_H_
