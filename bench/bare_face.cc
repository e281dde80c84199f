// The floor for a face text dump: FreeType alone, with nothing between it and the output.
//
//   bare_face FONT_FILE FIRST LAST > out.txt
//
// Opens the font file once, sets a 16-pixel em, and for every code of FIRST..LAST (hex)
// loads the glyph hinted for a 1-bit target, renders it mono and writes the same glyph
// block karvex writes for `karvex FACE FIRST LAST`: the fontData opening, 16 rows of 16
// pixels ('#' ink, blank background) with the baseline the face's Windows ascent below
// the top (or, where that lies below the typographic ascender, at that ascender for an em
// box of one em), each glyph that reaches out of the cell moved in or drawn at the largest
// em that fits, and the closing. No canvas, no per-code lookup: the glyph bitmap is read
// straight into the text rows. The benchmark checks that both outputs are the same bytes,
// so the two programs are known to do the same job.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kEm = 16;

char buffer[1 << 16];
size_t used = 0;

void Flush() {
  if (std::fwrite(buffer, 1, used, stdout) != used) {
    std::perror("bare_face: write");
    std::exit(1);
  }
  used = 0;
}

void Put(const char* text, size_t n) {
  if (used + n > sizeof buffer) Flush();
  std::memcpy(buffer + used, text, n);
  used += n;
}

void PutHex(uint32_t v) {
  char text[8];
  int n = 0;
  do {
    text[7 - n++] = "0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v != 0);
  Put(text + 8 - n, size_t(n));
}

const uint8_t* Row(const FT_Bitmap& bitmap, int y) {
  return bitmap.pitch >= 0 ? bitmap.buffer + y * bitmap.pitch
                           : bitmap.buffer + (int(bitmap.rows) - 1 - y) * -bitmap.pitch;
}

bool Ink(const FT_Bitmap& bitmap, const uint8_t* row, int x) {
  switch (bitmap.pixel_mode) {
    case FT_PIXEL_MODE_GRAY: return row[x] * 2 >= bitmap.num_grays;
    case FT_PIXEL_MODE_BGRA: return row[4 * x + 3] >= 128;
    default: return false;
  }
}

// The face at one size: the baseline the Windows ascent below the top or, where that lies
// below the typographic ascender of a face whose ascender and descender span one em, that
// ascender.
long Ascent(FT_Face face, int em) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (!os2 || os2->version == 0xFFFF || face->units_per_EM == 0) {
    return (face->size->metrics.ascender + 32) >> 6;
  }
  const long upem = face->units_per_EM;
  const long ascent = (2L * os2->usWinAscent * em + upem) / (2 * upem);
  const long typo = (2L * os2->sTypoAscender * em + upem) / (2 * upem);
  const bool em_box = os2->sTypoAscender > 0 && ascent > typo &&
                      os2->sTypoAscender - os2->sTypoDescender == upem;
  return em_box ? typo - (em > kEm ? (em - kEm) / 2 : 0) : ascent;
}

// Loads and renders a code at an em; false when it cannot.
bool Render(FT_Face face, long code, int em, long* top) {
  static int size = 0;  // the em set last
  FT_GlyphSlot slot = face->glyph;
  if ((em != size && FT_Set_Pixel_Sizes(face, 0, FT_UInt(size = em))) ||
      FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(code)), FT_LOAD_TARGET_MONO) ||
      (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO))) {
    return false;
  }
  *top = Ascent(face, em) - slot->bitmap_top;
  return true;
}

struct Box {
  long left, top, right, bottom;
};

// Where the ink of the rendered glyph lies, its top-left pixel at (left, top).
Box Ink(const FT_Bitmap& bitmap, long left, long top) {
  Box ink{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  for (int y = 0; y < int(bitmap.rows); ++y) {
    const uint8_t* row = Row(bitmap, y);
    for (int x = 0; x < int(bitmap.width); ++x) {
      const bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] << (x & 7)) & 0x80
                                                               : Ink(bitmap, row, x);
      if (!on) continue;
      ink = Box{std::min(ink.left, left + x), std::min(ink.top, top + y),
                std::max(ink.right, left + x + 1), std::max(ink.bottom, top + y + 1)};
    }
  }
  return ink;
}

long MoveInto(long low, long high) { return low < 0 ? -low : high > kEm ? kEm - high : 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bare_face FONT_FILE FIRST LAST\n");
    return 2;
  }
  const long first = std::strtol(argv[2], nullptr, 16), last = std::strtol(argv[3], nullptr, 16);
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face) ||
      FT_Set_Pixel_Sizes(face, 0, kEm)) {
    std::fprintf(stderr, "bare_face: cannot open %s\n", argv[1]);
    return 2;
  }
  uint32_t eb = 0xA121;
  char rows[kEm * (kEm + 1)];
  for (long code = first; code <= last; ++code) {
    std::memset(rows, ' ', sizeof rows);
    for (int y = 0; y < kEm; ++y) rows[y * (kEm + 1) + kEm] = '\n';
    FT_GlyphSlot slot = face->glyph;
    long top;
    if (code >= 1 && code <= 0x10FFFF && Render(face, code, kEm, &top)) {
      long dx = 0, dy = 0;
      const long width = long(slot->bitmap.width), height = long(slot->bitmap.rows);
      // A glyph whose bitmap reaches out of the cell moves in, or is drawn at the largest
      // smaller em at which it fits.
      if (slot->bitmap_left < 0 || slot->bitmap_left + width > kEm || top < 0 || top + height > kEm) {
        Box ink = Ink(slot->bitmap, slot->bitmap_left, top);
        const auto fits = [&] { return ink.right - ink.left <= kEm && ink.bottom - ink.top <= kEm; };
        if (ink.right > ink.left && !fits()) {
          for (int em = kEm - 1; em >= 1 && Render(face, code, em, &top); --em) {
            ink = Ink(slot->bitmap, slot->bitmap_left, top);
            if (fits()) break;
          }
          if (!fits()) {
            Render(face, code, kEm, &top);
            ink = Ink(slot->bitmap, slot->bitmap_left, top);
          }
        }
        if (ink.right > ink.left && fits()) {
          dx = MoveInto(ink.left, ink.right);
          dy = MoveInto(ink.top, ink.bottom);
        }
      }
      const FT_Bitmap& bitmap = slot->bitmap;
      const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
      const long left = slot->bitmap_left + dx;
      top += dy;
      for (long y = top < 0 ? -top : 0; y < long(bitmap.rows) && top + y < kEm; ++y) {
        const uint8_t* row = Row(bitmap, int(y));
        char* text = rows + (top + y) * (kEm + 1) + left;
        for (long x = left < 0 ? -left : 0; x < long(bitmap.width) && left + x < kEm; ++x) {
          if (mono ? (row[x >> 3] << (x & 7)) & 0x80 : Ink(bitmap, row, int(x))) text[x] = '#';
        }
      }
    }
    Put("<fontData ebcode=\"", 18);
    PutHex(eb);
    Put("\" unicode=\"", 11);
    PutHex(uint32_t(code));
    Put("\">\n", 3);
    Put(rows, sizeof rows);
    Put("</fontData>\n", 12);
    eb += 1;
    if ((eb & 0xFF) > 0x7E) eb = (eb & ~0xFFu) + 0x121;
  }
  Flush();
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
