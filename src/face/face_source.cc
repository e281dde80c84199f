#include "face/face_source.h"

#include <algorithm>
#include <cstring>

#include "gaiji/east_asian_width.h"
#include "gaiji/freepwing_writer.h"

namespace karvex {

namespace {
constexpr uint32_t kCanvasSize = 48;
constexpr uint32_t kMaxEm = 65535;  // FreeType's largest pixel size
// Runs with more codes than this show how far they are, where there is someone to see it.
constexpr uint64_t kLongRun = 4096;
}  // namespace

FaceView FaceTextDump(uint32_t width, uint32_t height, uint32_t row_offset) {
  FaceView view;
  view.em = std::max(std::min(width, kCanvasSize), std::min(height, kCanvasSize));
  view.top = row_offset;
  view.columns = width == 0 ? kCanvasSize : std::min(width, kCanvasSize);
  // The sum wraps for offsets from -height to -1: then no rows at all.
  view.rows = row_offset < row_offset + height ? std::min(height, kCanvasSize) : 0;
  view.cell_rows = std::min(height, kCanvasSize);
  return view;
}

bool BmpView(uint32_t width, uint32_t height, FaceView* view) {
  const uint32_t w = (width + 7) & ~uint32_t{7}, h = (height + 7) & ~uint32_t{7};
  // No face can be drawn with an em past 65535 pixels, and a canvas for one would take
  // gigabytes before the drawing fails.
  if (w == 0 || h == 0 || std::max(w, h) > kMaxEm) return false;
  *view = FaceView{w, h, std::max(w, h), 0, w, h, h};
  return true;
}

namespace {

// Where the ink of an image lies, row by row: its exact box, which only a glyph whose image
// reaches out of the cell needs.
InkBox InkOf(const GlyphImage& image) {
  int64_t first = image.columns, last = -1, top = image.rows, bottom = -1;
  const int64_t bytes = (image.columns + 7) / 8;
  for (int64_t y = 0; y < image.rows; ++y) {
    const uint8_t* row = image.row(y);
    for (int64_t j = 0; j < bytes; ++j) {
      // Bits past the last column are padding, not ink.
      const unsigned byte = row[j] & (j + 1 < bytes || image.columns % 8 == 0
                                          ? 0xFFu : 0xFFu << (8 - image.columns % 8));
      if (byte == 0) continue;
      first = std::min<int64_t>(first, 8 * j + __builtin_clz(byte) - 24);
      last = std::max<int64_t>(last, 8 * j + 7 - __builtin_ctz(byte));
      top = std::min(top, y);
      bottom = y;
    }
  }
  if (last < 0) return InkBox{};
  return InkBox{image.left + first, image.top + top, image.left + last + 1, image.top + bottom + 1};
}

// The least move that brings a box no larger than the cell into it, along one axis.
int64_t MoveInto(int64_t low, int64_t high, int64_t size) {
  return low < 0 ? -low : high > size ? size - high : 0;
}

}  // namespace

bool FaceDrawing::Draw(FaceRasterizer* face, int32_t code, const FaceView& view,
                       std::string* error) {
  canvas_.Reset(view.canvas_width, view.canvas_height);
  columns_ = view.columns;
  rows_ = view.rows;
  shrunk_ = false;
  const InkBox cell{0, 0, int64_t{columns_}, int64_t{view.cell_rows}};
  GlyphImage image;
  const bool drawn = face->Render(code, view.em, view.cell_rows, &image, error);
  // Most glyphs' images lie within the cell: their ink needs no search.
  InkBox ink = image.Box();
  bool exact = false;
  int64_t dx = 0, dy = 0;
  if (!ink.Within(cell)) {
    ink = InkOf(image);
    exact = true;
    if (!ink.Within(cell) && (ink.width() > cell.width() || ink.height() > cell.height())) {
      // Too big for the cell: the largest smaller em at which the ink fits.
      bool fits = false;
      std::string ignored;
      for (uint32_t em = view.em - 1; em >= 1 && !fits; --em) {
        if (!face->Render(code, em, view.cell_rows, &image, &ignored)) break;  // no such size
        ink = InkOf(image);
        fits = ink.width() <= cell.width() && ink.height() <= cell.height();
      }
      shrunk_ = fits;
      if (!fits) {  // drawn at the view's em, where it is
        face->Render(code, view.em, view.cell_rows, &image, &ignored);
        ink = InkOf(image);
      }
    }
    if (ink.width() <= cell.width() && ink.height() <= cell.height()) {
      dx = MoveInto(ink.left, ink.right, cell.right);
      dy = MoveInto(ink.top, ink.bottom, cell.bottom);
      ink = InkBox{ink.left + dx, ink.top + dy, ink.right + dx, ink.bottom + dy};
    }
  }
  for (int64_t y = 0; y < image.rows; ++y) {
    const int64_t row = image.top + dy + y;
    if (row >= 0 && row < int64_t{canvas_.height}) {
      canvas_.InkRow(image.row(y), image.columns, image.left + dx, uint32_t(row));
    }
  }
  // The picture shows rows `top` on, which -b may move away from the cell.
  const int64_t top = view.top, bottom = top + rows_;
  const InkBox shown{0, top, int64_t{columns_}, bottom};
  if (!exact && !ink.Within(shown)) ink = InkOf(image);
  cut_ = ink.Within(shown) ? 0
         : (ink.top < top ? kCutTop : 0) | (ink.bottom > bottom ? kCutBottom : 0) |
               (ink.left < 0 ? kCutLeft : 0) | (ink.right > int64_t{columns_} ? kCutRight : 0);
  // Eight pixels at a time: a canvas byte's ink bits (clear bits) as 0/1 bytes; the
  // picture starts as background, which most bytes of a canvas are.
  pixels_.assign(size_t{columns_} * rows_, 0);
  const uint32_t shown_columns = std::min(columns_, view.canvas_width);
  for (uint32_t i = 0; i < rows_ && top + i < view.canvas_height; ++i) {
    const uint8_t* bits = canvas_.row(uint32_t(top + i));
    uint8_t* row = pixels_.data() + size_t{i} * columns_;
    for (uint32_t x = 0; x < shown_columns; x += 8) {
      if (bits[x / 8] == 0xFF) continue;
      std::memcpy(row + x, kBitBytes[uint8_t(~bits[x / 8])].data(),
                  std::min<uint32_t>(8, shown_columns - x));
    }
  }
  return drawn;
}

int FaceLayout::Views(bool full, FaceView* views) const {
  if (heights.empty()) {
    views[0] = view;
    return 1;
  }
  int count = 0;
  for (int32_t height : heights) {
    const CellSize cell = Cell(full, height);
    // An EPUB picture is larger than a text dump's canvas: it is the canvas.
    views[count++] = epub ? FaceView{uint32_t(cell.width), uint32_t(cell.height),
                                     uint32_t(cell.height), 0, uint32_t(cell.width),
                                     uint32_t(cell.height), uint32_t(cell.height)}
                          : FaceTextDump(uint32_t(cell.width), uint32_t(cell.height), row_offset);
  }
  return count;
}

CellSize FaceLayout::Cell(bool full, int32_t height) const {
  if (epub) return CellSize{full ? height : height / 2, height};
  return FreePwingCell(full, height);
}

std::vector<uint32_t> FaceLayout::Ems() const {
  std::vector<uint32_t> ems;
  FaceView views[kMaxPictures];
  for (bool full : {false, true}) {
    for (int i = 0, n = Views(full, views); i < n; ++i) {
      if (std::find(ems.begin(), ems.end(), views[i].em) == ems.end()) ems.push_back(views[i].em);
    }
  }
  return ems;
}

bool FacePictures::DrawWidth(FaceRasterizer* face, int32_t code, const FaceLayout& layout,
                             bool full, std::string* error) {
  FaceView views[kMaxPictures];
  count_ = layout.Views(full, views);
  full_ = full;
  bool drawn = true;
  for (int i = 0; i < count_; ++i) drawn &= drawings_[full][i].Draw(face, code, views[i], error);
  return drawn;
}

bool FacePictures::WholeAtEm(bool full) const {
  for (int i = 0; i < count_; ++i) {
    if (!drawings_[full][i].whole_at_em()) return false;
  }
  return true;
}

bool FacePictures::Draw(FaceRasterizer* face, int32_t code, const FaceLayout& layout,
                        std::string* error) {
  if (layout.heights.empty() || layout.width != 0) {
    return DrawWidth(face, code, layout, layout.width == 2, error);
  }
  bool full = false;
  switch (EastAsianWidthOf(uint32_t(code))) {
    case EastAsianWidthClass::kWide:
      full = true;
      break;
    case EastAsianWidthClass::kAmbiguous: {
      // The face's own width: its advance at the first height's em.
      FaceView views[kMaxPictures];
      layout.Views(true, views);
      GlyphImage image;
      std::string ignored;
      full = face->Render(code, views[0].em, views[0].cell_rows, &image, &ignored) &&
             4 * image.advance > 3 * 64 * int64_t{views[0].em};
      break;
    }
    case EastAsianWidthClass::kNarrow:
      break;
  }
  const bool drawn = DrawWidth(face, code, layout, full, error);
  if (full || WholeAtEm(false)) return drawn;
  // Its half-width cells cut it or make it smaller: full-width ones may hold it as it is.
  std::string ignored;
  if (DrawWidth(face, code, layout, true, &ignored) && WholeAtEm(true)) return true;
  full_ = false;  // both widths have a picture per height
  return drawn;
}

bool FacePictures::cut() const {
  for (int i = 0; i < count_; ++i) {
    if (drawings_[full_][i].cut()) return true;
  }
  return false;
}

void FacePictures::Into(Glyph* glyph) const {
  glyph->pictures = count_;
  for (int i = 0; i < count_; ++i) glyph->picture[i] = drawings_[full_][i].picture();
}

bool PlanCharacter(const std::vector<FaceRasterizer*>& faces, int32_t code,
                   const FaceLayout& layout, FacePictures* scratch, bool* full) {
  for (FaceRasterizer* face : faces) {
    if (!face->HasGlyph(code)) continue;
    // Wide characters take full-width cells in any face; only whether one has it counts.
    if (layout.width == 0 && EastAsianWidthOf(uint32_t(code)) == EastAsianWidthClass::kWide) {
      *full = true;
      return true;
    }
    std::string error;
    if (scratch->Draw(face, code, layout, &error) && !scratch->cut()) {
      *full = scratch->full();
      return true;
    }
  }
  return false;
}

void ReadFace(FaceRasterizer* face, const std::string& name, const FaceRun& run,
              GlyphStream* stream, Failure* failure) {
  stream->Begin(CellSize{run.width, run.height});
  const uint64_t total = run.codes ? run.codes->size()
                         : run.first_code <= run.last_code ? uint64_t(run.last_code - run.first_code + 1)
                                                           : 0;
  const bool progress = run.progress && total > kLongRun;
  uint32_t unicode = run.start_unicode;
  FacePictures drawing;
  std::string error;
  uint64_t done = 0;
  for (; done < total && !stream->failed(); ++done) {
    if (progress) run.progress(done, total, false);
    Glyph glyph;
    glyph.code = run.codes ? int32_t((*run.codes)[done]) : int32_t(run.first_code + int64_t(done));
    glyph.unicode = glyph.code;
    // A range's map carries the counter, which moves for every code.
    glyph.map_unicode = run.codes ? glyph.code : int32_t(unicode++);
    // A character of a set gets a glyph of its own; a range draws the face's box for
    // what it lacks, unless a character comes from elsewhere.
    if (!face->HasGlyph(glyph.code)) {
      if (stream->Substitute(&glyph)) continue;
      if (run.codes) {
        stream->Lack(uint32_t(glyph.code), nullptr);
        continue;
      }
      glyph.missing = true;
    }
    if (!drawing.Draw(face, glyph.code, run.layout, &error)) {
      failure->Set(name, error);  // the blank picture stands; the run says so
    }
    drawing.Into(&glyph);
    if (glyph.cut() && stream->Substitute(&glyph)) continue;
    if (glyph.cut() && run.codes) {
      stream->Lack(uint32_t(glyph.code), &glyph);
      continue;
    }
    stream->Put(&glyph);
  }
  if (progress) run.progress(done, total, true);
  stream->End();
}

}  // namespace karvex
