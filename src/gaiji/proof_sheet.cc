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

}  // namespace

struct ProofSheet::Png {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> row;  // one packed row of the picture
};

ProofLayout::ProofLayout(int32_t width, int32_t height, int64_t cell_count)
    : box_width(std::max(width, 1)), box_height(std::max(height, 1)), cells(cell_count),
      columns(int32_t(std::clamp<int64_t>(cell_count, 1, kColumns))) {}

int32_t ProofLayout::pitch_x() const {
  return std::max(kScale * box_width + 2 * kFrame, kLabelChars * kCharAdvance * kLabelScale) + 8;
}

int32_t ProofLayout::pitch_y() const {
  return kScale * box_height + 2 * kFrame + 2 * (kLabelGap + kLabelHeight) + 6;
}

ProofSheet::ProofSheet(const ProofLayout& layout, bool names, OutputStream* out)
    : layout_(layout), names_(names), out_(out), png_(new Png) {
  band_.assign(size_t(layout_.width()) * size_t(layout_.pitch_y()), 0);
  png_->row.assign((size_t(layout_.width()) + 7) / 8, 0xFF);
  png_->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png_->png) png_->info = png_create_info_struct(png_->png);
  if (!png_->info || setjmp(png_jmpbuf(png_->png))) {
    ended_ = true;
    return;
  }
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
  delete png_;
}

void ProofSheet::Label(int32_t x, int32_t y, const char* text) {
  const int32_t end = x + ProofLayout::kLabelChars * kCharAdvance * kLabelScale;
  for (; *text && x < end; ++text, x += kCharAdvance * kLabelScale) {
    const LabelGlyph* glyph = std::find_if(std::begin(kFont), std::end(kFont),
                                           [&](const LabelGlyph& g) { return g.c == *text; });
    if (glyph == std::end(kFont)) continue;
    for (int32_t r = 0; r < kCharHeight * kLabelScale; ++r) {
      for (int32_t c = 0; c < kCharWidth * kLabelScale; ++c) {
        if (glyph->rows[r / kLabelScale] >> (kCharWidth - 1 - c / kLabelScale) & 1) {
          band_[size_t(y + r) * size_t(layout_.width()) + size_t(x + c)] = 1;
        }
      }
    }
  }
}

void ProofSheet::Cell(const Bitmap* picture, int32_t eb, int32_t unicode, int face) {
  if (ended_ || cell_ >= layout_.cells) return;
  const int32_t width = layout_.width(), scale = ProofLayout::kScale;
  const int32_t x0 = ProofLayout::kMargin + int32_t(cell_ % layout_.columns) * layout_.pitch_x();
  const int32_t inner_w = scale * layout_.box_width, inner_h = scale * layout_.box_height;
  const auto ink = [&](int32_t x, int32_t y) { band_[size_t(y) * size_t(width) + size_t(x)] = 1; };
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
    const int32_t w = std::min(picture->width, layout_.box_width);
    const int32_t h = std::min(picture->height, layout_.box_height);
    for (int32_t y = 0; y < scale * h; ++y) {
      const uint8_t* row = picture->pixels + int64_t{y / scale} * picture->width;
      for (int32_t x = 0; x < scale * w; ++x) {
        if (row[x / scale]) ink(x0 + kFrame + x, kFrame + y);
      }
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

void ProofSheet::WriteBand() {
  if (ended_ || setjmp(png_jmpbuf(png_->png))) {
    ended_ = true;
    return;
  }
  const size_t width = size_t(layout_.width());
  for (int32_t y = 0; y < layout_.pitch_y(); ++y) {
    const uint8_t* pixels = band_.data() + size_t(y) * width;
    std::fill(png_->row.begin(), png_->row.end(), 0xFF);  // white
    for (size_t x = 0; x < width; ++x) {
      if (pixels[x]) png_->row[x / 8] &= uint8_t(~(0x80u >> (x % 8)));
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
  if (ended_ || setjmp(png_jmpbuf(png_->png))) {
    ended_ = true;
    return;
  }
  std::fill(png_->row.begin(), png_->row.end(), 0xFF);
  for (int32_t y = 0; y < ProofLayout::kMargin; ++y) png_write_row(png_->png, png_->row.data());
  png_write_end(png_->png, nullptr);
  ended_ = true;
}

}  // namespace karvex
