// The cell in which the file readers assemble a glyph, and the rules that size it and
// number it.
#ifndef KARVEX_GAIJI_GLYPH_CELL_H_
#define KARVEX_GAIJI_GLYPH_CELL_H_

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace karvex {

struct CellSize {
  int32_t width;
  int32_t height;
};

/// Rounds a nominal font size to a cell size; a forced width or height above 0 replaces
/// the rounded one. Nominal sizes compare as unsigned, so a negative one counts as huge.
CellSize SizeClass(int32_t nominal_width, int32_t nominal_height, int32_t forced_width,
                   int32_t forced_height);

/// The EB gaiji code after `code`: low bytes run 0x21..0x7E, then the high byte steps.
int32_t NextEbCode(int32_t code);

/// The eight bits of a byte as eight bytes of 0 or 1, the most significant bit first.
inline constexpr std::array<std::array<uint8_t, 8>, 256> kBitBytes = [] {
  std::array<std::array<uint8_t, 8>, 256> table{};
  for (int v = 0; v < 256; ++v) {
    for (int bit = 0; bit < 8; ++bit) table[v][bit] = uint8_t((v >> (7 - bit)) & 1);
  }
  return table;
}();

/// One byte per pixel (1 = ink), row-major, with a spare row below the glyph rows.
struct GlyphCell {
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint8_t[], decltype(&std::free)> pixels{nullptr, &std::free};

  /// Number of glyph pixels, width x height.
  int64_t area() const { return int64_t{width} * height; }
  uint8_t* row(int64_t r) const { return pixels.get() + r * width; }
  /// Clears the glyph rows 0..height-1.
  void ClearGlyph();
  /// Clears row `r` if the cell has it (rows 0..height, the spare included).
  void ClearRow(int64_t r);
  /// Writes the low eight bits of `byte`, most significant first, to pixels p, p + 1, ...
  /// (running on across row ends), stopping at the first index that is negative or not
  /// below width x height.
  void PlaceByte(int64_t p, uint32_t byte) {
    if (p < 0) return;
    const std::array<uint8_t, 8>& bits = kBitBytes[byte & 0xFF];
    const int64_t room = area() - p;
    if (room >= 8) {
      std::memcpy(pixels.get() + p, bits.data(), 8);
    } else if (room > 0) {
      std::memcpy(pixels.get() + p, bits.data(), static_cast<size_t>(room));
    }
  }
};

/// Allocates a zeroed cell of size.width x (size.height + 1) bytes. Fails when that does
/// not fit in 32 bits or memory runs out.
bool CreateGlyphCell(CellSize size, GlyphCell* cell);

}  // namespace karvex

#endif  // KARVEX_GAIJI_GLYPH_CELL_H_
