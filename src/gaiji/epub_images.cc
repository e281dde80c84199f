#include "gaiji/epub_images.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "gaiji/east_asian_width.h"

namespace karvex {

const char kGaijiCss[] =
    "@charset \"UTF-8\";\n"
    "/* Gaiji: characters that reading systems lack, as images of their glyphs. */\n"
    "img.gaiji { width: 1em; height: 1em; vertical-align: text-bottom; }\n"
    "img.gaiji-line { width: 1em; height: auto; vertical-align: text-bottom; }\n"
    "img.gaiji-wide { width: auto; height: 1em; vertical-align: text-bottom; }\n"
    "/* In vertical text they stand on the baseline. */\n"
    ".vrtl img.gaiji, .vrtl img.gaiji-line, .vrtl img.gaiji-wide { vertical-align: baseline; }\n";

std::string GaijiImageName(uint32_t unicode) {
  char name[24];
  std::snprintf(name, sizeof name, "gaiji-u%04X.png", unicode);
  return name;
}

bool FitPicture(const Bitmap& picture, int32_t columns, int32_t width, int32_t height,
                std::vector<uint8_t>* canvas) {
  columns = std::min(columns, picture.width);
  if (columns <= 0 || picture.height <= 0 || width <= 0 || height <= 0) return false;
  const int32_t scale = std::min(width / columns, height / picture.height);
  if (scale < 1) return false;
  canvas->assign(size_t(width) * size_t(height), 0);
  const int32_t left = (width - scale * columns) / 2, top = (height - scale * picture.height) / 2;
  // Each row of the picture is scaled once and copied to the rows below it.
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.pixels + int64_t{y} * picture.width;
    uint8_t* out = canvas->data() + size_t(top + scale * y) * size_t(width) + size_t(left);
    if (scale == 1) {  // a face's picture, drawn at the image's size
      std::memcpy(out, row, size_t(columns));
      continue;
    }
    for (int32_t x = 0; x < columns; ++x) std::memset(out + scale * x, row[x] != 0, size_t(scale));
    for (int32_t copy = 1; copy < scale; ++copy) {
      std::memcpy(out + size_t(copy) * size_t(width), out, size_t(scale) * size_t(columns));
    }
  }
  return true;
}

bool EncodeGaijiPng(const uint8_t* pixels, int32_t width, int32_t height, std::string* png,
                    std::string* error) {
  // libpng's messages go to *error; what the function holds lives here, beyond the reach
  // of a longjmp, and goes whichever way the function returns.
  struct Handles {
    std::string* error;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> row;
    ~Handles() { png_destroy_write_struct(&png, &info); }
  } handles{error, nullptr, nullptr, {}};
  handles.row.resize((size_t(width) + 7) / 8);
  png->clear();
  handles.png = png_create_write_struct(
      PNG_LIBPNG_VER_STRING, &handles,
      [](png_structp p, png_const_charp message) {
        *static_cast<Handles*>(png_get_error_ptr(p))->error = message;
        png_longjmp(p, 1);
      },
      [](png_structp, png_const_charp) {});
  if (handles.png) handles.info = png_create_info_struct(handles.png);
  if (!handles.info) {
    *error = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(handles.png))) return false;
  png_set_write_fn(
      handles.png, png,
      [](png_structp p, png_bytep data, size_t size) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), size);
      },
      [](png_structp) {});
  // zlib's usual level packs these small pictures within half a per cent of its best, in
  // far less time; a hash table of 256 entries needs no clearing of 64 KiB per image.
  png_set_compression_level(handles.png, 6);
  png_set_compression_mem_level(handles.png, 1);
  png_set_filter(handles.png, 0, PNG_FILTER_NONE);
  png_set_IHDR(handles.png, handles.info, uint32_t(width), uint32_t(height), 1,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color palette[2] = {{0, 0, 0}, {255, 255, 255}};
  png_set_PLTE(handles.png, handles.info, palette, 2);
  png_byte alpha[2] = {255, 0};
  png_set_tRNS(handles.png, handles.info, alpha, 2, nullptr);
  png_write_info(handles.png, handles.info);
  for (int32_t y = 0; y < height; ++y) {
    // Eight 0/1 pixels into one byte, the first the highest bit; a set bit is the
    // background. A short last byte is padded with clear bits.
    const uint8_t* line = pixels + int64_t{y} * width;
    for (int32_t x = 0; x < width; x += 8) {
      const int32_t n = std::min(8, width - x);
      uint8_t eight[8] = {};
      std::memcpy(eight, line + x, size_t(n));
      uint64_t bits;
      std::memcpy(&bits, eight, 8);
      handles.row[size_t(x) / 8] = uint8_t(~((bits * 0x8040201008040201u) >> 56) & (0xFF00u >> n));
    }
    png_write_row(handles.png, handles.row.data());
  }
  png_write_end(handles.png, nullptr);
  return true;
}

bool FullWidthInCell(const Glyph& glyph) {
  const Bitmap& picture = glyph.picture[0];
  if (int64_t{picture.width} * 2 <= picture.height) return false;
  if (IsWide(uint32_t(glyph.unicode))) return true;
  const int32_t half = (picture.height + 1) / 2;
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.pixels + int64_t{y} * picture.width;
    for (int32_t x = half; x < picture.width; ++x) {
      if (row[x]) return true;
    }
  }
  return false;
}

void EpubImageWriter::Put(const Glyph& glyph) {
  if (failed_) return;
  const Bitmap& picture = glyph.picture[0];
  const bool full = drawn_ ? int64_t{picture.width} * 2 > picture.height : FullWidthInCell(glyph);
  const std::string name = GaijiImageName(uint32_t(glyph.unicode));
  const std::string path = dir_ + "/" + name;
  const int32_t width = full ? height_ : height_ / 2;
  // A half-width glyph in a full-width cell lies in the cell's left half.
  const int32_t columns = full ? picture.width : std::min(picture.width, (picture.height + 1) / 2);
  std::string png, error;
  // A face's picture comes at the image's size already.
  const bool as_is = picture.width == width && picture.height == height_ && columns == width;
  if (!as_is && !FitPicture(picture, columns, width, height_, &canvas_)) {
    error = "a " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
            " picture does not fit a " + std::to_string(width) + "x" + std::to_string(height_) +
            " image";
  } else if (EncodeGaijiPng(as_is ? picture.pixels : canvas_.data(), width, height_, &png, &error) &&
             write_file_(path, [&png](OutputStream* out) { out->Write(png); }, &error)) {
    classes_[uint32_t(glyph.unicode)] = full ? kGaijiFullClass : kGaijiHalfClass;
    return;
  }
  // A book must not miss an image its chapters will name: the run stops.
  failure_->Set(path, error);
  failed_ = true;
}

void EpubImageWriter::Finish(const std::vector<uint32_t>&) {
  const std::string path = dir_ + "/gaiji.css";
  std::string error;
  if (!failed_ && !write_file_(path, [](OutputStream* out) { out->Write(kGaijiCss); }, &error)) {
    failure_->Set(path, error);
    failed_ = true;
  }
}

}  // namespace karvex
