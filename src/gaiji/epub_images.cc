#include "gaiji/epub_images.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <memory>
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

namespace {

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

void Put32(uint32_t value, std::string* out) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(char(value >> shift));
}

// A PNG chunk: its length, type and data, and the CRC of type and data.
void Chunk(const char* type, std::string_view data, std::string* out) {
  Put32(uint32_t(data.size()), out);
  const size_t at = out->size();
  out->append(type, 4);
  out->append(data);
  Put32(libdeflate_crc32(0, out->data() + at, out->size() - at), out);
}

}  // namespace

bool EncodeGaijiPng(const uint8_t* pixels, int32_t width, int32_t height, std::string* png,
                    std::string* error) {
  // One compressor for the run: making one costs more than packing a small picture.
  static const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(6));
  if (!compressor) {
    *error = "out of memory";
    return false;
  }
  // The rows, each after its filter byte (none), eight 0/1 pixels a byte, the first the
  // highest bit; a set bit is the background, colour 1. A short last byte is padded with
  // clear bits.
  const size_t stride = (size_t(width) + 7) / 8;
  std::string rows(size_t(height) * (stride + 1), '\0');
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* line = pixels + int64_t{y} * width;
    char* row = &rows[size_t(y) * (stride + 1) + 1];
    int32_t x = 0;
    for (uint64_t bits; x + 8 <= width; x += 8) {
      std::memcpy(&bits, line + x, 8);
      row[x / 8] = char(~((bits * 0x8040201008040201u) >> 56));
    }
    if (const int32_t n = width - x; n > 0) {
      uint64_t bits = 0;
      std::memcpy(&bits, line + x, size_t(n));
      row[x / 8] = char(~((bits * 0x8040201008040201u) >> 56) & (0xFF00u >> n));
    }
  }
  std::string packed(libdeflate_zlib_compress_bound(compressor.get(), rows.size()), '\0');
  packed.resize(libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(), &packed[0],
                                         packed.size()));
  if (packed.empty()) {
    *error = "the picture cannot be packed";
    return false;
  }
  std::string header;
  Put32(uint32_t(width), &header);
  Put32(uint32_t(height), &header);
  header += std::string("\x01\x03\x00\x00\x00", 5);  // 1 bit, palette, no interlace
  png->assign("\x89PNG\r\n\x1a\n");
  Chunk("IHDR", header, png);
  Chunk("PLTE", std::string_view("\x00\x00\x00\xff\xff\xff", 6), png);  // black, white
  Chunk("tRNS", std::string_view("\xff\x00", 2), png);  // white fully transparent
  Chunk("IDAT", packed, png);
  Chunk("IEND", "", png);
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
