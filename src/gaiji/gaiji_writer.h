// Every piece of text the tool writes: XML gaiji data with text-art glyphs on standard
// output, and the gaiji map file.
#ifndef KARVEX_GAIJI_GAIJI_WRITER_H_
#define KARVEX_GAIJI_GAIJI_WRITER_H_

#include <cstdint>
#include <string_view>

#include "gaiji/glyph_cell.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// Ink pixels always print as this character.
constexpr char kInkChar = '#';

class GaijiWriter {
 public:
  /// `map` may be null: then map entries and the map's header and footer are skipped.
  GaijiWriter(OutputStream* out, OutputStream* map, char off_char = ' ')
      : out_(out), map_(map), off_char_(off_char) {}

  char off_char() const { return off_char_; }
  /// True once a write to standard output failed: what follows would be lost, so the
  /// sources stop. A failed map file stops nothing; the driver reports it at the end.
  bool failed() const { return out_->failed(); }

  /// XML declaration, gaijiData and fontSet openings; the map's declaration and gaijiSet.
  void Header(int32_t width, int32_t height, int32_t start_eb);
  /// Closes fontSet, gaijiData and the map's gaijiSet.
  void Footer();
  void GlyphOpening(int32_t eb, int32_t unicode);
  /// The opening that also names the glyph's code in the source font.
  void GlyphOpeningWithCode(int32_t code, int32_t eb, int32_t unicode);
  void GlyphClosing();
  /// One text-art row; the caller fills `width` bytes and the line end is added.
  char* BeginRow(size_t width);
  /// The cell's glyph rows as text art: non-zero bytes print as ink.
  void CellRows(const GlyphCell& cell) { CellRows(cell.pixels.get(), cell.width, cell.height); }
  /// Rows of pixels laid out as in a cell.
  void CellRows(const uint8_t* pixels, int32_t width, int32_t height);
  void MapEntry(int32_t unicode, int32_t eb);

 private:
  OutputStream* out_;
  OutputStream* map_;
  char off_char_;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_GAIJI_WRITER_H_
