// A font face as a source of glyphs: each code drawn on a canvas and cut to the run's cell.
#ifndef KARVEX_FACE_FACE_SOURCE_H_
#define KARVEX_FACE_FACE_SOURCE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "face/rasterizer.h"
#include "gaiji/glyph_stream.h"

namespace karvex {

/// Where a face draws a glyph and which part of the canvas becomes its picture.
struct FaceView {
  uint32_t canvas_width = 48;
  uint32_t canvas_height = 48;
  uint32_t em = 16;       ///< pixels
  uint32_t top = 0;       ///< first canvas row shown
  uint32_t columns = 16;  ///< shown from column 0
  uint32_t rows = 16;     ///< shown from `top` down; rows past the canvas are background
  uint32_t cell_rows = 16;  ///< the cell's rows on the canvas, from its top
};

/// The text dump of a cell: a 48 x 48 canvas, the larger of the sides (each capped at 48)
/// as the em, `height` rows (capped at 48) from canvas row `row_offset`, none when the
/// unsigned sum of the two wraps, and `width` columns (capped at 48; 0 shows all 48).
FaceView FaceTextDump(uint32_t width, uint32_t height, uint32_t row_offset);

/// The BMP picture of a cell: the cell rounded up to multiples of 8 is the canvas, shown
/// whole, and its larger side the em. False when that gives no sensible picture: a side 0
/// or negative after rounding, or past 65535 pixels (no face draws that large).
bool BmpView(uint32_t width, uint32_t height, FaceView* view);

/// One character of a face drawn whole in a view's cell where the cell can hold it, and
/// cut to the view.
class FaceDrawing {
 public:
  /// Draws `code` at the view's em, moved into the cell (up, down, left or right) when its
  /// ink reaches out of it but fits, or else at the largest smaller em at which it fits
  /// (where the face has that size); a glyph no size fits keeps its place at the view's em.
  /// False, with *error set and a blank picture, when the face cannot draw it.
  bool Draw(FaceRasterizer* face, int32_t code, const FaceView& view, std::string* error);
  Bitmap picture() const { return {pixels_.data(), int32_t(columns_), int32_t(rows_), cut_}; }
  /// True when the glyph has ink outside the picture.
  bool cut() const { return cut_ != 0; }
  /// True when the glyph came out whole at the view's em, moved perhaps but not made smaller.
  bool whole_at_em() const { return cut_ == 0 && !shrunk_; }

 private:
  MonoCanvas canvas_;
  std::vector<uint8_t> pixels_;
  uint32_t columns_ = 0, rows_ = 0;
  uint8_t cut_ = 0;  // CutEdge bits
  bool shrunk_ = false;
};

/// The views a face run draws each character in: the run's one view or, for a FreePWING
/// book, one text dump per height in FreePWING's cell of the character's width, or for an
/// EPUB book one picture N pixels high, N or N/2 wide.
struct FaceLayout {
  FaceView view;                 ///< the one view, when there are no heights
  std::vector<int32_t> heights;  ///< FreePWING's heights, 16 first, or the EPUB picture's
  bool epub = false;             ///< the height is an EPUB picture's
  int width = 0;                 ///< with heights: 1 half, 2 full, 0 by character
  uint32_t row_offset = 0;
  /// The cell of a height for a character of width `full`.
  CellSize Cell(bool full, int32_t height) const;
  /// The views of a character of width `full` (half when false), at most kMaxPictures;
  /// returns how many. Without heights, the one view whatever the width.
  int Views(bool full, FaceView* views) const;
  /// Every em a run with this layout draws at before it makes a glyph smaller to fit.
  std::vector<uint32_t> Ems() const;
};

/// A character drawn in every view of a layout, at the width a FreePWING book gives it: full
/// for East Asian Width W and F, half for Na, H and N, and for A (ambiguous) the width of the
/// face's advance (full past three quarters of an em). A character whose cells of its width
/// would have to make it smaller, while those of the other width hold it at their em, takes
/// the other width.
class FacePictures {
 public:
  /// False, with *error set and blank pictures, when the face cannot draw it.
  bool Draw(FaceRasterizer* face, int32_t code, const FaceLayout& layout, std::string* error);
  /// The width drawn in (always false without heights).
  bool full() const { return full_; }
  /// True when any picture lost ink to its cell.
  bool cut() const;
  /// Gives the glyph the pictures (valid until the next Draw) and their cuts.
  void Into(Glyph* glyph) const;

 private:
  bool DrawWidth(FaceRasterizer* face, int32_t code, const FaceLayout& layout, bool full,
                 std::string* error);
  bool WholeAtEm(bool full) const;

  FaceDrawing drawings_[2][kMaxPictures];  // half, full
  int count_ = 0;
  bool full_ = false;
};

/// What a face run draws.
struct FaceRun {
  FaceLayout layout;
  int32_t width = 16;   ///< the cell as the header gives it (text dumps cap their rows)
  int32_t height = 16;
  int64_t first_code = 0;
  int64_t last_code = 0;
  /// A code-set run: these characters, each once and only when the face has it whole;
  /// the map carries each character. Null: every code of the range, the map carrying
  /// the Unicode counter.
  const std::vector<uint32_t>* codes = nullptr;
  uint32_t start_unicode = 0xE000;
  /// Shows how far the run is (codes done, codes in all, whether the loop has ended).
  std::function<void(uint64_t done, uint64_t total, bool ended)> progress;
};

/// Whether the first of `faces` that has `code` draws it whole in `layout`, and at which
/// width (*full), as a face run with those faces in that order would: false when none does.
bool PlanCharacter(const std::vector<FaceRasterizer*>& faces, int32_t code,
                   const FaceLayout& layout, FacePictures* scratch, bool* full);

/// Draws the run's codes into `stream`. A character the face lacks, or whose glyph the
/// cell cuts, may come from the stream's substitute; in a code-set run it is lacking
/// otherwise, while a range writes the face's own picture (its missing-glyph box for a
/// code it lacks). A code the face cannot draw leaves a blank picture and the first such
/// failure in *failure (named `name`).
void ReadFace(FaceRasterizer* face, const std::string& name, const FaceRun& run,
              GlyphStream* stream, Failure* failure);
}  // namespace karvex

#endif  // KARVEX_FACE_FACE_SOURCE_H_
