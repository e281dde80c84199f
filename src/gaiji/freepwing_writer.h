// Gaiji for a FreePWING book: one XBM file per glyph and height, and the character
// definition files halfchar.txt and fullchar.txt that fpwmake reads.
#ifndef KARVEX_GAIJI_FREEPWING_WRITER_H_
#define KARVEX_GAIJI_FREEPWING_WRITER_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gaiji/glyph_stream.h"
#include "gaiji/output_stream.h"

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

/// The list of a width in DIR: DIR/halfchar.txt or DIR/fullchar.txt.
std::string FreePwingList(const std::string& dir, bool full);

/// What a FreePWING folder holds already: the text of each definition file, ending in a
/// line end, the names it defines, and how many heights its lines give (0: no such file).
struct FreePwingBook {
  std::string text[2];  ///< half, full
  std::set<std::string> names[2];
  std::vector<std::string> order[2];  ///< the names in the order of the lists
  int64_t count[2] = {0, 0};
  int heights[2] = {0, 0};

  /// Takes in the text of halfchar.txt (`full` false) or fullchar.txt. False with *error
  /// set ("line 12: ...") when a line names an XBM file that `is_file` does not find, or
  /// not as many as the first: a list cut short, which would break the book's build.
  bool Read(bool full, std::string text, const std::function<bool(const std::string&)>& is_file,
            std::string* error);
};

/// Writes each glyph's pictures as DIR/NAME_HEIGHT.xbm, padded with background to
/// FreePWING's cell, each file whole, and then its line to the list of its width (8 pixels
/// wide at 16 rows: halfchar.txt), with paths as DIR was given. A file that cannot be
/// written is the run's failure, and the run ends there; the glyph gets no line.
class FreePwingWriter : public GlyphOutput {
 public:
  /// `lists` take the lines of halfchar.txt and fullchar.txt.
  FreePwingWriter(std::string dir, WriteFile write_file, OutputStream* half_list,
                  OutputStream* full_list, Failure* failure)
      : dir_(std::move(dir)), write_file_(std::move(write_file)),
        lists_{half_list, full_list}, failure_(failure) {}
  void Put(const Glyph& glyph) override;
  bool failed() const override { return failed_; }
  /// True once a line went to the list of the width.
  bool wrote(bool full) const { return wrote_[full]; }
  /// The names of the lines that went to the list of the width, in order.
  const std::vector<std::string>& added(bool full) const { return added_[full]; }

 private:
  std::string dir_;
  WriteFile write_file_;
  OutputStream* lists_[2];
  Failure* failure_;
  bool wrote_[2] = {false, false};
  std::vector<std::string> added_[2];
  bool failed_ = false;
};

/// The map EPWING viewers read to show a book's gaiji as the characters they stand for: a
/// line "hA121<TAB>u00E9" for each glyph of the lists named after its character ("h" half
/// width, "z" full), with the code FreePWING gives it, from A121 in the order of its list.
/// A name of another form takes its code and gets no line.
std::string ViewerMap(const std::vector<std::string> (&names)[2]);

}  // namespace karvex

#endif  // KARVEX_GAIJI_FREEPWING_WRITER_H_
