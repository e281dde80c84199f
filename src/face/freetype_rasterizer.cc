#include "face/freetype_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H
#include FT_BZIP2_H
#include FT_LZW_H
#include FT_TRUETYPE_TABLES_H
#include <libdeflate.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gaiji/charset.h"
#include "readers/whole_file.h"

namespace karvex {

namespace {

struct LibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using LibraryPtr = std::unique_ptr<FT_LibraryRec_, LibraryDeleter>;
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDeleter>;
using ConfigPtr = std::unique_ptr<FcConfig, ConfigDeleter>;
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// Monochrome, hinted rendering: the pixels a 1-bit screen canvas would get. Embedded
// bitmap strikes are used where the face has one at the size.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_MONO;

// What a face without a Unicode character map is encoded in: the registry and encoding of
// a BDF or PCF font, or else FreeType's tag for its first character map.
std::string EncodingOf(FT_Face face) {
  const char *encoding = nullptr, *registry = nullptr;
  if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0 && encoding && registry) {
    return std::string(registry) + "-" + encoding;
  }
  if (face->num_charmaps == 0) return "none";
  const uint32_t tag = face->charmaps[0]->encoding;
  std::string text{char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag)};
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

class FreeTypeRasterizer : public FaceRasterizer {
 public:
  FreeTypeRasterizer(LibraryPtr library, std::string font)
      : library_(std::move(library)), font_(std::move(font)) {}

  /// Opens face `index` of the font; false with *error set when it is no font FreeType reads,
  /// or maps neither Unicode nor an encoding that characters convert into.
  bool Open(int index, std::string* error) {
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library_.get(), reinterpret_cast<const FT_Byte*>(font_.data()),
                           FT_Long(font_.size()), index, &face)) {
      *error = "not a font file";
      return false;
    }
    face_.reset(face);
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) return true;
    // Other fonts are reached by converting each character into their own encoding: the
    // registry of a BDF or PCF font, or an East Asian character map.
    encoding_ = std::make_unique<FontEncoding>();
    const char *registry = nullptr, *charset = nullptr;
    if (FT_Get_BDF_Charset_ID(face, &charset, &registry) == 0 && registry && charset &&
        face->num_charmaps > 0 && encoding_->ForRegistry(registry, charset)) {
      return FT_Set_Charmap(face, face->charmaps[0]) == 0;
    }
    for (int i = 0; i < face->num_charmaps; ++i) {
      encoding_ = std::make_unique<FontEncoding>();
      if (encoding_->ForCharmap(face->charmaps[i]->encoding)) {
        return FT_Set_Charmap(face, face->charmaps[i]) == 0;
      }
    }
    *error = "no Unicode character map (its encoding is " + EncodingOf(face) + ")";
    return false;
  }

  bool HasGlyph(int32_t code) override {
    return code >= 1 && code <= 0x10FFFF && GlyphIndex(code) != 0;
  }

  bool HasSize(uint32_t em_pixels, std::vector<Strike>* strikes) override {
    if (em_pixels == em_pixels_ || SetSize(em_pixels)) return true;
    for (int i = 0; i < face_->num_fixed_sizes; ++i) {
      const FT_Bitmap_Size& size = face_->available_sizes[i];
      strikes->push_back({uint32_t((size.y_ppem + 32) >> 6), uint32_t(size.width)});
    }
    return false;
  }

  bool Draw(int32_t code, uint32_t em_pixels, uint32_t cell_rows, MonoCanvas* canvas,
            InkBox* ink, std::string* error) override {
    *ink = InkBox();
    if (code < 1 || code > 0x10FFFF || em_pixels == 0) return true;
    if (em_pixels != em_pixels_ && !SetSize(em_pixels)) {
      *error = "the face has no size of " + std::to_string(em_pixels) + " pixels";
      return false;
    }
    FT_GlyphSlot slot = face_->glyph;
    // A code the face lacks draws its missing-glyph shape, glyph 0.
    if (FT_Load_Glyph(face_.get(), GlyphIndex(code), kLoadFlags) ||
        (slot->format != FT_GLYPH_FORMAT_BITMAP &&
         FT_Render_Glyph(slot, FT_RENDER_MODE_MONO))) {
      char text[64];
      std::snprintf(text, sizeof text, "the glyph of code %X cannot be drawn at %u pixels",
                    static_cast<uint32_t>(code), em_pixels);
      *error = text;
      return false;
    }
    // An em box taller than the cell sticks out above and below alike.
    const int64_t ascent = !em_box_ ? ascent_
                           : typo_ascent_ - (em_pixels > cell_rows ? (em_pixels - cell_rows) / 2 : 0);
    int64_t top = ascent - slot->bitmap_top;
    int64_t first, last;
    // In a face whose Windows ascent lies below its typographic ascender, a glyph that
    // would reach out of the cell, but fits in it, moves just enough to fit.
    if (fit_ && InkRows(slot->bitmap, &first, &last) && last - first < int64_t{cell_rows}) {
      if (top + first < 0) {
        top = -first;
      } else if (top + last >= int64_t{cell_rows}) {
        top = int64_t{cell_rows} - 1 - last;
      }
    }
    Blit(slot->bitmap, int64_t{slot->bitmap_left}, top, canvas, ink);
    return true;
  }

 private:
  // A code-set run asks for the glyph of each code twice, whether it has one and to draw
  // it; the last answer is kept, as a conversion costs iconv calls.
  FT_UInt GlyphIndex(int32_t code) {
    if (code == last_code_) return last_index_;
    int32_t font_code = code;
    last_code_ = code;
    last_index_ = encoding_ && !encoding_->FontCode(uint32_t(code), &font_code)
                      ? 0
                      : FT_Get_Char_Index(face_.get(), FT_ULong(font_code));
    return last_index_;
  }

  bool SetSize(uint32_t em_pixels) {
    em_pixels_ = 0;
    if (em_pixels > 0xFFFF || FT_Set_Pixel_Sizes(face_.get(), 0, em_pixels)) return false;
    em_pixels_ = em_pixels;
    // The baseline lies the face's Windows ascent below the top, as on a screen canvas,
    // unless that lies below the typographic ascender: then glyphs are moved to fit the
    // cell, and a face whose typographic ascender and descender span one em (the
    // ideographic em box of CJK faces) puts its baseline at that ascender.
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_.get(), FT_SFNT_OS2));
    fit_ = em_box_ = false;
    if (os2 && os2->version != 0xFFFF && face_->units_per_EM > 0) {
      const int64_t upem = face_->units_per_EM;
      const auto scale = [&](int64_t units) { return (2 * units * em_pixels + upem) / (2 * upem); };
      ascent_ = scale(os2->usWinAscent);
      typo_ascent_ = scale(os2->sTypoAscender);
      fit_ = os2->sTypoAscender > 0 && ascent_ > typo_ascent_;
      em_box_ = fit_ && os2->sTypoAscender - os2->sTypoDescender == upem;
    } else {
      ascent_ = (face_->size->metrics.ascender + 32) >> 6;
    }
    return true;
  }

  // Copies the glyph's ink onto the canvas with its top-left pixel at (left, top), and
  // finds where all of its ink lies, on the canvas or not.
  static void Blit(const FT_Bitmap& bitmap, int64_t left, int64_t top, MonoCanvas* canvas,
                   InkBox* ink) {
    const int64_t rows = bitmap.rows, columns = bitmap.width;
    int64_t first = columns, last = -1, top_row = rows, bottom_row = -1;
    for (int64_t y = 0; y < rows; ++y) {
      const uint8_t* row = Row(bitmap, y);
      const bool on_canvas = top + y >= 0 && top + y < canvas->height;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {  // the usual case: whole bytes
        if (on_canvas) canvas->InkRow(row, columns, left, uint32_t(top + y));
        for (int64_t j = 0; j < (columns + 7) / 8; ++j) {
          if (row[j] == 0) continue;
          first = std::min<int64_t>(first, 8 * j + __builtin_clz(row[j]) - 24);
          last = std::max<int64_t>(last, 8 * j + 7 - __builtin_ctz(row[j]));
          top_row = std::min(top_row, y);
          bottom_row = y;
        }
        continue;
      }
      for (int64_t x = 0; x < columns; ++x) {
        if (!IsInk(bitmap, row, x)) continue;
        if (on_canvas && left + x >= 0 && left + x < canvas->width) {
          canvas->SetInk(uint32_t(left + x), uint32_t(top + y));
        }
        first = std::min(first, x);
        last = std::max(last, x);
        top_row = std::min(top_row, y);
        bottom_row = y;
      }
    }
    if (last >= 0) *ink = InkBox{left + first, top + top_row, left + last + 1, top + bottom_row + 1};
  }

  // Row y of a bitmap, the top row first whatever the sign of its pitch.
  static const uint8_t* Row(const FT_Bitmap& bitmap, int64_t y) {
    const int64_t pitch = bitmap.pitch;
    return pitch >= 0 ? bitmap.buffer + y * pitch
                      : bitmap.buffer + (int64_t{bitmap.rows} - 1 - y) * -pitch;
  }

  // The first and last bitmap rows that hold ink; false when none does.
  static bool InkRows(const FT_Bitmap& bitmap, int64_t* first, int64_t* last) {
    *first = -1;
    for (int64_t y = 0; y < int64_t{bitmap.rows}; ++y) {
      const uint8_t* row = Row(bitmap, y);
      bool ink = false;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        for (int64_t j = 0; j < (int64_t{bitmap.width} + 7) / 8 && !ink; ++j) ink = row[j] != 0;
      }
      for (int64_t x = 0; x < int64_t{bitmap.width} && !ink; ++x) ink = IsInk(bitmap, row, x);
      if (!ink) continue;
      if (*first < 0) *first = y;
      *last = y;
    }
    return *first >= 0;
  }

  static bool IsInk(const FT_Bitmap& bitmap, const uint8_t* row, int64_t x) {
    switch (bitmap.pixel_mode) {
      case FT_PIXEL_MODE_MONO:
        return (row[x / 8] << (x % 8)) & 0x80;
      case FT_PIXEL_MODE_GRAY:
        return row[x] * 2 >= bitmap.num_grays;
      case FT_PIXEL_MODE_BGRA:
        return row[4 * x + 3] >= 128;
      default:
        return false;
    }
  }

  LibraryPtr library_;
  std::string font_;  // the font file's bytes, which the face reads from
  FacePtr face_;
  std::unique_ptr<FontEncoding> encoding_;  // null: the face maps Unicode
  int32_t last_code_ = -1;
  FT_UInt last_index_ = 0;
  uint32_t em_pixels_ = 0;
  int64_t ascent_ = 0;
  int64_t typo_ascent_ = 0;
  bool fit_ = false;     // glyphs move to fit the cell
  bool em_box_ = false;  // the baseline is at the typographic ascender

};

// A name with a "/" in it, that names something that exists, or that ends in a font
// file's extension (packed or not) is a path; anything else is a family name for
// fontconfig, so that a mistyped file name is not drawn in another face.
bool IsPath(const std::string& name) {
  struct stat st;
  if (name.find('/') != std::string::npos || ::stat(name.c_str(), &st) == 0) return true;
  std::string_view base = name;
  for (std::string_view packed : {".gz", ".Z"}) {
    if (base.size() > packed.size() && base.substr(base.size() - packed.size()) == packed) {
      base.remove_suffix(packed.size());
    }
  }
  const size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(base.substr(dot + 1));
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* font : {"ttf", "otf", "ttc", "otc", "pcf", "pfb", "pfa", "woff", "woff2"}) {
    if (extension == font) return true;
  }
  return false;
}

// FreeType's streams allocate through these.
FT_MemoryRec_ kMemory = {
    nullptr, [](FT_Memory, long size) { return std::malloc(size_t(size)); },
    [](FT_Memory, void* block) { std::free(block); },
    [](FT_Memory, long, long size, void* block) { return std::realloc(block, size_t(size)); }};

// Inflates a gzip file in one pass into a buffer of the size its trailer gives; libdeflate
// does that faster than zlib, which matters: a whole plane of a PCF font takes hardly more
// time to draw than its file takes to inflate.
bool Gunzip(std::string* font, std::string* error) {
  const unsigned char* packed = reinterpret_cast<const unsigned char*>(font->data());
  const size_t size = font->size();
  std::string unpacked(size < 18 ? 0 : packed[size - 4] | packed[size - 3] << 8 |
                                           packed[size - 2] << 16 | size_t{packed[size - 1]} << 24,
                       '\0');
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  const bool done = inflater && libdeflate_gzip_decompress(inflater, packed, size, unpacked.data(),
                                                           unpacked.size(), nullptr) ==
                                    LIBDEFLATE_SUCCESS;
  libdeflate_free_decompressor(inflater);
  if (!done) {
    *error = "damaged gzip data";
    return false;
  }
  font->swap(unpacked);
  return true;
}

// Unpacks a font packed with gzip, compress or bzip2 (bzip2 only where FreeType was built
// with it), other than gzip through FreeType's own streams. Reading a stream once from its
// start is fast; a face opened on the stream would inflate again from the start at every
// backward seek. A font that is not packed stays as it is; false when a packed one cannot
// be unpacked.
bool Unpack(std::string* font, std::string* error) {
  if (font->compare(0, 2, "\x1F\x8B") == 0) return Gunzip(font, error);
  FT_StreamRec source = {}, stream = {};
  source.base = reinterpret_cast<unsigned char*>(font->data());
  source.size = font->size();
  source.memory = &kMemory;
  if (FT_Stream_OpenLZW(&stream, &source) != 0 && FT_Stream_OpenBzip2(&stream, &source) != 0) {
    if (font->compare(0, 3, "BZh") != 0) return true;
    *error = "packed with bzip2, which this FreeType cannot unpack";
    return false;
  }
  std::string unpacked;
  if (stream.read == nullptr) {  // FreeType unpacked it whole already
    unpacked.assign(reinterpret_cast<const char*>(stream.base), stream.size);
  } else {
    unsigned char buffer[1 << 16];
    for (unsigned long n; (n = stream.read(&stream, unpacked.size(), buffer, sizeof buffer));) {
      unpacked.append(reinterpret_cast<const char*>(buffer), n);
    }
  }
  if (stream.close) stream.close(&stream);
  font->swap(unpacked);
  return true;
}

// Asks fontconfig for the best match of the family `name`: its file and face index.
bool MatchFamily(const std::string& name, std::string* file, int* index, std::string* notice,
                 std::string* error) {
  ConfigPtr config(FcInitLoadConfigAndFonts());
  PatternPtr pattern(FcPatternCreate());
  if (!config || !pattern) {
    *error = "fontconfig cannot start";
    return false;
  }
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result;
  PatternPtr match(FcFontMatch(config.get(), pattern.get(), &result));
  FcChar8* path = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch) {
    *error = "no font face found";
    return false;
  }
  *file = reinterpret_cast<const char*>(path);
  if (FcPatternGetInteger(match.get(), FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  // fontconfig lists several family names, localised ones too; any may match.
  FcChar8* family = nullptr;
  std::string first;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(name.c_str())) == 0) {
      return true;
    }
    if (i == 0) first = reinterpret_cast<const char*>(family);
  }
  *notice = "no face named \"" + name + "\"; using \"" + first + "\"";
  return true;
}

}  // namespace

std::unique_ptr<FaceRasterizer> OpenFreeTypeFace(const std::string& name, std::string* notice,
                                                 std::string* error) {
  FT_Library library;
  if (FT_Init_FreeType(&library)) {
    *error = "FreeType cannot start";
    return nullptr;
  }
  LibraryPtr owner(library);
  std::string file = name, font;
  int index = 0;
  if (!IsPath(name) && !MatchFamily(name, &file, &index, notice, error)) return nullptr;
  std::unique_ptr<FreeTypeRasterizer> face;
  if (ReadWholeFile(file, &font, error) && Unpack(&font, error)) {
    face = std::make_unique<FreeTypeRasterizer>(std::move(owner), std::move(font));
    if (face->Open(index, error)) return face;
  }
  // A file that fontconfig found is named; a path is the name itself.
  if (file != name) *error = file + ": " + *error;
  return nullptr;
}

}  // namespace karvex
