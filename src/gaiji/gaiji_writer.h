// Every piece of text the tool writes: XML gaiji data with text-art glyphs on standard
// output, and the gaiji map file.
#ifndef KARVEX_GAIJI_GAIJI_WRITER_H_
#define KARVEX_GAIJI_GAIJI_WRITER_H_

#include <cstdint>
#include <string_view>

#include "gaiji/glyph_cell.h"
#include "gaiji/glyph_stream.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// Ink pixels always print as this character.
constexpr char kInkChar = '#';

/// The text-art output: a block per glyph on standard output, a line per glyph in the map
/// file, and with the header switch the XML declaration and enclosing elements of both.
class GaijiWriter : public GlyphOutput {
 public:
  /// `map` may be null: then map entries and the map's header and footer are skipped.
  /// Without `blocks` (BMP and other file outputs) no glyph block is written.
  GaijiWriter(OutputStream* out, OutputStream* map, char off_char = ' ', bool header = false,
              bool blocks = true)
      : out_(out), map_(map), off_char_(off_char), header_(header), blocks_(blocks) {}

  void Begin(CellSize cell, int32_t start_eb) override {
    if (header_) Header(cell.width, cell.height, start_eb);
  }
  void Put(const Glyph& glyph) override;
  void End() override {
    if (header_) Footer();
  }
  /// True once a write to standard output failed: what follows would be lost, so the
  /// sources stop. A failed map file is the driver's to see.
  bool failed() const override { return out_->failed(); }

  /// XML declaration, gaijiData and fontSet openings; the map's declaration and gaijiSet.
  void Header(int32_t width, int32_t height, int32_t start_eb);
  /// Closes fontSet, gaijiData and the map's gaijiSet.
  void Footer();
  void GlyphOpening(int32_t eb, int32_t unicode);
  /// The opening that also names the glyph's code in the source font.
  void GlyphOpeningWithCode(int32_t code, int32_t eb, int32_t unicode);
  void GlyphClosing();
  /// Rows of pixels laid out as in a cell, as text art: non-zero bytes print as ink.
  void CellRows(const uint8_t* pixels, int32_t width, int32_t height);
  void MapEntry(int32_t unicode, int32_t eb);

 private:
  OutputStream* out_;
  OutputStream* map_;
  char off_char_;
  bool header_;
  bool blocks_;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_GAIJI_WRITER_H_
