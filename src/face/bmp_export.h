// A character of a font face as a 1-bit BMP file.
#ifndef KARVEX_FACE_BMP_EXPORT_H_
#define KARVEX_FACE_BMP_EXPORT_H_

#include <cstdint>
#include <string>

#include "face/rasterizer.h"
#include "gaiji/output_stream.h"

namespace karvex {

struct BmpGeometry {
  uint32_t width;      ///< cell width rounded up to a multiple of 8
  uint32_t height;     ///< cell height rounded up to a multiple of 8
  uint32_t file_size;  ///< 62 + height x (((width / 4) + 3) & ~3)
};

/// Rounds a cell to its BMP canvas. False when that gives no sensible canvas: a side that
/// is 0 or negative after rounding, a side past 65535 pixels (no face draws that large),
/// or a file size past 32 bits.
bool BmpGeometryFor(uint32_t width, uint32_t height, BmpGeometry* geometry);

/// Writes `canvas` as an uncompressed 1-bit BMP file of geometry.file_size bytes: rows
/// bottom first, colour 0 black, colour 1 white, zeros after the last row. The size
/// formula is wider than the rows need from a width of 24 on; readers rely on it.
void WriteBmp(const MonoCanvas& canvas, const BmpGeometry& geometry, OutputStream* out);

/// Draws `code` on a canvas of the given geometry, the larger rounded side as the em.
/// False, with *error set, when the face cannot draw it.
bool DrawForBmp(int32_t code, const BmpGeometry& geometry, FaceRasterizer* rasterizer,
                MonoCanvas* canvas, std::string* error);

}  // namespace karvex

#endif  // KARVEX_FACE_BMP_EXPORT_H_
