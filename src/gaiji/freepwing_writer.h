// Gaiji for a FreePWING book: one XBM file per glyph and height, and the character
// definition files halfchar.txt and fullchar.txt that fpwmake reads.
#ifndef KARVEX_GAIJI_FREEPWING_WRITER_H_
#define KARVEX_GAIJI_FREEPWING_WRITER_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gaiji/glyph_stream.h"

namespace karvex {

/// FreePWING's heights, in the order its definition lines list them.
constexpr int32_t kFreePwingHeights[] = {16, 24, 30, 48};
/// FreePWING takes at most this many glyphs of one width.
constexpr int64_t kFreePwingLimit = 8192;

/// FreePWING's cell of a width (half or full) and height: 8x16 or 16x16, 16x24 or 24x24,
/// 16x30 or 32x30, 24x48 or 48x48.
CellSize FreePwingCell(bool full, int32_t height);

/// The name of a character's gaiji: "u" and its code in upper-case hexadecimal, at least
/// four digits (u00E9, u20BB7), as a FreePWING parser makes it with sprintf("u%04X").
std::string FreePwingName(int32_t unicode);

/// What a FreePWING folder holds already: the names each definition file defines, and
/// how many heights its lines give (0: no such file).
struct FreePwingBook {
  std::set<std::string> names[2];  ///< half, full
  int64_t count[2] = {0, 0};
  int heights[2] = {0, 0};
  bool open_line[2] = {false, false};  ///< the last line has no line end

  /// Takes in the text of halfchar.txt (`full` false) or fullchar.txt.
  void Read(bool full, std::string_view text);
};

/// Writes each glyph's pictures as DIR/NAME_HEIGHT.xbm, padded with background to
/// FreePWING's cell, and then its line in DIR/halfchar.txt (8 pixels wide at 16 rows) or
/// DIR/fullchar.txt, appended, with paths as DIR was given. A glyph whose files cannot
/// be written gets no line; the first such failure is the run's.
class FreePwingWriter : public GlyphOutput {
 public:
  using OpenFile = std::function<FILE*(const std::string& name)>;
  /// `create_file` makes or empties a file, `append_file` opens one to add to its end.
  FreePwingWriter(std::string dir, const FreePwingBook& book, OpenFile create_file,
                  OpenFile append_file, Failure* failure)
      : dir_(std::move(dir)), create_file_(std::move(create_file)),
        append_file_(std::move(append_file)), failure_(failure),
        open_line_{book.open_line[0], book.open_line[1]} {}
  void Put(const Glyph& glyph) override;
  void Finish(const std::vector<uint32_t>& lacking) override;

 private:
  bool WriteXbm(const std::string& name, const Bitmap& picture, CellSize cell);

  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::string dir_;
  OpenFile create_file_;
  OpenFile append_file_;
  Failure* failure_;
  bool open_line_[2];
  std::unique_ptr<FILE, FileCloser> lists_[2];
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_FREEPWING_WRITER_H_
