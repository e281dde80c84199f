#include "gaiji/proof_sheet.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include "gaiji/freepwing_writer.h"

namespace karvex {

namespace {

constexpr int32_t kColumns = 16;
constexpr int32_t kRowWidth = 1024;  // a row of cells, wider only for a single cell
constexpr int32_t kFrame = 2;        // frame line and the white line inside it
constexpr int32_t kPictureGap = 4;   // between the frames of a FreePWING glyph's pictures
// Labels are drawn pixel for pixel: twice the size, they would make a row of 16 cells
// wider than most screens, which would then shrink the 1-bit picture into a blur.
constexpr int32_t kCharAdvance = kLabelFontWidth + 1;
constexpr int32_t kLabelGap = 4;     // between the frame and the first label, and after

// The labels' font, as it looks: the characters of kFontChars side by side, a blank
// column between them, in two blocks of seven rows. No two hexadecimal digits are alike
// at a glance: B and D are flat on the left, 8 and 0 round, 0 has a dot; the fallback
// mark is a raised six-armed star, not a cross.
constexpr char kFontChars[] = "0123456789ABCDEFUux+*";
constexpr const char* kFontRows[] = {
    // 0   1     2     3     4     5     6     7     8     9     A
    ".###. ..#.. .###. ##### ...#. ##### ..##. ##### .###. .###. ..#..",
    "#...# .##.. #...# ...#. ..##. #.... .#... ....# #...# #...# .#.#.",
    "#...# ..#.. ....# ..#.. .#.#. ####. #.... ...#. #...# #...# #...#",
    "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#.. .###. .#### #...#",
    "#...# ..#.. ..#.. ....# ##### ....# #...# .#... #...# ....# #####",
    "#...# ..#.. .#... #...# ...#. #...# #...# .#... #...# ...#. #...#",
    ".###. .###. ##### .###. ...#. .###. .###. .#... .###. .##.. #...#",
    // B   C     D     E     F     U     u     x     +     *
    "####. .###. ###.. ##### ##### #...# ..... ..... ..... ..#..",
    "#...# #...# #..#. #.... #.... #...# ..... ..... ..#.. #.#.#",
    "#...# #.... #...# #.... #.... #...# #...# #...# ..#.. .###.",
    "####. #.... #...# ####. ####. #...# #...# .#.#. ##### #.#.#",
    "#...# #.... #...# #.... #.... #...# #...# ..#.. ..#.. ..#..",
    "#...# #...# #..#. #.... #.... #...# #..## .#.#. ..#.. .....",
    "####. .###. ###.. ##### #.... .###. .##.# #...# ..... .....",
};
constexpr int32_t kFontBlock = 11;  // characters in a block

// Each character's rows in the labels' font, a bit a pixel, the leftmost the
// highest of kLabelFontWidth bits; all zero for a character the font lacks.
using FontRows = std::array<uint8_t, kLabelFontHeight>;
const FontRows& FontGlyph(char c) {
  static const auto* const table = [] {
    static std::array<FontRows, 256> glyphs{};
    for (int32_t i = 0; kFontChars[i]; ++i) {
      for (int32_t y = 0; y < kLabelFontHeight; ++y) {
        const char* row = kFontRows[i / kFontBlock * kLabelFontHeight + y] +
                          i % kFontBlock * kCharAdvance;
        for (int32_t x = 0; x < kLabelFontWidth; ++x) {
          glyphs[uint8_t(kFontChars[i])][size_t(y)] |=
              uint8_t((row[x] == '#') << (kLabelFontWidth - 1 - x));
        }
      }
    }
    return &glyphs;
  }();
  return (*table)[uint8_t(c)];
}

// Writes n pixels twice each: 2n bytes of 0 or 1.
void Doubled(const uint8_t* pixels, int32_t n, uint8_t* out) {
  for (int32_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = pixels[i] != 0;
}

}  // namespace

bool LabelFontInk(char c, int32_t x, int32_t y) {
  if (x < 0 || x >= kLabelFontWidth || y < 0 || y >= kLabelFontHeight) return false;
  return FontGlyph(c)[size_t(y)] >> (kLabelFontWidth - 1 - x) & 1;
}

struct ProofSheet::Png {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> row;  // one packed row of the picture
  std::string error;         // what libpng said when it failed
};

bool ProofLayout::fits() const {
  // A row of cells is held in memory, a byte a pixel: huge BMP cells would not fit.
  return height() <= int64_t{PNG_UINT_31_MAX} && int64_t{width()} * pitch_y() <= (64 << 20);
}

ProofLayout::ProofLayout(int32_t width, int32_t height, int64_t cell_count,
                         std::vector<int32_t> picture_heights)
    : box_width(std::max(width, 1)), box_height(std::max(height, 1)), cells(cell_count),
      heights(std::move(picture_heights)) {
  if (freepwing()) {
    box_width = box_height = 0;
    for (int32_t h : heights) {
      const CellSize cell = FreePwingCell(true, h);
      box_width += cell.width;
      box_height = std::max(box_height, cell.height);
    }
  }
  // Sixteen 16x16 cells make a row; wider cells make shorter rows, which a screen shows
  // whole, pixel for pixel.
  const int64_t fit = std::min<int64_t>(cells, kRowWidth / pitch_x());
  columns = int32_t(std::clamp<int64_t>(fit, 1, kColumns));
}

int32_t ProofLayout::frame_x(int i) const {
  int32_t x = 0;
  for (int j = 0; j < i && j < int(heights.size()); ++j) {
    x += kScale * FreePwingCell(true, heights[size_t(j)]).width + 2 * kFrame + kPictureGap;
  }
  return x;
}

int32_t ProofLayout::frames_width() const {
  return freepwing() ? frame_x(int(heights.size())) - kPictureGap : kScale * box_width + 2 * kFrame;
}

int32_t ProofLayout::frames_height() const { return kScale * box_height + 2 * kFrame; }

int32_t ProofLayout::pitch_x() const {
  return std::max(frames_width(), kLabelChars * kCharAdvance) + 8;
}

int32_t ProofLayout::pitch_y() const {
  return frames_height() + label_lines() * (kLabelGap + kLabelFontHeight) + 6;
}

ProofSheet::ProofSheet(const ProofLayout& layout, OutputStream* out, std::string name,
                       Failure* failure)
    : layout_(layout), out_(out), name_(std::move(name)), failure_(failure),
      png_(new Png) {
  band_.assign(Stride() * size_t(layout_.pitch_y()), 0);
  png_->row.assign((size_t(layout_.width()) + 7) / 8, 0xFF);
  // libpng's messages go to the run's failure, not to standard error.
  png_->png = png_create_write_struct(
      PNG_LIBPNG_VER_STRING, png_.get(),
      [](png_structp png, png_const_charp message) {
        static_cast<Png*>(png_get_error_ptr(png))->error = message;
        png_longjmp(png, 1);
      },
      [](png_structp, png_const_charp) {});
  if (png_->png) png_->info = png_create_info_struct(png_->png);
  if (!png_->info) {
    png_->error = "out of memory";
    Fail();
    return;
  }
  if (setjmp(png_jmpbuf(png_->png))) {
    Fail();
    return;
  }
  // Sheets of a whole range are taller than libpng's default limit of a million rows.
  png_set_user_limits(png_->png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_write_fn(
      png_->png, out_,
      [](png_structp png, png_bytep data, size_t size) {
        static_cast<OutputStream*>(png_get_io_ptr(png))
            ->Write(std::string_view(reinterpret_cast<const char*>(data), size));
      },
      [](png_structp) {});
  // Black and white only: the fastest compression still packs the white runs well.
  png_set_compression_level(png_->png, 1);
  png_set_filter(png_->png, 0, PNG_FILTER_NONE);
  png_set_IHDR(png_->png, png_->info, uint32_t(layout_.width()), uint32_t(layout_.height()), 1,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png_->png, png_->info);
  for (int32_t y = 0; y < ProofLayout::kMargin; ++y) png_write_row(png_->png, png_->row.data());
}

ProofSheet::~ProofSheet() {
  png_destroy_write_struct(&png_->png, &png_->info);
}

void ProofSheet::Label(int32_t x, int32_t y, const char* text) {
  const int32_t end = x + ProofLayout::kLabelChars * kCharAdvance;
  for (; *text && x < end; ++text, x += kCharAdvance) {
    const FontRows& rows = FontGlyph(*text);
    for (int32_t r = 0; r < kLabelFontHeight; ++r) {
      uint8_t* row = band_.data() + size_t(y + r) * Stride() + size_t(x);
      for (int32_t c = 0; c < kLabelFontWidth; ++c) {
        row[c] = rows[size_t(r)] >> (kLabelFontWidth - 1 - c) & 1;
      }
    }
  }
}

void ProofSheet::Frame(int32_t x, int32_t y, int32_t w, int32_t h, bool dashed) {
  const size_t stride = Stride();
  const auto ink = [&](int32_t px, int32_t py) { band_[size_t(py) * stride + size_t(px)] = 1; };
  // Dashes of 4 pixels with gaps of 2, from the top left corner.
  const auto on = [dashed](int32_t i) { return !dashed || i % 6 < 4; };
  for (int32_t i = 0; i < w; ++i) {
    if (on(i)) ink(x + i, y), ink(x + i, y + h - 1);
  }
  for (int32_t i = 0; i < h; ++i) {
    if (on(i)) ink(x, y + i), ink(x + w - 1, y + i);
  }
}

void ProofSheet::Cell(const Glyph* glyph, int32_t unicode) {
  if (ended_ || cell_ >= layout_.cells) return;
  const size_t stride = Stride();
  const int32_t scale = ProofLayout::kScale;
  const int32_t x0 = ProofLayout::kMargin + int32_t(cell_ % layout_.columns) * layout_.pitch_x();
  if (glyph) {
    // Each picture in a frame of its cell: on a FreePWING sheet, the cell of its height and
    // width, as its XBM file has it.
    const bool full = glyph->picture[0].width > 8;
    const int pictures =
        layout_.freepwing() ? std::min(glyph->pictures, int(layout_.heights.size())) : 1;
    for (int i = 0; i < pictures; ++i) {
      const CellSize box = layout_.freepwing() ? FreePwingCell(full, layout_.heights[size_t(i)])
                                               : CellSize{layout_.box_width, layout_.box_height};
      const int32_t x = x0 + layout_.frame_x(i);
      Frame(x, 0, scale * box.width + 2 * kFrame, scale * box.height + 2 * kFrame, glyph->missing);
      static_assert(ProofLayout::kScale == 2, "glyph pixels are drawn doubled");
      const Bitmap& picture = glyph->picture[i];
      const int32_t w = std::min(picture.width, box.width);
      for (int32_t y = 0; y < std::min(picture.height, box.height); ++y) {
        uint8_t* row = band_.data() + size_t(kFrame + 2 * y) * stride + size_t(x + kFrame);
        Doubled(picture.pixels + int64_t{y} * picture.width, w, row);
        std::memcpy(row + stride, row, size_t(2 * w));
      }
    }
  } else {
    // A lacking character: one frame over all the pictures' room, crossed corner to corner.
    const int32_t inner_w = layout_.frames_width() - 2 * kFrame;
    const int32_t inner_h = layout_.frames_height() - 2 * kFrame;
    Frame(x0, 0, layout_.frames_width(), layout_.frames_height(), false);
    for (int32_t i = 0; i < inner_h; ++i) {
      const int32_t x = int32_t(int64_t{i} * inner_w / inner_h);
      band_[size_t(kFrame + i) * stride + size_t(x0 + kFrame + x)] = 1;
      band_[size_t(kFrame + i) * stride + size_t(x0 + kFrame + inner_w - 1 - x)] = 1;
    }
  }
  char lines[3][24] = {}, mark[8] = "";
  int n = 0;
  if (glyph && glyph->face > 0) std::snprintf(mark, sizeof mark, "*%d", glyph->face % 1000);
  if (layout_.freepwing() && glyph) {
    std::snprintf(lines[n++], sizeof lines[0], "%s%s", FreePwingName(unicode).c_str(), mark);
  } else if (layout_.freepwing()) {
    std::snprintf(lines[n++], sizeof lines[0], "U+%04X", uint32_t(unicode));  // no gaiji
  } else {
    if (glyph) std::snprintf(lines[0], sizeof lines[0], "%X%s", uint32_t(glyph->eb), mark);
    std::snprintf(lines[1], sizeof lines[0], "U+%04X", uint32_t(unicode));
    n = 2;
  }
  if (layout_.font_codes && glyph && glyph->with_code) {
    std::snprintf(lines[n++], sizeof lines[0], "0x%X", uint32_t(glyph->code));
  }
  for (int32_t i = 0; i < n; ++i) {
    Label(x0, layout_.frames_height() + kLabelGap + i * (kLabelFontHeight + kLabelGap), lines[i]);
  }
  if (++cell_ % layout_.columns == 0 || cell_ == layout_.cells) WriteBand();
}

bool ProofSheet::Fail() {
  ended_ = true;
  failure_->Set(name_, png_->error.empty() ? "libpng failed" : png_->error);
  return false;
}

void ProofSheet::WriteBand() {
  if (ended_) return;
  if (setjmp(png_jmpbuf(png_->png))) {
    Fail();
    return;
  }
  const size_t stride = Stride();
  for (int32_t y = 0; y < layout_.pitch_y(); ++y) {
    const uint8_t* pixels = band_.data() + size_t(y) * stride;
    for (size_t i = 0; i < stride / 8; ++i) {
      // Eight 0/1 bytes into one byte, the first the highest bit; a set bit is white.
      uint64_t eight;
      std::memcpy(&eight, pixels + 8 * i, 8);
      png_->row[i] = uint8_t(~((eight * 0x8040201008040201u) >> 56));
    }
    png_write_row(png_->png, png_->row.data());
  }
  std::fill(band_.begin(), band_.end(), 0);
  ++bands_;
}

void ProofSheet::Put(const Glyph& glyph) { Cell(&glyph, glyph.unicode); }

void ProofSheet::Finish(const std::vector<uint32_t>& lacking) {
  std::vector<uint32_t> sorted(lacking);
  std::sort(sorted.begin(), sorted.end());
  for (uint32_t code : sorted) Cell(nullptr, int32_t(code));
  // Cells a run that stopped early never came to stay white.
  if (cell_ % layout_.columns != 0 && cell_ < layout_.cells) WriteBand();
  while (bands_ < layout_.rows() && !ended_) WriteBand();
  if (ended_) return;
  if (setjmp(png_jmpbuf(png_->png))) {
    Fail();
    return;
  }
  std::fill(png_->row.begin(), png_->row.end(), 0xFF);
  for (int32_t y = 0; y < ProofLayout::kMargin; ++y) png_write_row(png_->png, png_->row.data());
  png_write_end(png_->png, nullptr);
  ended_ = true;
}

}  // namespace karvex
