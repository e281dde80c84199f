#include "face/freetype_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H
#include FT_BZIP2_H
#include FT_LZW_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H
#include <libdeflate.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    if (UseSize(em_pixels)) return true;
    for (int i = 0; i < face_->num_fixed_sizes; ++i) {
      const FT_Bitmap_Size& size = face_->available_sizes[i];
      strikes->push_back({uint32_t((size.y_ppem + 32) >> 6), uint32_t(size.width)});
    }
    return false;
  }

  bool Render(int32_t code, uint32_t em_pixels, uint32_t cell_rows, GlyphImage* image,
              std::string* error) override {
    *image = GlyphImage();
    if (code < 1 || code > 0x10FFFF || em_pixels == 0) return true;
    if (!UseSize(em_pixels)) {
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
    const Size& size = *size_;
    // An em box taller than the cell sticks out above and below alike.
    const int64_t ascent = !size.em_box ? size.ascent
                           : size.typo_ascent - (em_pixels > cell_rows ? (em_pixels - cell_rows) / 2 : 0);
    const FT_Bitmap& bitmap = slot->bitmap;
    image->columns = bitmap.width;
    image->rows = bitmap.rows;
    image->left = slot->bitmap_left;
    image->top = ascent - slot->bitmap_top;
    image->advance = slot->advance.x;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {  // the usual case, used as it is
      image->pitch = bitmap.pitch;
      image->bits = bitmap.pitch >= 0 ? bitmap.buffer
                                      : bitmap.buffer + (int64_t{bitmap.rows} - 1) * -bitmap.pitch;
      return true;
    }
    // Grey or colour bitmaps (embedded strikes) become 1-bit rows: half ink and more is ink.
    const int64_t stride = (image->columns + 7) / 8;
    mono_.assign(size_t(stride * image->rows), 0);
    for (int64_t y = 0; y < image->rows; ++y) {
      const uint8_t* row = bitmap.buffer + (bitmap.pitch >= 0 ? y : image->rows - 1 - y) *
                                               std::abs(int64_t{bitmap.pitch});
      for (int64_t x = 0; x < image->columns; ++x) {
        if (IsInk(bitmap, row, x)) mono_[size_t(y * stride + x / 8)] |= uint8_t(0x80u >> (x % 8));
      }
    }
    image->bits = mono_.data();
    image->pitch = stride;
    return true;
  }

 private:
  // What the baseline rule takes from a size of the face.
  struct Size {
    uint32_t em = 0;
    FT_Size size = nullptr;  // owned by the face
    int64_t ascent = 0;
    int64_t typo_ascent = 0;
    bool em_box = false;     // the baseline is at the typographic ascender
  };

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

  // Makes `em_pixels` the face's size. Each size the run has used keeps its FreeType size
  // object: going back to one does not run a TrueType font's size program again, which
  // matters when glyphs too big for their cell are drawn a size smaller.
  bool UseSize(uint32_t em_pixels) {
    if (size_ && size_->em == em_pixels) return true;
    for (Size& size : sizes_) {
      if (size.em == em_pixels) {
        size_ = &size;
        return FT_Activate_Size(size.size) == 0;
      }
    }
    FT_Size size = nullptr;
    if (em_pixels == 0 || em_pixels > 0xFFFF || FT_New_Size(face_.get(), &size) ||
        FT_Activate_Size(size)) {
      return false;
    }
    if (FT_Set_Pixel_Sizes(face_.get(), 0, em_pixels)) {
      FT_Done_Size(size);
      if (size_) FT_Activate_Size(size_->size);
      return false;
    }
    if (sizes_.size() == kSizes) {  // the oldest goes
      FT_Done_Size(sizes_.front().size);
      sizes_.erase(sizes_.begin());
    }
    sizes_.push_back(Measure(em_pixels, size));
    size_ = &sizes_.back();
    return true;
  }

  // The baseline lies the face's Windows ascent below the top, as on a screen canvas,
  // unless that lies below the typographic ascender: then a face whose typographic ascender
  // and descender span one em (the ideographic em box of CJK faces) puts its baseline at
  // that ascender.
  Size Measure(uint32_t em_pixels, FT_Size ft_size) const {
    Size size;
    size.em = em_pixels;
    size.size = ft_size;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_.get(), FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && face_->units_per_EM > 0) {
      const int64_t upem = face_->units_per_EM;
      const auto scale = [&](int64_t units) { return (2 * units * em_pixels + upem) / (2 * upem); };
      size.ascent = scale(os2->usWinAscent);
      size.typo_ascent = scale(os2->sTypoAscender);
      size.em_box = os2->sTypoAscender > 0 && size.ascent > size.typo_ascent &&
                    os2->sTypoAscender - os2->sTypoDescender == upem;
    } else {
      size.ascent = (face_->size->metrics.ascender + 32) >> 6;
    }
    return size;
  }

  static bool IsInk(const FT_Bitmap& bitmap, const uint8_t* row, int64_t x) {
    switch (bitmap.pixel_mode) {
      case FT_PIXEL_MODE_GRAY:
        return row[x] * 2 >= bitmap.num_grays;
      case FT_PIXEL_MODE_BGRA:
        return row[4 * x + 3] >= 128;
      default:
        return false;
    }
  }

  // Sizes kept at once: the run's ems and a few smaller ones.
  static constexpr size_t kSizes = 8;

  LibraryPtr library_;
  std::string font_;  // the font file's bytes, which the face reads from
  FacePtr face_;
  std::unique_ptr<FontEncoding> encoding_;  // null: the face maps Unicode
  int32_t last_code_ = -1;
  FT_UInt last_index_ = 0;
  std::vector<Size> sizes_;
  Size* size_ = nullptr;  // the active one
  std::vector<uint8_t> mono_;  // a grey or colour bitmap made 1-bit
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
