#include "face/freetype_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

class FreeTypeRasterizer : public FaceRasterizer {
 public:
  FreeTypeRasterizer(LibraryPtr library, FacePtr face)
      : library_(std::move(library)), face_(std::move(face)) {}

  bool Draw(int32_t code, uint32_t em_pixels, MonoCanvas* canvas, std::string* error) override {
    if (code < 1 || code > 0x10FFFF || em_pixels == 0) return true;
    if (em_pixels != em_pixels_ && !SetSize(em_pixels)) {
      *error = "the face has no size of " + std::to_string(em_pixels) + " pixels";
      return false;
    }
    FT_GlyphSlot slot = face_->glyph;
    // A code the face lacks draws its missing-glyph shape, glyph 0.
    if (FT_Load_Glyph(face_.get(), FT_Get_Char_Index(face_.get(), FT_ULong(code)), kLoadFlags) ||
        (slot->format != FT_GLYPH_FORMAT_BITMAP &&
         FT_Render_Glyph(slot, FT_RENDER_MODE_MONO))) {
      char text[64];
      std::snprintf(text, sizeof text, "the glyph of code %X cannot be drawn at %u pixels",
                    static_cast<uint32_t>(code), em_pixels);
      *error = text;
      return false;
    }
    Blit(slot->bitmap, int64_t{slot->bitmap_left}, int64_t{ascent_} - slot->bitmap_top, canvas);
    return true;
  }

 private:
  bool SetSize(uint32_t em_pixels) {
    em_pixels_ = 0;
    if (em_pixels > 0xFFFF || FT_Set_Pixel_Sizes(face_.get(), 0, em_pixels)) return false;
    em_pixels_ = em_pixels;
    // The baseline lies the face's Windows ascent below the top, as on a screen canvas.
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_.get(), FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && face_->units_per_EM > 0) {
      int64_t upem = face_->units_per_EM;
      ascent_ = (2 * int64_t{os2->usWinAscent} * em_pixels + upem) / (2 * upem);
    } else {
      ascent_ = (face_->size->metrics.ascender + 32) >> 6;
    }
    return true;
  }

  // Copies the glyph's ink onto the canvas with its top-left pixel at (left, top).
  static void Blit(const FT_Bitmap& bitmap, int64_t left, int64_t top, MonoCanvas* canvas) {
    const int64_t rows = bitmap.rows, columns = bitmap.width;
    const int64_t pitch = bitmap.pitch;
    for (int64_t y = std::max<int64_t>(0, -top); y < rows && top + y < canvas->height; ++y) {
      const uint8_t* row = pitch >= 0 ? bitmap.buffer + y * pitch
                                      : bitmap.buffer + (rows - 1 - y) * -pitch;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {  // the usual case: whole bytes
        canvas->InkRow(row, columns, left, uint32_t(top + y));
        continue;
      }
      for (int64_t x = std::max<int64_t>(0, -left); x < columns && left + x < canvas->width;
           ++x) {
        if (IsInk(bitmap, row, x)) canvas->SetInk(uint32_t(left + x), uint32_t(top + y));
      }
    }
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
  FacePtr face_;
  uint32_t em_pixels_ = 0;
  int64_t ascent_ = 0;
};

bool IsRegularFile(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
  FT_Library raw_library;
  if (FT_Init_FreeType(&raw_library)) {
    *error = "FreeType cannot start";
    return nullptr;
  }
  LibraryPtr library(raw_library);
  FT_Face raw_face = nullptr;
  // A font file is loaded directly; anything else is a family name.
  if (!IsRegularFile(name) || FT_New_Face(library.get(), name.c_str(), 0, &raw_face)) {
    std::string file;
    int index = 0;
    if (!MatchFamily(name, &file, &index, notice, error)) return nullptr;
    if (FT_New_Face(library.get(), file.c_str(), index, &raw_face)) {
      *error = "cannot open the font file " + file;
      return nullptr;
    }
  }
  return std::make_unique<FreeTypeRasterizer>(std::move(library), FacePtr(raw_face));
}

}  // namespace karvex
