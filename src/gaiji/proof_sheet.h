// A proof sheet: every glyph of a run in one PNG picture, in EB-code order, each pixel a
// 2x2 block, framed and labelled with its codes; the characters the run lacked come
// last as crossed-out cells.
#ifndef KARVEX_GAIJI_PROOF_SHEET_H_
#define KARVEX_GAIJI_PROOF_SHEET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gaiji/glyph_stream.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// Where things lie on a sheet, in sheet pixels.
struct ProofLayout {
  static constexpr int32_t kScale = 2;   ///< sheet pixels per glyph pixel, each way
  static constexpr int32_t kMargin = 8;  ///< around the grid
  static constexpr int32_t kLabelChars = 8;  ///< "U+10FFFF"; longer labels are cut
  int32_t box_width = 16;   ///< the largest picture, in glyph pixels
  int32_t box_height = 16;
  int64_t cells = 0;        ///< glyphs and lacking characters
  int32_t columns = 16;

  /// The largest picture and the number of cells: a grid of up to 16 columns.
  ProofLayout(int32_t width, int32_t height, int64_t cells);
  int32_t pitch_x() const;  ///< from a cell's left edge to the next one's
  int32_t pitch_y() const;
  int64_t rows() const { return (cells + columns - 1) / columns; }
  int32_t width() const { return 2 * kMargin + columns * pitch_x(); }
  int64_t height() const { return 2 * kMargin + rows() * pitch_y(); }
  /// True when a PNG picture can be that large (at most 2^31 - 1 pixels high) and a row
  /// of cells takes at most 64 MiB.
  bool fits() const;
};

/// Writes the sheet to `out` as a 1-bit grey PNG, a row of cells at a time: memory holds
/// one band of the picture, whatever the number of glyphs. The layout must fit; should
/// libpng fail all the same, *failure names `name` and says why. The labels say the EB code and
/// the Unicode value (U+XXXX), or with `names` the FreePWING name of the glyph; a glyph
/// that a fallback face drew shows *N after its EB code, N its place in the list.
class ProofSheet : public GlyphOutput {
 public:
  ProofSheet(const ProofLayout& layout, bool names, OutputStream* out, std::string name,
             Failure* failure);
  ~ProofSheet() override;
  ProofSheet(const ProofSheet&) = delete;
  ProofSheet& operator=(const ProofSheet&) = delete;

  void Put(const Glyph& glyph) override;
  /// Adds a cell for each lacking character, blank ones for cells the run never came to,
  /// and ends the picture.
  void Finish(const std::vector<uint32_t>& lacking) override;

 private:
  struct Png;
  void Cell(const Bitmap* picture, int32_t eb, int32_t unicode, int face);
  void Label(int32_t x, int32_t y, const char* text);
  void WriteBand();
  /// Bytes per band row: the sheet's width rounded up to whole bytes of the picture.
  size_t Stride() const { return (size_t(layout_.width()) + 7) / 8 * 8; }

  /// Ends the sheet after libpng failed, with libpng's reason as the run's failure.
  bool Fail();

  ProofLayout layout_;
  bool names_;
  OutputStream* out_;
  std::string name_;
  Failure* failure_;
  std::unique_ptr<Png> png_;
  std::vector<uint8_t> band_;  // one row of cells, a byte per sheet pixel (1 = black)
  int64_t cell_ = 0;           // the next cell
  int64_t bands_ = 0;          // rows of cells written
  bool ended_ = false;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_PROOF_SHEET_H_
