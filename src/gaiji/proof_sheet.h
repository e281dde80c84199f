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

/// The labels' font: this many pixels a character, each way.
constexpr int32_t kLabelFontWidth = 5, kLabelFontHeight = 7;

/// True where the labels' font inks pixel (x, y) of character `c`, x from the left and y
/// from the top; false everywhere for a character it does not have.
bool LabelFontInk(char c, int32_t x, int32_t y);

/// Where things lie on a sheet, in sheet pixels.
struct ProofLayout {
  static constexpr int32_t kScale = 2;   ///< sheet pixels per glyph pixel, each way
  static constexpr int32_t kMargin = 8;  ///< around the grid
  static constexpr int32_t kLabelChars = 8;  ///< "U+10FFFF"; longer labels are cut
  int32_t box_width = 16;   ///< the largest picture, in glyph pixels
  int32_t box_height = 16;
  int64_t cells = 0;        ///< glyphs and lacking characters
  int32_t columns = 16;
  /// A FreePWING book's sheet: a glyph's pictures at these heights side by side, each
  /// framed in FreePWING's cell of its height and width, labelled with the glyph's name.
  /// Empty for other sheets.
  std::vector<int32_t> heights;
  /// The glyphs give their font's own code (a BDF font's): a label line more.
  bool font_codes = false;

  /// The largest picture and the number of cells, or for a FreePWING book's sheet the
  /// heights (room made for full width): a grid of up to 16 columns, no wider than 1,024
  /// pixels unless a cell is.
  ProofLayout(int32_t width, int32_t height, int64_t cells, std::vector<int32_t> heights = {});
  bool freepwing() const { return !heights.empty(); }
  /// From a cell's left edge to the left edge of its i-th picture's frame.
  int32_t frame_x(int i) const;
  /// The frames of a cell, side by side.
  int32_t frames_width() const;
  int32_t frames_height() const;
  int32_t label_lines() const { return (freepwing() ? 1 : 2) + font_codes; }
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
/// libpng fail all the same, *failure names `name` and says why. The labels say the EB code,
/// the Unicode value (U+XXXX) and a BDF font's own code (0xXXXX), or on a FreePWING sheet
/// the glyph's name; a glyph that a fallback face drew shows *N after its EB code or name,
/// N its place in the list. A face's missing-glyph box has a dashed frame.
class ProofSheet : public GlyphOutput {
 public:
  ProofSheet(const ProofLayout& layout, OutputStream* out, std::string name, Failure* failure);
  ~ProofSheet() override;
  ProofSheet(const ProofSheet&) = delete;
  ProofSheet& operator=(const ProofSheet&) = delete;

  void Put(const Glyph& glyph) override;
  /// Adds a cell for each lacking character, blank ones for cells the run never came to,
  /// and ends the picture.
  void Finish(const std::vector<uint32_t>& lacking) override;

 private:
  struct Png;
  /// The cell of a glyph, or with null that of a lacking character.
  void Cell(const Glyph* glyph, int32_t unicode);
  /// A frame w x h sheet pixels at (x, y) of the band, solid or dashed.
  void Frame(int32_t x, int32_t y, int32_t w, int32_t h, bool dashed);
  void Label(int32_t x, int32_t y, const char* text);
  void WriteBand();
  /// Bytes per band row: the sheet's width rounded up to whole bytes of the picture.
  size_t Stride() const { return (size_t(layout_.width()) + 7) / 8 * 8; }

  /// Ends the sheet after libpng failed, with libpng's reason as the run's failure.
  bool Fail();

  ProofLayout layout_;
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
