// The drawing operations the font-face outputs need, behind a small interface so that the
// face loop can be tested without fonts.
#ifndef KARVEX_FACE_RASTERIZER_H_
#define KARVEX_FACE_RASTERIZER_H_

#include <algorithm>
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
  /// Inks row y (which must exist) wherever a 1-bit source row, `columns` pixels with the
  /// most significant bit leftmost, has a set bit, its first pixel at column `left`;
  /// pixels left or right of the canvas are clipped. A byte at a time, as inking each set
  /// pixel would.
  void InkRow(const uint8_t* source, int64_t columns, int64_t left, uint32_t y) {
    const int64_t first = std::max<int64_t>(0, -left);                // source pixels
    const int64_t end = std::min<int64_t>(columns, int64_t{width} - left);  // that land
    uint8_t* row = bits.data() + stride * y;
    for (int64_t j = first / 8; first < end && j <= (end - 1) / 8; ++j) {
      const int64_t lo = std::max<int64_t>(first - 8 * j, 0), hi = std::min<int64_t>(end - 8 * j, 8);
      unsigned ink = source[j] & (0xFFu >> lo) & (0xFFu << (8 - hi));
      if (ink == 0) continue;
      int64_t x = left + 8 * j;  // canvas column of the byte's first bit
      if (x < 0) {               // only clipped bits lie left of the canvas
        ink = (ink << -x) & 0xFF;
        x = 0;
      }
      const unsigned shift = unsigned(x % 8);
      row[x / 8] &= static_cast<uint8_t>(~(ink >> shift));
      if (shift != 0 && ((ink << (8 - shift)) & 0xFF) != 0) {
        row[x / 8 + 1] &= static_cast<uint8_t>(~(ink << (8 - shift)));
      }
    }
  }
};

/// Where a glyph's pixels lie in a cell: columns left..right - 1 and rows top..bottom - 1,
/// inside the cell or not; empty when there are none.
struct InkBox {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  int64_t width() const { return right - left; }
  int64_t height() const { return bottom - top; }
  /// True when this box lies within `outer` (an empty box lies anywhere).
  bool Within(const InkBox& outer) const {
    return empty() || (left >= outer.left && top >= outer.top && right <= outer.right &&
                       bottom <= outer.bottom);
  }
};

/// A glyph as a face renders it: 1-bit rows, the most significant bit leftmost, a set bit
/// ink, with its top-left pixel placed in the cell by the face's baseline. Valid until the
/// next Render.
struct GlyphImage {
  const uint8_t* bits = nullptr;  ///< the top row
  int64_t pitch = 0;              ///< bytes from a row to the one below (may be negative)
  int64_t columns = 0;
  int64_t rows = 0;
  int64_t left = 0;     ///< cell column of the image's first column
  int64_t top = 0;      ///< cell row of the image's first row
  int64_t advance = 0;  ///< the pen's advance, in 1/64 pixels
  const uint8_t* row(int64_t y) const { return bits + y * pitch; }
  /// The box of the image itself: the ink lies within it, not always up to its edges.
  InkBox Box() const { return InkBox{left, top, left + columns, top + rows}; }
};

/// A size a bitmap face has: its em and the width of its average glyph, in pixels.
struct Strike {
  uint32_t em;
  uint32_t width;
};

class FaceRasterizer {
 public:
  virtual ~FaceRasterizer() = default;
  /// True when the face can draw at an em of `em_pixels`; otherwise *strikes lists the sizes
  /// it has (none for an outline face asked for an em FreeType does not take).
  virtual bool HasSize(uint32_t em_pixels, std::vector<Strike>* strikes) = 0;
  /// True when the face has a glyph of its own for the character `code`.
  virtual bool HasGlyph(int32_t code) = 0;
  /// Renders the character `code` with an em of `em_pixels` for a cell of `cell_rows` rows,
  /// placed by the face's baseline; a code the face lacks renders its missing-glyph shape.
  /// Codes outside 1..0x10FFFF give an empty image. False, with *error set and an empty
  /// image, when the face cannot render the character at that size (a bitmap font without
  /// that size, an em past what the face takes, a glyph that does not load).
  virtual bool Render(int32_t code, uint32_t em_pixels, uint32_t cell_rows, GlyphImage* image,
                      std::string* error) = 0;
};

}  // namespace karvex

#endif  // KARVEX_FACE_RASTERIZER_H_
