#include "gaiji/proof_sheet.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace karvex {

namespace {

constexpr int32_t kColumns = 16;
constexpr int32_t kFrame = 2;        // frame line and the white line inside it
constexpr int32_t kCharWidth = 3, kCharHeight = 5, kCharAdvance = 4;  // label font pixels
constexpr int32_t kLabelScale = 2;
constexpr int32_t kLabelHeight = kCharHeight * kLabelScale;
constexpr int32_t kLabelGap = 4;     // between the frame and the first label, and after

// A small font for the labels: 3x5 pixels, a row per digit of 3 bits, the left one high.
struct LabelGlyph {
  char c;
  uint8_t rows[kCharHeight];
};
constexpr LabelGlyph kFont[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
    {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
    {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}}, {'8', {7, 5, 7, 5, 7}},
    {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}},
    {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 7, 4, 7}},
    {'F', {7, 4, 7, 4, 4}}, {'U', {5, 5, 5, 5, 7}}, {'u', {0, 0, 5, 5, 7}},
    {'+', {0, 2, 7, 2, 0}}, {'*', {0, 5, 2, 5, 0}}};

// The font glyph of each ASCII character, or null.
const LabelGlyph* FontGlyph(char c) {
  static const auto* const table = [] {
    static const LabelGlyph* glyphs[128] = {};
    for (const LabelGlyph& glyph : kFont) glyphs[uint8_t(glyph.c)] = &glyph;
    return glyphs;
  }();
  return uint8_t(c) < 128 ? table[uint8_t(c)] : nullptr;
}

// Writes n pixels twice each: 2n bytes of 0 or 1.
void Doubled(const uint8_t* pixels, int32_t n, uint8_t* out) {
  for (int32_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = pixels[i] != 0;
}

}  // namespace

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

ProofLayout::ProofLayout(int32_t width, int32_t height, int64_t cell_count)
    : box_width(std::max(width, 1)), box_height(std::max(height, 1)), cells(cell_count),
      columns(int32_t(std::clamp<int64_t>(cell_count, 1, kColumns))) {}

int32_t ProofLayout::pitch_x() const {
  return std::max(kScale * box_width + 2 * kFrame, kLabelChars * kCharAdvance * kLabelScale) + 8;
}

int32_t ProofLayout::pitch_y() const {
  return kScale * box_height + 2 * kFrame + 2 * (kLabelGap + kLabelHeight) + 6;
}

ProofSheet::ProofSheet(const ProofLayout& layout, bool names, OutputStream* out,
                       std::string name, Failure* failure)
    : layout_(layout), names_(names), out_(out), name_(std::move(name)), failure_(failure),
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
  const int32_t end = x + ProofLayout::kLabelChars * kCharAdvance * kLabelScale;
  static_assert(kLabelScale == 2, "labels are drawn doubled");
  for (; *text && x < end; ++text, x += kCharAdvance * kLabelScale) {
    const LabelGlyph* glyph = FontGlyph(*text);
    if (!glyph) continue;
    for (int32_t r = 0; r < kCharHeight; ++r) {
      const uint8_t bits[kCharWidth] = {uint8_t(glyph->rows[r] >> 2 & 1),
                                        uint8_t(glyph->rows[r] >> 1 & 1), uint8_t(glyph->rows[r] & 1)};
      uint8_t* row = band_.data() + size_t(y + 2 * r) * Stride() + size_t(x);
      Doubled(bits, kCharWidth, row);
      std::memcpy(row + Stride(), row, 2 * kCharWidth);
    }
  }
}

void ProofSheet::Cell(const Bitmap* picture, int32_t eb, int32_t unicode, int face) {
  if (ended_ || cell_ >= layout_.cells) return;
  const size_t stride = Stride();
  const int32_t scale = ProofLayout::kScale;
  const int32_t x0 = ProofLayout::kMargin + int32_t(cell_ % layout_.columns) * layout_.pitch_x();
  const int32_t inner_w = scale * layout_.box_width, inner_h = scale * layout_.box_height;
  const auto ink = [&](int32_t x, int32_t y) { band_[size_t(y) * stride + size_t(x)] = 1; };
  // The frame, a white line inside it, then the picture or a cross.
  for (int32_t x = 0; x < inner_w + 2 * kFrame; ++x) {
    ink(x0 + x, 0);
    ink(x0 + x, inner_h + 2 * kFrame - 1);
  }
  for (int32_t y = 0; y < inner_h + 2 * kFrame; ++y) {
    ink(x0, y);
    ink(x0 + inner_w + 2 * kFrame - 1, y);
  }
  if (picture) {
    static_assert(ProofLayout::kScale == 2, "glyph pixels are drawn doubled");
    const int32_t w = std::min(picture->width, layout_.box_width);
    const int32_t h = std::min(picture->height, layout_.box_height);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = band_.data() + size_t(kFrame + 2 * y) * stride + size_t(x0 + kFrame);
      Doubled(picture->pixels + int64_t{y} * picture->width, w, row);
      std::memcpy(row + stride, row, size_t(2 * w));
    }
  } else {
    for (int32_t i = 0; i < inner_h; ++i) {
      const int32_t x = int32_t(int64_t{i} * inner_w / inner_h);
      ink(x0 + kFrame + x, kFrame + i);
      ink(x0 + kFrame + inner_w - 1 - x, kFrame + i);
    }
  }
  char first[24] = "", second[24] = "";
  if (names_) {
    std::snprintf(first, sizeof first, "u%04X", uint32_t(unicode));
  } else {
    if (picture) std::snprintf(first, sizeof first, "%X", uint32_t(eb));
    std::snprintf(second, sizeof second, "U+%04X", uint32_t(unicode));
  }
  if (face > 0) std::snprintf(first + std::strlen(first), 8, "*%d", face % 1000);
  const int32_t label_y = inner_h + 2 * kFrame + kLabelGap;
  Label(x0, label_y, first);
  Label(x0, label_y + kLabelHeight + kLabelGap, second);
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

void ProofSheet::Put(const Glyph& glyph) {
  Cell(&glyph.picture[0], glyph.eb, glyph.unicode, glyph.face);
}

void ProofSheet::Finish(const std::vector<uint32_t>& lacking) {
  std::vector<uint32_t> sorted(lacking);
  std::sort(sorted.begin(), sorted.end());
  for (uint32_t code : sorted) Cell(nullptr, 0, int32_t(code), 0);
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
