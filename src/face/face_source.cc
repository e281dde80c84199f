#include "face/face_source.h"

#include <algorithm>
#include <cstring>

#include "gaiji/east_asian_width.h"

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

bool FaceDrawing::Draw(FaceRasterizer* face, int32_t code, const FaceView& view,
                       std::string* error) {
  canvas_.Reset(view.canvas_width, view.canvas_height);
  InkBox ink;
  const bool drawn = face->Draw(code, view.em, view.cell_rows, &canvas_, &ink, error);
  columns_ = view.columns;
  rows_ = view.rows;
  const int64_t top = view.top, bottom = top + rows_;
  cut_ = ink.empty() ? 0
         : (ink.top < top ? kCutTop : 0) | (ink.bottom > bottom ? kCutBottom : 0) |
               (ink.left < 0 ? kCutLeft : 0) | (ink.right > int64_t{columns_} ? kCutRight : 0);
  // Eight pixels at a time: a canvas byte's ink bits (clear bits) as 0/1 bytes.
  pixels_.assign(size_t{columns_} * rows_, 0);
  const uint32_t shown = std::min(columns_, view.canvas_width);
  for (uint32_t i = 0; i < rows_ && top + i < view.canvas_height; ++i) {
    const uint8_t* bits = canvas_.row(uint32_t(top + i));
    uint8_t* row = pixels_.data() + size_t{i} * columns_;
    for (uint32_t x = 0; x < shown; x += 8) {
      std::memcpy(row + x, kBitBytes[uint8_t(~bits[x / 8])].data(), std::min<uint32_t>(8, shown - x));
    }
  }
  return drawn;
}

int FaceLayout::Views(int32_t code, FaceView* views) const {
  if (heights.empty()) {
    views[0] = view;
    return 1;
  }
  const bool full = width == 0 ? IsWide(uint32_t(code)) : width == 2;
  int count = 0;
  for (int32_t height : heights) {
    // The cell of the nominal size, as for a font of that size and width.
    const CellSize cell = SizeClass(full ? height : height / 2, height, 0, 0);
    views[count++] = FaceTextDump(uint32_t(cell.width), uint32_t(cell.height), row_offset);
  }
  return count;
}

std::vector<uint32_t> FaceLayout::Ems() const {
  std::vector<uint32_t> ems;
  FaceView views[kMaxPictures];
  // The first character of each width stands for all of its width.
  for (int32_t code : {0x41, 0x3042}) {
    for (int i = 0, n = Views(code, views); i < n; ++i) {
      if (std::find(ems.begin(), ems.end(), views[i].em) == ems.end()) ems.push_back(views[i].em);
    }
  }
  return ems;
}

bool FacePictures::Draw(FaceRasterizer* face, int32_t code, const FaceLayout& layout,
                        std::string* error) {
  FaceView views[kMaxPictures];
  count_ = layout.Views(code, views);
  bool drawn = true;
  for (int i = 0; i < count_; ++i) drawn &= drawings_[i].Draw(face, code, views[i], error);
  return drawn;
}

bool FacePictures::cut() const {
  for (int i = 0; i < count_; ++i) {
    if (drawings_[i].cut()) return true;
  }
  return false;
}

void FacePictures::Into(Glyph* glyph) const {
  glyph->pictures = count_;
  for (int i = 0; i < count_; ++i) glyph->picture[i] = drawings_[i].picture();
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
        stream->Lack(uint32_t(glyph.code), false);
        continue;
      }
    }
    if (!drawing.Draw(face, glyph.code, run.layout, &error)) {
      failure->Set(name, error);  // the blank picture stands; the run says so
    }
    drawing.Into(&glyph);
    if (glyph.cut() && stream->Substitute(&glyph)) continue;
    if (glyph.cut() && run.codes) {
      stream->Lack(uint32_t(glyph.code), true);
      continue;
    }
    stream->Put(&glyph);
  }
  if (progress) run.progress(done, total, true);
  stream->End();
}

}  // namespace karvex
