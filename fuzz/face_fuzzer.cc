// Fuzz target: the face text dump and the BMP export over the real FreeType rasteriser,
// with fuzzed code, cell size, row offset and background character. The faces are opened
// once per process, as a run opens its face once.
//
// Input fields (little-endian): face u8 (DejaVu Sans, Unifont, IPAGothic, a PCF bitmap
// font opened as a file), flags u8 (bit 0 BMP export, bit 1 fold the code into
// 0..0x2FFFF), background u8, code i32, width u32, height u32, row offset u32, EB code
// i32, then a second code, width and height drawn in between to check that a face kept
// at one size draws as a fresh one would.
//
// Bound: BMP canvases with a side above kMaxFuzzBmpSide (fuzz_input.h) are folded; the
// text dump needs none, as it caps its canvas at 48 x 48.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "face/bmp_export.h"
#include "face/face_text_dump.h"
#include "face/freetype_rasterizer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace karvex {
namespace fuzz {
namespace {

constexpr const char* kFaces[] = {
    "DejaVu Sans", "Unifont", "IPAGothic", "/usr/share/fonts/X11/misc/shnmk16.pcf.gz"};
constexpr size_t kFaceCount = sizeof kFaces / sizeof kFaces[0];

FaceRasterizer* Face(size_t i) {
  static std::vector<std::unique_ptr<FaceRasterizer>> faces = [] {
    std::vector<std::unique_ptr<FaceRasterizer>> opened;
    for (const char* name : kFaces) {
      std::string notice, error;
      opened.push_back(OpenFreeTypeFace(name, &notice, &error));
      if (!opened.back() || !notice.empty()) {
        std::fprintf(stderr, "face fuzzer: %s: %s%s\n", name, error.c_str(), notice.c_str());
        std::abort();
      }
    }
    return opened;
  }();
  return faces[i].get();
}

// Whether a face can draw at an em: the outline faces at any em FreeType takes (up to
// 65535), the PCF font only at its one strike of 16 pixels. Codes outside 1..10FFFF and
// an em of 0 draw nothing, which is no failure.
bool MustDraw(size_t face, int32_t code, uint32_t em) {
  if (code < 1 || code > 0x10FFFF || em == 0) return true;
  return face == 3 ? em == 16 : em <= 0xFFFF;
}

std::string TextDump(int32_t code, uint32_t width, uint32_t height, int32_t eb,
                     uint32_t row_offset, size_t face, char off, bool* drawn = nullptr) {
  MonoCanvas canvas;
  OutputStream out;
  GaijiWriter writer(&out, nullptr, off);
  std::string error;
  bool ok = FaceTextDump(code, width, height, eb, row_offset, Face(face), &canvas, &writer,
                         &error);
  FUZZ_CHECK(ok == error.empty());
  const uint32_t em = std::max(std::min<uint32_t>(width, 48), std::min<uint32_t>(height, 48));
  if (MustDraw(face, code, em)) FUZZ_CHECK(ok);
  if (face == 3 && em != 16 && code >= 1 && code <= 0x10FFFF && em != 0) FUZZ_CHECK(!ok);
  FUZZ_CHECK(!writer.failed());
  if (drawn) *drawn = ok;
  return out.text();
}

std::string Bmp(int32_t code, const BmpGeometry& geometry, size_t face, bool* drawn) {
  MonoCanvas canvas;
  OutputStream out;
  std::string error;
  *drawn = DrawForBmp(code, geometry, Face(face), &canvas, &error);
  FUZZ_CHECK(*drawn == error.empty());
  if (MustDraw(face, code, std::max(geometry.width, geometry.height))) FUZZ_CHECK(*drawn);
  // A canvas the face could not draw on stays white.
  if (!*drawn) {
    for (uint8_t byte : canvas.bits) FUZZ_CHECK(byte == 0xFF);
  }
  WriteBmp(canvas, geometry, &out);
  FUZZ_CHECK(!out.failed());
  return out.text();
}

uint32_t Get32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(bytes[at + i]);
  return v;
}

// The text dump: the opening, the window's rows (background past the canvas, and
// everywhere when `blank`), the closing. The background character may be "#" too.
void CheckTextDump(const std::string& text, int32_t code, uint32_t width, uint32_t height,
                   int32_t eb, uint32_t row_offset, char off, bool blank) {
  char opening[64];
  std::snprintf(opening, sizeof opening, "<fontData ebcode=\"%X\" unicode=\"%X\">\n",
                uint32_t(eb), uint32_t(code));
  FUZZ_CHECK(text.rfind(opening, 0) == 0);
  const uint32_t rows_capped = std::min<uint32_t>(height, 48);
  const uint32_t rows = row_offset < row_offset + rows_capped ? rows_capped : 0;
  const uint32_t columns = width == 0 ? 48 : std::min<uint32_t>(width, 48);
  const size_t body = std::string(opening).size();
  FUZZ_CHECK(text.size() == body + size_t{rows} * (columns + 1) + 12);
  FUZZ_CHECK(text.compare(text.size() - 12, 12, "</fontData>\n") == 0);
  for (uint32_t r = 0; r < rows; ++r) {
    const char* row = text.data() + body + size_t{r} * (columns + 1);
    FUZZ_CHECK(row[columns] == '\n');
    for (uint32_t c = 0; c < columns; ++c) {
      FUZZ_CHECK(row[c] == off || row[c] == '#');
      if (blank || row_offset + r >= 48) FUZZ_CHECK(row[c] == off);
    }
  }
}

void CheckBmp(const std::string& bmp, const BmpGeometry& g) {
  FUZZ_CHECK(bmp.size() == g.file_size);
  FUZZ_CHECK(bmp[0] == 'B' && bmp[1] == 'M');
  FUZZ_CHECK(Get32(bmp, 2) == g.file_size && Get32(bmp, 6) == 0 && Get32(bmp, 10) == 62);
  FUZZ_CHECK(Get32(bmp, 14) == 40 && Get32(bmp, 18) == g.width && Get32(bmp, 22) == g.height);
  FUZZ_CHECK(Get32(bmp, 26) == 0x00010001);
  FUZZ_CHECK(Get32(bmp, 54) == 0 && Get32(bmp, 58) == 0x00FFFFFF);
}

void RunFace(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  const size_t face = input.Take<uint8_t>() % kFaceCount;
  const uint8_t flags = input.Take<uint8_t>();
  char off = static_cast<char>(input.Take<uint8_t>());
  if (off == '\n') off = ' ';
  int32_t code = input.Take<int32_t>();
  if (flags & 2) code = int32_t(uint32_t(code) % 0x30000);
  uint32_t width = input.Take<uint32_t>();
  uint32_t height = input.Take<uint32_t>();
  const uint32_t row_offset = input.Take<uint32_t>();
  const int32_t eb = input.Take<int32_t>();
  const int32_t code2 = input.Take<int32_t>();
  const uint32_t width2 = input.Take<uint32_t>() % 49;
  const uint32_t height2 = input.Take<uint32_t>() % 49;

  if (!(flags & 1)) {
    bool drawn;
    std::string first = TextDump(code, width, height, eb, row_offset, face, off, &drawn);
    // A code the face could not draw leaves the block blank.
    CheckTextDump(first, code, width, height, eb, row_offset, off, !drawn);
    TextDump(code2, width2, height2, eb, 0, face, off);
    FUZZ_CHECK(TextDump(code, width, height, eb, row_offset, face, off) == first);
    return;
  }
  BmpGeometry geometry;
  if (!BmpGeometryFor(width, height, &geometry)) return;  // no file: the driver reports it
  if (geometry.width > kMaxFuzzBmpSide || geometry.height > kMaxFuzzBmpSide) {
    width = 1 + width % kMaxFuzzBmpSide;
    height = 1 + height % kMaxFuzzBmpSide;
    FUZZ_CHECK(BmpGeometryFor(width, height, &geometry));
  }
  bool drawn, drawn_again, other_drawn;
  std::string bmp = Bmp(code, geometry, face, &drawn);
  CheckBmp(bmp, geometry);
  BmpGeometry other;
  if (BmpGeometryFor(width2, height2, &other)) Bmp(code2, other, face, &other_drawn);
  FUZZ_CHECK(Bmp(code, geometry, face, &drawn_again) == bmp && drawn_again == drawn);
  if (geometry.width > 48 || geometry.height > 48 || !drawn) return;
  // Up to 48 x 48 the BMP picture is the text dump's window at the same em, row for row.
  std::string text = TextDump(code, geometry.width, geometry.height, eb, 0, face, '.');
  const size_t body = text.find('\n') + 1;
  const size_t row_bytes = (size_t{geometry.width} + 31) / 32 * 4;  // rows of 4-byte words
  for (uint32_t y = 0; y < geometry.height; ++y) {
    const uint8_t* row = reinterpret_cast<const uint8_t*>(bmp.data()) + 62 +
                         size_t{geometry.height - 1 - y} * row_bytes;
    for (uint32_t x = 0; x < geometry.width; ++x) {
      const bool ink = !((row[x / 8] << (x % 8)) & 0x80);
      FUZZ_CHECK((text[body + size_t{y} * (geometry.width + 1) + x] == '#') == ink);
    }
  }
}

}  // namespace
}  // namespace fuzz
}  // namespace karvex

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  karvex::fuzz::RunFace(data, size);
  return 0;
}
