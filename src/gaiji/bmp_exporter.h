// Each glyph as a 1-bit BMP file named after its Unicode value.
#ifndef KARVEX_GAIJI_BMP_EXPORTER_H_
#define KARVEX_GAIJI_BMP_EXPORTER_H_

#include <cstdint>
#include <string>

#include "gaiji/glyph_stream.h"
#include "gaiji/output_stream.h"

namespace karvex {

struct BmpGeometry {
  uint32_t width;      ///< picture width rounded up to a multiple of 8
  uint32_t height;     ///< picture height rounded up to a multiple of 8
  uint32_t file_size;  ///< 62 + height x (((width / 4) + 3) & ~3)
};

/// Rounds a picture to its BMP canvas. False when that gives no sensible canvas: a side
/// that is 0 after rounding, past 65535 pixels, or a file size past 32 bits.
bool BmpGeometryFor(uint32_t width, uint32_t height, BmpGeometry* geometry);

/// Writes `picture` as an uncompressed 1-bit BMP file of geometry.file_size bytes, the
/// picture at the top left of the canvas and background around it: rows bottom first,
/// colour 0 black (ink), colour 1 white, zeros after the last row. The size formula is
/// wider than the rows need from a width of 24 on; readers rely on it.
void WriteBmp(const Bitmap& picture, const BmpGeometry& geometry, OutputStream* out);

/// Writes every glyph as the file %04X.bmp of its Unicode value, whole, replacing one of
/// that name; a file that cannot be written is the run's failure, and the run ends there.
class BmpExporter : public GlyphOutput {
 public:
  BmpExporter(WriteFile write_file, Failure* failure)
      : write_file_(std::move(write_file)), failure_(failure) {}
  void Put(const Glyph& glyph) override;
  bool failed() const override { return failed_; }

 private:
  WriteFile write_file_;
  Failure* failure_;
  bool failed_ = false;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_BMP_EXPORTER_H_
